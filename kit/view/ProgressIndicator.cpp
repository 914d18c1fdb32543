#include "kit/view/ProgressIndicator.h"

#include "kit/foundation/RunLoop.h"
#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kit {

static constexpr auto kTick = std::chrono::milliseconds(1000 / ProgressIndicator::kSpokes);

ProgressIndicator::~ProgressIndicator()
{
    stopAnimation();
}

void ProgressIndicator::startAnimation()
{
    if (m_timer)
        return;
    // The timer dies with the indicator: stopAnimation in the destructor cancels it.
    m_timer = RunLoop::addTimer(kTick, [this] {
        m_phase = (m_phase + 1) % kSpokes;
        setNeedsDisplay(true);
        return true;
    });
    setNeedsDisplay(true);
}

void ProgressIndicator::stopAnimation()
{
    if (!m_timer)
        return;
    RunLoop::cancelTimer(m_timer);
    m_timer = 0;
    setNeedsDisplay(true);
}

void ProgressIndicator::setDisplayedWhenStopped(bool displayed)
{
    setAndRedraw(*this, m_displayedWhenStopped, displayed);
}

void ProgressIndicator::drawRect(cairo_t* context, Rect)
{
    if (!isAnimating() && !m_displayedWhenStopped)
        return;
    Rect b = bounds();
    double radius = std::min(b.width(), b.height()) / 2.0;
    if (radius <= 0)
        return;
    cairo_save(context);
    cairo_translate(context, b.midX(), b.midY());
    cairo_set_line_cap(context, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(context, std::max(1.0, radius / 5));
    for (int i = 0; i < kSpokes; ++i) {
        // The brightest spoke is the phase; those behind it fade out.
        int age = (m_phase - i + kSpokes) % kSpokes;
        double alpha = isAnimating() ? 1.0 - 0.75 * age / (kSpokes - 1) : 0.4;
        double angle = 2 * std::numbers::pi * i / kSpokes - std::numbers::pi / 2;
        cairo_set_source_rgba(context, 0.2, 0.2, 0.2, alpha);
        cairo_move_to(context, std::cos(angle) * radius * 0.45, std::sin(angle) * radius * 0.45);
        cairo_line_to(context, std::cos(angle) * radius * 0.85, std::sin(angle) * radius * 0.85);
        cairo_stroke(context);
    }
    cairo_restore(context);
}

bool ProgressIndicator::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<ProgressIndicator, View> attributes {
        // Only the spinning style is drawn; the attribute is read to refuse the others.
        { "style", [](ProgressIndicator&, std::string_view value) { return value == "spinning"; } },
        { "displayedWhenStopped", nib::set<nib::parseBool, &ProgressIndicator::setDisplayedWhenStopped> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
