#include "import/package/ZipWriter.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <map>
#include <utility>

namespace importer {

std::vector<std::uint8_t> buildZip(const std::vector<ZipEntry>& entries)
{
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_zip_new(sink, nullptr);
    if (!root) {
        g_object_unref(sink);
        return {};
    }
    // libgsf writes a folder's entries through the folder's own outfile; each is owned here until closed.
    std::map<std::string, GsfOutfile*> folders;
    auto folderFor = [&](const std::string& path) {
        GsfOutfile* parent = root;
        std::size_t start = 0;
        for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
            std::string walked = path.substr(0, slash);
            auto it = folders.find(walked);
            if (it == folders.end()) {
                GsfOutput* folder = gsf_outfile_new_child(parent, path.substr(start, slash - start).c_str(), TRUE);
                it = folders.emplace(walked, GSF_OUTFILE(folder)).first;
            }
            parent = it->second;
        }
        return std::make_pair(parent, path.substr(start));
    };
    for (const auto& entry : entries) {
        auto [parent, leaf] = folderFor(entry.name);
        GsfOutput* child = gsf_outfile_new_child_full(parent, leaf.c_str(), FALSE, "compression-level",
            entry.deflate ? GSF_ZIP_DEFLATED : GSF_ZIP_STORED, nullptr);
        if (!child)
            continue;
        gsf_output_write(child, entry.bytes.size(), reinterpret_cast<const guint8*>(entry.bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    // Folders close innermost first: a longer path sorts after its parent.
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

} // namespace importer
