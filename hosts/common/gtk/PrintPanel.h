#pragma once

#include "kit/foundation/GRefPtr.h"
#include "kit/host/PrintJob.h"

#include <filesystem>
#include <functional>
#include <gtk/gtk.h>
#include <memory>

namespace hosts {

// Prints a job through GtkPrintOperation. With no export path it shows GTK's print dialog attached to
// parent and returns at once (a sheet); the paper and orientation controls are in the dialog when options
// ask for them (kit::PrintPanelShowsPaperSize or ...Orientation); GTK's dialog always offers copies, page
// ranges, scale and a preview. When the dialog's paper differs from the job's, the job is asked to lay
// itself out again for it, or else its pages are scaled to fit. With an export path the job is written
// there as a PDF without a dialog (GTK_PRINT_OPERATION_ACTION_EXPORT). done hears, from the main loop,
// whether anything was printed. The settings chosen are kept for the next print of the process.
void runPrintOperation(GtkWindow* parent, unsigned options, std::shared_ptr<kit::PrintJob> job,
    std::function<void(bool printed)> done, const std::filesystem::path& exportPath);

// The page setup GTK starts from for paper (points, as printed): a standard paper when the size is one
// (within half a point), else a custom one; landscape when the paper is wider than tall.
kit::GRefPtr<GtkPageSetup> pageSetupForPaper(kit::Size paper);

} // namespace hosts
