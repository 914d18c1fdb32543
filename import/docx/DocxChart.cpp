#include "import/docx/DocxChart.h"

#include "import/docx/DocxShape.h"
#include "import/package/OfficeUnits.h"
#include "import/package/XmlPart.h"

#include <string_view>

namespace importer::docx {

namespace {

// Every a:t below node, in order: the text of a rich title.
void collectText(pugi::xml_node node, std::string& out, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : node.children()) {
        std::string_view name = child.name();
        if (name == "a:t") {
            out += child.child_value();
            continue;
        }
        if (name == "a:p" && !out.empty())
            out += ' ';
        collectText(child, out, depth + 1);
    }
}

// The cached points of a reference or literal (c:strRef, c:numRef, c:strLit, c:numLit...), by index.
template<typename Take> void readPoints(pugi::xml_node source, Take take)
{
    pugi::xml_node cache;
    for (const char* name : { "c:strRef", "c:numRef", "c:multiLvlStrRef" }) {
        if (auto reference = source.child(name)) {
            cache = reference.child("c:strCache");
            if (!cache)
                cache = reference.child("c:numCache");
            if (!cache)
                cache = reference.child("c:multiLvlStrCache").child("c:lvl");
            break;
        }
    }
    if (!cache)
        cache = source.child("c:strLit") ? source.child("c:strLit") : source.child("c:numLit");
    for (auto point : cache.children("c:pt")) {
        auto index = parseInteger(point.attribute("idx").value());
        if (!index || *index < 0 || std::size_t(*index) >= kMaxChartCategories)
            continue;
        take(std::size_t(*index), point.child_value("c:v"));
    }
}

std::optional<kit::Color> seriesColor(pugi::xml_node properties, bool isLine)
{
    if (isLine) {
        if (auto fill = properties.child("a:ln").child("a:solidFill"))
            return drawingColor(fill);
    }
    if (auto fill = properties.child("a:solidFill"))
        return drawingColor(fill);
    return std::nullopt;
}

} // namespace

std::optional<ChartData> readChart(pugi::xml_node chartSpace)
{
    pugi::xml_node chart = chartSpace.child("c:chart");
    pugi::xml_node plot = chart.child("c:plotArea");
    ChartData data;
    pugi::xml_node kind;
    for (auto child : plot.children()) {
        std::string_view name = child.name();
        if (name == "c:barChart" || name == "c:bar3DChart") {
            bool across = std::string_view(child.child("c:barDir").attribute("val").value()) == "bar";
            data.kind = across ? ChartData::Kind::Bar : ChartData::Kind::Column;
        } else if (name == "c:lineChart" || name == "c:line3DChart" || name == "c:stockChart" || name == "c:scatterChart"
            || name == "c:radarChart") {
            data.kind = ChartData::Kind::Line;
        } else if (name == "c:areaChart" || name == "c:area3DChart") {
            data.kind = ChartData::Kind::Area;
        } else if (name == "c:pieChart" || name == "c:pie3DChart" || name == "c:doughnutChart" || name == "c:ofPieChart") {
            data.kind = ChartData::Kind::Pie;
        } else {
            continue;
        }
        kind = child;
        break;
    }
    if (!kind)
        return std::nullopt;
    std::string_view grouping = kind.child("c:grouping").attribute("val").value();
    data.stacked = grouping == "stacked" || grouping == "percentStacked";
    if (data.kind == ChartData::Kind::Line)
        data.stacked = false; // stacked lines are rare and read as plain ones

    pugi::xml_node title = chart.child("c:title");
    collectText(title.child("c:tx").child("c:rich"), data.title, 0);
    if (data.title.empty())
        readPoints(title.child("c:tx"), [&](std::size_t, const char* text) { data.title += text; });

    bool isLine = data.kind == ChartData::Kind::Line;
    for (auto ser : kind.children("c:ser")) {
        if (data.series.size() >= kMaxChartSeries)
            break;
        ChartData::Series series;
        pugi::xml_node name = ser.child("c:tx");
        if (name.child("c:v"))
            series.name = name.child_value("c:v");
        else
            readPoints(name, [&](std::size_t, const char* text) { series.name += text; });
        series.color = seriesColor(ser.child("c:spPr"), isLine);
        pugi::xml_node values = ser.child("c:val") ? ser.child("c:val") : ser.child("c:yVal");
        readPoints(values, [&](std::size_t index, const char* text) {
            if (series.values.size() <= index)
                series.values.resize(index + 1);
            series.values[index] = parseNumber(text);
        });
        if (data.categories.empty()) {
            pugi::xml_node categories = ser.child("c:cat") ? ser.child("c:cat") : ser.child("c:xVal");
            readPoints(categories, [&](std::size_t index, const char* text) {
                if (data.categories.size() <= index)
                    data.categories.resize(index + 1);
                data.categories[index] = text;
            });
        }
        for (auto point : ser.children("c:dPt")) {
            auto index = parseInteger(point.child("c:idx").attribute("val").value());
            if (!index || *index < 0 || std::size_t(*index) >= kMaxChartCategories)
                continue;
            if (series.pointColors.size() <= std::size_t(*index))
                series.pointColors.resize(std::size_t(*index) + 1);
            series.pointColors[std::size_t(*index)] = seriesColor(point.child("c:spPr"), false);
        }
        data.series.push_back(std::move(series));
    }
    if (data.series.empty())
        return std::nullopt;
    return data;
}

} // namespace importer::docx
