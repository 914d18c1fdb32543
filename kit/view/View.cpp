#include "kit/view/View.h"

#include "kit/foundation/NotificationCenter.h"
#include "kit/host/Host.h"
#include "kit/view/ClipView.h"
#include "kit/view/Menu.h"
#include "kit/view/NibTopLevelObjects.h"
#include "kit/view/NibAttributeTable.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace kit {

static bool isPositiveFinite(float value)
{
    return value > 0 && std::isfinite(value);
}

View::View() = default;

View::View(Rect frame)
    : m_frame(frame)
    , m_bounds({}, frame.size)
{
}

View::~View()
{
    // Children go first, while this view and its window are still whole for their own teardown.
    while (!m_subviews.empty()) {
        std::unique_ptr<View> child = std::move(m_subviews.back());
        m_subviews.pop_back();
        child->m_superview = nullptr;
        child.reset();
    }
    if (m_window)
        m_window->viewWillLeave(*this);
}

// --- Coordinates ---------------------------------------------------------------------------------------

Point View::Mapping::apply(Point p) const
{
    return { float(sx * p.x + tx), float(sy * p.y + ty) };
}

Point View::Mapping::invert(Point p) const
{
    return { float((p.x - tx) / sx), float((p.y - ty) / sy) };
}

static Rect rectFromCorners(double x0, double y0, double x1, double y1)
{
    double minX = std::min(x0, x1), minY = std::min(y0, y1);
    return { float(minX), float(minY), float(std::max(x0, x1) - minX), float(std::max(y0, y1) - minY) };
}

Rect View::Mapping::apply(Rect r) const
{
    return rectFromCorners(sx * r.minX() + tx, sy * r.minY() + ty, sx * r.maxX() + tx, sy * r.maxY() + ty);
}

Rect View::Mapping::invert(Rect r) const
{
    return rectFromCorners((r.minX() - tx) / sx, (r.minY() - ty) / sy, (r.maxX() - tx) / sx, (r.maxY() - ty) / sy);
}

// The mapping of this one applied first, then outer's.
View::Mapping View::Mapping::then(const Mapping& outer) const
{
    return { outer.sx * sx, outer.sy * sy, outer.sx * tx + outer.tx, outer.sy * ty + outer.ty };
}

// A point (x, y) of the bounds lands at frame.origin + (x - bounds.x, y - bounds.y) * scale in the superview,
// except that y runs the other way from the frame's far edge when the view and the system its frame is in
// (the superview's, or the unflipped window base) differ in flippedness.
View::Mapping View::mappingToSuperview() const
{
    bool outerFlipped = m_superview && m_superview->isFlipped();
    Mapping m;
    m.sx = m_scale.width;
    m.tx = double(m_frame.minX()) - double(m_bounds.minX()) * m.sx;
    if (isFlipped() == outerFlipped) {
        m.sy = m_scale.height;
        m.ty = double(m_frame.minY()) - double(m_bounds.minY()) * m.sy;
    } else {
        m.sy = -double(m_scale.height);
        m.ty = double(m_frame.maxY()) + double(m_bounds.minY()) * m_scale.height;
    }
    return m;
}

View::Mapping View::mappingToBase() const
{
    Mapping m;
    for (const View* view = this; view; view = view->m_superview)
        m = m.then(view->mappingToSuperview());
    return m;
}

Point View::convertPoint(Point point, const View* to) const
{
    Point base = mappingToBase().apply(point);
    return to ? to->mappingToBase().invert(base) : base;
}

Point View::convertPointFromView(Point point, const View* from) const
{
    Point base = from ? from->mappingToBase().apply(point) : point;
    return mappingToBase().invert(base);
}

// Sizes carry no position: only the scale chain between the two views matters.
Size View::convertSize(Size size, const View* to) const
{
    Mapping from = mappingToBase();
    double toSx = 1, toSy = 1;
    if (to) {
        Mapping m = to->mappingToBase();
        toSx = m.sx;
        toSy = m.sy;
    }
    return { float(std::abs(size.width * from.sx / toSx)), float(std::abs(size.height * from.sy / toSy)) };
}

