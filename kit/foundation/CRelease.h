#pragma once

#include <memory>

namespace kit {

// Sole ownership of a C object whose library names one release function for it: each alias names that
// function once, as in `using CairoPtr = CPtr<cairo_t, cairo_destroy>;`. GObjects are counted, not solely
// owned: hold them in a GRefPtr instead.
template <auto Release> struct CRelease {
    template <typename T> void operator()(T* object) const { Release(object); }
};
template <typename T, auto Release> using CPtr = std::unique_ptr<T, CRelease<Release>>;

} // namespace kit
