#pragma once

#include "import/html/ComputedStyle.h"
#include "import/html/TextMeasure.h"
#include "kit/text/TextStorage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace importer::html {

// The label of a list item ("1.", "•"), waiting for the item's first paragraph.
struct ListLabel {
    std::string text;
    kit::Attributes attributes;
};

// Writes paragraphs into the storage the way a browser lays out inline content: white space collapsed
// across element boundaries, none at the start or end of a line, a trailing line break at the end of a
// block dropped, vertical margins between blocks collapsed into one space before the next paragraph.
class ParagraphBuilder {
public:
    explicit ParagraphBuilder(kit::TextStorage& storage);

    void appendText(std::string_view utf8, const kit::Attributes& attributes, WhiteSpace whiteSpace);
    void appendLineBreak(const kit::Attributes& attributes);
    void appendAttachment(std::shared_ptr<const kit::Attachment> attachment, const kit::Attributes& attributes);
    // True once the paragraph in progress holds something that shows (not just collapsible space).
    bool hasContent() const { return m_hasContent; }

    // Ends the paragraph in progress with the block's paragraph style, a waiting list label first. Nothing
    // is written when the paragraph is empty, unless force is set. terminator is '\n' or '\f'.
    void finishParagraph(const kit::ParagraphStyle& style, const kit::Attributes& blockAttributes,
        bool force = false, char terminator = '\n');

    // Vertical margins, in points, collapse: the largest one between two paragraphs wins.
    void addMargin(float points);
    // Gives the margin collected so far to the last paragraph written, as space after it (before a table,
    // whose cells start their own margins).
    void moveMarginToPreviousParagraph();
    void requestPageBreak();
    // Writes the last paragraph into the storage; nothing may be added after.
    void flush();
    bool hasWrittenParagraph() const { return m_paragraphCount > 0; }

    void setLabel(ListLabel label) { m_scope.label = std::move(label); }
    bool hasPendingLabel() const { return m_scope.label.has_value(); }

    // The state of one table cell (or of the text outside tables): saved when a cell starts, restored when
    // it ends. The sink receives the content widths of each paragraph written.
    struct Scope {
        std::shared_ptr<const kit::TableCell> cell;
        ContentWidths* sink = nullptr;
        float pendingMargin = 0;
        bool suppressMargin = false;
        bool pendingPageBreak = false;
        std::size_t paragraphsWritten = 0;
        std::optional<ListLabel> label;
    };
    Scope enterCell(std::shared_ptr<const kit::TableCell> cell, ContentWidths* sink);
    void leaveCell(Scope saved);
    std::size_t paragraphsInScope() const { return m_scope.paragraphsWritten; }
    // Adds widths measured elsewhere (a nested table) to the current cell's.
    void reportWidths(const ContentWidths& widths);

private:
    struct Piece {
        std::string text;
        kit::Attributes attributes;
        float boxWidth = -1; // an attachment's width, or -1 for text
    };
    void appendPiece(std::string_view text, const kit::Attributes& attributes, float boxWidth = -1);
    void appendSpace(const kit::Attributes& attributes);
    void trimTrailingSpace();
    void writeParagraph(kit::ParagraphStyle style, const kit::Attributes& blockAttributes, char terminator);
    void commitPending();

    kit::TextStorage& m_storage;
    std::vector<Piece> m_pieces;
    bool m_hasContent = false;
    bool m_atLineStart = true;
    bool m_trailingCollapsibleSpace = false;
    Scope m_scope;
    std::size_t m_paragraphCount = 0;
    // The last paragraph stays here until the next one comes, so that space before a table can still be
    // added after it.
    struct PendingParagraph {
        kit::ParagraphStyle style;
        std::vector<std::pair<std::string, kit::Attributes>> pieces;
    };
    std::optional<PendingParagraph> m_pending;
};

} // namespace importer::html
