#include "kit/text/TextContainer.h"

#include "kit/text/LayoutManager.h"

#include <algorithm>

namespace kit {

std::vector<TextColumn> equalColumns(float width, int count, float spacing)
{
    width = std::max(width, 1.0f);
    count = std::clamp(count, 1, 16);
    if (count == 1)
        return { { 0, width } };
    spacing = std::clamp(spacing, 0.0f, std::max(0.0f, std::min(width / 2, (width - float(count)) / float(count - 1))));
    float columnWidth = (width - spacing * float(count - 1)) / float(count);
    std::vector<TextColumn> columns;
    for (int i = 0; i < count; ++i)
        columns.push_back({ float(i) * (columnWidth + spacing), columnWidth });
    return columns;
}

TextContainer::TextContainer(Size containerSize)
    : m_containerSize(containerSize)
{
}

void TextContainer::setContainerSize(Size size)
{
    if (size == m_containerSize)
        return;
    m_containerSize = size;
    if (m_layoutManager)
        m_layoutManager->textContainerChangedGeometry(*this);
}

} // namespace kit
