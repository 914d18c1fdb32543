#pragma once

// Canonical dumps for comparing a text storage with its RTF round trip: every attribute the model carries,
// rounded to what RTF stores (twips, half points, 8-bit colour, 1/240 line multiples), with the few
// liberties the format takes made explicit. Shared by the RTF tests and the corpus-wide importer tests.

#include "kit/text/TextStorage.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <algorithm>

namespace roundtrip {

inline std::string number(double value, double unitsPerPoint)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4g", std::round(value * unitsPerPoint) / unitsPerPoint);
    return std::string(buffer) == "-0" ? "0" : buffer;
}
inline std::string twips(float points) { return number(points, 20); }

inline std::string color(const kit::Color& c)
{
    auto rgba = c.usingCalibratedRGB().value_or(kit::Color::blackColor()).rgba();
    char buffer[16];
    auto component = [](float v) { return std::lround(std::clamp(double(v), 0.0, 1.0) * 255.0); };
    std::snprintf(buffer, sizeof buffer, "#%02lx%02lx%02lx", component(rgba[0]), component(rgba[1]), component(rgba[2]));
    return buffer;
}

inline std::string border(const kit::Border& b)
{
    if (b.style == kit::LineStyle::None)
        return "-";
    return std::string(b.style == kit::LineStyle::Double ? "double" : "single") + "/" + twips(b.width) + "/" + color(b.color);
}

// Table ids are numbered in order of appearance, since a reader numbers its tables its own way.
class Canonicalizer {
public:
    std::string paragraph(const kit::ParagraphStyle& p, float documentTabInterval)
    {
        static const char* alignments[] = { "natural", "left", "right", "center", "justified" };
        static const char* directions[] = { "natural", "ltr", "rtl" };
        std::string out = std::string(alignments[int(p.alignment)]) + " " + directions[int(p.baseDirection)];
        out += " indent=" + twips(p.firstLineHeadIndent) + "," + twips(p.headIndent) + "," + twips(std::max(0.0f, p.tailIndent));
        out += " space=" + twips(std::max(0.0f, p.spacingBefore)) + "," + twips(std::max(0.0f, p.spacingAfter));
        if (p.lineSpacingRule == kit::LineSpacingRule::Multiple)
            out += " line=x" + number(p.lineSpacing, 240);
        else
            out += std::string(p.lineSpacingRule == kit::LineSpacingRule::Exact ? " line=exact" : " line=atleast") + twips(p.lineSpacing);
        std::map<std::string, int> tabs; // RTF keeps one stop per position, sorted
        for (const auto& tab : p.tabStops)
            tabs.emplace(twips(tab.location), int(tab.alignment));
        for (const auto& [location, alignment] : tabs)
            out += " tab=" + location + "/" + std::to_string(alignment);
        // The default tab interval is one number for the whole document in RTF.
        out += " deftab=" + twips(documentTabInterval);
        if (p.pageBreakBefore)
            out += " pagebreak";
        if (p.keepWithNext)
            out += " keepnext";
        return out;
    }

    std::string cell(const kit::TableCell& c)
    {
        auto id = m_tableIds.emplace(c.tableId, int(m_tableIds.size()) + 1).first->second;
        std::string out = "t" + std::to_string(id) + " r" + std::to_string(c.row) + " c" + std::to_string(c.column)
            + " span=" + std::to_string(c.rowSpan) + "x" + std::to_string(c.columnSpan) + " nest="
            + std::to_string(c.nestingLevel);
        for (const auto& b : c.borders)
            out += " " + border(b);
        if (c.shading)
            out += " shade=" + color(*c.shading);
        out += " pad=";
        for (float p : c.padding)
            out += twips(p) + ",";
        out += " widths=";
        for (float w : c.columnWidths)
            out += twips(w) + ",";
        if (c.isHeaderRow)
            out += " header";
        if (c.rowKeepsTogether)
            out += " kept";
        if (c.parent)
            out += " in(r" + std::to_string(c.parent->row) + "c" + std::to_string(c.parent->column) + ")";
        return out;
    }

