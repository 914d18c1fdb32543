#pragma once

#include "import/Importer.h"
#include "import/common/DocumentMarks.h"
#include "import/odt/OdtStyles.h"
#include "import/package/Interner.h"
#include "import/package/PackageImages.h"
#include "import/package/XmlPart.h"
#include "import/package/ZipArchive.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace importer::odt {

// Reads office:text of content.xml into attributed text: paragraphs, headings, lists with their labels,
// sections and indexes, tables, frames (pictures at their anchor, text boxes after their paragraph), then
// the bodies of the notes, gathered at the end. Tracked deletions and annotations are not shown.
class OdtReader {
public:
    // A flat document (one XML file) holds its styles and master pages in content itself: stylesInContent.
    OdtReader(ZipArchive& archive, XmlPart content, std::optional<XmlPart> styles, bool stylesInContent = false);
    ImportResult read();

private:
    struct ListContext {
        std::shared_ptr<ListCounters> counters;
        const ListStyle* style = nullptr;
        int level = 0; // one-based
        bool labelPending = false; // the item's first paragraph still has to show the label
        std::optional<int> restartAt; // text:start-value of the current item
    };
    struct CellContext {
        std::shared_ptr<const kit::TableCell> cell;
        float contentWidth = 0;
    };
    // A draw:text-box anchored in the paragraph being read; box is the floating frame it stands in, if any.
    struct TextBox {
        pugi::xml_node content;
        std::shared_ptr<const kit::Attachment> box;
        std::array<float, 4> insets {};
        std::size_t anchor = 0; // where the frame stands in the text
        bool growsWithText = false; // the frame gives no height: it takes what its text needs
    };
    struct Note {
        pugi::xml_node body;
        std::string citation;
        std::size_t reference = 0; // where its citation stands in the body
        bool isEndnote = false;
    };

    void readBlocks(pugi::xml_node container, int depth);
    void readParagraph(pugi::xml_node paragraph, bool isHeading, int depth);
    void readList(pugi::xml_node list, int depth);
    void readTable(pugi::xml_node table, int depth);
    void readInline(pugi::xml_node container, const TextProperties& text, int depth);
    void readDrawingObject(pugi::xml_node object, const TextProperties& text, int depth);
    void readBlockDrawing(pugi::xml_node object, int depth);
    // The paragraphs of the text boxes anchored in the paragraph just ended, after it; for boxes that stand
    // between paragraphs (anchoredAfter), the paragraph that follows them anchors them.
    void readTextBoxes(const std::vector<TextBox>&, int depth, bool anchoredAfter = false);
    // The notes' bodies after the body's text, and where each one stands, for the page setup.
    std::vector<kit::Note> readNotes();
    // A section begins at the current end of the text with a master page's setup and its stories.
    void beginSection(std::string_view masterName);
    std::shared_ptr<kit::TextStorage> readStory(pugi::xml_node story);

    std::optional<std::string> nextLabel(ListContext& list, const ListLevel*& level);
    std::optional<std::string> nextHeadingLabel(int outlineLevel, const ListLevel*& level);
    kit::Attributes attributesFor(const TextProperties& text, bool complex) const;
    void appendText(std::string_view text, const TextProperties& properties);
    void appendCollapsed(std::string_view text, const TextProperties& properties);
    void appendAttachment(std::shared_ptr<const kit::Attachment> attachment, const TextProperties& properties);
    void endParagraph(char terminator);
    float availableWidth() const;
    kit::Size pictureLimit() const;

    XmlPart m_content;
    std::optional<XmlPart> m_stylesPart;
    bool m_hasStyles; // a styles part, or styles in content: the document sets up its pages
    OdtStyles m_styles;
    PackageImages m_images;
    Interner<kit::ParagraphStyle> m_paragraphStyles;
    std::shared_ptr<kit::TextStorage> m_out;

    std::vector<ListContext> m_lists; // open text:list elements, innermost last
    std::shared_ptr<ListCounters> m_lastList; // the last top-level list, for text:continue-numbering
    std::map<std::string, std::shared_ptr<ListCounters>, std::less<>> m_listsById; // xml:id → counters
    ListCounters m_outlineCounters;
    const CellContext* m_cell = nullptr;
    int m_tableCount = 0;
    // Every cell carries the column widths of its table; past this many widths in all, further cells are not read.

    // The paragraph being read.
    std::shared_ptr<const kit::ParagraphStyle> m_paragraphStyle;
    kit::Attributes m_markAttributes;
    std::string m_link;
    bool m_lastWasSpace = true; // white space collapses across element boundaries within a paragraph
    std::vector<TextBox>* m_textBoxes = nullptr;
    std::vector<kit::TextFrame> m_frames; // the body's floating text boxes
    std::shared_ptr<kit::TextStorage> m_body; // the document's own story, while headers are read into others
    bool m_isFirstParagraph = true;
    kit::PageField m_pageField = kit::PageField::None; // inside text:page-number or text:page-count

    std::vector<kit::PageSection> m_sections;
    std::map<const void*, std::shared_ptr<kit::TextStorage>> m_stories; // by the story's element

    Anchors m_anchors; // bookmarks of the story being read

    std::vector<Note> m_notes;
    std::string m_noteCitation; // shown at the start of the note body being read
};

} // namespace importer::odt
