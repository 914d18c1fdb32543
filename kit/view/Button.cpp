#include "kit/view/Button.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"
#include "kit/view/TextDrawing.h"

#include <algorithm>
#include <numbers>

namespace kit {

static constexpr float kCheckBoxSize = 14;
static constexpr float kCheckBoxGap = 6;

// Fills the current path with the grey `fill` and outlines it one point wide in the grey `outline`.
static void fillAndOutline(cairo_t* context, double fill, double outline)
{
    cairo_set_source_rgb(context, fill, fill, fill);
    cairo_fill_preserve(context);
    cairo_set_source_rgb(context, outline, outline, outline);
    cairo_set_line_width(context, 1);
    cairo_stroke(context);
}

Button::Button(Rect frame, std::string title, Type type)
    : Control(frame)
    , m_type(type)
    , m_title(std::move(title))
{
}

void Button::setButtonType(Type type)
{
    setAndRedraw(*this, m_type, type);
}

void Button::setTitle(std::string title)
{
    setAndRedraw(*this, m_title, std::move(title));
}

void Button::setState(int state)
{
    if (state != OffState && state != MixedState)
        state = OnState;
    if (state == m_state)
        return;
    m_state = state;
    setNeedsDisplay(true);
}

void Button::setFontSize(float points)
{
    if (points > 0)
        setAndRedraw(*this, m_fontSize, points);
}

void Button::setHighlighted(bool highlighted)
{
    setAndRedraw(*this, m_highlighted, highlighted);
}

void Button::performClick(Responder*)
{
    if (!isEnabled())
        return;
    if (m_type == Type::CheckBox)
        setState(m_state == OnState ? OffState : OnState);
    sendAction();
}

bool Button::isInside(const Event& event) const
{
    return bounds().contains(convertPointFromView(event.locationInWindow, nullptr));
}

void Button::mouseDown(const Event& event)
{
    if (isEnabled())
        setHighlighted(isInside(event));
}

void Button::mouseDragged(const Event& event)
{
    if (isEnabled())
        setHighlighted(isInside(event));
}

void Button::mouseUp(const Event& event)
{
    setHighlighted(false);
    if (isEnabled() && isInside(event))
        performClick(this);
}

void Button::keyDown(const Event& event)
{
    if (event.characters == " ")
        performClick(this);
    else
        Control::keyDown(event);
}

static void roundedRectangle(cairo_t* context, Rect r, double radius)
{
    radius = std::min<double>({ radius, r.width() / 2.0, r.height() / 2.0 });
    double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    cairo_new_path(context);
    cairo_arc(context, x1 - radius, y0 + radius, radius, -std::numbers::pi / 2, 0);
    cairo_arc(context, x1 - radius, y1 - radius, radius, 0, std::numbers::pi / 2);
    cairo_arc(context, x0 + radius, y1 - radius, radius, std::numbers::pi / 2, std::numbers::pi);
    cairo_arc(context, x0 + radius, y0 + radius, radius, std::numbers::pi, 3 * std::numbers::pi / 2);
    cairo_close_path(context);
}

void Button::drawRect(cairo_t* context, Rect)
{
    Rect b = bounds();
    text::Style style;
    style.fontSize = m_fontSize;
    style.wraps = false;
    style.color = isEnabled() ? Color::blackColor() : Color::white(0.5f);
    if (m_type == Type::Push) {
        roundedRectangle(context, b.insetBy(1, 1), 5);
        fillAndOutline(context, m_highlighted ? 0.78 : 0.98, 0.6);
        style.alignment = text::Alignment::Center;
        text::draw(context, m_title, b.insetBy(4, 0), style, true);
        return;
    }
    Rect box { b.minX() + 1, b.midY() - kCheckBoxSize / 2, kCheckBoxSize, kCheckBoxSize };
    roundedRectangle(context, box, 3);
    fillAndOutline(context, m_highlighted ? 0.8 : 1.0, 0.5);
    cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
    cairo_set_line_width(context, 2);
    if (m_state == OnState) {
        cairo_move_to(context, box.minX() + 3, box.midY());
        cairo_line_to(context, box.minX() + 6, box.maxY() - 3);
        cairo_line_to(context, box.maxX() - 3, box.minY() + 3);
        cairo_stroke(context);
    } else if (m_state == MixedState) {
        cairo_move_to(context, box.minX() + 3, box.midY());
        cairo_line_to(context, box.maxX() - 3, box.midY());
        cairo_stroke(context);
    }
    Rect title { box.maxX() + kCheckBoxGap, b.minY(), std::max(0.0f, b.maxX() - box.maxX() - kCheckBoxGap), b.height() };
    text::draw(context, m_title, title, style, true);
}

bool Button::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<Button, Control> attributes {
        { "title", nib::set<nib::parseText, &Button::setTitle> },
        { "type", [](Button& button, std::string_view value) {
             return nib::apply(button, &Button::setButtonType,
                 nib::parseChoice<Type>(value, { { "push", Type::Push }, { "checkbox", Type::CheckBox } }));
         } },
        { "state", [](Button& button, std::string_view value) {
             auto state = nib::parseInteger(value);
             if (state && (*state < -1 || *state > 1))
                 state.reset();
             return nib::apply(button, &Button::setState, state);
         } },
        { "keyEquivalent", [](Button& button, std::string_view value) {
             // Keys without a printable text go by name.
             auto key = nib::parseChoice<std::string>(value, { { "return", "\r" }, { "escape", "\x1b" } });
             button.setKeyEquivalent(key ? *key : std::string(value));
             return true;
         } },
        { "fontSize", nib::set<nib::parsePositiveNumber, &Button::setFontSize> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