    std::string attributes(const kit::Attributes& a, char32_t firstCharacter, float documentTabInterval)
    {
        std::string out = a.fontFamily + " " + number(a.fontSize, 2);
        if (!a.fontFamilyEastAsian.empty() && a.fontFamilyEastAsian != a.fontFamily)
            out += " ea=" + a.fontFamilyEastAsian;
        if (!a.fontFamilyComplex.empty() && a.fontFamilyComplex != a.fontFamily)
            out += " cs=" + a.fontFamilyComplex;
        out += a.bold ? " b" : "";
        out += a.italic ? " i" : "";
        out += " ul=" + std::to_string(int(a.underline)) + " st=" + std::to_string(int(a.strikethrough));
        out += a.allCaps ? " caps" : "";
        out += a.smallCaps ? " scaps" : "";
        if (a.foreground)
            out += " fg=" + color(*a.foreground);
        if (a.background)
            out += " bg=" + color(*a.background);
        out += " sup=" + std::to_string(a.superscript) + " shift=" + number(a.baselineShift, 2);
        // A link or a label mark on a paragraph end means nothing and RTF does not keep it.
        bool isParagraphEnd = firstCharacter == '\n' || firstCharacter == '\f';
        if (!a.link.empty() && !isParagraphEnd)
            out += " link=" + a.link;
        if (a.listLabel && !isParagraphEnd)
            out += " label";
        out += " | " + paragraph(a.paragraphStyle(), documentTabInterval);
        if (a.tableCell)
            out += " | " + cell(*a.tableCell);
        if (a.attachment) {
            const auto& m = *a.attachment;
            // RTF embeds PNG and JPEG only: other images, and shapes and charts drawn from shapes, arrive as
            // PNG with other bytes (the RTF tests compare the bytes of PNG and JPEG pictures themselves).
            std::string type = m.drawing ? std::string("drawing") : m.mimeType.empty() ? std::string("placeholder") : m.mimeType;
            bool isConverted = type != "placeholder" && type != "image/png" && type != "image/jpeg";
            out += " | attachment " + (isConverted ? std::string("image/png") : type) + " " + twips(m.size.width) + "x"
                + twips(m.size.height) + (m.placement ? " floats" : "") + " bytes=" + (m.bytes.empty() && !m.drawing ? "none" : "some")
                + " alt=" + m.alternativeText;
        }
        return out;
    }

private:
    std::map<int, int> m_tableIds;
};

// One line per run of equal canonical attributes, then the text; two storages that a round trip should
// keep equal give equal strings.
inline std::string canonicalDump(const kit::TextStorage& storage)
{
    Canonicalizer canonicalizer;
    const std::string& text = storage.string();
    float tabInterval = storage.length() ? storage.attributesAt(0).paragraphStyle().defaultTabInterval : 36;
    std::string out;
    std::string previous;
    std::string pending;
    auto add = [&](const std::string& line, std::string_view part) {
        if (line != previous) {
            if (!pending.empty())
                out += previous + " \"" + pending + "\"\n";
            pending.clear();
            previous = line;
        }
        for (char c : part)
            pending += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : c == '\f' ? std::string("\\f") : std::string(1, c);
    };
    const auto& runs = storage.runs();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t start = runs[r].location;
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : text.size();
        const kit::Attributes& attributes = *runs[r].attributes;
        std::string body;
        std::string paragraphEnd;
        while (start < end) {
            std::size_t stop = text.find_first_of("\n\f", start);
            if (stop == std::string::npos || stop >= end)
                stop = end;
            if (stop > start) {
                if (body.empty())
                    body = canonicalizer.attributes(attributes, 'x', tabInterval);
                add(body, std::string_view(text).substr(start, stop - start));
            }
            if (stop < end) {
                if (paragraphEnd.empty())
                    paragraphEnd = canonicalizer.attributes(attributes, '\n', tabInterval);
                add(paragraphEnd, std::string_view(text).substr(stop, 1));
                ++stop;
            }
            start = stop;
        }
    }
    if (!pending.empty())
        out += previous + " \"" + pending + "\"\n";
    return out;
}

// The page setup in the same spirit: each section's start, paper, margins and numbering in RTF's units, and
// the canonical dump of every story it holds itself (a linked story shows as "linked").
inline std::string pageSetupDump(const kit::PageSetup* setup)
{
    if (!setup)
        return "no page setup\n";
    std::string out = setup->evenAndOddHeaders ? "even and odd headers\n" : "";
    for (const kit::PageSection& section : setup->sections) {
        const kit::PageMargins& m = section.margins;
        out += "section at " + std::to_string(section.start) + ": " + twips(section.paperSize.width) + "x"
            + twips(section.paperSize.height) + " margins " + twips(m.top) + " " + twips(m.bottom) + " " + twips(m.left)
            + " " + twips(m.right) + " " + twips(m.header) + " " + twips(m.footer) + " " + twips(m.gutter)
            + (section.titlePage ? " title page" : "") + " numbers "
            + (section.pageNumberStart ? "from " + std::to_string(*section.pageNumberStart) : std::string("continue"))
            + " format " + std::to_string(int(section.pageNumberFormat)) + "\n";
        const char* kinds[] = { "default", "first", "even" };
        for (std::size_t kind = 0; kind < kit::kHeaderFooterKinds; ++kind) {
            for (bool header : { true, false }) {
                const auto& story = (header ? section.headers : section.footers)[kind];
                out += std::string(header ? "  header " : "  footer ") + kinds[kind] + ": "
                    + (story ? "\n" + canonicalDump(*story) : std::string("linked\n"));
            }
        }
    }
    return out;
}

} // namespace roundtrip
