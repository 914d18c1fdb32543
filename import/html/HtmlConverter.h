#pragma once

#include "import/html/ComputedStyle.h"
#include "import/html/ParagraphBuilder.h"
#include "import/html/StyleResolver.h"
#include "import/html/TableLayout.h"
#include "kit/text/TextStorage.h"

#include <cstdint>
#include <libxml/tree.h>

#include <memory>
#include <vector>

namespace importer::html {

// The width of the text area the importer lays tables and images out for: US Letter less one-inch margins.
// The page view may use other paper; tables and images wider than its text area are its to scale.
inline constexpr float kAvailableWidth = 468;
// Images taller than the text area of that page are scaled down to it.
inline constexpr float kAvailableHeight = 648;

// A table (or a rule drawn as one) whose cells wait for their column widths: they are known once the
// outermost table ends, since a nested table's room is its enclosing cell's width.
struct TableRecord {
    std::vector<std::shared_ptr<kit::TableCell>> cells;
    TableLayout layout { 0 };
    std::optional<float> width;
    std::optional<float> percent;
    const kit::TableCell* enclosingCell = nullptr;
    std::vector<std::unique_ptr<TableRecord>> nested;
};

// Walks the parsed document and writes its text into a storage: blocks become paragraphs, inline
// elements character attributes, lists labels, tables cells.
class HtmlConverter {
public:
    HtmlConverter(const xmlDoc* document, kit::TextStorage& storage);
    void convert();

    // For the table converter.
    StyleResolver& resolver() { return m_resolver; }
    ParagraphBuilder& builder() { return m_builder; }
    int nextTableId() { return ++m_lastTableId; }
    float blockWidth() const { return m_blocks.back().width; }
    const kit::TableCell* currentCell() const { return m_cellStack.empty() ? nullptr : m_cellStack.back(); }
    int nestingLevel() const { return int(m_cellStack.size()); }
    // Ends the paragraph in progress (and a list label waiting alone) before something that is not text.
    void finishParagraph(bool flushLabel);
    // The content of one table cell, as blocks of a box whose content edge is the cell's.
    void convertCellContent(const xmlNode* cell, const ComputedStyle& style, kit::TableCell* tableCell, float width);
    // Content that belongs before a table (a caption, stray text): converted as a block.
    void convertAsBlock(const xmlNode* node, const ComputedStyle& parentStyle);
    // Table records: a table opens, its cells are written, and it closes; the outermost one lays out all.
    void closeTable(std::unique_ptr<TableRecord> record);

private:
    struct Block {
        ComputedStyle style;
        float leftIndent = 0; // from the text area's left edge to the content's, points
        float rightIndent = 0;
        float width = kAvailableWidth;
        std::uint8_t outlineLevel = 0; // h1...h6 and the blocks inside them; 0 elsewhere
    };
    struct ListContext {
        int next = 1;
        int step = 1;
    };

    void convertChildren(const xmlNode* element, const ComputedStyle& style);
    void convertNode(const xmlNode* node, const ComputedStyle& parentStyle);
    void convertElement(const xmlNode* element, const ComputedStyle& parentStyle);
    void convertText(const xmlNode* node, const ComputedStyle& style);
    void convertFlattened(const xmlNode* element, const ComputedStyle& style);
    void convertImage(const xmlNode* element, const ComputedStyle& style);
    void convertRule(const xmlNode* element, const ComputedStyle& style);
    void convertFormControl(const xmlNode* element, const ComputedStyle& style);
    void beginBlock(const ComputedStyle& style, std::uint8_t outlineLevel = 0);
    void endBlock();
    void beginListItem(const xmlNode* element, const ComputedStyle& style);
    kit::ParagraphStyle paragraphStyle(const Block& block) const;
    void layOut(TableRecord& record, float available);

    const xmlDoc* m_document;
    StyleResolver m_resolver;
    ParagraphBuilder m_builder;
    std::vector<Block> m_blocks;
    std::vector<ListContext> m_lists;
    std::vector<kit::TableCell*> m_cellStack;
    std::vector<TableRecord*> m_cellRecords; // the record of the table each open cell belongs to
    const xmlNode* m_skipNewlineIn = nullptr; // a text node whose leading new line a <pre> swallows
    int m_depth = 0;
    int m_quoteDepth = 0;
    int m_lastTableId = 0;
    friend class TableConverter;
};

} // namespace importer::html
