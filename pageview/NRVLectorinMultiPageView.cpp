#include "pageview/NRVLectorinMultiPageView.h"

#include "kit/foundation/RunLoop.h"
#include "kit/host/DisplayServices.h"
#include "kit/print/PrintInfo.h"
#include "kit/text/BackgroundPagination.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextView.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/TextDrawing.h"
#include "pageview/DisplayResolution.h"
#include "pageview/NRVLectorinSBCenteringClipView.h"
#include "pageview/PageNavigation.h"
#include "pageview/ScaleUtilities.h"
#include "pageview/ZoomFactors.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

namespace {

constexpr float kDefaultMargin = 72.0f;

} // namespace

float defaultTextPadding() { return 0.0f; }

NRVLectorinMultiPageView::NRVLectorinMultiPageView(kit::Rect frame)
    : kit::View(frame)
{
    m_zoomStep = kZoomFactorNormal;
    m_displayResolutionFactor = 1.0f;
    kit::DisplayServices::DisplayID display = kit::DisplayServices::mainDisplayID();
    const kit::Value* mode = kit::DisplayServices::currentMode(kit::DisplayServices::mainDisplayID());
    double horizontal = 0, vertical = 0;
    if (mode && GetDisplayDPI(*mode, display, &horizontal, &vertical) == 0)
        m_displayResolutionFactor = float(horizontal / 72.0);
}

NRVLectorinMultiPageView::~NRVLectorinMultiPageView()
{
    stopPagination();
    // The text views go with the subviews; they refer to containers the layout manager owns, so the views
    // go first.
    while (!subviews().empty())
        subviews().front()->removeFromSuperview();
    m_textStorage.reset();
    m_documentPages.reset();
    m_textLayoutManager.reset();
    m_documentPrintInfo.reset();
}

void NRVLectorinMultiPageView::awakeFromNib()
{
    kit::ScrollView* scrollView = enclosingScrollView();
    if (!scrollView)
        return;
    auto clipView = std::make_unique<NRVLectorinSBCenteringClipView>(scrollView->contentView()->frame());
    clipView->setMenu(menu());
    clipView->setBackgroundColor(scrollView->backgroundColor());
    // The old clip view still owns this view: keep it alive until the document view has moved into the new one.
    std::unique_ptr<kit::ClipView> oldClipView = scrollView->setContentView(std::move(clipView));
    scrollView->setDocumentView(*this);
    oldClipView.reset();
}

kit::TextView* NRVLectorinMultiPageView::firstTextView() const
{
    return m_textLayoutManager ? m_textLayoutManager->firstTextView() : nullptr;
}

void NRVLectorinMultiPageView::updateFrame()
{
    if (!superview())
        return;
    float s = pageSeparatorHeight();
    float width = 0, height = 0;
    if (m_documentPages) {
        const auto& pages = m_documentPages->pages();
        width = s + s + m_largestPaper.width;
        height = pages.empty() ? s + s : m_pageTops.back() + pages.back().paperSize.height + s + s;
    } else {
        kit::Size paper = printInfo()->paperSize();
        width = s + s + paper.width;
        height = float(m_numberOfPages) * paper.height + s + s;
        if (m_numberOfPages > 1)
            height += float(m_numberOfPages - 1) * s;
    }
    kit::Size size = convertSize({ width, height }, superview());
    setFrame({ { 0, 0 }, size });
}

