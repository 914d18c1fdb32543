#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Color.h"
#include "kit/text/TextStorage.h"
#include "kit/view/View.h"
#include "pageview/PageShadow.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kit {
class BackgroundPagination;
struct DocumentPage;
class DocumentPages;
class LayoutManager;
class PrintInfo;
class PrinterPages;
class TextContainer;
class TextView;
} // namespace kit

// The two ways of laying a document out: on the print settings' paper with one-inch margins, so that it
// looks as it would print here, or on the pages its own sections set up.
enum class PageLayout { PrinterPaper, Document };

// The stack of pages: every page is as large as the paper of the view's print settings and holds one
// non-editable text view whose frame is the paper less the margins. In the document's own layout each page
// instead takes its section's paper and margins and shows its header and footer; pages of different sizes
// are stacked, each centred on its own width, with the same separators. The text flows from page to page
// through one layout manager; the view adds pages until the whole text is placed and sizes its frame to
// the stack. Lengths are points in the view's own flipped coordinates (page 0 at the top).
class NRVLectorinMultiPageView : public kit::View {
public:
    explicit NRVLectorinMultiPageView(kit::Rect frame = {});
    ~NRVLectorinMultiPageView() override;

    void awakeFromNib() override;
    bool isFlipped() const override { return true; }
    bool isOpaque() const override { return true; }

    void updateFrame();
    kit::TextView* firstTextView() const;
    // Lays the text out into pages; null is laid out as an empty text (one blank page). Whole: every page
    // now. Progressive: the first pages now and the rest on a worker, which hands them over as it makes
    // them, the frame growing as they come; a lookup past them that needs its answer at once waits for the
    // rest (find and going to a line wait for their page instead). Beginning: the text is the first part of
    // a document whose rest is still being read (on the printer's paper); the first pages are shown, never
    // the one the part ends on, which the rest would change, so numberOfPages may be 0. The whole text
    // replaces it with another call.
    enum class Pagination { Whole, Progressive, Beginning };
    void setTextStorage(std::shared_ptr<kit::TextStorage> storage, Pagination pagination = Pagination::Whole);
    // Whether progressive pagination still has pages to add.
    bool isPaginating() const { return m_paginationTimer != 0 || m_backgroundPagination != nullptr; }
    // Adds every page still to come, now (waiting for the worker to make them).
    void finishPagination();
    // Adds no more pages, keeping those there: for a command on the text itself, which laying out the rest
    // for the screen would only slow down.
    void stopAddingPages() { stopPagination(); }
    // Called when the text takes more than cpuTime of a worker's time to lay out: the pages stop where the
    // worker gave up, and whoever shows the document shows why instead.
    void setPaginationTooLargeHandler(std::function<void()> handler, std::chrono::milliseconds cpuTime);
    kit::TextStorage* textStorage() const { return m_textStorage.get(); }
    std::shared_ptr<kit::TextStorage> sharedTextStorage() const { return m_textStorage; }
    // Replaces the print settings by a copy; the pages keep their text areas until the next setTextStorage.
    void setPrintInfo(const std::shared_ptr<kit::PrintInfo>& printInfo);

    // Lays the text out again in the other layout, keeping the line at the top of the view there.
    void setPageLayout(PageLayout layout);
    PageLayout pageLayout() const { return m_pageLayout; }
    // Whether the pages are the document's own: the Document layout of a text that has a page setup (HTML
    // and plain text have none and keep the printer's paper).
    bool showsDocumentPages() const { return m_documentPages != nullptr; }
    // The document's pages (null unless showsDocumentPages).
    kit::DocumentPages* documentPages() const { return m_documentPages.get(); }
    // The view's own print settings, made on first use from the host's shared ones with one-inch margins.
    const std::shared_ptr<kit::PrintInfo>& printInfo();

    float pageSeparatorHeight() const { return 16.0f; }
    // The soft shadow under each page.
    static constexpr float kShadowOffset = 5.0f; // points below the page
    static constexpr float kShadowBlurRadius = 8.0f;
    static constexpr float kShadowAlpha = 0.2f;
    kit::Size documentSizeInPage();
    kit::Rect documentRectForPageNumber(std::uint32_t page);
    kit::Rect pageRectForPageNumber(std::uint32_t page);
    void drawRect(cairo_t* context, kit::Rect dirty) override;

    std::uint32_t numberOfPages() const { return m_numberOfPages; }
    kit::LayoutManager* layoutManager() const { return m_textLayoutManager.get(); }