Size View::convertSizeFromView(Size size, const View* from) const
{
    if (from)
        return from->convertSize(size, this);
    Mapping to = mappingToBase();
    return { float(std::abs(size.width / to.sx)), float(std::abs(size.height / to.sy)) };
}

Rect View::convertRect(Rect rect, const View* to) const
{
    Rect base = mappingToBase().apply(rect);
    return to ? to->mappingToBase().invert(base) : base;
}

Rect View::convertRectFromView(Rect rect, const View* from) const
{
    Rect base = from ? from->mappingToBase().apply(rect) : rect;
    return mappingToBase().invert(base);
}

// --- Geometry ------------------------------------------------------------------------------------------

void View::setFrame(Rect frame)
{
    applyFrame(frame);
}

void View::setFrameOrigin(Point origin)
{
    applyFrame({ origin, m_frame.size });
}

void View::setFrameSize(Size size)
{
    applyFrame({ m_frame.origin, size });
}

void View::applyFrame(Rect frame)
{
    if (frame.size.width < 0 || frame.size.height < 0)
        frame.size = { std::max(frame.size.width, 0.0f), std::max(frame.size.height, 0.0f) };
    if (frame == m_frame)
        return;
    Rect oldFrame = m_frame;
    Size oldBoundsSize = m_bounds.size;
    damageFrameInSuperview(oldFrame);
    m_frame = frame;
    if (frame.size != oldFrame.size) {
        m_bounds.size = { frame.size.width / m_scale.width, frame.size.height / m_scale.height };
        if (m_autoresizesSubviews)
            resizeSubviewsWithOldSize(oldBoundsSize);
    }
    damageFrameInSuperview(m_frame);
    frameDidChange(oldFrame);
}

void View::setFrameRotation(float degrees)
{
    if (degrees == m_frameRotation)
        return;
    m_frameRotation = degrees;
    frameDidChange(m_frame);
}

void View::frameDidChange(Rect)
{
    if (m_postsFrameChanged)
        NotificationCenter::defaultCenter().postNotification(ViewFrameDidChangeNotification, this);
    else
        m_frameChangePending = true;
    if (m_superview)
        m_superview->subviewFrameDidChange(*this);
}

void View::setBoundsOrigin(Point origin)
{
    if (origin == m_bounds.origin)
        return;
    m_bounds.origin = origin;
    boundsDidChange();
}

void View::setBoundsOriginWithoutDisplay(Point origin)
{
    if (origin == m_bounds.origin)
        return;
    m_bounds.origin = origin;
    boundsDidChange(false);
}

void View::setBoundsSize(Size size)
{
    if (!isPositiveFinite(size.width) || !isPositiveFinite(size.height) || size == m_bounds.size)
        return;
    m_bounds.size = size;
    if (m_frame.size.width > 0)
        m_scale.width = m_frame.size.width / size.width;
    if (m_frame.size.height > 0)
        m_scale.height = m_frame.size.height / size.height;
    boundsDidChange();
}

void View::scaleUnitSquareToSize(Size size)
{
    if (!isPositiveFinite(size.width) || !isPositiveFinite(size.height))
        return;
    if (size == Size { 1, 1 })
        return;
    m_scale = { m_scale.width * size.width, m_scale.height * size.height };
    m_bounds = { { m_bounds.origin.x / size.width, m_bounds.origin.y / size.height },
        { m_bounds.size.width / size.width, m_bounds.size.height / size.height } };
    boundsDidChange();
}

void View::boundsDidChange(bool redraw)
{
    if (redraw)
        setNeedsDisplay(true);
    if (m_postsBoundsChanged)
        NotificationCenter::defaultCenter().postNotification(ViewBoundsDidChangeNotification, this);
    else
        m_boundsChangePending = true;
    if (m_superview)
        m_superview->subviewBoundsDidChange(*this);
}

