#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

inline constexpr const char* ViewFrameDidChangeNotification = "NSViewFrameDidChangeNotification";
inline constexpr const char* ViewBoundsDidChangeNotification = "NSViewBoundsDidChangeNotification";

struct Notification {
    std::string name;
    const void* object = nullptr; // the sender, compared by identity only
};

// Synchronous, in-process notifications. Observers and senders are identities (non-owning pointers):
// an observer removes itself in its own teardown.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // object == nullptr observes every sender of that name.
    void addObserver(const void* observer, std::string name, const void* object, Handler handler);
    // Removes every registration of the observer.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, std::string_view name, const void* object);
    // Delivers to the matching registrations in registration order before it returns. An observer may
    // remove itself or others during delivery: a removed registration is not called afterwards.
    void postNotification(std::string_view name, const void* object);

    std::size_t observationCount() const;

private:
    struct Registration {
        std::uint64_t id;
        const void* observer;
        std::string name;
        const void* object;
        Handler handler;
        bool removed = false;
    };
    void compact();
    std::vector<Registration> m_registrations;
    std::uint64_t m_nextId = 1;
    int m_deliveryDepth = 0;
};

} // namespace kit
