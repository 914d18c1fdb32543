#pragma once

// The rules every imported document keeps, whatever its bytes were: the text is valid UTF-8 without control
// characters other than tab, paragraph end and page break (and no page break inside a table cell), U+FFFC
// stands only where an attachment does and an attachment only on U+FFFC, and every table cell lies inside
// its table's grid. The fuzz targets check them, so that the fuzzer finds logic faults as well as memory
// ones, and name the broken rule before aborting, so that a crasher explains itself when replayed.

#include "import/common/Encoding.h"
#include "kit/text/TextStorage.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace fuzzoutput {

// Aborts, naming the target, the rule and what broke it, unless condition holds.
inline void require(bool condition, const char* target, const char* rule, std::string_view detail = {})
{
    if (condition)
        return;
    std::string shown(detail);
    std::fprintf(stderr, "%s: rule broken: %s%s%s\n", target, rule, shown.empty() ? "" : ": ", shown.c_str());
    std::abort();
}

inline bool onlyAttachmentCharacters(std::string_view piece)
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

// The first rule the storage breaks, or nullptr.
inline const char* brokenRule(const kit::TextStorage& storage)
{
    const std::string& text = storage.string();
    const auto& runs = storage.runs();
    if (text.empty())
        return nullptr;
    if (runs.empty() || runs.front().location != 0)
        return "runs cover the text from its start";
    if (!importer::encoding::isValidUtf8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())))
        return "the text is valid UTF-8";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : text.size();
        if (runs[r].location >= end)
            return "runs are not empty and in order";
        std::string_view piece = std::string_view(text).substr(runs[r].location, end - runs[r].location);
        const kit::Attributes& a = *runs[r].attributes;
        for (char c : piece) {
            auto u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\t' && c != '\n' && c != kit::kPageBreak) || u == 0x7F)
                return "no control characters but tab, paragraph end and page break";
            if (c == kit::kPageBreak && a.tableCell)
                return "no page break inside a table cell";
        }
        // Neighbouring runs with equal attributes merge by value, so two identical pictures in a row share
        // one run, one U+FFFC each.
        if (a.attachment) {
            if (!onlyAttachmentCharacters(piece))
                return "an attachment stands on U+FFFC only";
            if (!(a.attachment->size.width > 0 && a.attachment->size.height > 0))
                return "an attachment has a size";
        } else if (piece.find(kit::kAttachmentCharacter) != std::string_view::npos) {
            return "U+FFFC only with an attachment";
        }
        if (!(a.fontSize >= 1 && a.fontSize <= 1638))
            return "font sizes are in range";
        if (a.tableCell) {
            const kit::TableCell& cell = *a.tableCell;
            if (cell.row < 0 || cell.column < 0 || cell.rowSpan < 1 || cell.columnSpan < 1)
                return "a cell's row, column and spans are positive";
            if (std::size_t(cell.column) + std::size_t(cell.columnSpan) > cell.columnWidths.size())
                return "a cell lies inside its table's grid";
            if (cell.nestingLevel < 1 || (cell.nestingLevel == 1) != (cell.parent == nullptr))
                return "a nested cell names its enclosing cell, a top-level one none";
        }
    }
    return nullptr;
}

// Aborts, naming the target and the rule, when the storage breaks one.
inline void checkOutput(const kit::TextStorage& storage, const char* target)
{
    const char* rule = brokenRule(storage);
    require(!rule, target, rule ? rule : "");
}

} // namespace fuzzoutput
