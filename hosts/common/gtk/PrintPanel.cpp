#include "hosts/common/gtk/PrintPanel.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace hosts {

namespace {

// The settings (printer, copies...) the user chose last, for the next print of the process.
kit::GRefPtr<GtkPrintSettings> s_lastSettings;

struct PrintRun {
    std::shared_ptr<kit::PrintJob> job;
    std::function<void(bool)> done;
    kit::Size jobPaper; // the paper the job's pages are laid out for
    double fitScale = 1; // when the job could not follow the dialog's paper
    int pagesLaidOut = 0; // by paginate, for the paper begin-print settled on
    bool finished = false;
};

bool samePaper(kit::Size a, kit::Size b)
{
    return std::abs(a.width - b.width) < 0.5f && std::abs(a.height - b.height) < 0.5f;
}

void beginPrint(GtkPrintOperation*, GtkPrintContext* context, PrintRun* run)
{
    GtkPageSetup* setup = gtk_print_context_get_page_setup(context);
    kit::Size paper { float(gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS)),
        float(gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS)) };
    run->fitScale = 1;
    if (paper.width > 0 && paper.height > 0 && !samePaper(paper, run->jobPaper)) {
        if (run->job->repaginateForPaperSize(paper))
            run->jobPaper = paper;
        else
            run->fitScale = std::min(paper.width / run->jobPaper.width, paper.height / run->jobPaper.height);
    }
    run->pagesLaidOut = 0;
}

// The pages are laid out a few milliseconds at a time, GTK asking again until the last is there: the dialog's
// progress and the windows stay live meanwhile.
gboolean paginate(GtkPrintOperation* operation, GtkPrintContext*, PrintRun* run)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(6);
    while (run->job->hasPage(run->pagesLaidOut)) {
        ++run->pagesLaidOut;
        if (std::chrono::steady_clock::now() >= end)
            return FALSE;
    }
    gtk_print_operation_set_n_pages(operation, std::max(run->pagesLaidOut, 1));
    return TRUE;
}

void drawPage(GtkPrintOperation*, GtkPrintContext* context, int page, PrintRun* run)
{
    cairo_t* cr = gtk_print_context_get_cairo_context(context);
    cairo_save(cr);
    if (run->fitScale != 1)
        cairo_scale(cr, run->fitScale, run->fitScale);
    if (page < run->job->pageCount())
        run->job->drawPage(page, cr);
    cairo_restore(cr);
}

// A page whose paper differs from the job's first page is printed on its own media, turned as it lies.
void requestPageSetup(GtkPrintOperation*, GtkPrintContext*, int page, GtkPageSetup* setup, PrintRun* run)
{
    if (run->fitScale != 1 || page >= run->job->pageCount())
        return;
    kit::Size paper = run->job->paperSizeForPage(page);
    if (!(paper.width > 0 && paper.height > 0) || samePaper(paper, run->jobPaper))
        return;
    kit::GRefPtr<GtkPageSetup> own = pageSetupForPaper(paper);
    gtk_page_setup_set_paper_size(setup, gtk_page_setup_get_paper_size(own.get()));
    gtk_page_setup_set_orientation(setup, gtk_page_setup_get_orientation(own.get()));
}

void finish(GtkPrintOperation* operation, GtkPrintOperationResult result, PrintRun* run)
{
    if (run->finished)
        return;
    run->finished = true;
    if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
        s_lastSettings = kit::retainGRef(gtk_print_operation_get_print_settings(operation));
    }
    bool printed = result == GTK_PRINT_OPERATION_RESULT_APPLY;
    auto done = std::move(run->done);
    // As a sheet's end handler: on a later turn, never inside the call that started printing.
    kit::RunLoop::post([done = std::move(done), printed] {
        if (done)
            done(printed);
    });
}

} // namespace

kit::GRefPtr<GtkPageSetup> pageSetupForPaper(kit::Size paper)
{
    auto setup = kit::adoptGRef(gtk_page_setup_new());
    bool landscape = paper.width > paper.height;
    double shortSide = std::min(paper.width, paper.height);
    double longSide = std::max(paper.width, paper.height);
    GtkPaperSize* size = nullptr;
    GList* papers = gtk_paper_size_get_paper_sizes(FALSE);
    for (GList* item = papers; item; item = item->next) {
        auto* candidate = static_cast<GtkPaperSize*>(item->data);
        if (!size && std::abs(gtk_paper_size_get_width(candidate, GTK_UNIT_POINTS) - shortSide) < 0.5
            && std::abs(gtk_paper_size_get_height(candidate, GTK_UNIT_POINTS) - longSide) < 0.5)
            size = gtk_paper_size_copy(candidate);
    }
    g_list_free_full(papers, [](gpointer paper) { gtk_paper_size_free(static_cast<GtkPaperSize*>(paper)); });
    if (!size)
        size = gtk_paper_size_new_custom("lectorin-custom", "Document paper", shortSide, longSide, GTK_UNIT_POINTS);
    gtk_page_setup_set_paper_size(setup.get(), size);
    gtk_paper_size_free(size);
    gtk_page_setup_set_orientation(
        setup.get(), landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE : GTK_PAGE_ORIENTATION_PORTRAIT);
    return setup;
}

void runPrintOperation(GtkWindow* parent, unsigned options, std::shared_ptr<kit::PrintJob> job,
    std::function<void(bool printed)> done, const std::filesystem::path& exportPath)
{
    auto* run = new PrintRun { std::move(job), std::move(done), {}, 1, false };
    run->jobPaper = run->job->paperSize();
    auto held = kit::adoptGRef(gtk_print_operation_new());
    GtkPrintOperation* operation = held.get();
    gtk_print_operation_set_job_name(operation, run->job->jobName().c_str());
    // The job draws the whole paper in points, from its top left corner.
    gtk_print_operation_set_unit(operation, GTK_UNIT_POINTS);
    gtk_print_operation_set_use_full_page(operation, TRUE);
    gtk_print_operation_set_default_page_setup(operation, pageSetupForPaper(run->jobPaper).get());
    if (s_lastSettings)
        gtk_print_operation_set_print_settings(operation, s_lastSettings.get());
    gtk_print_operation_set_embed_page_setup(
        operation, (options & (kit::PrintPanelShowsPaperSize | kit::PrintPanelShowsOrientation)) != 0);
    gtk_print_operation_set_allow_async(operation, TRUE);
    g_object_set_data_full(
        G_OBJECT(operation), "lectorin-print-run", run, [](gpointer data) { delete static_cast<PrintRun*>(data); });
    g_signal_connect(operation, "begin-print", G_CALLBACK(beginPrint), run);
    g_signal_connect(operation, "paginate", G_CALLBACK(paginate), run);
    g_signal_connect(operation, "draw-page", G_CALLBACK(drawPage), run);
    g_signal_connect(operation, "request-page-setup", G_CALLBACK(requestPageSetup), run);
    g_signal_connect(operation, "done", G_CALLBACK(finish), run);

    GtkPrintOperationAction action = GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG;
    if (!exportPath.empty()) {
        action = GTK_PRINT_OPERATION_ACTION_EXPORT;
        gtk_print_operation_set_export_filename(operation, exportPath.c_str());
    }
    GError* error = nullptr;
    GtkPrintOperationResult result = gtk_print_operation_run(operation, action, parent, &error);
    if (error) {
        g_warning("printing failed: %s", error->message);
        g_error_free(error);
    }
    if (result != GTK_PRINT_OPERATION_RESULT_IN_PROGRESS)
        finish(operation, result, run);
    // A print still in progress holds its own reference until it is done; ours goes with `held`.
}

} // namespace hosts
