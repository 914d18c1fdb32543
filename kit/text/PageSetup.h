#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"
#include "kit/text/TextContainer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {

class TextStorage;
struct Attachment; // kit/text/Attributes.h

// Which of a section's headers (or footers) a page takes.
enum class HeaderFooterKind : std::uint8_t { Default, First, Even };
inline constexpr std::size_t kHeaderFooterKinds = 3;

enum class PageNumberFormat : std::uint8_t { Decimal, LowerRoman, UpperRoman, LowerLetter, UpperLetter };

// The white space around a page's body, points from the paper's edges. The header's top stands `header`
// below the paper's top edge and the footer's bottom `footer` above its bottom edge; the gutter widens the
// inner margin (the left one: pages are not mirrored here).
struct PageMargins {
    float top = 72;
    float bottom = 72;
    float left = 72;
    float right = 72;
    float header = 36;
    float footer = 36;
    float gutter = 0;
    // An exact top (bottom) margin holds whatever the header's (footer's) height: a taller band runs into the
    // body instead of pushing it away.
    bool isTopExact = false;
    bool isBottomExact = false;
    bool operator==(const PageMargins&) const = default;
};

// A column of a section whose columns differ in width: its width and the room after it (points).
struct SectionColumn {
    float width = 0;
    float spaceAfter = 0;
    bool operator==(const SectionColumn&) const = default;
};

// The lines around a section's pages, sides in the order top, left, bottom, right (style None: no line).
// Each side's distance (points) is from the text area's edge out to the line, or, measured from the page,
// from the paper's edge in to the line.
struct PageBorders {
    std::array<Border, 4> sides;
    std::array<float, 4> distances {};
    bool measuredFromText = true;
    bool isEmpty() const
    {
        return std::all_of(sides.begin(), sides.end(), [](const Border& side) { return side.style == LineStyle::None; });
    }
    bool operator==(const PageBorders&) const = default;
};

// One section of a document as its author set up its pages. Every importer that reads a page setup fills
// these; the stories of headers and footers are texts of their own, in the same attribute model.
struct PageSection {
    std::size_t start = 0; // byte offset in the body text of the section's first byte
    Size paperSize { 612, 792 }; // points, as the page lies: a landscape page is wider than tall
    PageMargins margins;
    bool titlePage = false; // the section's first page takes the First header and footer
    // Null where the section has none of that kind: it takes the previous section's ("linked").
    std::array<std::shared_ptr<TextStorage>, kHeaderFooterKinds> headers;
    std::array<std::shared_ptr<TextStorage>, kHeaderFooterKinds> footers;
    std::optional<int> pageNumberStart; // the number of the section's first page; none: continues
    PageNumberFormat pageNumberFormat = PageNumberFormat::Decimal;
    // The body's text runs in this many columns of one width, with this much room between two (points),
    // unless unequalColumns gives each its own width and room after it, left to right.
    int columnCount = 1;
    float columnSpacing = 36;
    std::vector<SectionColumn> unequalColumns;
    bool columnSeparator = false; // a rule down the middle of the room between two columns
    std::optional<Color> pageColor; // the paper's colour where the document gives one; none: white
    PageBorders borders;
    // Justified spreads the room left over between the page's paragraphs.
    VerticalAlignment verticalAlignment = VerticalAlignment::Top;

    // The body's area on the page, page points from the paper's top left (y down), never smaller than an
    // inch either way, so hostile margins still leave room for a line.
    Rect textRect() const;
    // The columns across a body width wide, x from its left edge. Unequal columns that do not add up to the
    // width (the paper changed, or the file is wrong) are scaled to fill it, keeping their proportions.
    std::vector<TextColumn> columnsAcross(float width) const;
};

enum class NoteKind : std::uint8_t { Footnote, Endnote };
// Where a document gathers its endnotes when its own pages are laid out.
enum class EndnotePlacement : std::uint8_t { EndOfDocument, EndOfSection };

// A footnote or an endnote. Its story is part of the body text: importers write every note's paragraphs
// after the body's, in one run at the end (that is how the printer's paper shows them, and so the text,
// find and copy see each note once). A layout of the document's own pages takes those paragraphs out of the
// flow and draws them at the foot of the page holding the reference, or at the end of the section or
// document for endnotes.
struct Note {
    NoteKind kind = NoteKind::Footnote;
    std::size_t reference = 0; // byte offset in the body of the reference mark's first byte
    std::string mark; // as the document shows it at the reference and before the text: "3", "iv", "*"
    Range text; // the note's paragraphs in the body: whole paragraphs, each ended by its '\n'
    bool operator==(const Note&) const = default;
};

// A text box. Its paragraphs (and tables) are part of the body text: importers write them right after the
// paragraph that anchors the box (or, for a box that stands between paragraphs, right before the one it goes
// with), which is how the printer's paper shows them and how the text, find and copy see them. A layout of the document's own pages takes them out of the flow and sets them inside the
// box, which floats where its placement says.
struct TextFrame {
    Range text; // whole paragraphs, each ended by its '\n'
    std::size_t anchor = 0; // the byte of the anchoring paragraph where the box stands (outside the text)
    // The box: its size, its placement (required) and what is drawn behind the text (a drawing; an empty
    // one draws nothing).
    std::shared_ptr<const Attachment> box;
    std::array<float, 4> insets { 3.6f, 7.2f, 3.6f, 7.2f }; // between the box's edges and its text: top, left, bottom, right
    bool growsWithText = false; // the box is as tall as its text needs, and at least its own height
};

// The sections of a document in text order; the first starts at byte 0.
struct PageSetup {
    std::vector<PageSection> sections;
    bool evenAndOddHeaders = false; // even pages take the Even header and footer
    std::vector<Note> notes; // in the order their texts stand in the body
    EndnotePlacement endnotePlacement = EndnotePlacement::EndOfDocument;
    std::vector<TextFrame> frames; // in the order their texts stand in the body

    // The section holding byte (the last one for a byte past the end); 0 when there are none.
    std::size_t sectionIndexAt(std::size_t byte) const;
    // The story a page of section shows: its own of that kind, else the nearest earlier section's. For
    // First and Even, a chain with none of that kind falls back to nothing, as a blank header.
    std::shared_ptr<TextStorage> header(std::size_t section, HeaderFooterKind) const;
    std::shared_ptr<TextStorage> footer(std::size_t section, HeaderFooterKind) const;
};

// A page number as the section's format writes it: 4 → "4", "iv", "IV", "d", "D"; letters repeat past z
// ("aa" for 27). Numbers below 1 are written in decimal.
std::string formatPageNumber(int number, PageNumberFormat);

} // namespace kit
