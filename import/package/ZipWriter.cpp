#include "import/package/ZipWriter.h"

#include "kit/foundation/GRefPtr.h"

#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <map>
#include <utility>

namespace importer {

std::vector<std::uint8_t> buildZip(const std::vector<ZipEntry>& entries)
{
    auto sink = kit::adoptGRef(gsf_output_memory_new());
    auto root = kit::adoptGRef(gsf_outfile_zip_new(sink.get(), nullptr));
    if (!root)
        return {};
    // libgsf writes a folder's entries through the folder's own outfile; each is held here until closed.
    std::map<std::string, kit::GRefPtr<GsfOutfile>> folders;
    auto folderFor = [&](const std::string& path) {
        GsfOutfile* parent = root.get();
        std::size_t start = 0;
        for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
            std::string walked = path.substr(0, slash);
            auto it = folders.find(walked);
            if (it == folders.end()) {
                GsfOutput* folder = gsf_outfile_new_child(parent, path.substr(start, slash - start).c_str(), TRUE);
                it = folders.emplace(walked, kit::adoptGRef(GSF_OUTFILE(folder))).first;
            }
            parent = it->second.get();
        }
        return std::make_pair(parent, path.substr(start));
    };
    for (const auto& entry : entries) {
        auto [parent, leaf] = folderFor(entry.name);
        auto child = kit::adoptGRef(gsf_outfile_new_child_full(parent, leaf.c_str(), FALSE, "compression-level",
            entry.deflate ? GSF_ZIP_DEFLATED : GSF_ZIP_STORED, nullptr));
        if (!child)
            continue;
        gsf_output_write(child.get(), entry.bytes.size(), reinterpret_cast<const guint8*>(entry.bytes.data()));
        gsf_output_close(child.get());
    }
    // Folders close innermost first: a longer path sorts after its parent.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        gsf_output_close(GSF_OUTPUT(it->second.get()));
    folders.clear();
    gsf_output_close(GSF_OUTPUT(root.get()));
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    return std::vector<std::uint8_t>(data, data + gsf_output_size(sink.get()));
}

} // namespace importer
