#include "import/package/ChartDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace importer {

namespace {

using kit::Color;
using kit::Point;
using kit::Rect;
using kit::VectorShape;

constexpr float kLabelSize = 7.5f;
constexpr float kTitleSize = 11;

Color rgb(unsigned value)
{
    return Color::calibratedRGB(float((value >> 16) & 0xff) / 255, float((value >> 8) & 0xff) / 255, float(value & 0xff) / 255);
}

// The colours a chart's series take when the document gives none, in order.
Color paletteColor(std::size_t index)
{
    static const unsigned palette[] = { 0x4472C4, 0xED7D31, 0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x264478, 0x9E480E };
    return rgb(palette[index % std::size(palette)]);
}

std::string numberLabel(double value)
{
    char buffer[32];
    if (std::fabs(value) < 1e-9)
        value = 0;
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

// Gridline steps of 1, 2 or 5 times a power of ten, about five over the range.
double niceStep(double range)
{
    if (!(range > 0) || !std::isfinite(range))
        return 1;
    double raw = range / 5;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : { 1.0, 2.0, 5.0, 10.0 }) {
        if (factor * magnitude >= raw)
            return factor * magnitude;
    }
    return 10 * magnitude;
}

VectorShape text(std::string value, Rect rect, float size, VectorShape::Alignment alignment, bool bold = false)
{
    VectorShape shape;
    shape.kind = VectorShape::Kind::Text;
    shape.text = std::move(value);
    shape.rect = rect;
    shape.fontSize = size;
    shape.alignment = alignment;
    shape.bold = bold;
    shape.fill = rgb(0x404040);
    return shape;
}

VectorShape box(Rect rect, std::optional<Color> fill, std::optional<Color> stroke = {}, float width = 0.75f)
{
    VectorShape shape;
    shape.rect = rect;
    shape.fill = fill;
    shape.stroke = stroke;
    shape.strokeWidth = width;
    return shape;
}

VectorShape line(Point from, Point to, Color color, float width)
{
    VectorShape shape;
    shape.kind = VectorShape::Kind::Polyline;
    shape.points = { from, to };
    shape.stroke = color;
    shape.strokeWidth = width;
    return shape;
}

struct Legend {
    std::vector<std::pair<std::string, Color>> entries;
};

void drawLegend(const Legend& legend, Rect area, std::vector<VectorShape>& shapes)
{
    if (legend.entries.empty())
        return;
    // One row, each entry a swatch and its name, centred; names are given an even share of the width.
    float share = area.width() / float(legend.entries.size());
    for (std::size_t i = 0; i < legend.entries.size(); ++i) {
        float x = area.x() + share * float(i);
        float swatch = 6;
        shapes.push_back(box({ x + 4, area.midY() - swatch / 2, swatch, swatch }, legend.entries[i].second));
        shapes.push_back(text(legend.entries[i].first, { x + 4 + swatch + 3, area.y(), share - swatch - 8, area.height() },
            kLabelSize, VectorShape::Alignment::Left));
    }
}

void drawPie(const ChartData& chart, Rect plot, Legend& legend, std::vector<VectorShape>& shapes)
{
    const ChartData::Series& series = chart.series.front();
    double total = 0;
    for (const auto& value : series.values)
        total += value && *value > 0 && std::isfinite(*value) ? *value : 0;
    float diameter = std::min(plot.width(), plot.height());
    Rect circle { plot.midX() - diameter / 2, plot.midY() - diameter / 2, diameter, diameter };
    double angle = -M_PI / 2; // from twelve o'clock, clockwise
    for (std::size_t i = 0; i < series.values.size(); ++i) {
        double value = series.values[i] && std::isfinite(*series.values[i]) ? std::max(0.0, *series.values[i]) : 0;
        Color color = i < series.pointColors.size() && series.pointColors[i] ? *series.pointColors[i] : paletteColor(i);
        legend.entries.push_back({ i < chart.categories.size() ? chart.categories[i] : numberLabel(double(i + 1)), color });
        if (total <= 0 || value <= 0)
            continue;
        double sweep = 2 * M_PI * value / total;
        VectorShape sector = box(circle, color, Color::whiteColor(), 1);
        sector.kind = VectorShape::Kind::Sector;
        sector.startAngle = float(angle);
        sector.endAngle = float(angle + sweep);
        shapes.push_back(std::move(sector));
        angle += sweep;
    }
}

void drawAxes(const ChartData& chart, Rect plot, Legend& legend, std::vector<VectorShape>& shapes)
{
    const bool horizontal = chart.kind == ChartData::Kind::Bar; // categories down, values across
    std::size_t count = 0;
    for (const auto& series : chart.series)
        count = std::max(count, series.values.size());
    count = std::max(count, chart.categories.size());
    if (count == 0)
        return;

    // The value range, stacked or not, always holding zero.
    double low = 0, high = 0;
    for (std::size_t c = 0; c < count; ++c) {
        double positive = 0, negative = 0;
        for (const auto& series : chart.series) {
            if (c >= series.values.size() || !series.values[c] || !std::isfinite(*series.values[c]))
                continue;
            double v = *series.values[c];
            if (chart.stacked)
                (v >= 0 ? positive : negative) += v;
            else
                low = std::min(low, v), high = std::max(high, v);
        }
        if (chart.stacked)
            low = std::min(low, negative), high = std::max(high, positive);
    }
    double step = niceStep(high - low);
    high = std::ceil(high / step - 1e-9) * step;
    low = std::floor(low / step + 1e-9) * step;
    if (high <= low)
        high = low + step;

    const Color grid = rgb(0xD9D9D9), axis = rgb(0x7F7F7F);
    // Value labels need room on the left (columns, lines) or below (bars).
    float labelRoom = horizontal ? 12 : 28;
    Rect area = horizontal ? Rect { plot.x() + 40, plot.y(), plot.width() - 40, plot.height() - labelRoom }
                           : Rect { plot.x() + labelRoom, plot.y(), plot.width() - labelRoom, plot.height() - 12 };
    if (area.width() <= 4 || area.height() <= 4)
        return;
    auto valuePosition = [&](double v) {
        double t = (v - low) / (high - low);
        return horizontal ? area.x() + float(t) * area.width() : area.maxY() - float(t) * area.height();
    };
    int steps = int(std::lround((high - low) / step));
    for (int i = 0; i <= std::min(steps, 50); ++i) {
        double v = low + step * i;
        float p = valuePosition(v);
        if (horizontal) {
            shapes.push_back(line({ p, area.y() }, { p, area.maxY() }, grid, 0.5f));
            shapes.push_back(text(numberLabel(v), { p - 20, area.maxY() + 1, 40, labelRoom - 2 }, kLabelSize, VectorShape::Alignment::Center));
        } else {
            shapes.push_back(line({ area.x(), p }, { area.maxX(), p }, grid, 0.5f));
            shapes.push_back(text(numberLabel(v), { plot.x(), p - 6, labelRoom - 3, 12 }, kLabelSize, VectorShape::Alignment::Right));
        }
    }

    float band = (horizontal ? area.height() : area.width()) / float(count);
    auto bandStart = [&](std::size_t c) {
        // Bars run from the top category down.
        return horizontal ? area.y() + band * float(c) : area.x() + band * float(c);
    };
    for (std::size_t c = 0; c < chart.categories.size() && c < count; ++c) {
        float start = bandStart(c);
        if (horizontal)
            shapes.push_back(text(chart.categories[c], { plot.x(), start, 37, band }, kLabelSize, VectorShape::Alignment::Right));
        else
            shapes.push_back(text(chart.categories[c], { start, area.maxY() + 1, band, 10 }, kLabelSize, VectorShape::Alignment::Center));
    }

    float zero = valuePosition(0);
    const bool bars = chart.kind == ChartData::Kind::Column || chart.kind == ChartData::Kind::Bar;
    std::vector<double> positive(count, 0), negative(count, 0);
    std::size_t seriesCount = chart.series.size();
    for (std::size_t s = 0; s < seriesCount; ++s) {
        const ChartData::Series& series = chart.series[s];
        Color color = series.color.value_or(paletteColor(s));
        legend.entries.push_back({ series.name.empty() ? "Series " + std::to_string(s + 1) : series.name, color });
        if (bars) {
            // Clustered bars share their category's band, with a gap of half a bar on either side.
            float width = chart.stacked ? band * 0.6f : band / (float(seriesCount) + 1);
            for (std::size_t c = 0; c < series.values.size(); ++c) {
                if (!series.values[c] || !std::isfinite(*series.values[c]))
                    continue;
                double v = *series.values[c];
                double from = 0;
                if (chart.stacked) {
                    double& base = v >= 0 ? positive[c] : negative[c];
                    from = base;
                    base += v;
                }
                float a = valuePosition(from), b = valuePosition(from + v);
                float offset = chart.stacked ? band * 0.2f : width / 2 + width * float(s);
                float across = bandStart(c) + offset;
                Rect bar = horizontal ? Rect { std::min(a, b), across, std::fabs(b - a), width }
                                      : Rect { across, std::min(a, b), width, std::fabs(b - a) };
                shapes.push_back(box(bar, color));
            }
            continue;
        }
        // Lines and areas run through the middle of each category's band.
        std::vector<Point> points;
        for (std::size_t c = 0; c < series.values.size(); ++c) {
            if (!series.values[c] || !std::isfinite(*series.values[c]))
                continue;
            double v = *series.values[c], from = 0;
            if (chart.stacked) {
                from = positive[c];
                positive[c] += v;
            }
            points.push_back({ bandStart(c) + band / 2, valuePosition(from + v) });
        }
        if (points.empty())
            continue;
        VectorShape shape;
        if (chart.kind == ChartData::Kind::Area) {
            shape.kind = VectorShape::Kind::Polygon;
            shape.points = points;
            shape.points.push_back({ points.back().x, zero });
            shape.points.push_back({ points.front().x, zero });
            shape.fill = color;
        } else {
            shape.kind = VectorShape::Kind::Polyline;
            shape.points = points;
            shape.stroke = color;
            shape.strokeWidth = 2;
        }
        shapes.push_back(std::move(shape));
    }
    if (horizontal)
        shapes.push_back(line({ zero, area.y() }, { zero, area.maxY() }, axis, 0.75f));
    else
        shapes.push_back(line({ area.x(), zero }, { area.maxX(), zero }, axis, 0.75f));
}

} // namespace