void View::setPostsFrameChangedNotifications(bool posts)
{
    m_postsFrameChanged = posts;
    if (posts && std::exchange(m_frameChangePending, false))
        NotificationCenter::defaultCenter().postNotification(ViewFrameDidChangeNotification, this);
}

void View::setPostsBoundsChangedNotifications(bool posts)
{
    m_postsBoundsChanged = posts;
    if (posts && std::exchange(m_boundsChangePending, false))
        NotificationCenter::defaultCenter().postNotification(ViewBoundsDidChangeNotification, this);
}

// --- Autoresizing ----------------------------------------------------------------------------------------

void View::resizeSubviewsWithOldSize(Size oldBoundsSize)
{
    // A subview may change the list while it follows (a clip view re-centring never does, but app code may).
    std::vector<WeakPtr<View>> children;
    for (auto& child : m_subviews)
        children.emplace_back(child.get());
    for (auto& weak : children) {
        if (View* child = weak.get(); child && child->m_superview == this)
            child->resizeWithOldSuperviewSize(oldBoundsSize);
    }
}

// Shares delta among the flexible parts of one axis (leading margin, size, trailing margin).
static void resizeAxis(float& origin, float& size, float oldSuper, float newSuper, bool flexMin, bool flexSize,
    bool flexMax)
{
    float delta = newSuper - oldSuper;
    int flexible = flexMin + flexSize + flexMax;
    if (delta == 0 || flexible == 0)
        return;
    float lengths[3] = { flexMin ? std::max(origin, 0.0f) : 0, flexSize ? std::max(size, 0.0f) : 0,
        flexMax ? std::max(oldSuper - origin - size, 0.0f) : 0 };
    float total = lengths[0] + lengths[1] + lengths[2];
    auto share = [&](bool flex, float length) {
        if (!flex)
            return 0.0f;
        return total > 0 ? delta * (length / total) : delta / flexible;
    };
    origin += share(flexMin, lengths[0]);
    size = std::max(0.0f, size + share(flexSize, lengths[1]));
}

void View::resizeWithOldSuperviewSize(Size oldSuperviewSize)
{
    if (!m_superview || m_autoresizingMask == ViewNotSizable)
        return;
    Size now = m_superview->bounds().size;
    Rect frame = m_frame;
    unsigned mask = m_autoresizingMask;
    resizeAxis(frame.origin.x, frame.size.width, oldSuperviewSize.width, now.width, mask & ViewMinXMargin,
        mask & ViewWidthSizable, mask & ViewMaxXMargin);
    resizeAxis(frame.origin.y, frame.size.height, oldSuperviewSize.height, now.height, mask & ViewMinYMargin,
        mask & ViewHeightSizable, mask & ViewMaxYMargin);
    setFrame(frame);
}

// --- The tree --------------------------------------------------------------------------------------------

View& View::addSubview(std::unique_ptr<View> view)
{
    return insertSubview(std::move(view), m_subviews.size());
}

View& View::insertSubview(std::unique_ptr<View> view, std::size_t index)
{
    // A unique_ptr cannot also be held by another superview, so the view arrives free.
    assert(view && !view->m_superview && view.get() != this && !isDescendantOf(view.get()));
    View& added = *view;
    m_subviews.insert(m_subviews.begin() + std::min(index, m_subviews.size()), std::move(view));
    added.m_superview = this;
    if (added.m_window != m_window)
        added.setWindowRecursive(m_window);
    added.viewDidMoveToSuperview();
    didAddSubview(added);
    added.setNeedsDisplay(true);
    return added;
}

View& View::addSubview(View& view)
{
    if (view.m_superview == this) {
        // Already ours: move it to the top, as adding it again would.
        auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](auto& v) { return v.get() == &view; });
        std::rotate(it, it + 1, m_subviews.end());
        view.setNeedsDisplay(true);
        return view;
    }
    std::unique_ptr<View> owned = view.releaseFromOwner(m_window);
    assert(owned && "addSubview(View&) takes only a nib's top-level view or another view's subview");
    if (!owned)
        return view;
    return addSubview(std::move(owned));
}

