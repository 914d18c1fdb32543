#include "kit/view/SegmentedControl.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/TextDrawing.h"

#include <algorithm>

namespace kit {

void SegmentedControl::addSegment(Segment segment)
{
    m_segments.push_back(std::move(segment));
    setNeedsDisplay(true);
}

void SegmentedControl::setLabel(int segment, std::string label)
{
    if (segment < 0 || segment >= segmentCount())
        return;
    m_segments[segment].label = std::move(label);
    setNeedsDisplay(true);
}

void SegmentedControl::setSelectedSegment(int segment)
{
    if (segment < 0 || segment >= segmentCount())
        segment = -1;
    if (segment == m_selected)
        return;
    m_selected = segment;
    setNeedsDisplay(true);
}

Rect SegmentedControl::rectForSegment(int segment) const
{
    if (segment < 0 || segment >= segmentCount())
        return {};
    Rect b = bounds();
    float fixed = 0;
    int flexible = 0;
    for (const auto& s : m_segments) {
        fixed += s.width;
        flexible += s.width <= 0;
    }
    float share = flexible ? std::max(0.0f, b.width() - fixed) / flexible : 0;
    float x = b.minX();
    for (int i = 0; i < segment; ++i)
        x += m_segments[i].width > 0 ? m_segments[i].width : share;
    float width = m_segments[segment].width > 0 ? m_segments[segment].width : share;
    return { x, b.minY(), width, b.height() };
}

int SegmentedControl::segmentAtPoint(Point point) const
{
    for (int i = 0; i < segmentCount(); ++i) {
        if (rectForSegment(i).contains(point))
            return i;
    }
    return -1;
}

void SegmentedControl::selectSegmentAndSendAction(int segment)
{
    if (!isEnabled() || segment < 0 || segment >= segmentCount() || !m_segments[segment].enabled)
        return;
    setSelectedSegment(segment);
    WeakPtr<SegmentedControl> self(this);
    sendAction();
    if (self && m_trackingMode == TrackingMode::Momentary)
        setSelectedSegment(-1);
}

void SegmentedControl::mouseDown(const Event& event)
{
    selectSegmentAndSendAction(segmentAtPoint(convertPointFromView(event.locationInWindow, nullptr)));
}

void SegmentedControl::drawRect(cairo_t* context, Rect)
{
    text::Style style;
    style.fontSize = 13;
    style.alignment = text::Alignment::Center;
    style.wraps = false;
    for (int i = 0; i < segmentCount(); ++i) {
        Rect r = rectForSegment(i).insetBy(0.5f, 0.5f);
        double fill = i == m_selected ? 0.72 : 0.97;
        cairo_rectangle(context, r.minX(), r.minY(), r.width(), r.height());
        cairo_set_source_rgb(context, fill, fill, fill);
        cairo_fill_preserve(context);
        cairo_set_source_rgb(context, 0.55, 0.55, 0.55);
        cairo_set_line_width(context, 1);
        cairo_stroke(context);
        style.color = isEnabled() && m_segments[i].enabled ? Color::blackColor() : Color::white(0.5f);
        text::draw(context, m_segments[i].label, r, style, true);
    }
}

bool SegmentedControl::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<SegmentedControl, Control> attributes {
        { "trackingMode", [](SegmentedControl& control, std::string_view value) {
             return nib::apply(control, &SegmentedControl::setTrackingMode,
                 nib::parseChoice<TrackingMode>(
                     value, { { "selectOne", TrackingMode::SelectOne }, { "momentary", TrackingMode::Momentary } }));
         } },
        { "selectedSegment", nib::set<nib::parseInteger, &SegmentedControl::setSelectedSegment> },
    };
    return attributes.apply(*this, name, value);
}

bool SegmentedControl::addNibElement(std::string_view element, const NibAttributes& attributes)
{
    if (element != "segment")
        return Control::addNibElement(element, attributes);
    Segment segment;
    for (const auto& [key, value] : attributes.entries) {
        if (key == "label") {
            segment.label = value;
        } else if (key == "width") {
            auto width = nib::parseNumber(value);
            if (!width || *width < 0)
                return false;
            segment.width = *width;
        } else if (key == "enabled") {
            auto flag = nib::parseBool(value);
            if (!flag)
                return false;
            segment.enabled = *flag;
        } else {
            return false;
        }
    }
    addSegment(std::move(segment));
    return true;
}

} // namespace kit
