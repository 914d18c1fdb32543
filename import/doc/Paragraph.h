#pragma once

#include "import/doc/Properties.h"
#include "kit/text/Attributes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace importer::doc {

// A run of text with its character attributes; paragraph and table-cell attributes are added when the
// paragraph is written into the text storage.
struct Span {
    std::string text; // UTF-8
    kit::Attributes attributes;
};

// A floating text box anchored in a paragraph: where it stands in the spans' text, its shape, and the box
// its text is set in on the document's own pages (kit::TextFrame).
struct FrameAnchor {
    std::size_t byte = 0;
    std::uint32_t shape = 0;
    std::shared_ptr<const kit::Attachment> box;
    std::array<float, 4> insets {};
};

// One paragraph as read from a story, before tables are assembled.
struct Paragraph {
    ParagraphProperties properties;
    std::optional<TableProperties> row; // on the mark that ends a table row
    std::vector<Span> spans; // the list label (if any) first
    char terminator = '\n'; // '\n', or '\f' when a page or section break ends the paragraph
    kit::Attributes terminatorAttributes;
    int depth = 0; // table nesting: 0 outside tables
    bool endsCell = false;
    bool endsRow = false;
    int startsSection = -1; // the index of the section this paragraph begins, if it begins one
    // Note references in the paragraph: the byte of each mark in the spans' text, and the reference's CP.
    std::vector<std::pair<std::size_t, std::uint32_t>> noteReferences;
    int startsNote = -1; // the index of the note (footnotes, then endnotes) whose text this paragraph begins
    // Column breaks in the paragraph: the byte in the spans' text of each '\n' that stands for one. Outside
    // tables the text after it is a paragraph that starts the next column.
    std::vector<std::size_t> columnBreaks;
    std::vector<FrameAnchor> frameAnchors;
    std::optional<std::uint32_t> frameShape; // a paragraph of this shape's text box, after its anchor's
};

} // namespace importer::doc