std::unique_ptr<View> View::releaseFromOwner(Window* destination)
{
    // A move inside one window keeps the view in it (and its focus, if it has it).
    if (m_superview)
        return detach(m_window && m_window == destination);
    if (NibTopLevelObjects* set = owningNibSet())
        return set->take(this);
    return nullptr;
}

std::unique_ptr<View> View::detachFromSuperview()
{
    return detach(false);
}

std::unique_ptr<View> View::detach(bool stayingInWindow)
{
    View* parent = m_superview;
    if (!parent)
        return nullptr;
    parent->willRemoveSubview(*this);
    damageFrameInSuperview(m_frame);
    auto it = std::find_if(parent->m_subviews.begin(), parent->m_subviews.end(),
        [&](auto& v) { return v.get() == this; });
    assert(it != parent->m_subviews.end());
    std::unique_ptr<View> owned = std::move(*it);
    parent->m_subviews.erase(it);
    m_superview = nullptr;
    if (m_window && !stayingInWindow)
        setWindowRecursive(nullptr);
    viewDidMoveToSuperview();
    return owned;
}

void View::removeFromSuperview()
{
    std::unique_ptr<View> doomed = detachFromSuperview();
    doomed.reset();
}

bool View::isDescendantOf(const View* ancestor) const
{
    for (const View* view = this; view; view = view->m_superview) {
        if (view == ancestor)
            return true;
    }
    return false;
}

void View::setWindowRecursive(Window* window)
{
    viewWillMoveToWindow(window);
    if (m_window)
        m_window->viewWillLeave(*this);
    m_window = window;
    for (auto& child : m_subviews)
        child->setWindowRecursive(window);
    viewDidMoveToWindow();
}

ScrollView* View::enclosingScrollView() const
{
    for (View* view = m_superview; view; view = view->m_superview) {
        if (auto* scrollView = dynamic_cast<ScrollView*>(view))
            return scrollView;
    }
    return nullptr;
}

ClipView* View::enclosingClipView() const
{
    for (View* view = m_superview; view; view = view->m_superview) {
        if (auto* clipView = dynamic_cast<ClipView*>(view))
            return clipView;
    }
    return nullptr;
}

Responder* View::nextResponder() const
{
    if (m_superview)
        return m_superview;
    if (m_window && m_window->contentView() == this)
        return m_window;
    return nullptr;
}

// --- Visibility and drawing ------------------------------------------------------------------------------

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    if (hidden)
        damageFrameInSuperview(m_frame);
    m_hidden = hidden;
    if (hidden && m_window) {
        // A hidden view cannot keep the keyboard focus.
        if (auto* focused = dynamic_cast<View*>(m_window->firstResponder()); focused && focused->isDescendantOf(this))
            m_window->makeFirstResponder(nullptr);
    }
    if (!hidden)
        damageFrameInSuperview(m_frame);
}

bool View::isHiddenOrHasHiddenAncestor() const
{
    for (const View* view = this; view; view = view->m_superview) {
        if (view->m_hidden)
            return true;
    }
    return false;
}

void View::setNeedsDisplay(bool needsDisplay)
{
    if (needsDisplay)
        setNeedsDisplayInRect(m_bounds);
}

void View::setNeedsDisplayInRect(Rect rect)
{
    m_needsDisplay = true;
    if (!m_window || isHiddenOrHasHiddenAncestor())
        return;
    for (const View* view = this; view; view = view->m_superview) {
        rect = intersection(rect, view->m_bounds);
        if (rect.isEmpty())
            return;
        rect = view->mappingToSuperview().apply(rect);
    }
    m_window->setNeedsDisplayInRect(rect);
}

void View::damageFrameInSuperview(Rect frame)
{
    if (!m_window || m_hidden)
        return;
    if (m_superview)
        m_superview->setNeedsDisplayInRect(frame);
    else if (m_window->contentView() == this)
        m_window->setNeedsDisplayInRect(frame);
}

void View::drawRect(cairo_t*, Rect)
{
}

