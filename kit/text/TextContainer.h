#pragma once

#include "kit/geometry/Geometry.h"

namespace kit {

class LayoutManager;
class TextView;

// A rectangle that text flows into; page i of a document is container i of its layout manager, which
// owns it. The text view that shows it is not owned: a text view clears itself here when it goes away.
class TextContainer {
public:
    explicit TextContainer(Size containerSize = { 1e7f, 1e7f });
    TextContainer(const TextContainer&) = delete;
    TextContainer& operator=(const TextContainer&) = delete;

    Size containerSize() const { return m_containerSize; }
    // Changing the size of a container that has been laid out lays the text out again.
    void setContainerSize(Size);
    // The columns the text runs in, side by side across the container's width with spacing between
    // them; one by default. Set before the container is laid out.
    int columnCount() const { return m_columnCount; }
    float columnSpacing() const { return m_columnSpacing; }
    void setColumns(int count, float spacing)
    {
        m_columnCount = count < 1 ? 1 : count;
        m_columnSpacing = spacing < 0 ? 0 : spacing;
    }

    // The paper around the container, in container coordinates (a page's text area stands inside its
    // margins); empty, the default, for a container that is not on a page.
    Rect pageRect() const { return m_pageRect; }
    void setPageRect(Rect rect) { m_pageRect = rect; }

    TextView* textView() const { return m_textView; }
    void setTextView(TextView* view) { m_textView = view; }

    LayoutManager* layoutManager() const { return m_layoutManager; }

private:
    friend class LayoutManager;
    Size m_containerSize;
    int m_columnCount = 1;
    float m_columnSpacing = 0;
    Rect m_pageRect;
    TextView* m_textView = nullptr;
    LayoutManager* m_layoutManager = nullptr;
};

} // namespace kit
