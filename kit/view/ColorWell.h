#pragma once

#include "kit/geometry/Color.h"
#include "kit/view/Control.h"

namespace kit {

// A swatch showing a colour, alpha included (over a checkerboard). A click opens the host's colour panel
// on the well's colour; each colour picked there becomes the well's and sends the action.
class ColorWell : public Control {
public:
    using Control::Control;

    Color color() const { return m_color; }
    // Sends no action.
    void setColor(Color color);
    // What a click does.
    void activate();

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;
    void mouseDown(const Event&) override;

    // color.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    Color m_color = Color::whiteColor();
};

} // namespace kit
