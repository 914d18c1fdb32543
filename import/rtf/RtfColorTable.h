#pragma once

#include "kit/geometry/Color.h"

#include <array>
#include <optional>
#include <vector>

namespace importer::rtf {

// The document's colours (\colortbl), by index as the text refers to them. An entry without components
// (the first, usually) is "automatic": no colour of its own.
class RtfColorTable {
public:
    // Reading the table.
    void begin(); // \colortbl: the table starts empty
    void setComponent(int component, int value); // 0 \red, 1 \green, 2 \blue; values 0-255
    void endEntry(); // ';'

    // The colour at index; none for 0, an automatic entry or an index past the table.
    std::optional<kit::Color> color(int index) const;

private:
    std::vector<std::optional<kit::Color>> m_colors;
    std::array<int, 3> m_components { -1, -1, -1 }; // of the entry being read; -1: not given
};

} // namespace importer::rtf
