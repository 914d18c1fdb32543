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

    TextView* textView() const { return m_textView; }
    void setTextView(TextView* view) { m_textView = view; }

    LayoutManager* layoutManager() const { return m_layoutManager; }

private:
    friend class LayoutManager;
    Size m_containerSize;
    TextView* m_textView = nullptr;
    LayoutManager* m_layoutManager = nullptr;
};

} // namespace kit
