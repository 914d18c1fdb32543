#pragma once

#include <cstddef>
#include <memory>

namespace kit {

// The base of every class whose objects may be named by a WeakPtr: it carries the liveness token. The
// token goes with the base, after the whole object (the derived destructors and members) is gone. A copy
// of an object is another object: it gets a token of its own, and assignment keeps each object's token.
class Weakable {
public:
    std::weak_ptr<const void> lifeToken() const { return m_lifeToken; }

protected:
    Weakable() = default;
    Weakable(const Weakable&) { }
    Weakable& operator=(const Weakable&) { return *this; }
    ~Weakable() = default;

private:
    std::shared_ptr<const char> m_lifeToken = std::make_shared<const char>(0);
};

// A non-owning pointer that reads as null once its object has been destroyed: for targets, delegates, and
// callbacks posted to the run loop whose object may go first:
//
//     kit::RunLoop::post([window = kit::WeakPtr(this)] { if (window) window->close(); });
//
// It may be made and copied on any thread, but it is tested and followed only on the thread that destroys
// its object (the UI thread for every object of ours): nothing keeps the object alive while it is used.
template<typename T> class WeakPtr {
public:
    WeakPtr() = default;
    WeakPtr(std::nullptr_t) { }
    WeakPtr(T* object)
        : m_object(object)
    {
        if (object)
            m_token = static_cast<const Weakable*>(object)->lifeToken();
    }
    T* get() const { return m_token.expired() ? nullptr : m_object; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get(); }
    // True when an object was given, whether or not it still lives.
    bool wasSet() const { return m_object; }
    bool operator==(const WeakPtr& other) const { return get() == other.get(); }

private:
    T* m_object = nullptr;
    std::weak_ptr<const void> m_token;
};

} // namespace kit
