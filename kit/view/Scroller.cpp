#include "kit/view/Scroller.h"

#include "kit/view/ScrollView.h"

#include <algorithm>

namespace kit {

static constexpr float kTrackInset = 2;

void Scroller::setKnobProportion(float proportion)
{
    proportion = std::clamp(proportion, 0.0f, 1.0f);
    if (proportion == m_knobProportion)
        return;
    m_knobProportion = proportion;
    setNeedsDisplay(true);
}

void Scroller::setValue(float value)
{
    value = std::clamp(value, 0.0f, 1.0f);
    if (value == m_value)
        return;
    m_value = value;
    setNeedsDisplay(true);
}

float Scroller::trackStart() const
{
    return kTrackInset;
}

float Scroller::trackLength() const
{
    Size size = bounds().size;
    float length = m_orientation == Orientation::Vertical ? size.height : size.width;
    return std::max(0.0f, length - 2 * kTrackInset);
}

Rect Scroller::knobRect() const
{
    float track = trackLength();
    if (m_knobProportion >= 1 || track <= 0)
        return {};
    float knob = std::min(track, std::max(kMinimumKnobLength, track * m_knobProportion));
    float start = trackStart() + (track - knob) * m_value;
    Size size = bounds().size;
    if (m_orientation == Orientation::Vertical)
        return { kTrackInset, start, std::max(0.0f, size.width - 2 * kTrackInset), knob };
    return { start, kTrackInset, knob, std::max(0.0f, size.height - 2 * kTrackInset) };
}

void Scroller::drawRect(cairo_t* context, Rect)
{
    Rect b = bounds();
    cairo_set_source_rgb(context, 0.94, 0.94, 0.94);
    cairo_rectangle(context, b.minX(), b.minY(), b.width(), b.height());
    cairo_fill(context);
    Rect knob = knobRect();
    if (knob.isEmpty())
        return;
    // A rounded bar, its ends as round as it is thick.
    double radius = std::min(knob.width(), knob.height()) / 2.0;
    double x0 = knob.minX(), y0 = knob.minY(), x1 = knob.maxX(), y1 = knob.maxY();
    cairo_new_path(context);
    cairo_arc(context, x1 - radius, y0 + radius, radius, -1.5707963, 0);
    cairo_arc(context, x1 - radius, y1 - radius, radius, 0, 1.5707963);
    cairo_arc(context, x0 + radius, y1 - radius, radius, 1.5707963, 3.1415927);
    cairo_arc(context, x0 + radius, y0 + radius, radius, 3.1415927, 4.7123890);
    cairo_close_path(context);
    cairo_set_source_rgb(context, 0.55, 0.55, 0.55);
    cairo_fill(context);
}

void Scroller::moveTo(float value)
{
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()))
        scrollView->scrollerDidMove(*this, std::clamp(value, 0.0f, 1.0f));
}

void Scroller::mouseDown(const Event& event)
{
    Point p = convertPointFromView(event.locationInWindow, nullptr);
    Rect knob = knobRect();
    if (knob.isEmpty())
        return;
    if (knob.contains(p)) {
        m_dragging = true;
        m_grabOffset = along(p) - along(knob.origin);
        return;
    }
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()))
        scrollView->scrollerDidPage(*this, along(p) < along(knob.origin) ? -1 : 1);
}

void Scroller::mouseDragged(const Event& event)
{
    if (!m_dragging)
        return;
    Rect knob = knobRect();
    float knobLength = m_orientation == Orientation::Vertical ? knob.height() : knob.width();
    float range = trackLength() - knobLength;
    if (range <= 0)
        return;
    Point p = convertPointFromView(event.locationInWindow, nullptr);
    moveTo((along(p) - m_grabOffset - trackStart()) / range);
}

void Scroller::mouseUp(const Event&)
{
    m_dragging = false;
}

} // namespace kit