void NRVLectorinMultiPageView::setTextStorage(std::shared_ptr<kit::TextStorage> storage, Pagination pagination)
{
    stopPagination();
    if (storage != m_textStorage)
        m_textStorage = std::move(storage);
    while (!subviews().empty())
        subviews().front()->removeFromSuperview();
    m_findHighlights.clear();
    m_highlightRects.clear();
    m_documentPages.reset();
    m_pageTops.clear();
    m_textLayoutManager = std::make_unique<kit::LayoutManager>();
    m_textLayoutManager->replaceTextStorage(m_textStorage);
    bool documentPages = m_pageLayout == PageLayout::Document && m_textStorage && m_textStorage->pageSetup()
        && !m_textStorage->pageSetup()->sections.empty();
    m_numberOfPages = 0;
    m_printerPages.reset();
    if (!documentPages) {
        kit::Rect pageRect = pageRectForPageNumber(0), text = documentRectForPageNumber(0);
        m_printerPages = std::make_unique<kit::PrinterPages>(documentSizeInPage(),
            kit::Rect { pageRect.x() - text.x(), pageRect.y() - text.y(), pageRect.width(), pageRect.height() });
    }
    if (documentPages) {
        m_documentPages = std::make_unique<kit::DocumentPages>(m_textStorage->pageSetup());
        m_largestPaper = {};
        m_placedPages = 0;
        m_placedPaperWidth = 0;
        m_documentPages->beginPagination(*m_textLayoutManager);
    }
    if (pagination == Pagination::Whole) {
        while (!addPage()) { }
        placeDocumentPages();
    } else {
        // Enough pages to fill a window now. A beginning, which the whole text soon replaces, fills only
        // the window it is in.
        constexpr std::uint32_t kFirstPages = 3;
        std::uint32_t firstPages = kFirstPages;
        if (pagination == Pagination::Beginning) {
            applyZoomStep();
            firstPages = std::min(kFirstPages, pagesReachingIntoTheWindow()); 
        }
        bool complete = false;
        while (!complete && m_numberOfPages < firstPages)
            complete = addPage();
        placeDocumentPages();
        bool beginning = pagination == Pagination::Beginning && !m_documentPages;
        // The page a beginning ends on would take more of its text: it stays out of sight, below the frame.
        if (beginning && complete) {
            --m_numberOfPages;
            m_textLayoutManager->textContainers().back()->textView()->setHidden(true);
        }
        // The rest on a worker, the pages handed over as they come.
        if (!beginning && !complete) {
            m_textLayoutManager->setContainersWantedHandler([this] { finishPagination(); });
            kit::BackgroundPagination::Paper paper;
            paper.documentPages = m_documentPages != nullptr;
            if (m_printerPages) {
                paper.textSize = m_printerPages->textSize();
                paper.page = m_printerPages->page();
            }
            m_backgroundPagination = std::make_unique<kit::BackgroundPagination>(m_textStorage, paper,
                m_textLayoutManager->textContainers().size(), [this] { adoptBackgroundPages(); },
                m_paginationCpuTime.count() > 0 ? m_paginationCpuTime : kit::BackgroundPagination::kCpuTime);
        }
    }
    applyZoomStep();
    updateFrame();
}

std::uint32_t NRVLectorinMultiPageView::pagesReachingIntoTheWindow()
{
    kit::ScrollView* scrollView = enclosingScrollView();
    float scale = pageview::ScaleUtilities::scale(*this).height;
    if (!scrollView || !(scale > 0))
        return 1;
    // The pages stand one below the other from the top, each with its separator.
    float visible = scrollView->contentView()->bounds().height() / scale;
    float page = pageRectForPageNumber(0).height() + pageSeparatorHeight();
    if (!(page > 0) || !(visible > page))
        return 1;
    return std::uint32_t(std::min(visible / page, 1000.0f)) + 1;
}

void NRVLectorinMultiPageView::adoptBackgroundPages()
{
    if (!m_backgroundPagination)
        return;
    bool done = false, tooLarge = false;
    for (kit::BackgroundPagination::Batch& batch : m_backgroundPagination->takeBatches()) {
        if (!batch.layout || !m_textLayoutManager->adoptLayout(*batch.layout)) {
            // The worker's pages are not the ones laid out here (it never happens, short of a fault): the
            // rest is made here instead.
            m_backgroundPagination.reset();
            paginateOnTimer();
            return;
        }
        for (std::size_t i = 0; i < batch.pages.size(); ++i) {
            if (batch.first + i < m_textLayoutManager->textContainers().size())
                continue; // laid out here already
            const kit::BackgroundPagination::Page& page = batch.pages[i];
            auto container = page.makeContainer();
            kit::TextContainer& added = *container;
            m_textLayoutManager->addTextContainer(std::move(container));
            if (m_documentPages && page.documentPage) {
                m_documentPages->adoptPage(*page.documentPage, m_textLayoutManager->glyphRangeForTextContainer(added));
                documentPageAdded(added, *page.documentPage);
            } else {
                printerPageAdded(added);
            }
        }
        done = batch.complete || batch.tooLarge;
        tooLarge = batch.tooLarge;
    }
    m_numberOfPages = std::uint32_t(m_textLayoutManager->textContainers().size());
    pagesWereAdded(done);
    // Last: the handler may replace the text.
    if (tooLarge && m_paginationTooLarge) {
        std::function<void()> handler = m_paginationTooLarge;
        handler();
    }
}

