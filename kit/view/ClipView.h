#pragma once

#include "kit/geometry/Color.h"
#include "kit/view/View.h"

namespace kit {

// The visible part of a scroll view's document: it owns the document view as its only subview, its bounds
// origin is the scroll origin (in the document view's superview coordinates, i.e. this view's own), and it
// paints its background colour where the document does not cover it. It takes the document's orientation.
class ClipView : public View {
public:
    ClipView() = default;
    explicit ClipView(Rect frame)
        : View(frame)
    {
    }

    View* documentView() const { return subviews().empty() ? nullptr : subviews().front().get(); }
    // Installs view (destroying the previous document view), scrolls to its origin and follows its frame.
    void setDocumentView(std::unique_ptr<View> view);
    // Moves view here from the superview or nib set that owns it (see View::addSubview(View&)).
    void setDocumentView(View& view);
    // Releases the document view to the caller without destroying it; null when there is none.
    std::unique_ptr<View> takeDocumentView();

    // The document view's frame, in this view's coordinates; empty without a document.
    Rect documentRect() const;
    // The visible part of the document, in the document view's coordinates.
    Rect documentVisibleRect() const;

    // Moves the scroll origin to constrainScrollPoint(point) and tells the enclosing scroll view. Every scroll
    // of this clip view (the scroll view's, re-constraining after a resize) comes through here.
    virtual void scrollToPoint(Point point);
    // The scroll origin closest to proposed that keeps the view inside the document; a document smaller
    // than the view along an axis is pinned at its origin. Without a document, proposed is kept.
    virtual Point constrainScrollPoint(Point proposed) const;
    // Called when the document view's frame, or its bounds on their own, changed: re-constrains the scroll
    // origin and updates the enclosing scroll view.
    virtual void viewFrameChanged();
    virtual void viewBoundsChanged();

    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color color);
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool draws);

    // Scrolling moves the pixels in sight where the window's host can, and draws only what comes into sight
    // (and views lying over this one); else everything in sight is drawn again.
    void setBoundsOrigin(Point origin) override;
    // A resized clip view re-constrains its scroll origin.
    void setFrame(Rect frame) override;
    void setFrameOrigin(Point origin) override;
    void setFrameSize(Size size) override;

    bool isFlipped() const override;
    bool isOpaque() const override { return m_drawsBackground && m_backgroundColor.alpha() >= 1; }
    void drawRect(cairo_t* context, Rect dirty) override;

    // backgroundColor, drawsBackground.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

protected:
    void subviewFrameDidChange(View& subview) override;
    void subviewBoundsDidChange(View& subview) override;
    void didAddSubview(View& subview) override;

private:
    bool movePixelsForScroll(Point oldOrigin);
    void reflectInScrollView();

    Color m_backgroundColor = Color::white(1);
    bool m_drawsBackground = true;
};

} // namespace kit
