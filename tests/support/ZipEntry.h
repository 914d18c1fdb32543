#pragma once

// One entry of a ZIP file read with libgsf, independently of the package reader under test: the corpus tests
// compare what the importers make of a document with a simple reading of its XML parts.

#include "kit/foundation/GRefPtr.h"

#include <cstdint>
#include <cstring>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The bytes of the entry called name ("word/document.xml"); nullopt when zip is no ZIP file, has no such entry
// or cannot be read whole.
inline std::optional<std::string> zipEntry(const std::vector<std::uint8_t>& zip, const std::string& name)
{
    auto input = kit::adoptGRef(gsf_input_memory_new(zip.data(), gsf_off_t(zip.size()), FALSE));
    auto archive = kit::adoptGRef(gsf_infile_zip_new(input.get(), nullptr));
    if (!archive)
        return std::nullopt;
    std::vector<const char*> names;
    std::string path = name;
    for (char* part = std::strtok(path.data(), "/"); part; part = std::strtok(nullptr, "/"))
        names.push_back(part);
    names.push_back(nullptr);
    auto entry = kit::adoptGRef(gsf_infile_child_by_aname(archive.get(), names.data()));
    if (!entry)
        return std::nullopt;
    std::string bytes(std::size_t(gsf_input_size(entry.get())), '\0');
    if (!gsf_input_read(entry.get(), bytes.size(), reinterpret_cast<guint8*>(bytes.data())))
        return std::nullopt;
    return bytes;
}

} // namespace testsupport
