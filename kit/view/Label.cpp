#include "kit/view/Label.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"

namespace kit {

void Label::setText(std::string text)
{
    setAndRedraw(*this, m_text, std::move(text));
}

void Label::setFontSize(float points)
{
    if (points > 0)
        setAndRedraw(*this, m_style.fontSize, points);
}

void Label::setBold(bool bold)
{
    setAndRedraw(*this, m_style.bold, bold);
}

void Label::setAlignment(text::Alignment alignment)
{
    setAndRedraw(*this, m_style.alignment, alignment);
}

void Label::setTextColor(Color color)
{
    setAndRedraw(*this, m_style.color, color);
}

void Label::drawRect(cairo_t* context, Rect)
{
    text::draw(context, m_text, bounds(), m_style);
}

bool Label::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<Label, View> attributes {
        { "text", nib::set<nib::parseText, &Label::setText> },
        { "fontSize", nib::set<nib::parsePositiveNumber, &Label::setFontSize> },
        { "bold", nib::set<nib::parseBool, &Label::setBold> },
        { "alignment", [](Label& label, std::string_view value) {
             using text::Alignment;
             return nib::apply(label, &Label::setAlignment,
                 nib::parseChoice<Alignment>(
                     value, { { "left", Alignment::Left }, { "center", Alignment::Center }, { "right", Alignment::Right } }));
         } },
        { "textColor", nib::set<nib::parseColor, &Label::setTextColor> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
