#include "kit/text/TextContainer.h"

#include "kit/text/LayoutManager.h"

namespace kit {

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
