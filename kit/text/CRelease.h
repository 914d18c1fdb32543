#pragma once

#include <memory>

namespace kit {

// Sole ownership of C objects; each alias names its release function once.
// "create/new/copy" hand us a reference to adopt; "get" does not, so never wrap what a getter returns.
template <auto Release> struct CRelease {
    template <typename T> void operator()(T* object) const { Release(object); }
};

} // namespace kit
