// HTML through the whole importer: encoding detection, libxml2's parser, the CSS cascade, lists, tables
// and images. Every byte string must import without crashing, and what comes out must keep the text
// model's invariants, which are checked here so that the fuzzer finds logic faults as well as memory ones.
#include "import/common/Dump.h"
#include "import/html/HtmlImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// Names the broken invariant on stderr before aborting, so that a crasher explains itself when replayed.
#define check(condition) checkAt(condition, #condition, __LINE__)

void checkAt(bool condition, const char* expression, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "html.cpp:%d: invariant broken: %s\n", line, expression);
    std::abort();
}

bool onlyAttachmentCharacters(std::string_view piece)
{
    std::string_view character(kit::kAttachmentCharacter);
    if (piece.empty() || piece.size() % character.size())
        return false;
    for (std::size_t i = 0; i < piece.size(); i += character.size()) {
        if (piece.substr(i, character.size()) != character)
            return false;
    }
    return true;
}

void checkInvariants(const kit::TextStorage& storage)
{
    const std::string& text = storage.string();
    const auto& runs = storage.runs();
    if (text.empty())
        return;
    check(!runs.empty() && runs.front().location == 0);
    // Every paragraph ends, so the text ends with a paragraph or page break.
    check(text.back() == '\n' || text.back() == '\f');
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : text.size();
        check(runs[r].location < end);
        std::string_view piece = std::string_view(text).substr(runs[r].location, end - runs[r].location);
        const kit::Attributes& a = *runs[r].attributes;
        // U+FFFC and attachments go together. Neighbouring runs with equal attributes merge by value, so two
        // identical pictures in a row (say two placeholders for the same missing file) share one run, one
        // U+FFFC each; the layout and the RTF writer draw one picture per U+FFFC of such a run.
        if (a.attachment)
            check(onlyAttachmentCharacters(piece) && a.attachment->size.width > 0 && a.attachment->size.height > 0);
        else
            check(piece.find(kit::kAttachmentCharacter) == std::string_view::npos);
        check(a.fontSize >= 1 && a.fontSize <= 1638);
        if (a.tableCell) {
            const kit::TableCell& cell = *a.tableCell;
            check(cell.row >= 0 && cell.column >= 0 && cell.rowSpan >= 1 && cell.columnSpan >= 1);
            check(std::size_t(cell.column + cell.columnSpan) <= cell.columnWidths.size());
            check(cell.nestingLevel >= 1 && (cell.nestingLevel == 1) == (cell.parent == nullptr));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    (void)importer::looksLikeHtml(bytes);
    importer::ImportResult result = importer::importHtml(bytes);
    check(result.text != nullptr);
    checkInvariants(*result.text);
    std::string plain = importer::plainText(*result.text);
    std::string runs = importer::dumpRuns(*result.text);
    (void)plain;
    (void)runs;
    return 0;
}
