#pragma once

#include "import/package/Interner.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextStorage.h"

#include <cstddef>
#include <librevenge/librevenge.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace importer::revenge {

// Builds our attributed text from the callbacks of a document library: paragraphs and spans with their
// properties, list labels, tables, pictures, links and notes; page spans become the sections of the text's
// page setup, with their headers and footers as stories of their own. Comments are not shown; text boxes
// follow the paragraph they stand in. A property
// the collector does not know is ignored, and a callback out of order (a span outside a paragraph, a cell
// outside a table, a close without its open) is repaired or ignored, never trusted.
class TextCollector final : public librevenge::RVNGTextInterface {
public:
    // maximumLength: bytes of text kept; what comes after is dropped and truncated() says so. The budget of
    // the import on this thread (OutputBudget::current()) is charged for everything appended and ends the
    // text the same way once spent.
    explicit TextCollector(std::size_t maximumLength = kDefaultMaximumLength);

    // The text so far; after endDocument, notes included.
    std::shared_ptr<kit::TextStorage> text() const { return m_out; }
    bool truncated() const { return m_truncated; }

    static constexpr std::size_t kDefaultMaximumLength = std::size_t(96) << 20;

    void setDocumentMetaData(const librevenge::RVNGPropertyList&) override { }
    void startDocument(const librevenge::RVNGPropertyList&) override { }
    void endDocument() override;
    void definePageStyle(const librevenge::RVNGPropertyList&) override { }
    void defineEmbeddedFont(const librevenge::RVNGPropertyList&) override { }
    void openPageSpan(const librevenge::RVNGPropertyList&) override;
    void closePageSpan() override { }
    void openHeader(const librevenge::RVNGPropertyList& properties) override { openStory(properties, true); }
    void closeHeader() override { closeStory(); }
    void openFooter(const librevenge::RVNGPropertyList& properties) override { openStory(properties, false); }
    void closeFooter() override { closeStory(); }
    void defineParagraphStyle(const librevenge::RVNGPropertyList&) override { }
    void openParagraph(const librevenge::RVNGPropertyList&) override;
    void closeParagraph() override;
    void defineCharacterStyle(const librevenge::RVNGPropertyList&) override { }
    void openSpan(const librevenge::RVNGPropertyList&) override;
    void closeSpan() override;
    void openLink(const librevenge::RVNGPropertyList&) override;
    void closeLink() override { m_link.clear(); }
    void defineSectionStyle(const librevenge::RVNGPropertyList&) override { }
    void openSection(const librevenge::RVNGPropertyList&) override { }
    void closeSection() override { }
    void insertTab() override { appendText("\t"); }
    void insertSpace() override { appendText(" "); }
    void insertText(const librevenge::RVNGString&) override;
    void insertLineBreak() override { appendText(kit::kLineSeparator); }
    void insertField(const librevenge::RVNGPropertyList&) override;
    void openOrderedListLevel(const librevenge::RVNGPropertyList&) override;
    void openUnorderedListLevel(const librevenge::RVNGPropertyList&) override;
    void closeOrderedListLevel() override { closeListLevel(); }
    void closeUnorderedListLevel() override { closeListLevel(); }
    void openListElement(const librevenge::RVNGPropertyList&) override;
    void closeListElement() override { closeParagraph(); }
    void openFootnote(const librevenge::RVNGPropertyList&) override;
    void closeFootnote() override { closeSubDocument(m_noteIsHidden); }
    void openEndnote(const librevenge::RVNGPropertyList&) override;
    void closeEndnote() override { closeSubDocument(m_noteIsHidden); }
    void openComment(const librevenge::RVNGPropertyList&) override
    {
        ++m_openComments;
        ++m_hiddenDepth;
    }
    // A close without its open must not end the hiding of something else (a table where none can stand).
    void closeComment() override
    {
        if (m_openComments > 0) {
            --m_openComments;
            closeHidden();
        }
    }
    void openTextBox(const librevenge::RVNGPropertyList&) override;
    void closeTextBox() override { closeSubDocument(m_boxIsHidden); }
    void openTable(const librevenge::RVNGPropertyList&) override;
    void openTableRow(const librevenge::RVNGPropertyList&) override;
    void closeTableRow() override { }
    void openTableCell(const librevenge::RVNGPropertyList&) override;
    void closeTableCell() override;
    void insertCoveredTableCell(const librevenge::RVNGPropertyList&) override { }
    void closeTable() override;
    void openFrame(const librevenge::RVNGPropertyList&) override;
    void closeFrame() override;
    void insertBinaryObject(const librevenge::RVNGPropertyList&) override;
    void insertEquation(const librevenge::RVNGPropertyList&) override { }
    void openGroup(const librevenge::RVNGPropertyList&) override { }
    void closeGroup() override { }
    void defineGraphicStyle(const librevenge::RVNGPropertyList&) override { }
    void drawRectangle(const librevenge::RVNGPropertyList&) override { }
    void drawEllipse(const librevenge::RVNGPropertyList&) override { }
    void drawPolygon(const librevenge::RVNGPropertyList&) override { }
    void drawPolyline(const librevenge::RVNGPropertyList&) override { }
    void drawPath(const librevenge::RVNGPropertyList&) override { }
    void drawConnector(const librevenge::RVNGPropertyList&) override { }

private:
    struct ListLevel {
        bool ordered = false;
        std::string numberFormat; // WordprocessingML's names: "decimal", "lowerRoman", ...
        std::string prefix, suffix, bullet;
        int next = 1;
        float labelIndent = 0; // points from the text area's leading edge
        float labelWidth = 0; // points
    };
    struct Table {
        int id = 0;
        int row = -1;
        int column = 0;
        std::vector<float> columnWidths; // points
        bool isHeaderRow = false;
        std::shared_ptr<const kit::TableCell> cell; // the open cell, null between cells
    };
    // Where text goes: the body, a note's body or a text box waiting for its paragraph to end.
    struct Target {
        std::shared_ptr<kit::TextStorage> storage;
        std::vector<Table> tables;
        std::vector<ListLevel> lists;
        bool inParagraph = false;
        bool implicitParagraph = false;
        std::shared_ptr<const kit::ParagraphStyle> paragraph;
        std::vector<std::shared_ptr<kit::TextStorage>> pendingBoxes; // shown after the open paragraph
        std::string pendingCitation; // a note's mark, written at the start of its first paragraph
        bool isNote = false;
        bool isStory = false; // a header or footer: kept in the page setup, never shown in the text
        kit::Attributes outerSpan; // the span and link of the target this one interrupts
        std::string outerLink;
    };

