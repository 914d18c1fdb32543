#include "kit/foundation/NotificationCenter.h"

#include <algorithm>

namespace kit {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = new NotificationCenter; // lives as long as the process
    return *center;
}

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object, Handler handler)
{
    m_registrations.push_back({ m_nextId++, observer, std::move(name), object, std::move(handler) });
}

void NotificationCenter::removeObserver(const void* observer)
{
    for (auto& registration : m_registrations) {
        if (registration.observer == observer)
            registration.removed = true;
    }
    compact();
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name, const void* object)
{
    for (auto& registration : m_registrations) {
        if (registration.observer == observer && registration.name == name
            && (object == nullptr || registration.object == object))
            registration.removed = true;
    }
    compact();
}

void NotificationCenter::postNotification(std::string_view name, const void* object)
{
    Notification notification { std::string(name), object };
    // Registrations made during delivery are not called for this notification; removed ones are
    // skipped. Ids keep their place however the vector grows.
    std::vector<std::uint64_t> targets;
    for (const auto& registration : m_registrations) {
        if (!registration.removed && registration.name == name
            && (registration.object == nullptr || registration.object == object))
            targets.push_back(registration.id);
    }
    ++m_deliveryDepth;
    for (auto id : targets) {
        auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
            [id](const Registration& r) { return r.id == id; });
        if (it == m_registrations.end() || it->removed)
            continue;
        Handler handler = it->handler; // the registration may go away while its handler runs
        handler(notification);
    }
    --m_deliveryDepth;
    compact();
}

std::size_t NotificationCenter::observationCount() const
{
    return std::count_if(m_registrations.begin(), m_registrations.end(),
        [](const Registration& r) { return !r.removed; });
}

void NotificationCenter::compact()
{
    if (m_deliveryDepth > 0)
        return;
    std::erase_if(m_registrations, [](const Registration& r) { return r.removed; });
}

} // namespace kit