void NRVLectorinMultiPageView::setPaginationTooLargeHandler(std::function<void()> handler, std::chrono::milliseconds cpuTime)
{
    m_paginationTooLarge = std::move(handler);
    m_paginationCpuTime = cpuTime;
}

void NRVLectorinMultiPageView::pagesWereAdded(bool done)
{
    if (done) {
        // Done before the frame grows, so that whoever hears of it sees the whole document.
        m_backgroundPagination.reset();
        m_textLayoutManager->setContainersWantedHandler(nullptr);
    }
    placeDocumentPages();
    updateFrame();
    if (done && m_documentPages)
        setNeedsDisplay(true); // fields that count pages have their final numbers
    // Last: a waiter may scroll to its page, which is now in the frame.
    m_textLayoutManager->containersWereAdded(done);
}

void NRVLectorinMultiPageView::paginateOnTimer()
{
    m_textLayoutManager->setContainersWantedHandler([this] { finishPagination(); });
    m_paginationTimer = kit::RunLoop::addTimer(std::chrono::milliseconds(1), [this] {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(6);
        bool done = false;
        while (!done && std::chrono::steady_clock::now() < end)
            done = addPage();
        if (done)
            m_paginationTimer = 0;
        pagesWereAdded(done);
        return !done;
    });
}

bool NRVLectorinMultiPageView::addPage()
{
    return m_documentPages ? addDocumentPage() : addPrinterPage();
}

void NRVLectorinMultiPageView::stopPagination()
{
    if (!m_paginationTimer && !m_backgroundPagination)
        return;
    m_backgroundPagination.reset();
    if (m_paginationTimer)
        kit::RunLoop::cancelTimer(m_paginationTimer);
    m_paginationTimer = 0;
    if (m_textLayoutManager)
        m_textLayoutManager->setContainersWantedHandler(nullptr);
}

void NRVLectorinMultiPageView::finishPagination()
{
    if (m_backgroundPagination) {
        // The worker is nearer the end than this thread would be.
        m_backgroundPagination->waitUntilComplete();
        adoptBackgroundPages();
    }
    if (!m_paginationTimer)
        return;
    stopPagination();
    while (!addPage()) { }
    pagesWereAdded(true);
}

bool NRVLectorinMultiPageView::addPrinterPage()
{
    bool done = m_printerPages->addPage(*m_textLayoutManager, [this](kit::TextContainer& container) { printerPageAdded(container); });
    m_numberOfPages = std::uint32_t(m_textLayoutManager->textContainers().size());
    return done;
}

void NRVLectorinMultiPageView::printerPageAdded(kit::TextContainer& container)
{
    auto page = std::uint32_t(m_textLayoutManager->textContainers().size() - 1);
    auto textView = std::make_unique<kit::TextView>(documentRectForPageNumber(page), &container);
    textView->setEditable(false);
    // The page under it is white already, and find highlights lie between the two.
    textView->setDrawsBackground(false);
    textView->setUsesFindPanel(true);
    addSubview(std::move(textView));
}

bool NRVLectorinMultiPageView::addDocumentPage()
{
    bool done = m_documentPages->addPage(*m_textLayoutManager,
        [this](kit::TextContainer& container, const kit::DocumentPage& page) { documentPageAdded(container, page); });
    m_numberOfPages = std::uint32_t(m_documentPages->pages().size());
    return done;
}

void NRVLectorinMultiPageView::documentPageAdded(kit::TextContainer& container, const kit::DocumentPage& page)
{
    float s = pageSeparatorHeight();
    const auto& pages = m_documentPages->pages();
    m_pageTops.push_back(m_pageTops.empty() ? 0 : m_pageTops.back() + pages[pages.size() - 2].paperSize.height + s);
    m_largestPaper = { std::max(m_largestPaper.width, page.paperSize.width), std::max(m_largestPaper.height, page.paperSize.height) };
    auto textView = std::make_unique<kit::TextView>(kit::Rect { {}, page.textRect.size }, &container);
    textView->setEditable(false);
    textView->setDrawsBackground(false);
    textView->setUsesFindPanel(true);
    addSubview(std::move(textView));
}

