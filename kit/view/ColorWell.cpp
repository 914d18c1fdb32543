#include "kit/view/ColorWell.h"

#include "kit/host/Host.h"
#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"

#include <cmath>

namespace kit {

void ColorWell::setColor(Color color)
{
    setAndRedraw(*this, m_color, color);
}

void ColorWell::activate()
{
    if (!isEnabled())
        return;
    // The panel may answer after the well is gone.
    WeakPtr<ColorWell> self(this);
    Host::current().runColorPanel(m_color, [self](Color picked) {
        if (ColorWell* well = self.get()) {
            well->setColor(picked);
            well->sendAction();
        }
    });
}

void ColorWell::mouseDown(const Event&)
{
    activate();
}

void ColorWell::drawRect(cairo_t* context, Rect)
{
    Rect b = bounds();
    cairo_set_source_rgb(context, 0.85, 0.85, 0.85);
    cairo_rectangle(context, b.minX(), b.minY(), b.width(), b.height());
    cairo_fill(context);
    cairo_set_source_rgb(context, 0.5, 0.5, 0.5);
    cairo_set_line_width(context, 1);
    cairo_rectangle(context, b.minX() + 0.5, b.minY() + 0.5, b.width() - 1, b.height() - 1);
    cairo_stroke(context);
    Rect swatch = b.insetBy(4, 4);
    if (swatch.isEmpty())
        return;
    cairo_save(context);
    cairo_rectangle(context, swatch.minX(), swatch.minY(), swatch.width(), swatch.height());
    cairo_clip(context);
    // A checkerboard behind, so that transparency shows.
    const float cell = 4;
    for (float y = swatch.minY(); y < swatch.maxY(); y += cell) {
        for (float x = swatch.minX(); x < swatch.maxX(); x += cell) {
            bool dark = (int(std::floor((x - swatch.minX()) / cell)) + int(std::floor((y - swatch.minY()) / cell))) % 2;
            double grey = dark ? 0.6 : 1.0;
            cairo_set_source_rgb(context, grey, grey, grey);
            cairo_rectangle(context, x, y, cell, cell);
            cairo_fill(context);
        }
    }
    auto [r, g, bl, a] = m_color.rgba();
    cairo_set_source_rgba(context, r, g, bl, a);
    cairo_paint(context);
    cairo_restore(context);
}

bool ColorWell::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<ColorWell, Control> attributes {
        { "color", nib::set<nib::parseColor, &ColorWell::setColor> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
