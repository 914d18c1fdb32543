#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace importer {

struct ZipEntry {
    std::string name; // a part name with '/' between folders: "word/document.xml"
    std::string bytes;
    bool deflate = true; // else stored as it is
};

// A ZIP archive of the entries, built in memory with libgsf's writer: for formats that are read by turning
// them into the package another reader knows.
std::vector<std::uint8_t> buildZip(const std::vector<ZipEntry>& entries);

} // namespace importer
