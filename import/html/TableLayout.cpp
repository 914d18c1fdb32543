#include "import/html/TableLayout.h"

#include <algorithm>
#include <numeric>

namespace importer::html {

TableLayout::TableLayout(int columns)
    : m_columns(std::size_t(std::max(columns, 0)))
{
}

void TableLayout::addCell(int column, int span, float minimum, float maximum, std::optional<float> width,
    std::optional<float> percent)
{
    int count = int(m_columns.size());
    if (column < 0 || column >= count)
        return;
    span = std::clamp(span, 1, count - column);
    maximum = std::max(maximum, minimum);
    if (span == 1) {
        Column& c = m_columns[std::size_t(column)];
        c.minimum = std::max(c.minimum, minimum);
        c.maximum = std::max(c.maximum, maximum);
        if (width)
            c.fixed = std::max(c.fixed.value_or(0), *width);
        if (percent)
            c.percent = std::max(c.percent.value_or(0), *percent);
        return;
    }
    if (width)
        maximum = std::max(minimum, *width);
    m_spanning.push_back({ column, span, minimum, maximum });
}

void TableLayout::setColumnWidth(int column, std::optional<float> width, std::optional<float> percent)
{
    if (column < 0 || column >= int(m_columns.size()))
        return;
    Column& c = m_columns[std::size_t(column)];
    if (width && !c.fixed)
        c.fixed = *width;
    if (percent && !c.percent)
        c.percent = *percent;
}

std::vector<TableLayout::Column> TableLayout::resolvedColumns() const
{
    std::vector<Column> columns = m_columns;
    for (Column& c : columns) {
        // A width given to a column is its preferred width, but never less than its longest word.
        if (c.fixed)
            c.maximum = std::max(c.minimum, *c.fixed);
        c.maximum = std::max(c.maximum, c.minimum);
    }
    std::vector<SpanningCell> spanning = m_spanning;
    std::stable_sort(spanning.begin(), spanning.end(), [](const SpanningCell& a, const SpanningCell& b) { return a.span < b.span; });
    for (const SpanningCell& cell : spanning) {
        auto first = columns.begin() + cell.column;
        auto last = first + cell.span;
        float maximum = std::accumulate(first, last, 0.0f, [](float sum, const Column& c) { return sum + c.maximum; });
        // The spanned columns grow in proportion to their maximum widths (equally when they have none): first
        // their maxima, then their minima to the same shares of the cell's minimum, so no minimum passes its
        // maximum.
        auto share = [&](const Column& c) { return maximum > 0 ? c.maximum / maximum : 1.0f / float(cell.span); };
        if (cell.maximum > maximum) {
            std::vector<float> grown;
            for (auto it = first; it != last; ++it)
                grown.push_back(cell.maximum * share(*it));
            std::size_t k = 0;
            for (auto it = first; it != last; ++it)
                it->maximum = grown[k++];
            maximum = cell.maximum;
        }
        float minimum = std::accumulate(first, last, 0.0f, [](float sum, const Column& c) { return sum + c.minimum; });
        if (cell.minimum > minimum) {
            std::vector<float> shares;
            for (auto it = first; it != last; ++it)
                shares.push_back(cell.minimum * share(*it));
            std::size_t k = 0;
            for (auto it = first; it != last; ++it)
                it->minimum = std::max(it->minimum, shares[k++]);
        }
        for (auto it = first; it != last; ++it)
            it->maximum = std::max(it->maximum, it->minimum);
    }
    return columns;
}

float TableLayout::minimumWidth() const
{
    auto columns = resolvedColumns();
    return std::accumulate(columns.begin(), columns.end(), 0.0f, [](float sum, const Column& c) { return sum + c.minimum; });
}

float TableLayout::maximumWidth() const
{
    auto columns = resolvedColumns();
    return std::accumulate(columns.begin(), columns.end(), 0.0f, [](float sum, const Column& c) { return sum + c.maximum; });
}

std::vector<float> TableLayout::columnWidths(float available, std::optional<float> tableWidth,
    std::optional<float> tablePercent) const
{
    std::vector<Column> columns = resolvedColumns();
    std::size_t count = columns.size();
    if (!count)
        return {};
    available = std::max(available, 1.0f);
    float sumMinimum = 0, sumMaximum = 0, totalPercent = 0, sumMaximumWithoutPercent = 0;
    for (const Column& c : columns) {
        sumMinimum += c.minimum;
        sumMaximum += c.maximum;
        if (c.percent)
            totalPercent += *c.percent;
        else
            sumMaximumWithoutPercent += c.maximum;
    }

    float width;
    if (tableWidth) {
        width = *tableWidth;
    } else if (tablePercent) {
        width = available * *tablePercent / 100;
    } else {
        // The narrowest table that gives every column its maximum, percentage columns their share.
        width = sumMaximum;
        for (const Column& c : columns) {
            if (c.percent && *c.percent > 0)
                width = std::max(width, c.maximum * 100 / *c.percent);
        }
        if (totalPercent > 0 && totalPercent < 100)
            width = std::max(width, sumMaximumWithoutPercent * 100 / (100 - totalPercent));
        width = std::min(width, available);
    }
    width = std::max(width, sumMinimum);

    std::vector<float> widths(count, 0);
    std::vector<bool> isAuto(count, false);
    float assigned = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Column& c = columns[i];
        if (c.percent)
            widths[i] = std::max(c.minimum, width * *c.percent / 100);
        else if (c.fixed)
            widths[i] = c.maximum;
        else
            isAuto[i] = true;
        assigned += widths[i];
    }
    float autoMinimum = 0, autoMaximum = 0;
    std::size_t autoCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (isAuto[i]) {
            autoMinimum += columns[i].minimum;
            autoMaximum += columns[i].maximum;
            ++autoCount;
        }
    }
    float remaining = width - assigned;
    if (autoCount) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!isAuto[i])
                continue;
            const Column& c = columns[i];
            if (remaining >= autoMaximum) {
                float share = autoMaximum > 0 ? c.maximum / autoMaximum : 1.0f / float(autoCount);
                widths[i] = c.maximum + (remaining - autoMaximum) * share;
            } else if (remaining > autoMinimum && autoMaximum > autoMinimum) {
                widths[i] = c.minimum + (c.maximum - c.minimum) * (remaining - autoMinimum) / (autoMaximum - autoMinimum);
            } else {
                widths[i] = c.minimum;
            }
        }
    } else if (remaining > 0 && assigned > 0) {
        // Only given widths and the table is wider: they grow in proportion.
        for (float& w : widths)
            w += remaining * w / assigned;
    }

    // A page cannot scroll sideways: a table wider than the room first gives back what its columns have
    // beyond their minimum, then shrinks evenly.
    float total = std::accumulate(widths.begin(), widths.end(), 0.0f);
    float limit = std::max(available, tableWidth.value_or(0));
    limit = std::min(limit, available);
    if (total > limit) {
        float above = 0;
        for (std::size_t i = 0; i < count; ++i)
            above += std::max(0.0f, widths[i] - columns[i].minimum);
        float excess = total - limit;
        if (above > 0) {
            float k = std::min(1.0f, excess / above);
            for (std::size_t i = 0; i < count; ++i)
                widths[i] -= std::max(0.0f, widths[i] - columns[i].minimum) * k;
        }
        total = std::accumulate(widths.begin(), widths.end(), 0.0f);
        if (total > limit) {
            float k = limit / total;
            for (float& w : widths)
                w *= k;
        }
    }
    for (float& w : widths)
        w = std::max(w, 1.0f);
    return widths;
}

} // namespace importer::html