    // Zoom: one step of kZoomFactors times the display's resolution factor. From a fit, zooming in or out
    // goes to the nearest step above or below the fitted scale (none: the fit stays).
    void zoomIn();
    void zoomOut();
    void zoomToStandardSize();
    int zoomStep() const { return m_zoomStep; }
    // Goes to one step of kZoomFactors (clamped), leaving any fit.
    void setZoomStep(int step);
    // Fits the pages to the visible area of the enclosing clip view: a page exactly as wide as it, or a
    // whole page (with the separators above and below it) in sight. The fit holds, as the clip view is
    // resized, until a zoom command. Without a clip view, or for None, nothing changes but the mode.
    enum class ZoomFit { None, Width, Page };
    void setZoomFit(ZoomFit fit);
    ZoomFit zoomFit() const { return m_zoomFit; }
    // The enclosing clip view changed its size: a fit is made again.
    void clipViewDidResize();
    // The zoom as the reader knows it: 100 at actual size, whatever the display's resolution factor.
    float zoomPercent() const;
    float displayResolutionFactor() const { return m_displayResolutionFactor; }

    // A sentence drawn on the first page instead of a document that cannot be shown ("This document is
    // password-protected..."); empty for none. The text storage is left as it is.
    void setMessage(std::string message);
    const std::string& message() const { return m_message; }

    // Every occurrence of the find string, sorted and not overlapping, drawn behind the text on every page;
    // the one that is also the selection (the current match) in a stronger colour. Empty: none.
    void setFindHighlights(std::vector<kit::Range> matches);
    const std::vector<kit::Range>& findHighlights() const { return m_findHighlights; }
    static kit::Color findHighlightColor();
    static kit::Color currentFindHighlightColor();
    // The highlights on a page as it draws them: each rectangle (view coordinates) with its colour.
    std::vector<std::pair<kit::Rect, kit::Color>> findHighlightRects(std::uint32_t page);

    // Tests and benchmarks: how often the shadow's mask was built.
    const pageview::PageShadow& pageShadow() const { return m_shadow; }

private:
    // Adds one page (of the printer's paper, or of the document's own); true once the whole text is placed.
    bool addPage();
    bool addPrinterPage();
    bool addDocumentPage();
    // A page's container was added: its text view goes on the page.
    void printerPageAdded(kit::TextContainer&);
    void documentPageAdded(kit::TextContainer&, const kit::DocumentPage&);
    // Takes the pages the worker has made since the last call.
    // How many pages, from the first, reach into the window at the present scale: at least one.
    std::uint32_t pagesReachingIntoTheWindow();
    void adoptBackgroundPages();
    // Adds the pages still to come on this thread, a few milliseconds of them on each turn of the run loop.
    void paginateOnTimer();
    // Frames the pages added and tells whoever waits for them; done: they were the last.
    void pagesWereAdded(bool done);
    // Frames the document pages' text views, centred on the widest page so far.
    void placeDocumentPages();
    void stopPagination();
    kit::Size largestPaperSize();
    void applyZoomStep();
    void applyZoomFit();
    void drawMessage(cairo_t* context);
    void drawFloats(cairo_t* context, std::uint32_t page, kit::Rect dirty);
    void drawFindHighlights(cairo_t* context, std::uint32_t page, kit::Rect dirty);

    std::shared_ptr<kit::TextStorage> m_textStorage;
    std::unique_ptr<kit::LayoutManager> m_textLayoutManager;
    std::uint32_t m_numberOfPages = 0;
    std::unique_ptr<kit::PrinterPages> m_printerPages; // on the printer's paper
    std::unique_ptr<kit::BackgroundPagination> m_backgroundPagination; // the worker making the pages still to come
    unsigned m_paginationTimer = 0; // the run loop's timer adding them on this thread instead
    std::function<void()> m_paginationTooLarge;
    std::chrono::milliseconds m_paginationCpuTime { 0 };
    std::shared_ptr<kit::PrintInfo> m_documentPrintInfo;
    PageLayout m_pageLayout = PageLayout::PrinterPaper;
    std::unique_ptr<kit::DocumentPages> m_documentPages;
    std::vector<float> m_pageTops; // document pages: each page's top below the first's, points
    kit::Size m_largestPaper; // document pages: the widest and the tallest
    std::uint32_t m_placedPages = 0; // document pages whose text views are framed for m_placedPaperWidth
    float m_placedPaperWidth = 0;
    int m_zoomStep = 0;
    ZoomFit m_zoomFit = ZoomFit::None;
    bool m_fitting = false;
    float m_displayResolutionFactor = 1.0f;
    pageview::PageShadow m_shadow;
    std::string m_message;
    std::vector<kit::Range> m_findHighlights;
    // Per page, the rectangles of the highlights on it (page view coordinates) and the match each shows,
    // made when the page is first drawn with them.
    struct HighlightRect {
        kit::Rect rect;
        kit::Range match;
    };
    std::map<std::uint32_t, std::vector<HighlightRect>> m_highlightRects;
};

// Widens the text area by this on each side horizontally.
float defaultTextPadding();
