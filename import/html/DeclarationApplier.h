#pragma once

#include "import/html/ComputedStyle.h"
#include "import/html/StyleSheet.h"

#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace importer::html {

// Applies one element's declarations, in cascade order, to the style it starts from (its parent's inherited
// properties). Lengths resolve against the element's font size, which must be final before the first call,
// and percentages against percentBase, in points.
class DeclarationApplier {
public:
    DeclarationApplier(const ComputedStyle& parent, ComputedStyle& style, float percentBase);
    void apply(const CssDeclaration& declaration);
    // Settles what depends on several declarations together: decorations, borders, the inline background.
    void finish();

private:
    struct BorderSide {
        std::optional<kit::LineStyle> style; // nullopt: none
        float width = 2.25f; // medium: 3 pixels
        std::optional<kit::Color> color;
    };
    std::optional<float> length(std::string_view value, bool unitlessPixels = false) const;
    void applyFont(std::string_view value);
    void applyBorder(std::string_view value, std::initializer_list<int> sides);
    void applyBorderPart(int side, const std::string& part, std::string_view token);
    void applyBoxSides(std::array<float, 4>& box, std::string_view value, bool allowNegative);
    void readBorderPart(BorderSide& side, std::string_view token, float fontSize) const;

    const ComputedStyle& m_parent;
    ComputedStyle& m_style;
    float m_percentBase;
    kit::LineStyle m_ownUnderline = kit::LineStyle::None;
    kit::LineStyle m_ownStrikethrough = kit::LineStyle::None;
    bool m_doubleDecoration = false;
    std::optional<kit::Color> m_ownBackground;
    std::array<BorderSide, 4> m_borders;
};

// Whether a font-weight value is bold (600 and up, bold, bolder); nullopt when it is no weight.
std::optional<bool> isBoldWeight(std::string_view value);

} // namespace importer::html