void NRVLectorinMultiPageView::placeDocumentPages()
{
    if (!m_documentPages)
        return;
    // Each page is centred on the widest so far: a wider page arriving moves the others.
    if (m_largestPaper.width != m_placedPaperWidth)
        m_placedPages = 0;
    m_placedPaperWidth = m_largestPaper.width;
    const auto& containers = m_textLayoutManager->textContainers();
    for (std::uint32_t page = m_placedPages; page < containers.size(); ++page) {
        if (kit::TextView* view = containers[page]->textView())
            view->setFrame(documentRectForPageNumber(page));
    }
    m_placedPages = std::uint32_t(containers.size());
}

void NRVLectorinMultiPageView::setPageLayout(PageLayout layout)
{
    if (layout == m_pageLayout)
        return;
    // The text at the top of the view, to bring back there once the pages are made again.
    std::optional<std::size_t> topIndex;
    kit::ClipView* clip = PageNavigation::clipView(*this);
    if (clip && m_textLayoutManager && m_numberOfPages) {
        // A separator's height below the top: where scrolling a line to the top puts it, so that switching
        // back and forth does not creep up a line each time.
        float probe = clip->documentVisibleRect().minY() + pageSeparatorHeight();
        std::uint32_t page = PageNavigation::pageAtY(*this, probe);
        const auto& containers = m_textLayoutManager->textContainers();
        if (page < containers.size()) {
            kit::Rect text = documentRectForPageNumber(page);
            kit::Point inContainer { 0, std::max(0.0f, probe - text.y()) };
            topIndex = m_textLayoutManager->characterIndexForPoint(inContainer, *containers[page]);
        }
    }
    m_pageLayout = layout;
    if (!m_textLayoutManager)
        return;
    std::vector<kit::Range> highlights = m_findHighlights;
    kit::Range selection = m_textLayoutManager->selectedRange();
    setTextStorage(m_textStorage);
    m_textLayoutManager->setSelectedRange(selection);
    setFindHighlights(std::move(highlights));
    if (topIndex)
        PageNavigation::scrollCharacterToTop(*this, *topIndex);
    setNeedsDisplay(true);
}

kit::Size NRVLectorinMultiPageView::largestPaperSize()
{
    return m_documentPages ? m_largestPaper : printInfo()->paperSize();
}

const std::shared_ptr<kit::PrintInfo>& NRVLectorinMultiPageView::printInfo()
{
    if (m_documentPrintInfo)
        return m_documentPrintInfo;
    auto info = std::make_shared<kit::PrintInfo>(kit::PrintInfo::shared()->dictionary());
    info->setHorizontalPagination(kit::PrintInfo::Pagination::Fit);
    info->setHorizontallyCentered(false);
    info->setVerticallyCentered(false);
    info->setLeftMargin(kDefaultMargin);
    info->setRightMargin(kDefaultMargin);
    info->setTopMargin(kDefaultMargin);
    info->setBottomMargin(kDefaultMargin);
    m_documentPrintInfo = std::move(info);
    return m_documentPrintInfo;
}

void NRVLectorinMultiPageView::setPrintInfo(const std::shared_ptr<kit::PrintInfo>& printInfo)
{
    if (printInfo == m_documentPrintInfo)
        return;
    // The pages still to come take the paper the others have.
    finishPagination();
    m_documentPrintInfo = printInfo ? std::make_shared<kit::PrintInfo>(*printInfo) : nullptr;
    updateFrame();
    setNeedsDisplay(true);
}

kit::Size NRVLectorinMultiPageView::documentSizeInPage()
{
    const auto& info = printInfo();
    kit::Size paper = info->paperSize();
    float p = defaultTextPadding();
    return { paper.width - (info->leftMargin() + info->rightMargin() - 2 * p),
        paper.height - (info->topMargin() + info->bottomMargin()) };
}

kit::Rect NRVLectorinMultiPageView::pageRectForPageNumber(std::uint32_t page)
{
    if (m_documentPages && !m_pageTops.empty()) {
        const auto& pages = m_documentPages->pages();
        // Past the last page, as if more pages of the last one's size followed.
        std::uint32_t last = std::uint32_t(pages.size() - 1), shown = std::min(page, last);
        kit::Size paper = pages[shown].paperSize;
        float s = pageSeparatorHeight();
        float top = m_pageTops[shown] + float(page - shown) * (paper.height + s);
        kit::Point origin = frame().origin;
        return { origin.x + s + (m_largestPaper.width - paper.width) / 2, origin.y + s + top, paper.width, paper.height };
    }
    kit::Size paper = printInfo()->paperSize();
    float s = pageSeparatorHeight();
    kit::Point origin = frame().origin;
    return { origin.x + s, origin.y + s + float(page) * (paper.height + s), paper.width, paper.height };
}

