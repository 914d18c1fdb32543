// The control words that open destinations and groups: the tables, pictures, notes, fields, bookmarks,
// lists, headers and footers, and the destinations whose text is never shown.
#include "import/rtf/RtfReader.h"

#include "import/common/PageFields.h"

namespace importer::rtf {

namespace {
// Notes whose places are kept; the text of later ones still comes after the body.
constexpr int kMaximumNotes = 100000;
} // namespace

bool RtfReader::destinationWord(const ControlWord& word)
{
    GroupState& current = state();
    Destination destination = current.destination;
    int parameter = word.parameter;
    switch (word.keyword) {
    case Keyword::FontTable:
        current.destination = Destination::FontTable;
        m_fonts.begin();
        return true;
    case Keyword::ColorTable:
        current.destination = Destination::ColorTable;
        m_colors.begin();
        return true;
    case Keyword::StyleSheet:
        current.destination = Destination::StyleSheet;
        return true;
    case Keyword::Picture:
        current.destination = Destination::Picture;
        m_picture = {};
        return true;
    case Keyword::ShownGroup:
        // Containers whose content is shown: the picture of a shape, a text box's text, an object's result.
        return true;
    case Keyword::ShapePropertyName:
        current.destination = Destination::ShapePropertyName;
        m_shapePropertyName.clear();
        return true;
    case Keyword::ShapePropertyValue:
        // A shape's picture, a picture's description and the numbers that place a shape are read; other
        // properties are skipped.
        if (destination == Destination::Picture && m_shapePropertyName == "wzDescription") {
            current.destination = Destination::PictureDescription;
        } else if (m_shape.depth && isPlacingShapeProperty(m_shapePropertyName)) {
            current.destination = Destination::ShapePropertyNumber;
            m_shapeValue.clear();
        } else if (m_shapePropertyName != "pib" || destination == Destination::Picture) {
            current.destination = Destination::Skip;
        }
        return true;
    case Keyword::Shape:
    case Keyword::ShapeBound:
    case Keyword::ShapeHorizontalFrame:
    case Keyword::ShapeVerticalFrame:
    case Keyword::ShapeWrap:
    case Keyword::ShapeBelowText:
        return shapeWord(word);
    case Keyword::PictureProperties:
        if (destination != Destination::Picture)
            current.destination = Destination::Skip;
        return true;
    case Keyword::Header:
    case Keyword::Footer:
        if (!beginHeaderFooter(word.keyword == Keyword::Header, kit::HeaderFooterKind(word.detail)))
            current.destination = Destination::Skip;
        return true;
    case Keyword::Footnote:
        if (current.story == 0 && destination == Destination::Body) {
            // The reference is the mark just written: the note's group follows it in the body paragraph.
            if (m_noteCount < kMaximumNotes) {
                std::size_t at = 0;
                for (const auto& run : story().current.runs)
                    at += run.text.size();
                story().current.noteReferences.emplace_back(at, m_noteCount);
                m_noteIsEndnote.push_back(false);
                m_pendingNoteStart = m_noteCount;
            }
            current.story = 1;
            current.paragraph = {};
            current.paragraph.style = m_defaultParagraphStyle;
            current.link.clear();
            current.isListLabel = false;
            current.attributes.reset();
            ++m_noteCount;
        } else {
            current.destination = Destination::Skip;
        }
        return true;
    case Keyword::Endnote:
        // An endnote rather than a footnote.
        if (current.story == 1 && !m_noteIsEndnote.empty())
            m_noteIsEndnote.back() = true;
        return true;
    case Keyword::Field:
        if (m_fields.size() < 64)
            m_fields.push_back({ {}, m_states.size() });
        return true;
    case Keyword::FieldInstruction:
        if (!m_fields.empty() && m_fields.back().depth + 1 == m_states.size())
            current.destination = Destination::FieldInstruction;
        else
            current.destination = Destination::Skip;
        return true;
    case Keyword::FieldResult:
        if (!m_fields.empty()) {
            std::string url = hyperlinkOfInstruction(m_fields.back().instruction);
            if (!url.empty()) {
                current.link = url;
                current.attributes.reset();
            }
            if (kit::PageField field = pageFieldOfInstruction(m_fields.back().instruction); field != kit::PageField::None) {
                current.pageField = field;
                current.attributes.reset();
            }
        }
        return true;
    case Keyword::BookmarkStart:
        // A bookmark's name; it marks the text that follows it in the body.
        current.destination = current.story == 0 && destination == Destination::Body ? Destination::BookmarkName : Destination::Skip;
        m_bookmarkName.clear();
        return true;
    case Keyword::ListTable:
        current.destination = Destination::ListTable;
        return true;
    default:
        break;
    }
    if (destination == Destination::ListTable || destination == Destination::ListLevel
        || destination == Destination::LevelText || destination == Destination::LevelNumbers) {
        // Everything else inside the list table describes its look; \fi and \li are on the paragraphs too.
        auto* level = m_lists.currentLevel();
        bool inLevel = destination == Destination::ListLevel;
        switch (word.keyword) {
        case Keyword::List:
            if (destination == Destination::ListTable)
                m_lists.beginList();
            break;
        case Keyword::ListId:
            if (destination == Destination::ListTable)
                m_lists.setListId(parameter);
            break;
        case Keyword::ListLevel:
            if (destination == Destination::ListTable) {
                m_lists.beginLevel();
                current.destination = Destination::ListLevel;
                if (auto* begun = m_lists.currentLevel())
                    begun->codePage = m_documentCodePage;
            }
            break;
        case Keyword::LevelNumberFormat:
            if (inLevel && level)
                level->numberFormat = parameter;
            break;
        case Keyword::LevelStartAt:
            if (inLevel && level)
                level->startAt = parameter;
            break;
        case Keyword::LevelText:
            if (inLevel) {
                current.destination = Destination::LevelText;
                if (level)
                    level->text.clear();
            }
            break;
        case Keyword::LevelNumbers:
            if (inLevel)
                current.destination = Destination::LevelNumbers;
            break;
        case Keyword::Font:
            if (inLevel && level) {
                if (const RtfFontTable::Font* font = m_fonts.font(parameter)) {
                    level->fontName = font->isSymbol ? font->name : std::string();
                    if (font->codePage)
                        level->codePage = font->codePage;
                }
            }
            break;
        case Keyword::ListName:
            current.destination = Destination::Skip;
            break;
        default:
            break;
        }
        return true;
    }
    if (destination == Destination::ListOverrideTable) {
        if (word.keyword == Keyword::ListId)
            m_listOverrideId = parameter;
        else if (word.keyword == Keyword::ListOverride)
            m_listOverrideNumber = parameter;
        return true;
    }
    switch (word.keyword) {
    case Keyword::ListOverrideTable:
        current.destination = Destination::ListOverrideTable;
        return true;
    case Keyword::ListLabel:
    case Keyword::VerbatimListLabel:
        if (current.character.hidden || current.isListLabel) {
            current.destination = Destination::Skip;
        } else {
            // Our own writer's labels are exact; other writers' are trimmed and given their tab.
            if (word.keyword == Keyword::VerbatimListLabel)
                story().current.hasVerbatimLabel = true;
            current.isListLabel = true;
            current.attributes.reset();
        }
        return true;
    case Keyword::UnicodeAlternative:
        current.uprDestination = current.destination;
        current.destination = Destination::Skip;
        current.isUprAnsiPart = true;
        return true;
    case Keyword::UnicodePart:
        // Outside \upr: a plain group.
        return true;
    case Keyword::ListName:
    case Keyword::HiddenDestination:
        current.destination = Destination::Skip;
        return true;
    default:
        return false;
    }
}

} // namespace importer::rtf
