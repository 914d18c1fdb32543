#include "kit/view/Label.h"

#include "kit/view/NibValue.h"

namespace kit {

void Label::setText(std::string text)
{
    if (text == m_text)
        return;
    m_text = std::move(text);
    setNeedsDisplay(true);
}

void Label::setFontSize(float points)
{
    if (points == m_style.fontSize || !(points > 0))
        return;
    m_style.fontSize = points;
    setNeedsDisplay(true);
}

void Label::setBold(bool bold)
{
    if (bold == m_style.bold)
        return;
    m_style.bold = bold;
    setNeedsDisplay(true);
}

void Label::setAlignment(text::Alignment alignment)
{
    if (alignment == m_style.alignment)
        return;
    m_style.alignment = alignment;
    setNeedsDisplay(true);
}

void Label::setTextColor(Color color)
{
    if (color == m_style.color)
        return;
    m_style.color = color;
    setNeedsDisplay(true);
}

void Label::drawRect(cairo_t* context, Rect)
{
    text::draw(context, m_text, bounds(), m_style);
}

bool Label::setNibAttribute(std::string_view name, std::string_view value)
{
    if (name == "text") {
        setText(std::string(value));
        return true;
    }
    if (name == "fontSize") {
        auto size = nib::parseNumber(value);
        if (!size || !(*size > 0))
            return false;
        setFontSize(*size);
        return true;
    }
    if (name == "bold") {
        auto flag = nib::parseBool(value);
        if (!flag)
            return false;
        setBold(*flag);
        return true;
    }
    if (name == "alignment") {
        if (value == "left")
            setAlignment(text::Alignment::Left);
        else if (value == "center")
            setAlignment(text::Alignment::Center);
        else if (value == "right")
            setAlignment(text::Alignment::Right);
        else
            return false;
        return true;
    }
    if (name == "textColor") {
        auto color = nib::parseColor(value);
        if (!color)
            return false;
        setTextColor(*color);
        return true;
    }
    return View::setNibAttribute(name, value);
}

} // namespace kit
