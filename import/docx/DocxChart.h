#pragma once

#include "import/package/ChartDrawing.h"

#include <pugixml.hpp>

#include <optional>

namespace importer::docx {

// The chart of a chart part (c:chartSpace) as the values it caches: the plot area's first chart of a kind
// drawn (bar, column, line, area, pie; scatter and radar charts as lines), its series, categories and title.
// None when the part holds no such chart.
std::optional<ChartData> readChart(pugi::xml_node chartSpace);

} // namespace importer::docx
