#include "import/docx/DocxAltChunk.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "import/docx/DocxImporter.h"
#include "import/html/HtmlImporter.h"

#include <algorithm>
#include <map>
#include <set>

namespace importer::docx {

namespace {

// Embedded .docx files may embed others; three levels is more than any real document uses.
constexpr int kMaxChunkDepth = 3;

std::shared_ptr<kit::TextStorage> importChunkPart(DocxPackage& package, const std::string& target, int chunkDepth)
{
    auto bytes = package.readPart(target);
    if (!bytes)
        return nullptr;
    std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    std::string type = package.contentType(target);
    std::transform(type.begin(), type.end(), type.begin(), [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; });
    if (type.find("html") != std::string::npos)
        return importHtml(data).text;
    if (type.find("rtf") != std::string::npos)
        return kit::TextStorage::fromRtf(data);
    if (type == "text/plain") {
        auto text = std::make_shared<kit::TextStorage>();
        OutputBudget::current().append(*text, encoding::sanitizeUtf8(data), kit::Attributes {});
        return text;
    }
    if (type.find("wordprocessingml.document") != std::string::npos && chunkDepth < kMaxChunkDepth)
        return importDocx(data, chunkDepth + 1).text;
    return nullptr;
}

} // namespace

std::shared_ptr<const kit::TextStorage> importAltChunk(DocxPackage& package, const std::string& partName,
    std::string_view relationshipId, int chunkDepth, AltChunkCache& cache)
{
    const auto& relationships = package.relationships(partName);
    auto it = relationships.find(relationshipId);
    if (it == relationships.end() || it->second.isExternal)
        return nullptr;
    const std::string& target = it->second.target;
    if (auto known = cache.find(target); known != cache.end())
        return known->second;
    auto imported = importChunkPart(package, target, chunkDepth);
    cache.emplace(target, imported);
    return imported;
}

void appendForeignText(kit::TextStorage& out, const kit::TextStorage& chunk, const std::shared_ptr<const kit::TableCell>& enclosingCell,
    int& tableCount)
{
    const auto& runs = chunk.runs();
    // Copies of the chunk's cells, their ids moved past ours. A copy's parent must be a copy some run keeps
    // alive, so only cells that carry text are parents.
    std::set<const kit::TableCell*> present;
    for (const auto& run : runs) {
        if (run.attributes->tableCell)
            present.insert(run.attributes->tableCell.get());
    }
    std::map<const kit::TableCell*, std::shared_ptr<const kit::TableCell>> copies;
    int largestId = 0;
    auto copyOf = [&](auto& self, const kit::TableCell* original, int depth) -> std::shared_ptr<const kit::TableCell> {
        if (!original || depth > 64 || !present.count(original))
            return nullptr;
        if (auto it = copies.find(original); it != copies.end())
            return it->second;
        auto copy = std::make_shared<kit::TableCell>(*original);
        largestId = std::max(largestId, original->tableId);
        copy->tableId = original->tableId + tableCount;
        copy->parent = self(self, original->parent, depth + 1).get();
        copies[original] = copy;
        return copy;
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t start = runs[r].location;
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : chunk.length();
        std::string text(std::string_view(chunk.string()).substr(start, end - start));
        kit::Attributes attributes = *runs[r].attributes;
        if (enclosingCell) {
            // A page cannot begin inside a cell.
            std::replace(text.begin(), text.end(), kit::kPageBreak, '\n');
            attributes.tableCell = enclosingCell;
        } else if (attributes.tableCell) {
            attributes.tableCell = copyOf(copyOf, attributes.tableCell.get(), 0);
        }
        OutputBudget::current().append(out, text, attributes);
    }
    tableCount += largestId;
}

} // namespace importer::docx