std::optional<kit::VectorDrawing> drawChart(const ChartData& chart, kit::Size size)
{
    bool anyValue = false;
    for (const auto& series : chart.series) {
        for (const auto& value : series.values)
            anyValue |= value && std::isfinite(*value);
    }
    if (!anyValue || !(size.width >= 20) || !(size.height >= 20) || size.width > 100000 || size.height > 100000)
        return std::nullopt;
    kit::VectorDrawing drawing;
    drawing.size = size;
    auto& shapes = drawing.shapes;
    shapes.push_back(box({ 0.5f, 0.5f, size.width - 1, size.height - 1 }, Color::whiteColor(), rgb(0xD9D9D9)));

    Rect inside { 8, 6, size.width - 16, size.height - 12 };
    if (!chart.title.empty() && inside.height() > 60) {
        shapes.push_back(text(chart.title, { inside.x(), inside.y(), inside.width(), 18 }, kTitleSize,
            VectorShape::Alignment::Center, false));
        inside = { inside.x(), inside.y() + 20, inside.width(), inside.height() - 20 };
    }
    Legend legend;
    bool pie = chart.kind == ChartData::Kind::Pie;
    bool showsLegend = (pie || chart.series.size() > 1) && inside.height() > 60;
    Rect plot = showsLegend ? Rect { inside.x(), inside.y(), inside.width(), inside.height() - 16 } : inside;
    if (pie)
        drawPie(chart, plot, legend, shapes);
    else
        drawAxes(chart, plot, legend, shapes);
    if (showsLegend)
        drawLegend(legend, { inside.x(), inside.maxY() - 14, inside.width(), 14 }, shapes);
    return drawing;
}

} // namespace importer
