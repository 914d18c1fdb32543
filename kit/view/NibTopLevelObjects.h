#pragma once

#include "kit/view/Object.h"

#include <memory>
#include <vector>

namespace kit {

// The top-level objects of a loaded nib, held for the nib's owner until something takes them: adding a
// top-level view as a subview moves it out (View::addSubview(View&)); a window controller takes its window.
// What nobody took is destroyed with the set, last made first. The set cannot move: objects point at it.
class NibTopLevelObjects {
public:
    NibTopLevelObjects() = default;
    NibTopLevelObjects(const NibTopLevelObjects&) = delete;
    NibTopLevelObjects& operator=(const NibTopLevelObjects&) = delete;
    ~NibTopLevelObjects();

    std::size_t size() const { return m_objects.size(); }
    bool empty() const { return m_objects.empty(); }
    bool contains(const Object* object) const;
    const std::vector<std::unique_ptr<Object>>& objects() const { return m_objects; }

    void add(std::unique_ptr<Object> object);
    // Hands object to the caller; null when the set does not hold it.
    std::unique_ptr<Object> take(Object* object);
    template<typename T> std::unique_ptr<T> take(T* object)
    {
        std::unique_ptr<Object> taken = take(static_cast<Object*>(object));
        return std::unique_ptr<T>(static_cast<T*>(taken.release()));
    }
    // Destroys everything still held.
    void clear();

private:
    std::vector<std::unique_ptr<Object>> m_objects;
};

} // namespace kit
