#pragma once

#include "kit/foundation/Result.h"
#include "kit/host/PrintJob.h"
#include "kit/print/PrintInfo.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class LayoutManager;
class TextView;
class View;
class Window;

// Prints a view on paper: the print settings' paper and margins, pages split between lines of text.
//
// A text view's text is laid out again for print, in containers one page tall and as wide as the view's
// text container; with horizontal pagination Fit, a view wider than the paper's imageable width is scaled
// down to it (never up). Other views are printed as slices of their bounds, one page tall each. Text is
// drawn through Pango into a Cairo PDF, so it stays real, selectable text with its fonts embedded.
// An empty text prints one blank page.
//
// The operation keeps the view it prints alive when it was handed over (the unique_ptr overload); with a
// reference, the caller keeps the view alive until the operation has run. Running it hands the operation to
// the host's print panel, which keeps it for as long as printing lasts.
class PrintOperation : public PrintJob, public std::enable_shared_from_this<PrintOperation> {
public:
    static std::shared_ptr<PrintOperation> printOperationWithView(View& view, std::shared_ptr<PrintInfo> printInfo);
    static std::shared_ptr<PrintOperation> printOperationWithView(
        std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo);
    ~PrintOperation() override;

    const std::shared_ptr<PrintInfo>& printInfo() const { return m_printInfo; }
    View& view() const { return *m_view; }

    // PrintPanelOptions bits the panel offers; by default copies and page range, as a panel's own.
    unsigned printPanelOptions() const { return m_panelOptions; }
    void setPrintPanelOptions(unsigned options) { m_panelOptions = options; }

    // Asks the host for its print panel on window (null: free-standing) and returns at once; didRun hears,
    // from the run loop, whether anything was printed.
    void runOperationModalForWindow(Window* window, std::function<void(bool success)> didRun);
    // The same for an operation the caller hands over and keeps no reference to.
    static void runOperationModalForWindow(
        std::shared_ptr<PrintOperation> operation, Window* window, std::function<void(bool success)> didRun);

    // Prints every page into a PDF file at path, without a panel.
    Result<int> writePDF(const std::filesystem::path& path);

    // PrintJob.
    std::string jobName() const override;
    void setJobName(std::string name) { m_jobName = std::move(name); }
    Size paperSize() const override;
    int pageCount() override;
    bool hasPage(int index) override;
    // The pages laid out so far: as many as asked for through hasPage and drawPage, all once pageCount was.
    int laidOutPageCount() const { return m_pageCount; }
    void drawPage(int index, cairo_t* context) override;

    // How the view lies on paper: the scale from view to paper points, and each page's slice of the view
    // (view coordinates) and where it lands on the paper (paper points, y down).
    float scale();
    Rect pageRectInView(int index);
    Point pageOrigin();

private:
    PrintOperation(View* view, std::unique_ptr<View> owned, std::shared_ptr<PrintInfo> printInfo);
    void paginate();
    // Adds pages of the text until page index is laid out or the text is placed.
    void addPagesUpTo(int index);

    View* m_view;
    std::unique_ptr<View> m_ownedView;
    std::shared_ptr<PrintInfo> m_printInfo;
    unsigned m_panelOptions = PrintPanelShowsCopies | PrintPanelShowsPageRange;
    std::string m_jobName;

    bool m_paginated = false;
    float m_scale = 1;
    Size m_pageInView; // one page's slice of the view, view points
    std::unique_ptr<LayoutManager> m_layoutManager; // a text view's text, laid out for paper
    int m_pageCount = 1;
    bool m_pagesComplete = true; // every page of the text is laid out
    Size m_textPage; // the size of each page's text container
};

} // namespace kit
