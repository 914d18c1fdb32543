#pragma once

// Builds ZIP packages in memory with libgsf's writer, so tests feed the importers real archives of their own
// making. Header-only: the OpenDocument tests use it too.

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace testzip {

struct Entry {
    std::string name; // "word/document.xml"
    std::string bytes;
    bool deflate = true;
};

inline std::vector<std::uint8_t> build(const std::vector<Entry>& entries)
{
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_zip_new(sink, nullptr);
    std::map<std::string, GsfOutfile*> folders; // by path, owned until closed below
    auto folderFor = [&](const std::string& path) {
        GsfOutfile* parent = root;
        std::string walked;
        std::size_t start = 0;
        while (true) {
            std::size_t slash = path.find('/', start);
            if (slash == std::string::npos)
                break;
            walked = path.substr(0, slash);
            auto it = folders.find(walked);
            if (it == folders.end()) {
                GsfOutput* folder = gsf_outfile_new_child(parent, path.substr(start, slash - start).c_str(), TRUE);
                it = folders.emplace(walked, GSF_OUTFILE(folder)).first;
            }
            parent = it->second;
            start = slash + 1;
        }
        return std::make_pair(parent, path.substr(start));
    };
    for (const auto& entry : entries) {
        auto [parent, leaf] = folderFor(entry.name);
        GsfOutput* child = gsf_outfile_new_child_full(parent, leaf.c_str(), FALSE, "compression-level",
            entry.deflate ? GSF_ZIP_DEFLATED : GSF_ZIP_STORED, nullptr);
        gsf_output_write(child, entry.bytes.size(), reinterpret_cast<const guint8*>(entry.bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    // Folders close innermost first (longest paths sort after their parents).
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        gsf_output_close(GSF_OUTPUT(it->second));
        g_object_unref(it->second);
    }
    gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
    std::vector<std::uint8_t> bytes(data, data + gsf_output_size(sink));
    g_object_unref(sink);
    return bytes;
}

inline std::span<const std::uint8_t> view(const std::vector<std::uint8_t>& bytes)
{
    return { bytes.data(), bytes.size() };
}

} // namespace testzip
