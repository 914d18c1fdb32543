#include "kit/view/Window.h"

#include "kit/host/Host.h"
#include "kit/view/NibAttributeTable.h"
#include "kit/view/View.h"
#include "kit/view/WindowController.h"

#include <cmath>

namespace kit {

Window::Window(Size contentSize)
    : m_contentSize(contentSize)
{
    setContentView(std::make_unique<View>());
    m_host = &Host::current();
    m_host->attachWindow(*this);
}

Window::~Window()
{
    if (m_host)
        m_host->detachWindow(*this);
    // The views go while the window is whole: each may be the first responder.
    m_contentView.reset();
}

std::unique_ptr<View> Window::setContentView(std::unique_ptr<View> view)
{
    std::unique_ptr<View> old = std::move(m_contentView);
    if (old)
        old->setWindowRecursive(nullptr);
    m_contentView = std::move(view);
    if (m_contentView) {
        m_contentView->setFrame({ {}, m_contentSize });
        m_contentView->setWindowRecursive(this);
    }
    setNeedsDisplayInRect({ {}, m_contentSize });
    return old;
}

void Window::setContentSize(Size size)
{
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    if (m_contentView)
        m_contentView->setFrameSize(size);
    // Everything is drawn again at the new size; damage beyond it could never be drawn, nor cleared.
    m_dirtyRects.clear();
    m_dirtyRect = {};
    setNeedsDisplayInRect({ {}, m_contentSize });
}

void Window::center()
{
    DisplayInfo display = m_host ? m_host->mainDisplay() : DisplayInfo {};
    float width = display.present ? display.widthPixels : 1024;
    float height = display.present ? display.heightPixels : 768;
    m_frameTopLeft = { std::round((width - m_contentSize.width) / 2), std::round((height - m_contentSize.height) / 3) };
}

void Window::setBackgroundColor(Color color)
{
    m_backgroundColor = color;
    setNeedsDisplayInRect({ {}, m_contentSize });
}

bool Window::makeFirstResponder(Responder* responder)
{
    if (!responder)
        responder = this;
    if (responder == m_firstResponder)
        return true;
    if (!m_firstResponder->resignFirstResponder())
        return false;
    m_firstResponder = this;
    if (responder == this)
        return true;
    if (auto* view = dynamic_cast<View*>(responder); view && view->window() != this)
        return false;
    if (!responder->acceptsFirstResponder() || !responder->becomeFirstResponder())
        return false;
    m_firstResponder = responder;
    return true;
}

bool Window::sendAction(std::string_view selector, Responder* sender, Responder* target)
{
    if (target)
        return target->performAction(selector, sender);
    for (Responder* responder = m_firstResponder; responder; responder = responder->nextResponder()) {
        if (responder->performAction(selector, sender))
            return true;
    }
    return false;
}

void Window::sendEvent(const Event& event)
{
    switch (event.type) {
    case Event::Type::MouseDown:
    case Event::Type::RightMouseDown:
    case Event::Type::ScrollWheel: {
        View* hit = m_contentView ? m_contentView->hitTest(event.locationInWindow) : nullptr;
        if (!hit)
            return;
        if (event.type == Event::Type::ScrollWheel) {
            hit->scrollWheel(event);
            return;
        }
        if (hit->acceptsFirstResponder())
            makeFirstResponder(hit);
        // The first-responder change may have run app code; the view may be gone.
        WeakPtr<View> target(hit);
        if (!target)
            return;
        if (event.type == Event::Type::MouseDown) {
            m_mouseView = target;
            hit->mouseDown(event);
        } else {
            hit->rightMouseDown(event);
        }
        return;
    }
    case Event::Type::MouseDragged:
        if (View* view = m_mouseView.get())
            view->mouseDragged(event);
        return;
    case Event::Type::MouseUp:
        if (View* view = m_mouseView.get()) {
            m_mouseView = nullptr;
            view->mouseUp(event);
        }
        return;
    case Event::Type::KeyDown:
        m_firstResponder->keyDown(event);
        return;
    }
}

void Window::display(cairo_t* context)
{
    displayRect({ {}, m_contentSize }, context);
}

void Window::displayRect(Rect baseRect, cairo_t* context)
{
    Rect area = intersection(baseRect, { {}, m_contentSize });
    if (area.isEmpty())
        return;
    cairo_save(context);
    // The base system is y up; the device is y down.
    cairo_translate(context, 0, m_contentSize.height);
    cairo_scale(context, 1, -1);
    cairo_rectangle(context, area.minX(), area.minY(), area.width(), area.height());
    cairo_clip(context);
    auto [r, g, b, a] = m_backgroundColor.rgba();
    cairo_set_source_rgba(context, r, g, b, a);
    cairo_paint(context);
    if (m_contentView && !m_contentView->isHidden()) {
        View::Mapping m = m_contentView->mappingToSuperview();
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, m.sx, 0, 0, m.sy, m.tx, m.ty);
        cairo_transform(context, &matrix);
        m_contentView->drawTree(context, m.invert(area));
    }
    cairo_restore(context);
    // Only damage the area covers entirely is drawn: the rest still waits.
    std::erase_if(m_dirtyRects, [&](const Rect& dirty) { return area.contains(dirty); });
    m_dirtyRect = {};
    for (const Rect& dirty : m_dirtyRects)
        m_dirtyRect = unionRect(m_dirtyRect, dirty);
}

