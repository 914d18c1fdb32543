#include "kit/print/PrintOperation.h"

#include "kit/host/Host.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "kit/view/Window.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cmath>

namespace kit {

namespace {

// A paginated text longer than this many pages is cut off there rather than looping without end.
constexpr int kMaximumPages = 100000;
// Containers of a text laid out as one page grow downward without limit.
constexpr float kUnboundedHeight = 1e7f;

} // namespace

std::shared_ptr<PrintOperation> PrintOperation::printOperationWithView(View& view, std::shared_ptr<PrintInfo> printInfo)
{
    return std::shared_ptr<PrintOperation>(new PrintOperation(&view, nullptr, std::move(printInfo)));
}

std::shared_ptr<PrintOperation> PrintOperation::printOperationWithView(
    std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo)
{
    View* shown = view.get();
    return std::shared_ptr<PrintOperation>(new PrintOperation(shown, std::move(view), std::move(printInfo)));
}

PrintOperation::PrintOperation(View* view, std::unique_ptr<View> owned, std::shared_ptr<PrintInfo> printInfo)
    : m_view(view)
    , m_ownedView(std::move(owned))
    , m_printInfo(printInfo ? std::move(printInfo) : std::make_shared<PrintInfo>(*PrintInfo::shared()))
{
}

PrintOperation::~PrintOperation() = default;

std::string PrintOperation::jobName() const { return m_jobName.empty() ? std::string("Untitled") : m_jobName; }

Size PrintOperation::paperSize() const { return m_printInfo->paperSize(); }

void PrintOperation::paginate()
{
    if (m_paginated)
        return;
    m_paginated = true;
    const PrintInfo& info = *m_printInfo;
    Rect area = info.imageableRect();
    // Margins that leave no room print on the whole sheet rather than on nothing.
    if (area.width() < 1 || area.height() < 1)
        area = { 0, 0, info.paperSize().width, info.paperSize().height };

    auto* textView = dynamic_cast<TextView*>(m_view);
    float viewWidth = m_view->bounds().width();
    if (textView && textView->textContainer()) {
        float containerWidth = textView->textContainer()->containerSize().width;
        if (containerWidth > 0 && containerWidth < kUnboundedHeight)
            viewWidth = containerWidth;
    }
    viewWidth = std::max(viewWidth, 1.0f);

    float scale = info.scalingFactor() > 0 ? info.scalingFactor() : 1;
    if (info.horizontalPagination() == PrintInfo::Pagination::Fit && viewWidth * scale > area.width())
        scale = area.width() / viewWidth;
    float sliceWidth = info.horizontalPagination() == PrintInfo::Pagination::Fit
        ? viewWidth
        : std::min(viewWidth, area.width() / scale);

    if (textView) {
        m_layoutManager = std::make_unique<LayoutManager>();
        std::shared_ptr<TextStorage> storage = textView->textStorage();
        m_layoutManager->replaceTextStorage(storage);
        if (info.verticalPagination() == PrintInfo::Pagination::Fit) {
            // The whole text on one page, shrunk to fit its height when taller.
            auto container = std::make_unique<TextContainer>(Size { viewWidth, kUnboundedHeight });
            TextContainer& only = *container;
            m_layoutManager->addTextContainer(std::move(container));
            float used = m_layoutManager->usedRectForTextContainer(only).height();
            if (used * scale > area.height())
                scale = area.height() / used;
            only.setContainerSize({ viewWidth, area.height() / scale });
            m_pageCount = 1;
        } else {
            // The pages are laid out as they are asked for (addPagesUpTo).
            m_textPage = { viewWidth, area.height() / scale };
            m_pageCount = 0;
            m_pagesComplete = false;
        }
    } else {
        float height = std::max(m_view->bounds().height(), 1.0f);
        if (info.verticalPagination() == PrintInfo::Pagination::Fit && height * scale > area.height())
            scale = area.height() / height;
        float pages = std::ceil(height * scale / area.height() - 1e-4f);
        m_pageCount
            = info.verticalPagination() == PrintInfo::Pagination::Clip ? 1 : std::clamp(int(pages), 1, kMaximumPages);
    }
    m_scale = scale;
    m_pageInView = { sliceWidth, area.height() / scale };
}

void PrintOperation::addPagesUpTo(int index)
{
    paginate();
    const PrintInfo& info = *m_printInfo;
    while (!m_pagesComplete && m_pageCount <= index) {
        m_layoutManager->addTextContainer(std::make_unique<TextContainer>(m_textPage));
        bool ends = m_layoutManager->textEndsInOrBeforeTextContainer(*m_layoutManager->textContainers().back());
        ++m_pageCount;
        m_pagesComplete = ends || m_pageCount >= kMaximumPages || info.verticalPagination() == PrintInfo::Pagination::Clip;
    }
}

int PrintOperation::pageCount()
{
    addPagesUpTo(kMaximumPages);
    return m_pageCount;
}

bool PrintOperation::hasPage(int index)
{
    if (index < 0)
        return false;
    addPagesUpTo(index);
    return index < m_pageCount;
}

float PrintOperation::scale()
{
    paginate();
    return m_scale;
}

Point PrintOperation::pageOrigin()
{
    paginate();
    const PrintInfo& info = *m_printInfo;
    Rect area = info.imageableRect();
    if (area.width() < 1 || area.height() < 1)
        area = { 0, 0, info.paperSize().width, info.paperSize().height };
    float x = area.x(), y = area.y();
    float width = m_pageInView.width * m_scale;
    if (info.isHorizontallyCentered() && width < area.width())
        x += (area.width() - width) / 2;
    // A page of text fills the imageable height; only a single shorter page has room to be centred.
    if (info.isVerticallyCentered() && m_pageCount == 1 && !m_layoutManager) {
        float height = std::min(m_view->bounds().height(), m_pageInView.height) * m_scale;
        if (height < area.height())
            y += (area.height() - height) / 2;
    }
    return { x, y };
}

Rect PrintOperation::pageRectInView(int index)
{
    paginate();
    Rect bounds = m_view->bounds();
    float top = float(index) * m_pageInView.height;
    if (m_layoutManager || m_view->isFlipped())
        return { bounds.x(), bounds.y() + top, m_pageInView.width, m_pageInView.height };
    // An unflipped view's first page is its top, at its bounds' far edge.
    return { bounds.x(), bounds.maxY() - top - m_pageInView.height, m_pageInView.width, m_pageInView.height };
}

void PrintOperation::drawPage(int index, cairo_t* context)
{
    if (!hasPage(index))
        return;
    Point origin = pageOrigin();
    cairo_save(context);
    cairo_translate(context, origin.x, origin.y);
    cairo_scale(context, m_scale, m_scale);
    cairo_rectangle(context, 0, 0, m_pageInView.width, m_pageInView.height);
    cairo_clip(context);
    if (m_layoutManager) {
        const TextContainer& container = *m_layoutManager->textContainers()[std::size_t(index)];
        m_layoutManager->drawFloatsForContainer(
            context, container, { 0, 0 }, { 0, 0, m_pageInView.width, m_pageInView.height });
        m_layoutManager->drawGlyphsForContainer(
            context, container, { 0, 0 }, { 0, 0, m_pageInView.width, m_pageInView.height });
        m_layoutManager->forgetDisplayListForTextContainer(container);
    } else {
        m_view->displayRectInContext(pageRectInView(index), context);
    }
    cairo_restore(context);
}

Result<int> PrintOperation::writePDF(const std::filesystem::path& path)
{
    Size paper = paperSize();
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), paper.width, paper.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        std::string error = cairo_status_to_string(cairo_surface_status(surface));
        cairo_surface_destroy(surface);
        return Result<int>::failure(error);
    }
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, jobName().c_str());
    cairo_t* context = cairo_create(surface);
    int pages = 0;
    for (; hasPage(pages); ++pages) {
        drawPage(pages, context);
        cairo_show_page(context);
    }
    cairo_destroy(context);
    cairo_surface_finish(surface);
    cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        return Result<int>::failure(cairo_status_to_string(status));
    return pages;
}

void PrintOperation::runOperationModalForWindow(Window* window, std::function<void(bool success)> didRun)
{
    if (m_jobName.empty() && window)
        m_jobName = window->title();
    Host::current().runPrintPanel(window, m_panelOptions, shared_from_this(), std::move(didRun));
}

void PrintOperation::runOperationModalForWindow(
    std::shared_ptr<PrintOperation> operation, Window* window, std::function<void(bool success)> didRun)
{
    if (operation)
        operation->runOperationModalForWindow(window, std::move(didRun));
}

} // namespace kit
