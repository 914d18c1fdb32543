#pragma once

#include "kit/view/Control.h"

#include <string>

namespace kit {

// A push button, or a check box whose state is on (1), off (0) or mixed (-1). A click (mouse down, then up
// inside) on a check box first switches its state (on becomes off, anything else on), then sends the action.
class Button : public Control {
public:
    enum class Type { Push, CheckBox };
    static constexpr int OnState = 1;
    static constexpr int OffState = 0;
    static constexpr int MixedState = -1;

    Button() = default;
    Button(Rect frame, std::string title, Type type = Type::Push);

    Type buttonType() const { return m_type; }
    void setButtonType(Type type);
    const std::string& title() const { return m_title; }
    void setTitle(std::string title);
    int state() const { return m_state; }
    // Values other than 1, 0 and -1 count as on, as any non-zero state does.
    void setState(int state);
    // The key that presses the button in a panel: "\r" for Return, "\x1b" for Escape.
    const std::string& keyEquivalent() const { return m_keyEquivalent; }
    void setKeyEquivalent(std::string key) { m_keyEquivalent = std::move(key); }
    float fontSize() const { return m_fontSize; }
    void setFontSize(float points);
    bool isHighlighted() const { return m_highlighted; }

    // What a click does, without the mouse: the state change of a check box, then the action.
    void performClick(Responder* sender);

    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return isEnabled(); }
    void drawRect(cairo_t* context, Rect dirty) override;
    void mouseDown(const Event&) override;
    void mouseDragged(const Event&) override;
    void mouseUp(const Event&) override;
    // The space bar clicks the button.
    void keyDown(const Event&) override;

    // title, type ("push", "checkbox"), state, keyEquivalent ("return", "escape" or the characters), fontSize.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    bool isInside(const Event& event) const;
    void setHighlighted(bool highlighted);

    Type m_type = Type::Push;
    std::string m_title;
    std::string m_keyEquivalent;
    int m_state = OffState;
    float m_fontSize = 13;
    bool m_highlighted = false;
};

} // namespace kit
