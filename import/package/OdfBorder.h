#pragma once

#include "kit/text/Attributes.h"

#include <optional>
#include <string_view>

namespace importer {

// A border as fo:border and its sides write it, in any order: "0.5pt solid #000000", "thin double", "none".
// OpenDocument and the documents librevenge describes in its terms read borders alike:
// - "none" or "hidden" anywhere: no border;
// - a width without a style draws a single line (writers that leave the style out mean a plain line);
// - a style without a width, or with a zero width, draws a thin line (0.75 pt);
// - widths are capped at 12 pt; unknown words are ignored.
// nullopt for empty text: the border is not given, and a parent style's holds.
std::optional<kit::Border> parseOdfBorder(std::string_view text);

} // namespace importer
