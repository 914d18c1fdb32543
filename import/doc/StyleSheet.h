#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"
#include "import/doc/Properties.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace importer::doc {

// The style sheet (STSH): paragraph and character styles, each built on its base style.
class StyleSheet {
public:
    static StyleSheet read(const ByteReader& stsh, WordVersion version);

    // A paragraph style's properties with its base styles applied; Normal's for unknown indices.
    const ParagraphProperties& paragraphProperties(std::uint16_t istd);
    const CharacterProperties& characterProperties(std::uint16_t istd);
    // The character properties of text in a paragraph of paragraphStyle with character style istd applied.
    CharacterProperties withCharacterStyle(std::uint16_t istd, const CharacterProperties& paragraphStyle) const;

    std::size_t size() const { return m_styles.size(); }
    const std::string& name(std::uint16_t istd) const;
    // The built-in style identifier (sti): 0 Normal, 1-9 Heading 1-9, 65 Default Paragraph Font...
    std::optional<std::uint16_t> builtInIdentifier(std::uint16_t istd) const;
    std::uint16_t istdForBuiltIn(std::uint16_t sti) const;

private:
    enum class Kind : std::uint8_t { None, Paragraph, Character, Table, List };
    struct Style {
        Kind kind = Kind::None;
        std::uint16_t sti = 0;
        std::uint16_t base = 0x0FFF;
        std::string name;
        ByteReader paragraphGrpprl;
        ByteReader characterGrpprl;
        bool isResolved = false;
        bool isResolving = false;
        ParagraphProperties paragraph;
        CharacterProperties character;
    };
    void resolve(std::uint16_t istd, int depth);

    WordVersion m_version = WordVersion::Word97;
    std::vector<Style> m_styles;
    ParagraphProperties m_defaultParagraph;
    CharacterProperties m_defaultCharacter;
};

} // namespace importer::doc
