#include "kit/view/NibTopLevelObjects.h"

#include <algorithm>

namespace kit {

NibTopLevelObjects::~NibTopLevelObjects()
{
    clear();
}

bool NibTopLevelObjects::contains(const Object* object) const
{
    return std::any_of(m_objects.begin(), m_objects.end(), [&](auto& held) { return held.get() == object; });
}

void NibTopLevelObjects::add(std::unique_ptr<Object> object)
{
    object->m_owningNibSet = this;
    m_objects.push_back(std::move(object));
}

std::unique_ptr<Object> NibTopLevelObjects::take(Object* object)
{
    auto it = std::find_if(m_objects.begin(), m_objects.end(), [&](auto& held) { return held.get() == object; });
    if (it == m_objects.end())
        return nullptr;
    std::unique_ptr<Object> taken = std::move(*it);
    m_objects.erase(it);
    taken->m_owningNibSet = nullptr;
    return taken;
}

void NibTopLevelObjects::clear()
{
    // One at a time from the back: a destructor may still look at the set.
    while (!m_objects.empty()) {
        std::unique_ptr<Object> last = std::move(m_objects.back());
        m_objects.pop_back();
        last->m_owningNibSet = nullptr;
        last.reset();
    }
}

} // namespace kit