void Window::setNeedsDisplayInRect(Rect baseRect)
{
    Rect rect = intersection(baseRect, { {}, m_contentSize });
    if (rect.isEmpty())
        return;
    m_dirtyRect = unionRect(m_dirtyRect, rect);
    addDirtyRect(rect);
    if (m_host)
        m_host->windowNeedsDisplay(*this, rect);
}

void Window::addDirtyRect(Rect rect)
{
    // A piece that meets others takes them in; past a handful of pieces the damage becomes one rectangle.
    constexpr std::size_t kMaximumDirtyRects = 8;
    for (bool merged = true; merged;) {
        merged = false;
        for (auto it = m_dirtyRects.begin(); it != m_dirtyRects.end(); ++it) {
            if (it->intersects(rect) || it->contains(rect)) {
                rect = unionRect(rect, *it);
                m_dirtyRects.erase(it);
                merged = true;
                break;
            }
        }
    }
    m_dirtyRects.push_back(rect);
    if (m_dirtyRects.size() > kMaximumDirtyRects)
        m_dirtyRects.assign(1, m_dirtyRect);
}

bool Window::scrollRect(Rect baseRect, Size delta)
{
    Rect area = intersection(baseRect, { {}, m_contentSize });
    Rect kept = intersection(area.offsetBy(delta.width, delta.height), area);
    if (kept.isEmpty() || !m_host || !m_host->windowScrollRect(*this, area, delta))
        return false;
    // Damage not yet drawn went with the pixels it spoils.
    std::vector<Rect> moved;
    for (const Rect& dirty : m_dirtyRects) {
        Rect there = intersection(intersection(dirty, area).offsetBy(delta.width, delta.height), area);
        if (!there.isEmpty())
            moved.push_back(there);
    }
    for (const Rect& there : moved)
        setNeedsDisplayInRect(there);
    // What came into sight: the strips of the area the moved pixels left.
    if (kept.minY() > area.minY())
        setNeedsDisplayInRect({ area.minX(), area.minY(), area.width(), kept.minY() - area.minY() });
    if (kept.maxY() < area.maxY())
        setNeedsDisplayInRect({ area.minX(), kept.maxY(), area.width(), area.maxY() - kept.maxY() });
    if (kept.minX() > area.minX())
        setNeedsDisplayInRect({ area.minX(), kept.minY(), kept.minX() - area.minX(), kept.height() });
    if (kept.maxX() < area.maxX())
        setNeedsDisplayInRect({ kept.maxX(), kept.minY(), area.maxX() - kept.maxX(), kept.height() });
    return true;
}

Rect Window::deviceRectFromBase(Rect baseRect) const
{
    return { baseRect.minX(), m_contentSize.height - baseRect.maxY(), baseRect.width(), baseRect.height() };
}

void Window::makeKeyAndOrderFront(Responder*)
{
    m_visible = true;
    if (m_host)
        m_host->showWindow(*this);
}

void Window::orderOut(Responder*)
{
    if (!m_visible)
        return;
    m_visible = false;
    if (m_host)
        m_host->hideWindow(*this);
}

void Window::close()
{
    orderOut(nullptr);
}

Responder* Window::nextResponder() const
{
    return m_windowController;
}

void Window::viewWillLeave(View& view)
{
    if (m_firstResponder == &view)
        m_firstResponder = this;
}

bool Window::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<Window, Responder> attributes {
        { "contentSize", nib::set<nib::parseSize, &Window::setContentSize> },
        { "title", nib::set<nib::parseText, &Window::setTitle> },
        { "backgroundColor", nib::set<nib::parseColor, &Window::setBackgroundColor> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