kit::Rect NRVLectorinMultiPageView::documentRectForPageNumber(std::uint32_t page)
{
    kit::Rect pageRect = pageRectForPageNumber(page);
    if (m_documentPages && !m_documentPages->pages().empty()) {
        const auto& pages = m_documentPages->pages();
        kit::Rect text = pages[std::min<std::size_t>(page, pages.size() - 1)].textRect;
        return { { pageRect.x() + text.x(), pageRect.y() + text.y() }, text.size };
    }
    const auto& info = printInfo();
    return { { pageRect.x() + (info->leftMargin() - defaultTextPadding()), pageRect.y() + info->topMargin() },
        documentSizeInPage() };
}

void NRVLectorinMultiPageView::drawRect(cairo_t* context, kit::Rect dirty)
{
    cairo_save(context);
    kit::Color background = kit::Color::white(1);
    if (kit::ScrollView* scrollView = enclosingScrollView())
        background = scrollView->backgroundColor();
    auto c = background.rgba();
    cairo_set_source_rgba(context, c[0], c[1], c[2], c[3]);
    kit::Rect b = bounds();
    cairo_rectangle(context, b.x(), b.y(), b.width(), b.height());
    cairo_fill(context);

    // Only pages whose shadowed rectangle meets the area being drawn: the same pixels as drawing all.
    float reach = pageview::PageShadow::extent(kShadowBlurRadius);
    for (std::uint32_t page = 0; page < m_numberOfPages; ++page) {
        kit::Rect pageRect = pageRectForPageNumber(page);
        kit::Rect shadowed = { pageRect.x() - reach, pageRect.y() - reach, pageRect.width() + 2 * reach,
            pageRect.height() + 2 * reach + kShadowOffset };
        if (!shadowed.intersects(dirty))
            continue;
        // The view is flipped: "below" the page is towards larger y.
        m_shadow.draw(context, pageRect, { 0, kShadowOffset }, kShadowBlurRadius, kShadowAlpha);
        auto paper = (m_documentPages ? m_documentPages->paperColor(page) : kit::Color::whiteColor()).rgba();
        cairo_set_source_rgba(context, paper[0], paper[1], paper[2], paper[3]);
        cairo_rectangle(context, pageRect.x(), pageRect.y(), pageRect.width(), pageRect.height());
        cairo_fill(context);
        if (m_documentPages) {
            m_documentPages->drawPageBorders(context, page, pageRect.origin);
            m_documentPages->drawHeaderAndFooter(context, page, pageRect.origin, dirty);
            if (m_textLayoutManager && page < m_textLayoutManager->textContainers().size()) {
                const kit::TextContainer& container = *m_textLayoutManager->textContainers()[page];
                m_documentPages->drawColumnRules(
                    context, page, pageRect.origin, m_textLayoutManager->columnBandsForTextContainer(container));
            }
        }
        drawFloats(context, page, dirty);
        if (!m_findHighlights.empty())
            drawFindHighlights(context, page, dirty);
        if (page == 0 && !m_message.empty())
            drawMessage(context);
    }
    cairo_restore(context);
}

void NRVLectorinMultiPageView::drawFloats(cairo_t* context, std::uint32_t page, kit::Rect dirty)
{
    // Floating objects may stand in the margins, outside the page's text view: the page draws them,
    // beneath the text.
    if (!m_textLayoutManager)
        return;
    const auto& containers = m_textLayoutManager->textContainers();
    if (page >= containers.size())
        return;
    const kit::TextContainer& container = *containers[page];
    kit::Rect text = documentRectForPageNumber(page);
    m_textLayoutManager->drawFloatsForContainer(context, container, text.origin, dirty);
}

void NRVLectorinMultiPageView::setMessage(std::string message)
{
    if (message == m_message)
        return;
    m_message = std::move(message);
    setNeedsDisplay(true);
}

