#pragma once

#include "kit/host/PrintJob.h"
#include "kit/print/PrintInfo.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace kit {

class LayoutManager;
class View;
class Window;

// Prints a view on paper: asks the host's print panel (with the options it is to offer), then lays the
// view out on pages of the print settings' paper less its margins. A text view's text is paginated
// between lines through a layout manager of its own; any other view is cut into page-high slices. With
// horizontal pagination "fit", a view wider than the printable width is scaled down to it.
class PrintOperation : public std::enable_shared_from_this<PrintOperation> {
public:
    // The operation owns the view for as long as it lives (the host keeps it alive while printing).
    static std::shared_ptr<PrintOperation> printOperationWithView(std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo);
    PrintOperation(std::unique_ptr<View> view, std::shared_ptr<PrintInfo> printInfo);
    ~PrintOperation();

    unsigned printPanelOptions() const { return m_panelOptions; }
    void setPrintPanelOptions(unsigned options) { m_panelOptions = options; }
    const std::shared_ptr<PrintInfo>& printInfo() const { return m_printInfo; }
    View& view() const { return *m_view; }

    // Runs the print panel as a sheet on window; didRun gets whether anything was printed. Returns at once.
    static void runOperationModalForWindow(std::shared_ptr<PrintOperation> operation, Window* window, std::function<void(bool success)> didRun);

    // The pages, paginated on first use.
    int pageCount();
    // Draws page index into context, whose user space is the page in points, (0, 0) at its top left, y down.
    void drawPage(int index, cairo_t* context);
    // Prints every page into a PDF at path, without a panel.
    bool writePDF(const std::filesystem::path& path);
    std::shared_ptr<PrintJob> makeJob();

private:
    void paginate();
    float contentScale() const;

    std::unique_ptr<View> m_view;
    std::shared_ptr<PrintInfo> m_printInfo;
    unsigned m_panelOptions = PrintPanelShowsCopies | PrintPanelShowsPageRange;
    std::unique_ptr<LayoutManager> m_layout; // text views only
    int m_pageCount = -1;
};

} // namespace kit
