#pragma once

// Builds ZIP packages in memory with the package writer, so tests feed the importers real archives of their
// own making. Header-only: the OpenDocument tests use it too.

#include "import/package/ZipWriter.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace testzip {

using Entry = importer::ZipEntry;

inline std::vector<std::uint8_t> build(const std::vector<Entry>& entries) { return importer::buildZip(entries); }

inline std::span<const std::uint8_t> view(const std::vector<std::uint8_t>& bytes)
{
    return { bytes.data(), bytes.size() };
}

} // namespace testzip
