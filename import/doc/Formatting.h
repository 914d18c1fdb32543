#pragma once

#include "import/doc/Properties.h"
#include "import/doc/WordDocument.h"

#include <cstdint>
#include <optional>

namespace importer::doc {

// Resolves the formatting of characters and paragraphs: the style, then a list level's properties, then the
// formatting disk pages' direct properties, then the piece table's; and turns character properties into
// text attributes.
class Formatting {
public:
    explicit Formatting(WordDocument& document)
        : m_document(document)
    {
    }

    // The properties of the paragraph whose mark is at markCp; row receives the table row's properties.
    ParagraphProperties paragraphProperties(std::uint32_t markCp, std::optional<TableProperties>* row);

    // The character properties at cp, and the CP up to which they hold (at most limit).
    struct Segment {
        CharacterProperties properties;
        std::uint32_t end = 0;
    };
    Segment segmentAt(std::uint32_t cp, std::uint32_t limit, const CharacterProperties& paragraphStyle);

    kit::Attributes attributes(const CharacterProperties&) const;

    // Whether the paragraph run of the formatting pages ends right after the character at cp: cell marks and
    // page breaks end paragraphs only where the pages say so.
    bool endsParagraphRun(std::uint32_t cp) const;

private:
    template<typename Visit> void forEachPieceSprm(std::uint32_t cp, Visit&& visit);

    WordDocument& m_document;
};

} // namespace importer::doc
