#pragma once

#include "kit/view/TextDrawing.h"
#include "kit/view/View.h"

#include <string>

namespace kit {

// Static text, wrapped to the label's width and drawn from its top.
class Label : public View {
public:
    Label() = default;
    explicit Label(Rect frame, std::string text = {})
        : View(frame)
        , m_text(std::move(text))
    {
    }

    const std::string& text() const { return m_text; }
    void setText(std::string text);
    float fontSize() const { return m_style.fontSize; }
    void setFontSize(float points);
    bool isBold() const { return m_style.bold; }
    void setBold(bool bold);
    text::Alignment alignment() const { return m_style.alignment; }
    void setAlignment(text::Alignment alignment);
    Color textColor() const { return m_style.color; }
    void setTextColor(Color color);

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;

    // text, fontSize, bold, alignment ("left", "center", "right"), textColor.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    std::string m_text;
    text::Style m_style;
};

} // namespace kit
