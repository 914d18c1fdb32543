#pragma once

#include "kit/view/View.h"

namespace kit {

// A spinning progress indicator: twelve spokes, one brighter, turning while it animates (a run-loop timer
// advances it twelve times a second and asks for a redraw).
class ProgressIndicator : public View {
public:
    static constexpr int kSpokes = 12;

    using View::View;
    ~ProgressIndicator() override;

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer != 0; }
    // Which spoke is brightest, 0...11; advances once per timer tick.
    int phase() const { return m_phase; }
    // When off, a stopped indicator draws nothing.
    bool isDisplayedWhenStopped() const { return m_displayedWhenStopped; }
    void setDisplayedWhenStopped(bool displayed);

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;

    // style ("spinning"), displayedWhenStopped.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    unsigned m_timer = 0;
    int m_phase = 0;
    bool m_displayedWhenStopped = true;
};

} // namespace kit
