#include "kit/print/DocumentPrintJob.h"

#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

namespace kit {

DocumentPrintJob::DocumentPrintJob(std::shared_ptr<TextStorage> storage, std::string jobName)
    : m_storage(std::move(storage))
    , m_jobName(jobName.empty() ? std::string("Untitled") : std::move(jobName))
{
}

DocumentPrintJob::~DocumentPrintJob()
{
    // The story layouts and the body layout refer to their storages only; the pages go first all the same.
    m_pages.reset();
    m_layoutManager.reset();
}

void DocumentPrintJob::paginate()
{
    if (m_pages)
        return;
    m_layoutManager = std::make_unique<LayoutManager>();
    m_layoutManager->replaceTextStorage(m_storage);
    m_pages = std::make_unique<DocumentPages>(m_storage ? m_storage->pageSetup() : nullptr);
    m_pages->paginate(*m_layoutManager);
}

Size DocumentPrintJob::paperSize() const
{
    if (m_pages && !m_pages->pages().empty())
        return m_pages->pages().front().paperSize;
    const auto& setup = m_storage ? m_storage->pageSetup() : nullptr;
    return setup && !setup->sections.empty() ? setup->sections.front().paperSize : PageSection {}.paperSize;
}

Size DocumentPrintJob::paperSizeForPage(int index)
{
    paginate();
    const auto& pages = m_pages->pages();
    return index >= 0 && std::size_t(index) < pages.size() ? pages[std::size_t(index)].paperSize : paperSize();
}

int DocumentPrintJob::pageCount()
{
    paginate();
    return int(m_pages->pages().size());
}

void DocumentPrintJob::drawPage(int index, cairo_t* context)
{
    paginate();
    const auto& pages = m_pages->pages();
    if (index < 0 || std::size_t(index) >= pages.size())
        return;
    const DocumentPage& page = pages[std::size_t(index)];
    Rect paper { {}, page.paperSize };
    cairo_save(context);
    // White paper needs no paint; a page colour covers it, as the document shows it.
    Color color = m_pages->paperColor(std::size_t(index));
    if (color != Color::whiteColor()) {
        auto rgba = color.rgba();
        cairo_set_source_rgba(context, rgba[0], rgba[1], rgba[2], rgba[3]);
        cairo_paint(context);
    }
    m_pages->drawPageBorders(context, std::size_t(index), {});
    m_pages->drawHeaderAndFooter(context, std::size_t(index), {}, paper);
    const TextContainer& container = *m_layoutManager->textContainers()[std::size_t(index)];
    m_pages->drawColumnRules(context, std::size_t(index), {}, m_layoutManager->columnBandsForTextContainer(container));
    m_layoutManager->drawFloatsForContainer(context, container, page.textRect.origin, paper);
    m_layoutManager->drawGlyphsForContainer(context, container, page.textRect.origin, paper);
    m_layoutManager->forgetDisplayListForTextContainer(container);
    cairo_restore(context);
}

} // namespace kit
