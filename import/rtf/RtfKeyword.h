#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace importer::rtf {

// Which of a character's fonts \loch, \hich, \dbch and \rtlch say the following \f and \af set.
enum class FontRange : std::uint8_t { None, LowAnsi, HighAnsi, DoubleByte, RightToLeft };

// What a control word does, one value per behaviour. Words that act alike share a value; where they still
// differ (in a side, a character, a style), their rows in the keyword table say so in the detail.
enum class Keyword : std::uint8_t {
    Unknown,

    // Destinations and the groups that hold them (RtfReader::destinationWord).
    FontTable,
    ColorTable,
    StyleSheet,
    Picture,
    ShownGroup, // a group whose content is shown as body text: a shape's picture, a text box, an object's result
    ShapePropertyName,
    ShapePropertyValue,
    Shape, // a shown group that opens a shape, whose words and properties say where its picture floats
    ShapeBound, // detail: 0 left, 1 top, 2 right, 3 bottom
    ShapeHorizontalFrame, // detail: the kit::FloatPlacement::Frame
    ShapeVerticalFrame, // detail: the kit::FloatPlacement::Frame
    ShapeWrap,
    ShapeBelowText,
    PictureProperties,
    Header, // detail: the kit::HeaderFooterKind
    Footer, // detail: the kit::HeaderFooterKind
    Footnote,
    Endnote,
    Field,
    FieldInstruction,
    FieldResult,
    BookmarkStart,
    ListTable,
    List,
    ListId,
    ListLevel,
    LevelNumberFormat,
    LevelStartAt,
    LevelText,
    LevelNumbers,
    ListName,
    ListOverrideTable,
    ListLabel,
    VerbatimListLabel, // our own writer's label, which is kept as it stands
    UnicodeAlternative, // \upr: an ANSI part and a \ud part with the same text in Unicode
    UnicodePart,
    HiddenDestination, // a destination whose text is never shown
    Unicode,

    // Characters and breaks (RtfReader::specialCharacterWord).
    ParagraphEnd,
    LineBreak,
    Tab,
    PageBreak,
    SectionBreak,
    ColumnBreak,
    CellEnd,
    NestedCellEnd,
    RowEnd,
    NestedRowEnd,
    Character, // detail: the character it stands for
    NoteNumber,

    // Character formatting (RtfReader::characterWord).
    Plain,
    Font,
    AssociatedFont,
    FontRange, // detail: the FontRange
    FontSize,
    CharacterFlag, // detail: bold, italic, all capitals, small capitals, hidden
    Underline, // detail: the kit::LineStyle when on
    NoUnderline,
    Strikethrough, // detail: the kit::LineStyle when on
    Foreground,
    Background,
    Superscript,
    Subscript,
    NoSuperscript,
    Raise,
    Lower,
    CharacterStyle,

    // Paragraph formatting (RtfReader::paragraphWord).
    ParagraphDefaults,
    Alignment, // detail: the kit::TextAlignment
    LeftIndent,
    FirstLineIndent,
    RightIndent,
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    LineSpacingMultiple,
    TabPosition,
    BarTab,
    TabKind, // detail: the kit::TabAlignment of the next tab stop
    PageBreakBefore,
    KeepWithNext,
    OutlineLevel,
    RightToLeftParagraph,
    LeftToRightParagraph,
    InTable,
    NewTable,
    NestingLevel,
    ListOverride,
    ListLevelNumber,
    ParagraphStyle,
    BasedOn,
    ParagraphBorder, // paragraph, character and page borders, which are not drawn
    SectionStyle, // \ds, \ts and the style links are the stylesheet's own, never recorded in a style
    TableStyle,
    StyleLink,

    // Table rows and cells (RtfReader::tableDefinitionWord).
    RowDefaults,
    CellEdge,
    RowLeft,
    GridEdge,
    CellGap,
    HeaderRow,
    RowKeepsTogether,
    RowPadding, // detail: the side, top, left, bottom, right
    CellPadding, // detail: the side, top, left, bottom, right
    MergeFirst,
    Merge,
    VerticalMergeFirst,
    VerticalMerge,
    CellBackground,
    CellPatternColor,
    CellShading,
    CellBorder, // detail: the side, top, left, bottom, right
    RowBorder, // detail: top, left, bottom, right, inside horizontal, inside vertical
    BorderWidth,
    BorderColor,
    NoBorder,
    DoubleBorder,
    BorderSpacing,
    ThickBorder,
    SingleBorder,

    // The pages (RtfReader::pageSetupWord).
    SectionDefaults,
    DocumentLength, // detail: which length (RtfPageSetup.cpp)
    SectionLength, // detail: which length
    HeaderFooterDistance, // detail: which length; the document's before the first \sect, else the section's
    PageNumberFormat, // detail: the kit::PageNumberFormat
    Landscape,
    SectionLandscape,
    FacingPages,
    TitlePage,
    PageNumberStart,
    Columns,
    ColumnSpacing,
    ColumnSeparator,
    PageBorder, // detail: the side, top, left, bottom, right; the border words after it describe its line
    PageBorderOptions, // \pgbrdropt: 32 measures the borders from the text, else from the page's edge
    VerticalAlignment, // detail: the kit::VerticalAlignment
    ColumnNumber, // \colno: the column that \colw and \colsr describe, from 1
    ColumnLength, // detail: 0 the column's width, 1 the room to its right
    PageNumberRestart,

    // The document and its pictures (RtfReader::documentWord).
    CharacterSet, // detail: its code page
    CodePage,
    DefaultFont,
    DefaultTab,
    UnicodeSkip,
    FontCharset,
    FontCodePage,
    ColorComponent, // detail: red, green, blue
    SectionBreakNone,
    SectionBreakPage,
    PictureFormat, // detail: the RtfPicture::Format
    PictureMeasure, // detail: width, height, goal width, goal height, horizontal scale, vertical scale
};

// One row of the keyword table.
struct KeywordEntry {
    std::string_view word;
    Keyword keyword = Keyword::Unknown;
    int detail = 0;
};

// A control word as the reader meets it: its row's meaning and its parameter.
struct ControlWord {
    Keyword keyword = Keyword::Unknown;
    int detail = 0;
    int parameter = 0;
    bool hasParameter = false;
};

// The row for a control word's letters, an Unknown one for words the reader does not know. Border styles
// beyond the table's (\brdrdash, \brdrthtnsg...) are known by their prefixes.
KeywordEntry findKeyword(std::string_view word);
// Every row, sorted by word.
std::span<const KeywordEntry> keywordTable();

} // namespace importer::rtf
