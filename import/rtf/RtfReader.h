#pragma once

#include "import/rtf/RtfColorTable.h"
#include "import/rtf/RtfFontTable.h"
#include "import/rtf/RtfKeyword.h"
#include "import/rtf/RtfListTable.h"
#include "import/rtf/RtfModel.h"
#include "import/rtf/RtfPicture.h"
#include "import/rtf/RtfStyleSheet.h"
#include "import/rtf/RtfTableBuilder.h"
#include "import/rtf/RtfTokenizer.h"
#include "kit/text/TextStorage.h"

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace importer::rtf {

// Whether a shape property (\sn) is one of the numbers that place the shape's picture.
bool isPlacingShapeProperty(std::string_view name);

// Reads RTF into a text storage: groups and destinations, the font, colour and style tables, lists,
// fields, footnotes (gathered at the end of the text), pictures and tables, each character decoded in the
// code page of its font. Damaged input gives what could be read: the group depth and the total work are
// capped, unknown words are ignored, and an unfinished table keeps its cells.
class RtfReader {
public:
    explicit RtfReader(std::span<const std::uint8_t> data);
    std::shared_ptr<kit::TextStorage> read();

private:
    enum class Destination : std::uint8_t {
        Body,
        Skip,
        FontTable,
        ColorTable,
        StyleSheet,
        StyleEntry,
        FieldInstruction,
        Picture,
        ListTable,
        ListLevel,
        LevelText,
        LevelNumbers,
        ListOverrideTable,
        ShapePropertyName,
        ShapePropertyNumber,
        PictureDescription,
        BookmarkName,
    };

    struct CharacterState {
        int font = -1; // \f number; -1: the document's default font
        int eastAsianFont = -1;
        int complexFont = -1;
        float fontSize = 12;
        bool bold = false;
        bool italic = false;
        bool allCaps = false;
        bool smallCaps = false;
        bool hidden = false;
        kit::LineStyle underline = kit::LineStyle::None;
        kit::LineStyle strikethrough = kit::LineStyle::None;
        int foreground = 0; // colour table index; 0 is "automatic"
        int background = 0;
        std::int8_t superscript = 0;
        float baselineShift = 0;
    };
    struct ParagraphState {
        kit::ParagraphStyle style;
        kit::TabAlignment nextTabAlignment = kit::TabAlignment::Left;
        bool isInTable = false;
        int nestingLevel = 1; // \itap
        int listOverride = 0; // \ls
        int listLevel = 0; // \ilvl
        int startsTableAt = 0; // our writer's mark on the first paragraph of a table after a table: its level
    };
    struct GroupState {
        Destination destination = Destination::Body;
        int story = 0; // 0 the body, 1 the notes gathered at the end, then headers and footers
        CharacterState character;
        ParagraphState paragraph;
        FontRange associated = FontRange::None;
        int unicodeSkip = 1;
        bool isListLabel = false;
        bool isUprAnsiPart = false; // inside \upr, whose \ud part holds the Unicode text
        Destination uprDestination = Destination::Body;
        std::string link;
        kit::PageField pageField = kit::PageField::None; // inside the result of a PAGE or NUMPAGES field
        std::shared_ptr<const kit::Attributes> attributes; // cache of the character attributes, null when stale
    };
    struct Field {
        std::string instruction;
        std::size_t depth = 0; // the group depth of the \field group
    };
    struct Story {
        Paragraph current;
        std::unique_ptr<RtfTableBuilder> tables;
        kit::TextStorage output;
    };

    // Tokens.
    void groupStart();
    void groupEnd();
    void controlWord(std::string_view word, bool hasParameter, int parameter);
    void controlSymbol(char symbol);
    void textBytes(std::span<const std::uint8_t> bytes);
    void hexByte(std::uint8_t byte);
    void binaryData(std::span<const std::uint8_t> bytes);

    // Keywords by what they touch (RtfKeywords.cpp); each returns false for a word that is not its own.
    bool characterWord(const ControlWord& word);
    bool paragraphWord(const ControlWord& word);
    bool documentWord(const ControlWord& word);
    bool destinationWord(const ControlWord& word);
    bool specialCharacterWord(const ControlWord& word);
    bool tableDefinitionWord(const ControlWord& word);
    bool pageSetupWord(const ControlWord& word); // RtfPageSetup.cpp
    void pageBorderWord(const ControlWord& word); // a border word for m_pageBorder, RtfPageSetup.cpp
    // A header or footer destination begins: its text goes to a story of its own; false past the cap.
    bool beginHeaderFooter(bool isHeader, kit::HeaderFooterKind kind);
    void beginNextSection();
    std::shared_ptr<const kit::PageSetup> finishPageSetup(const kit::TextStorage& body);

    // Text.
    void flushText();
    void appendText(std::string_view utf8);
    void appendCharacter(char32_t character);
    void appendBodyText(std::string_view utf8);
    std::string decodeBytes(std::span<const std::uint8_t> bytes) const;
    const RtfFontTable::Font* currentFont() const;
    std::shared_ptr<const kit::Attributes> currentAttributes();
    void invalidateAttributes() { state().attributes.reset(); }

    // Structure.
    void finishParagraph(const char* terminator);
    Paragraph takeParagraph(const char* terminator);
    void finishCell(bool nested);
    void finishRow(bool nested);
    void finishPicture();
    // A shape's words and numeric properties, and the placement they give its picture.
    bool shapeWord(const ControlWord& word);
    void finishShapeProperty();
    std::optional<kit::FloatPlacement> shapePlacement() const;
    void emit(Story& story, Paragraph&& paragraph);
    void applyStyle(int number, int depth);
    void endDestination(const GroupState& closed);
    std::shared_ptr<const kit::ParagraphStyle> paragraphStyle(const ParagraphState& paragraph);
    RowDefinition& rowDefinition();
    BorderDefinition* borderTarget();

    GroupState& state() { return m_states.back(); }
    const GroupState& state() const { return m_states.back(); }
    Story& story() { return *m_stories[std::size_t(state().story)]; }

    RtfTokenizer m_tokenizer;
    std::span<const std::uint8_t> m_data;
    std::vector<GroupState> m_states;
    std::size_t m_overflowDepth = 0; // groups opened beyond the depth cap, which share their parent's state
    std::size_t m_work = 0;
    std::size_t m_workBudget = 0;
    bool m_nextIsIgnorable = false;
    int m_skipCount = 0; // characters still to skip after \u
    char32_t m_pendingHighSurrogate = 0;
    std::vector<std::uint8_t> m_pendingBytes;

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    kit::ParagraphStyle m_defaultParagraphStyle;
    RtfFontTable m_fonts;
    RtfColorTable m_colors;
    RtfStyleSheet m_styles;
    std::vector<Field> m_fields;
    std::string m_bookmarkName; // the \bkmkstart being read
    std::deque<std::string> m_pendingAnchors; // bookmarks that mark the next characters of the body
    RtfListTable m_lists;
    int m_listOverrideNumber = 0;
    int m_listOverrideId = 0;
    RtfPicture m_picture;
    std::string m_shapePropertyName;
    // The shape being read (\shp): its group's depth (0 outside one), rectangle in twips, frames, wrap and the
    // properties that place it.
    struct Shape {
        std::size_t depth = 0;
        std::array<int, 4> bounds {}; // left, top, right, bottom
        std::optional<kit::FloatPlacement::Frame> horizontalFrame, verticalFrame;
        int wrap = 2;
        bool belowText = false;
        std::map<std::string, long, std::less<>> numbers;
    };
    Shape m_shape;
    std::string m_shapeValue;

    std::map<int, RowDefinition> m_rowDefinitions; // by nesting level
    int m_rowLevel = 1; // the level that \trowd, \cellx and the cell properties define
    enum class BorderSide : std::uint8_t { None, Cell, Row, Page, Other };
    BorderSide m_borderSide = BorderSide::None;
    int m_borderIndex = 0;
    std::optional<int> m_cellShadingPercent;
    int m_cellPatternColor = 0;

    // The page setup: the document's (\paperw, \margl...), which \sectd gives a section back, and every
    // section's, the last being the one whose properties are read now.
    // RTF measures page borders from the paper's edge unless \pgbrdropt says from the text.
    static kit::PageSection blankSection()
    {
        kit::PageSection section;
        section.borders.measuredFromText = false;
        return section;
    }
    kit::PageSection m_documentSection = blankSection();
    std::vector<kit::PageSection> m_pageSections { blankSection() };
    bool m_hasPageSetup = false; // the document said something about its pages
    BorderDefinition m_pageBorder; // the page border \pgbrdr... named last, side m_borderIndex
    std::size_t m_columnNumber = 0; // the section's column that \colw and \colsr describe, from 0
    bool m_facingPages = false;
    struct StoryTarget {
        std::size_t section = 0;
        bool isHeader = true;
        kit::HeaderFooterKind kind = kit::HeaderFooterKind::Default;
    };
    std::map<int, StoryTarget> m_storyTargets; // header and footer stories by story index

    bool m_pendingSectionBreak = false;
    bool m_pendingColumnBreak = false; // a \column: the body's next paragraph starts a column
    bool m_sectionBreaksPage = true;
    bool m_bodyEndsInPageBreak = false; // the body's last paragraph ended in \page
    int m_noteCount = 0;
    int m_pendingNoteStart = -1; // the note whose first paragraph the notes story takes next
    std::vector<bool> m_noteIsEndnote; // per note, by its number
    std::map<int, std::size_t> m_noteReferenceBytes; // per note, where its reference stands in the body
    std::map<int, std::size_t> m_noteTextStarts; // per note, where its text starts in the notes story
    std::vector<kit::Note> placedNotes(std::size_t notesStart, std::size_t length) const;
    int m_nextTableId = 0;
    std::vector<std::unique_ptr<Story>> m_stories;
    std::shared_ptr<const kit::ParagraphStyle> m_lastParagraphStyle;
};

} // namespace importer::rtf
