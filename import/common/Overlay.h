#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace importer {

// Style inheritance as the package formats define it: what the overlaid properties set replaces the
// inherited value; what they leave unset keeps it.
template<typename T> void take(std::optional<T>& to, const std::optional<T>& from)
{
    if (from)
        to = from;
}

template<typename T, std::size_t N> void take(std::array<std::optional<T>, N>& to, const std::array<std::optional<T>, N>& from)
{
    for (std::size_t i = 0; i < N; ++i)
        take(to[i], from[i]);
}

} // namespace importer
