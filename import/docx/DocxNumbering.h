#pragma once

#include "import/docx/DocxProperties.h"
#include "import/package/XmlPart.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace importer::docx {

class DocxStyles;

enum class LabelSuffix : std::uint8_t { Tab, Space, Nothing };

struct NumberingLevel {
    int start = 1;
    std::string format = "decimal"; // w:numFmt: decimal, upperRoman, lowerLetter, bullet, none...
    std::string text; // w:lvlText, a template such as "%1.%2."
    int restartAfter = -1; // one-based level after which this one restarts; 0 never; -1 after any higher level
    bool isLegal = false; // shows every level's number in decimal
    LabelSuffix suffix = LabelSuffix::Tab;
    std::string paragraphStyle; // w:pStyle: the paragraph style this level belongs to
    RunProperties run; // the label's formatting
    ParagraphProperties paragraph; // indents and tab stops of the level's paragraphs
};

struct NumberingLabel {
    std::string text;
    LabelSuffix suffix = LabelSuffix::Tab;
    const NumberingLevel* level = nullptr;
    // The template's symbol-font glyphs were mapped to Unicode: the label must not be drawn in that font.
    bool replacedSymbolFont = false;
};

// numbering.xml: abstract numbering definitions, their instances (w:num) with level and start overrides, and
// the counters that number paragraphs in document order. Counters belong to the abstract definition, as in
// Word: two instances of one definition continue each other's numbers unless an override restarts them.
class DocxNumbering {
public:
    DocxNumbering() = default;
    DocxNumbering(std::optional<XmlPart> numbering, DocxStyles& styles);

    // The level's definition, without counting; null when the instance or level is not defined.
    const NumberingLevel* level(int numberingId, int level) const;
    // The level a paragraph style stands for in an instance (its w:pStyle), or 0.
    int levelForStyle(int numberingId, std::string_view styleId) const;
    // Counts a paragraph at this level and returns its label; nullopt when not numbered.
    std::optional<NumberingLabel> nextLabel(int numberingId, int level);

private:
    struct Abstract {
        std::array<NumberingLevel, 9> levels;
        std::array<bool, 9> defined {};
    };
    struct Instance {
        int abstractId = 0;
        std::array<std::optional<int>, 9> startOverride;
        std::array<std::optional<NumberingLevel>, 9> levelOverride;
        std::array<bool, 9> overrideApplied {};
    };
    struct Counters {
        std::array<int, 9> values {};
        std::array<bool, 9> used {};
    };
    const Abstract* abstractFor(const Instance& instance) const;
    std::map<int, Abstract> m_abstracts;
    std::map<int, int> m_styleLinks; // abstract id → the abstract id its numbering style leads to
    std::map<int, Instance> m_instances;
    std::map<int, Counters> m_counters; // by resolved abstract id
};

} // namespace importer::docx