    Target& target() { return m_targets.back(); }
    const kit::TableCell* openCell() const;
    // Between a table's cells nothing can be shown: text there has no cell to stand in.
    bool isBetweenCells() const;
    bool isHidden() const { return m_hiddenDepth > 0; }
    void closeHidden()
    {
        if (m_hiddenDepth > 0)
            --m_hiddenDepth;
    }
    kit::Attributes characterAttributes();
    void appendText(std::string_view text);
    void appendRaw(std::string_view text, const kit::Attributes& attributes);
    void ensureParagraph();
    void startParagraph(const librevenge::RVNGPropertyList& properties, const ListLevel* list);
    void endParagraph(char terminator);
    void flushBoxes();
    void closeListLevel();
    // A level with the placement of its label; the caller gives the label.
    static ListLevel listLevel(const librevenge::RVNGPropertyList& properties);
    void openNote(const librevenge::RVNGPropertyList& properties, int& counter);
    // A header or footer of the current page span; which pages take it comes from its occurrence.
    void openStory(const librevenge::RVNGPropertyList& properties, bool isHeader);
    void closeStory();
    kit::PageSection& currentSection();
    // Ends the note or box on top of its stack of "is hidden" flags.
    void closeSubDocument(std::vector<bool>& isHiddenStack);
    void pushTarget(bool isNote);
    std::shared_ptr<kit::TextStorage> popTarget();
    // Pops a note (kept for the end) or a box (shown after its paragraph).
    void finishTarget();
    // Ends the open paragraph and the cell, which then ends in a paragraph break whatever came before.
    void endCell(Table& table);
    // Ends the target's open paragraph and tables, whatever state they are in.
    void endTables();

    std::shared_ptr<kit::TextStorage> m_out;
    std::size_t m_maximumLength;
    std::size_t m_length = 0; // of every storage together
    bool m_truncated = false;
    std::vector<Target> m_targets;
    int m_hiddenDepth = 0;
    int m_openComments = 0;
    std::vector<bool> m_boxIsHidden; // per open text box: whether it only hides its content
    kit::Attributes m_span;
    std::string m_link;
    int m_tableCount = 0;
    int m_footnoteCount = 0;
    int m_endnoteCount = 0;
    // Note bodies in the order met, each starting with its citation; shown after the body.
    std::vector<std::shared_ptr<kit::TextStorage>> m_notes;
    std::vector<bool> m_noteIsHidden;
    // Per open header or footer: where its story goes, or nothing when it is hidden.
    struct OpenStory {
        bool isHidden = true;
        bool isHeader = true;
        kit::HeaderFooterKind kind = kit::HeaderFooterKind::Default;
    };
    std::vector<OpenStory> m_stories;
    std::vector<kit::PageSection> m_sections; // one per page span, in text order
    bool m_evenAndOddHeaders = false;
    bool m_pageSpanBreak = false; // a page span opened after text: the next body paragraph starts its page
    kit::Size m_textArea { 468, 648 }; // points, of the current page span: the limit for pictures
    std::optional<kit::Size> m_frameSize; // points, of the open frame
    Interner<kit::ParagraphStyle> m_paragraphStyles;
};

} // namespace importer::revenge
