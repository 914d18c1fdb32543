#pragma once

#include "kit/text/Attributes.h"

#include <cstdint>

namespace importer {

// A paragraph's alignment as the package formats write it: start and end follow the paragraph's direction
// (a right-to-left paragraph starts at the right), left and right do not.
enum class ParagraphAlignment : std::uint8_t { Start, End, Left, Right, Center, Justify };

constexpr kit::TextAlignment textAlignment(ParagraphAlignment alignment, bool rightToLeft)
{
    switch (alignment) {
    case ParagraphAlignment::Start:
        return rightToLeft ? kit::TextAlignment::Right : kit::TextAlignment::Left;
    case ParagraphAlignment::End:
        return rightToLeft ? kit::TextAlignment::Left : kit::TextAlignment::Right;
    case ParagraphAlignment::Left:
        return kit::TextAlignment::Left;
    case ParagraphAlignment::Right:
        return kit::TextAlignment::Right;
    case ParagraphAlignment::Center:
        return kit::TextAlignment::Center;
    case ParagraphAlignment::Justify:
        return kit::TextAlignment::Justified;
    }
    return kit::TextAlignment::Natural;
}

} // namespace importer
