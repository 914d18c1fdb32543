#include "import/common/Dump.h"

#include <cstdio>

namespace importer {

namespace {

bool sameRow(const kit::TableCell* a, const kit::TableCell* b)
{
    return a && b && a->tableId == b->tableId && a->row == b->row;
}

std::string formatFloat(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", double(value));
    return buffer;
}

std::string formatColor(const kit::Color& color)
{
    auto c = color.rgba();
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", int(c[0] * 255 + 0.5f), int(c[1] * 255 + 0.5f),
        int(c[2] * 255 + 0.5f));
    std::string result = buffer;
    if (c[3] < 1)
        result += "/" + formatFloat(c[3]);
    return result;
}

std::string escape(std::string_view text)
{
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

std::string describe(const kit::Attributes& a)
{
    static const kit::Attributes defaults;
    static const kit::ParagraphStyle defaultParagraph;
    std::string out = a.fontFamily + " " + formatFloat(a.fontSize);
    if (!a.fontFamilyEastAsian.empty())
        out += " ea=" + a.fontFamilyEastAsian;
    if (!a.fontFamilyComplex.empty())
        out += " cs=" + a.fontFamilyComplex;
    if (a.bold)
        out += " bold";
    if (a.italic)
        out += " italic";
    if (a.underline != kit::LineStyle::None)
        out += a.underline == kit::LineStyle::Double ? " underline=double" : " underline";
    if (a.strikethrough != kit::LineStyle::None)
        out += a.strikethrough == kit::LineStyle::Double ? " strike=double" : " strike";
    if (a.allCaps)
        out += " caps";
    if (a.smallCaps)
        out += " smallcaps";
    if (a.foreground)
        out += " fg=" + formatColor(*a.foreground);
    if (a.background)
        out += " bg=" + formatColor(*a.background);
    if (a.superscript)
        out += a.superscript > 0 ? " super" : " sub";
    if (a.baselineShift != 0)
        out += " shift=" + formatFloat(a.baselineShift);
    if (!a.link.empty())
        out += " link=" + a.link;
    if (a.listLabel)
        out += " label";
    if (a.paragraph && !(*a.paragraph == defaultParagraph)) {
        const auto& p = *a.paragraph;
        static const char* alignments[] = { "natural", "left", "right", "center", "justified" };
        out += " | " + std::string(alignments[int(p.alignment)]);
        if (p.baseDirection == kit::WritingDirection::RightToLeft)
            out += " rtl";
        if (p.firstLineHeadIndent || p.headIndent || p.tailIndent)
            out += " indent=" + formatFloat(p.firstLineHeadIndent) + "," + formatFloat(p.headIndent) + ","
                + formatFloat(p.tailIndent);
        if (p.spacingBefore || p.spacingAfter)
            out += " space=" + formatFloat(p.spacingBefore) + "," + formatFloat(p.spacingAfter);
        if (!(p.lineSpacingRule == kit::LineSpacingRule::Multiple && p.lineSpacing == 1)) {
            static const char* rules[] = { "x", "exact", "atleast" };
            out += " line=" + std::string(rules[int(p.lineSpacingRule)]) + formatFloat(p.lineSpacing);
        }
        if (!p.tabStops.empty()) {
            out += " tabs=";
            for (std::size_t i = 0; i < p.tabStops.size(); ++i)
                out += (i ? "," : "") + formatFloat(p.tabStops[i].location);
        }
        if (p.pageBreakBefore)
            out += " pagebreak";
        if (p.keepWithNext)
            out += " keepnext";
    }
    if (a.tableCell) {
        const auto& c = *a.tableCell;
        out += " | cell t" + std::to_string(c.tableId) + " r" + std::to_string(c.row) + " c" + std::to_string(c.column);
        if (c.rowSpan > 1 || c.columnSpan > 1)
            out += " span=" + std::to_string(c.rowSpan) + "x" + std::to_string(c.columnSpan);
        if (c.nestingLevel > 1)
            out += " nest=" + std::to_string(c.nestingLevel);
        if (c.isHeaderRow)
            out += " header";
    }
    if (a.attachment) {
        const auto& m = *a.attachment;
        std::string kind = m.drawing ? std::string("drawing") : m.mimeType.empty() ? std::string("placeholder") : m.mimeType;
        out += " | attachment " + kind + " " + formatFloat(m.size.width) + "x" + formatFloat(m.size.height);
        if (m.placement)
            out += " floats";
        if (!m.alternativeText.empty())
            out += " alt=\"" + m.alternativeText + "\"";
    }
    (void)defaults;
    return out;
}

} // namespace

std::string plainText(const kit::TextStorage& storage)
{
    const std::string& text = storage.string();
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char ch = text[i];
        if (ch == '\n') {
            // A cell's closing paragraph break becomes a tab when the next paragraph is a cell of the same row.
            const kit::TableCell* cell = storage.attributesAt(i).tableCell.get();
            const kit::TableCell* next = i + 1 < text.size() ? storage.attributesAt(i + 1).tableCell.get() : nullptr;
            bool endsCell = cell && next ? (cell->row != next->row || cell->column != next->column || cell->tableId != next->tableId) : false;
            out += endsCell && sameRow(cell, next) ? '\t' : '\n';
            ++i;
            continue;
        }
        if (text.compare(i, 3, kit::kLineSeparator) == 0) {
            out += '\n';
            i += 3;
            continue;
        }
        out += ch;
        ++i;
    }
    return out;
}

std::string dumpRuns(const kit::TextStorage& storage)
{
    std::string out;
    const auto& runs = storage.runs();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t start = runs[r].location;
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : storage.length();
        out += std::to_string(start) + "-" + std::to_string(end) + " " + describe(*runs[r].attributes) + " \""
            + escape(std::string_view(storage.string()).substr(start, end - start)) + "\"\n";
    }
    return out;
}

} // namespace importer
