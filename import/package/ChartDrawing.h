#pragma once

#include "kit/geometry/Color.h"
#include "kit/text/VectorDrawing.h"

#include <optional>
#include <string>
#include <vector>

namespace importer {

// What a chart shows, as the values its document caches for it (word processors keep the last values the
// spreadsheet behind the chart gave, so it can be drawn without the spreadsheet).
struct ChartData {
    enum class Kind : std::uint8_t { Column, Bar, Line, Area, Pie };
    Kind kind = Kind::Column;
    bool stacked = false; // bars, columns and areas of the series on top of one another
    std::string title;
    std::vector<std::string> categories;
    struct Series {
        std::string name;
        std::vector<std::optional<double>> values; // by category; none where the cell was empty
        std::optional<kit::Color> color;
        std::vector<std::optional<kit::Color>> pointColors; // a pie's slices, by category
    };
    std::vector<Series> series;
};

// The most series and categories a chart is drawn with; a hostile part may claim millions.
inline constexpr std::size_t kMaxChartSeries = 64;
inline constexpr std::size_t kMaxChartCategories = 2000;

// The chart drawn into a box of the given size (points): its title, plot with value axis and gridlines,
// category labels and legend. None when there is nothing to draw (no series with a value).
std::optional<kit::VectorDrawing> drawChart(const ChartData&, kit::Size size);

} // namespace importer