void View::drawTree(cairo_t* context, Rect dirty)
{
    dirty = intersection(dirty, m_bounds);
    if (dirty.isEmpty())
        return;
    cairo_save(context);
    cairo_rectangle(context, m_bounds.minX(), m_bounds.minY(), m_bounds.width(), m_bounds.height());
    cairo_clip(context);
    cairo_save(context);
    drawRect(context, dirty);
    cairo_restore(context);
    m_needsDisplay = false;
    // Drawing may not change the tree, but a subview's drawRect can still destroy nothing: plain indices.
    for (std::size_t i = 0; i < m_subviews.size(); ++i) {
        View& child = *m_subviews[i];
        if (child.m_hidden || !child.m_frame.intersects(dirty))
            continue;
        Mapping m = child.mappingToSuperview();
        cairo_save(context);
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, m.sx, 0, 0, m.sy, m.tx, m.ty);
        cairo_transform(context, &matrix);
        child.drawTree(context, m.invert(dirty));
        cairo_restore(context);
    }
    cairo_restore(context);
}

void View::displayRectInContext(Rect rect, cairo_t* context)
{
    cairo_save(context);
    if (isFlipped()) {
        cairo_translate(context, -rect.minX(), -rect.minY());
    } else {
        cairo_translate(context, -rect.minX(), rect.maxY());
        cairo_scale(context, 1, -1);
    }
    drawTree(context, rect);
    cairo_restore(context);
}

Rect View::visibleRect() const
{
    // Each ancestor clips to its bounds; express each in this view's coordinates and intersect.
    Rect visible = m_bounds;
    for (const View* ancestor = m_superview; ancestor; ancestor = ancestor->m_superview) {
        visible = intersection(visible, convertRectFromView(ancestor->m_bounds, ancestor));
        if (visible.isEmpty())
            return {};
    }
    return visible;
}

bool View::scrollRectToVisible(Rect rect)
{
    ClipView* clip = enclosingClipView();
    if (!clip)
        return false;
    Rect target = convertRect(rect, clip);
    Rect visible = clip->bounds();
    Point origin = visible.origin;
    auto adjust = [](float& o, float visibleLength, float min, float max) {
        if (max - min > visibleLength || min < o)
            o = min;
        else if (max > o + visibleLength)
            o = max - visibleLength;
    };
    adjust(origin.x, visible.width(), target.minX(), target.maxX());
    adjust(origin.y, visible.height(), target.minY(), target.maxY());
    if (origin == visible.origin)
        return false;
    clip->scrollToPoint(origin);
    return clip->bounds().origin != visible.origin;
}

// --- Events ----------------------------------------------------------------------------------------------

View* View::hitTest(Point pointInSuperview)
{
    if (m_hidden)
        return nullptr;
    Point local = mappingToSuperview().invert(pointInSuperview);
    if (!m_bounds.contains(local))
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        if (View* hit = (*it)->hitTest(local))
            return hit;
    }
    return this;
}

void View::rightMouseDown(const Event& event)
{
    std::shared_ptr<Menu> menu = menuForEvent(event);
    if (!menu || !m_window) {
        Responder::rightMouseDown(event);
        return;
    }
    // The host holds the menu for as long as it shows it.
    Host::current().popUpContextMenu(*m_window, std::move(menu), event.locationInWindow);
}

// --- Nib configuration -----------------------------------------------------------------------------------

bool View::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<View, Responder> attributes {
        { "frame", nib::set<nib::parseRect, &View::setFrame> },
        { "autoresizing", nib::set<nib::parseAutoresizing, &View::setAutoresizingMask> },
        { "hidden", nib::set<nib::parseBool, &View::setHidden> },
        { "postsFrameChangedNotifications", nib::set<nib::parseBool, &View::setPostsFrameChangedNotifications> },
        { "postsBoundsChangedNotifications", nib::set<nib::parseBool, &View::setPostsBoundsChangedNotifications> },
        { "autoresizesSubviews", nib::set<nib::parseBool, &View::setAutoresizesSubviews> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
