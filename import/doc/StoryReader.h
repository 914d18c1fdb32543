#pragma once

#include "import/doc/Formatting.h"
#include "import/doc/Paragraph.h"
#include "import/doc/WordDocument.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace importer::doc {

// Turns a range of character positions into paragraphs: resolves styles and direct formatting, drops field
// codes and keeps their results, numbers list paragraphs, places pictures, and inserts the text boxes
// anchored in a paragraph after it.
class StoryReader {
public:
    explicit StoryReader(WordDocument& document);

    void read(std::uint32_t start, std::uint32_t end, std::vector<Paragraph>& out);
    // Reads a note's text: its automatic mark character shows mark.
    void readNote(const Note& note, std::vector<Paragraph>& out);
    // Text boxes whose anchors were never met (main-text boxes only), in story order.
    void readUnplacedTextBoxes(std::vector<Paragraph>& out);

private:
    struct Field {
        bool inResult = false;
        std::u16string code;
        std::string link;
        kit::PageField pageField = kit::PageField::None;
    };
    std::optional<std::uint32_t> findMark(std::uint32_t from, std::uint32_t end, char& terminator) const;

    // Marks the paragraph at out[first], read from cp on, when it is the first of a section.
    void markSectionStart(std::uint32_t cp, std::size_t first, std::vector<Paragraph>& out);
    void readParagraph(std::uint32_t start, std::uint32_t mark, std::uint32_t end, char terminator, std::vector<Paragraph>& out);
    void appendCharacters(Paragraph&, std::uint32_t from, std::uint32_t to, const CharacterProperties&, const kit::Attributes&,
        std::vector<std::uint32_t>& textBoxes);
    void appendText(Paragraph&, std::string_view text, const kit::Attributes&);
    void appendAttachment(Paragraph&, kit::Attachment, const kit::Attributes&);
    void appendLabel(Paragraph&, const CharacterProperties& markProperties);
    std::optional<std::u16string> word6Label(const ParagraphProperties&);
    void insertTextBoxes(const std::vector<std::uint32_t>& shapes, std::vector<Paragraph>& out, std::size_t anchorIndex);
    std::u16string symbolText(const CharacterProperties&, char16_t) const;
    bool isShowingText() const;
    std::string currentLink() const;
    kit::PageField currentPageField() const;

    WordDocument& m_document;
    Formatting m_formatting;
    std::vector<Field> m_fields;
    std::u16string m_noteMark;
    std::deque<std::string> m_pendingAnchors; // bookmarks met, waiting for the next character shown
    std::set<std::uint32_t> m_placedTextBoxes;
    int m_textBoxDepth = 0;
    std::size_t m_nextSection = 1; // the next section whose first paragraph the main text has to reach
    // Characters left to read: notes and text boxes of a damaged file may name the same text again and again.
    std::uint64_t m_budget = 0;
    // Word 6 paragraph numbering: the running number of each level, and whether the last paragraph had one.
    std::array<std::int32_t, 12> m_word6Numbers {};
    bool m_lastWasNumbered = false;
};

} // namespace importer::doc
