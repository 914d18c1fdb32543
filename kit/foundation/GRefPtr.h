#pragma once

#include <cstddef>
#include <glib-object.h>
#include <utility>

namespace kit {

// One counted reference to a GObject, released when the holder goes. A raw pointer never converts silently:
// the caller says whether it hands over a reference it owns or lends one.
//  - adoptGRef(p): p came from a "new", "create", "copy" or "dup" function, or anything documented as
//    "transfer full"; the holder takes that reference over. A floating reference (a fresh GInitiallyUnowned,
//    such as a GTK widget) is sunk, which makes it an ordinary one without counting it twice.
//  - retainGRef(p): p was lent ("get" functions, "transfer none", callback arguments); the holder takes a
//    reference of its own (or the floating one, when nobody owns p yet).
// Copies share the object and count one more reference each; a moved-from holder is empty.
template <typename T> class GRefPtr {
public:
    GRefPtr() = default;
    GRefPtr(std::nullptr_t) { }
    GRefPtr(const GRefPtr& other)
        : m_ptr(other.m_ptr)
    {
        if (m_ptr)
            g_object_ref(m_ptr);
    }
    GRefPtr(GRefPtr&& other) noexcept
        : m_ptr(std::exchange(other.m_ptr, nullptr))
    {
    }
    ~GRefPtr() { clear(); }

    GRefPtr& operator=(GRefPtr other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }
    GRefPtr& operator=(std::nullptr_t)
    {
        clear();
        return *this;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr; }

    // Hands the reference to the caller, who must release it (or pass it to a "transfer full" parameter).
    [[nodiscard]] T* leakRef() { return std::exchange(m_ptr, nullptr); }

    template <typename U> friend GRefPtr<U> adoptGRef(U*);

private:
    explicit GRefPtr(T* adopted)
        : m_ptr(adopted)
    {
    }
    void clear()
    {
        if (T* ptr = std::exchange(m_ptr, nullptr))
            g_object_unref(ptr);
    }

    T* m_ptr = nullptr;
};

template <typename T> GRefPtr<T> adoptGRef(T* object)
{
    if (object && g_object_is_floating(object))
        g_object_ref_sink(object);
    return GRefPtr<T>(object);
}

// A floating object has no owner yet, so the lent reference is the floating one: it is sunk, not counted again.
template <typename T> GRefPtr<T> retainGRef(T* object)
{
    if (object)
        g_object_ref_sink(object);
    return adoptGRef(object);
}

template <typename T, typename U> bool operator==(const GRefPtr<T>& a, const GRefPtr<U>& b)
{
    return static_cast<const void*>(a.get()) == static_cast<const void*>(b.get());
}

} // namespace kit