void NRVLectorinMultiPageView::drawMessage(cairo_t* context)
{
    // In the first page's text area, a third of the way down, as a reader's eye looks for it: plain, grey,
    // centred, wrapped to the text width. Points of this view, so it zooms with the page.
    kit::Rect area = documentRectForPageNumber(0);
    kit::text::Style style;
    style.fontSize = 16;
    style.alignment = kit::text::Alignment::Center;
    style.color = kit::Color::white(0.25f);
    kit::Size size = kit::text::measure(m_message, style, area.width());
    float top = area.y() + std::round(area.height() / 3 - size.height / 2);
    kit::text::draw(context, m_message, { area.x(), top, area.width(), size.height + 1 }, style);
}

void NRVLectorinMultiPageView::applyZoomStep()
{
    if (m_zoomFit != ZoomFit::None) {
        applyZoomFit();
        return;
    }
    pageview::ScaleUtilities::setScalePercent(*this, zoomStepPercent(m_zoomStep, m_displayResolutionFactor));
}

void NRVLectorinMultiPageView::zoomIn()
{
    if (m_zoomFit != ZoomFit::None) {
        // The nearest step above the fitted scale; a fit past the last step stays.
        float factor = zoomPercent() / 100.0f;
        for (int step = 0; step < kZoomFactorsCount; ++step) {
            if (kZoomFactors[step] > factor + 0.0005f) {
                setZoomStep(step);
                return;
            }
        }
        return;
    }
    if (m_zoomStep >= kZoomFactorsCount - 1)
        return;
    ++m_zoomStep;
    applyZoomStep();
    updateFrame();
}

void NRVLectorinMultiPageView::zoomOut()
{
    if (m_zoomFit != ZoomFit::None) {
        float factor = zoomPercent() / 100.0f;
        for (int step = kZoomFactorsCount - 1; step >= 0; --step) {
            if (kZoomFactors[step] < factor - 0.0005f) {
                setZoomStep(step);
                return;
            }
        }
        return;
    }
    if (m_zoomStep <= 0)
        return;
    --m_zoomStep;
    applyZoomStep();
    updateFrame();
}

void NRVLectorinMultiPageView::zoomToStandardSize()
{
    if (m_zoomStep == kZoomFactorNormal && m_zoomFit == ZoomFit::None)
        return;
    setZoomStep(kZoomFactorNormal);
}

void NRVLectorinMultiPageView::setZoomStep(int step)
{
    step = std::clamp(step, 0, kZoomFactorsCount - 1);
    if (step == m_zoomStep && m_zoomFit == ZoomFit::None)
        return;
    m_zoomFit = ZoomFit::None;
    m_zoomStep = step;
    applyZoomStep();
    updateFrame();
}

void NRVLectorinMultiPageView::setZoomFit(ZoomFit fit)
{
    m_zoomFit = fit;
    applyZoomFit();
}

void NRVLectorinMultiPageView::clipViewDidResize()
{
    applyZoomFit();
}

float NRVLectorinMultiPageView::zoomPercent() const
{
    float factor = m_displayResolutionFactor > 0 ? m_displayResolutionFactor : 1.0f;
    return pageview::ScaleUtilities::scalePercent(*this) / factor;
}

void NRVLectorinMultiPageView::applyZoomFit()
{
    kit::ScrollView* scrollView = enclosingScrollView();
    kit::ClipView* clip = scrollView ? scrollView->contentView() : nullptr;
    if (m_zoomFit == ZoomFit::None || !clip || m_fitting)
        return;
    // A new scale can show or hide a scroller, which resizes the clip view: fit again until the visible
    // area stays (twice is the most a scroller pair can take).
    m_fitting = true;
    kit::Size paper = largestPaperSize();
    float s = pageSeparatorHeight();
    for (int pass = 0; pass < 3; ++pass) {
        kit::Size visible = clip->convertSize(clip->bounds().size, nullptr); // window units
        if (visible.width <= 0 || visible.height <= 0 || paper.width <= 0 || paper.height <= 0)
            break;
        float scale = visible.width / paper.width;
        if (m_zoomFit == ZoomFit::Page)
            scale = std::min(scale, visible.height / (paper.height + 2 * s));
        pageview::ScaleUtilities::setScalePercent(*this, scale * 100.0f);
        updateFrame();
        if (clip->convertSize(clip->bounds().size, nullptr) == visible)
            break;
    }
    // A page as wide as the view leaves the separators either side out of sight, evenly.
    kit::Rect document = clip->documentRect();
    kit::Rect bounds = clip->bounds();
    if (document.width() > bounds.width())
        clip->scrollToPoint({ document.x() + std::round((document.width() - bounds.width()) / 2), bounds.y() });
    m_fitting = false;
}
