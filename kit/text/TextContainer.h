#pragma once

#include "kit/geometry/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kit {

// One column of a container: its left edge from the container's left edge, and its width (points).
struct TextColumn {
    float x = 0;
    float width = 0;
    bool operator==(const TextColumn&) const = default;
};

// A band of columns across a container: from top to bottom (container coordinates), the columns the text
// runs in there, and the page setup's section whose columns they are (SIZE_MAX: the container's own).
struct ColumnBand {
    float top = 0;
    float bottom = 0;
    std::vector<TextColumn> columns;
    std::size_t section = SIZE_MAX;
};

// Where the text stands between a container's top and bottom when it does not fill it. Justified spreads the
// room left over between paragraphs.
enum class VerticalAlignment : std::uint8_t { Top, Center, Bottom, Justified };

// count columns of one width across width, spacing apart; one column of the whole width when count < 2.
// Spacing that would leave a column narrower than a point is reduced.
std::vector<TextColumn> equalColumns(float width, int count, float spacing);

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
    // The columns the text runs in, side by side, left to right, filled in that order; empty (the default):
    // one column of the container's width. Set before the container is laid out.
    const std::vector<TextColumn>& columns() const { return m_columns; }
    void setColumns(std::vector<TextColumn> columns) { m_columns = std::move(columns); }
    // count columns of one width with spacing between two.
    void setColumns(int count, float spacing) { m_columns = equalColumns(m_containerSize.width, count, spacing); }

    // Where a container of one column places text that does not fill it; the top by default.
    VerticalAlignment verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(VerticalAlignment alignment) { m_verticalAlignment = alignment; }

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
    std::vector<TextColumn> m_columns;
    VerticalAlignment m_verticalAlignment = VerticalAlignment::Top;
    Rect m_pageRect;
    TextView* m_textView = nullptr;
    LayoutManager* m_layoutManager = nullptr;
};

} // namespace kit
