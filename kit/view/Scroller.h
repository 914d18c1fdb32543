#pragma once

#include "kit/view/View.h"

namespace kit {

// A scroll bar of a ScrollView: a track with a knob whose length shows the visible share of the document
// and whose position shows the scroll position. Dragging the knob or clicking the track asks the scroll
// view to scroll. Its coordinates are flipped: position 0 is the top (or the left) end.
class Scroller : public View {
public:
    enum class Orientation { Vertical, Horizontal };
    static constexpr float kWidth = 15; // points across
    static constexpr float kMinimumKnobLength = 20;

    explicit Scroller(Orientation orientation)
        : m_orientation(orientation)
    {
    }

    Orientation orientation() const { return m_orientation; }
    // The visible share of the document, 0...1.
    float knobProportion() const { return m_knobProportion; }
    void setKnobProportion(float proportion);
    // The scroll position, 0 (top or left end) ... 1 (bottom or right end).
    float value() const { return m_value; }
    void setValue(float value);
    // The knob in this view's coordinates; empty when the knob fills the track.
    Rect knobRect() const;

    bool isFlipped() const override { return true; }
    bool isOpaque() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;
    void mouseDown(const Event&) override;
    void mouseDragged(const Event&) override;
    void mouseUp(const Event&) override;

private:
    float along(Point p) const { return m_orientation == Orientation::Vertical ? p.y : p.x; }
    float trackStart() const;
    float trackLength() const;
    void moveTo(float value);

    Orientation m_orientation;
    float m_knobProportion = 1;
    float m_value = 0;
    bool m_dragging = false;
    float m_grabOffset = 0;
};

} // namespace kit
