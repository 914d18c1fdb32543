#pragma once

#include "kit/text/TextStorage.h"
#include "kit/view/View.h"
#include "pageview/PageShadow.h"

#include <cstdint>
#include <memory>

namespace kit {
class LayoutManager;
class PrintInfo;
class TextView;
} // namespace kit

// The stack of pages: every page is as large as the paper of the view's print settings and holds one
// non-editable text view whose frame is the paper less the margins. The text flows from page to page
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
    // Lays the text out into pages; null is laid out as an empty text (one blank page).
    void setTextStorage(std::shared_ptr<kit::TextStorage> storage);
    kit::TextStorage* textStorage() const { return m_textStorage.get(); }
    std::shared_ptr<kit::TextStorage> sharedTextStorage() const { return m_textStorage; }
    // Replaces the print settings by a copy; the pages keep their text areas until the next setTextStorage.
    void setPrintInfo(const std::shared_ptr<kit::PrintInfo>& printInfo);
    // The view's own print settings, made on first use from the host's shared ones with one-inch margins.
    const std::shared_ptr<kit::PrintInfo>& printInfo();

    float pageSeparatorHeight() const { return 16.0f; }
    kit::Size documentSizeInPage();
    kit::Rect documentRectForPageNumber(std::uint32_t page);
    kit::Rect pageRectForPageNumber(std::uint32_t page);
    void drawRect(cairo_t* context, kit::Rect dirty) override;

    std::uint32_t numberOfPages() const { return m_numberOfPages; }
    kit::LayoutManager* layoutManager() const { return m_textLayoutManager.get(); }

    // Zoom: one step of kZoomFactors times the display's resolution factor.
    void zoomIn();
    void zoomOut();
    void zoomToStandardSize();
    int zoomStep() const { return m_zoomStep; }
    float displayResolutionFactor() const { return m_displayResolutionFactor; }

    // Tests and benchmarks: how often the shadow's mask was built.
    const PageShadow& pageShadow() const { return m_shadow; }

private:
    void applyZoomStep();

    std::shared_ptr<kit::TextStorage> m_textStorage;
    std::unique_ptr<kit::LayoutManager> m_textLayoutManager;
    std::uint32_t m_numberOfPages = 0;
    std::shared_ptr<kit::PrintInfo> m_documentPrintInfo;
    int m_zoomStep = 0;
    float m_displayResolutionFactor = 1.0f;
    PageShadow m_shadow;
};

// Widens the text area by this on each side horizontally.
float defaultTextPadding();
