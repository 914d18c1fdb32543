#pragma once

#include "kit/geometry/Geometry.h"

#include <cairo.h>
#include <string>

namespace kit {

// Printing options a print panel may offer besides its own, as bits.
enum PrintPanelOptions : unsigned {
    PrintPanelShowsCopies = 0x01,
    PrintPanelShowsPageRange = 0x02,
    PrintPanelShowsPaperSize = 0x04,
    PrintPanelShowsOrientation = 0x08,
    PrintPanelShowsScaling = 0x10,
    PrintPanelShowsPageSetupAccessory = 0x100,
    PrintPanelShowsPreview = 0x20000,
};

// What a host's print panel prints: the print code supplies it, the host asks for pages once the user has
// confirmed, and keeps the job alive until the printing ends.
class PrintJob {
public:
    virtual ~PrintJob() = default;
    virtual std::string jobName() const = 0;
    // The paper in points, as the job's print settings hold it.
    virtual Size paperSize() const = 0;
    // The paper of one page, points, as it lies (a landscape page is wider than tall); a job whose pages
    // differ says so here, and the panel gives each page its own media.
    virtual Size paperSizeForPage(int) { return paperSize(); }
    // The number of pages; the job paginates when it is first asked.
    virtual int pageCount() = 0;
    // Whether page index (0-based) exists. A job that can lay its pages out one at a time goes only as far
    // as that page, so that a printout written page by page starts before the last page is laid out.
    virtual bool hasPage(int index) { return index >= 0 && index < pageCount(); }
    // Draws page index (0-based) into context, whose user space is the page in points with (0, 0) at the
    // paper's top left and y down.
    virtual void drawPage(int index, cairo_t* context) = 0;
    // The panel chose other paper (points, as printed: landscape has the long side across). A job that can
    // lay its pages out again for it does so and returns true; pageCount and drawPage then follow the new
    // paper. A job that cannot keeps its pages and returns false, and the panel fits them onto the paper.
    virtual bool repaginateForPaperSize(Size) { return false; }
};

} // namespace kit
