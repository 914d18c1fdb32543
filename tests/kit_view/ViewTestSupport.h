#pragma once

#include "kit/view/Event.h"
#include "kit/view/View.h"

#include <string>
#include <vector>

namespace viewtest {

// A mouse event of this type at a point in the window's base coordinates.
inline kit::Event mouse(kit::Event::Type type, kit::Point location)
{
    kit::Event event;
    event.type = type;
    event.locationInWindow = location;
    return event;
}

// The first view of type T below root, depth first; null when there is none.
template<typename T> T* findSubview(kit::View& root)
{
    for (auto& child : root.subviews()) {
        if (auto* found = dynamic_cast<T*>(child.get()))
            return found;
        if (auto* deeper = findSubview<T>(*child))
            return deeper;
    }
    return nullptr;
}

// A view with y down.
class FlippedView : public kit::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
};

// A view that fills what it is asked to draw with one colour.
class ColorView : public kit::View {
public:
    ColorView(kit::Rect frame, double r, double g, double b, bool flipped = false)
        : View(frame)
        , m_r(r)
        , m_g(g)
        , m_b(b)
        , m_flipped(flipped)
    {
    }
    bool isFlipped() const override { return m_flipped; }
    bool isOpaque() const override { return true; }
    void drawRect(cairo_t* context, kit::Rect dirty) override
    {
        ++drawCount;
        cairo_set_source_rgb(context, m_r, m_g, m_b);
        cairo_rectangle(context, dirty.minX(), dirty.minY(), dirty.width(), dirty.height());
        cairo_fill(context);
    }
    int drawCount = 0;

private:
    double m_r, m_g, m_b;
    bool m_flipped;
};

// Sets a flag when destroyed, so that tests can tell who destroyed what and when.
class TrackedView : public kit::View {
public:
    TrackedView(kit::Rect frame, bool* destroyed)
        : View(frame)
        , m_destroyed(destroyed)
    {
    }
    ~TrackedView() override { *m_destroyed = true; }
    bool acceptsFirstResponder() const override { return true; }

private:
    bool* m_destroyed;
};

} // namespace viewtest
