#pragma once

#include "kit/view/Object.h"

namespace kit {

// Connects a typed outlet (a plain or a weak pointer) to what a nib names: object must be a T, or null to
// disconnect. An object of another kind is refused (false) and the outlet keeps what it held, so a failed
// load leaves no half-set outlet behind.
template <typename T, typename Outlet> bool connectTypedOutlet(Outlet& outlet, Object* object)
{
    T* typed = dynamic_cast<T*>(object);
    if (object && !typed)
        return false;
    outlet = typed;
    return true;
}

template <typename T> bool connectOutlet(T*& outlet, Object* object)
{
    return connectTypedOutlet<T>(outlet, object);
}

template <typename T> bool connectOutlet(WeakPtr<T>& outlet, Object* object)
{
    return connectTypedOutlet<T>(outlet, object);
}

} // namespace kit
