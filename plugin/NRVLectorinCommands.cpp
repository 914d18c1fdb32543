// The browser's commands: save, print, find and zoom. Every command the view implements is enabled
// whenever it reaches the view; save does nothing until the document has arrived.
#include "kit/foundation/AtomicFile.h"
#include "kit/host/Host.h"
#include "kit/print/DocumentPrintJob.h"
#include "kit/print/PrintOperation.h"
#include "kit/text/TextView.h"
#include "kit/view/ActionTable.h"
#include "kit/view/Menu.h"
#include "kit/view/SegmentedControl.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"
#include "preferences/LectorinPreferences.h"

#include <glib.h>

namespace {

constexpr unsigned kAddedPrintPanelOptions = 0x2001C; // paper size, orientation, scaling, preview

constexpr int kFindPanelActionShowFindPanel = 1;
constexpr int kFindPanelActionNext = 2;
constexpr int kFindPanelActionPrevious = 3;
constexpr int kFindPanelActionSetFindString = 7;

std::string pathExtension(const std::string& name)
{
    auto slash = name.find_last_of('/');
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    auto dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size())
        return {};
    return last.substr(dot + 1);
}

} // namespace

bool NRVLectorin::dispatchAction(std::string_view selector, kit::Responder* sender, bool perform)
{
    static const kit::ActionTable<NRVLectorin> actions {
        { "saveDocumentTo:", &NRVLectorin::saveDocumentTo },
        { "print:", &NRVLectorin::print },
        { "safari_printDocument:", &NRVLectorin::safari_printDocument },
        { "makeTextLarger:", &NRVLectorin::makeTextLarger },
        { "makeTextStandardSize:", &NRVLectorin::makeTextStandardSize },
        { "makeTextSmaller:", &NRVLectorin::makeTextSmaller },
        { "zoomIn:", &NRVLectorin::zoomIn },
        { "zoomOut:", &NRVLectorin::zoomOut },
        { "zoomToStandardSize:", &NRVLectorin::zoomToStandardSize },
        { "zoomInOrOutFromSegmentedControl:", &NRVLectorin::zoomInOrOutFromSegmentedControl },
        { "find:", &NRVLectorin::find },
        { "findNext:", &NRVLectorin::findNext },
        { "findPrevious:", &NRVLectorin::findPrevious },
        { "focusWebViewSearchField:", &NRVLectorin::focusWebViewSearchField },
        { "showFindPanel:", &NRVLectorin::showFindPanel },
        { "showAboutBox:", &NRVLectorin::showAboutBox },
        { "showPreferences:", &NRVLectorin::showPreferences },
        { "togglePageLayout:", &NRVLectorin::togglePageLayout },
    };
    return actions.dispatch(*this, selector, sender, perform) || kit::View::dispatchAction(selector, sender, perform);
}

void NRVLectorin::saveDocumentTo(kit::Responder*)
{
    // The downloaded bytes are saved as they came: that need not wait for their import.
    if (!m_downloadIsComplete && !isImporting())
        return;
    std::string suggested = m_connectionResponse ? m_connectionResponse->suggestedFilename() : std::string("unknown");
    kit::SavePanelOptions options;
    options.requiredExtension = pathExtension(suggested);
    options.canSelectHiddenExtension = true;
    options.suggestedName = suggested;
    kit::WeakPtr<NRVLectorin> self(this);
    // A sheet: the command returns now, the end handler runs when the panel closes (if the view still lives).
    kit::Host::current().beginSavePanel(window(), options, [self, extension = options.requiredExtension](int returnCode, std::string path) {
        if (NRVLectorin* view = self.get()) {
            // As a save panel does, a chosen name that lacks the required extension gets it.
            // "Report.DOC" has the extension "doc": a name differing only in case gets nothing appended.
            if (returnCode == kit::SavePanelOKButton && !extension.empty()
                && g_ascii_strcasecmp(pathExtension(path).c_str(), extension.c_str()) != 0)
                path += "." + extension;
            view->savePanelDidEnd(returnCode, path);
        }
    });
}

void NRVLectorin::savePanelDidEnd(int returnCode, const std::string& path)
{
    if (returnCode != kit::SavePanelOKButton)
        return;
    static const std::vector<std::uint8_t> empty;
    if (!kit::writeFileAtomically(path, m_rawData ? *m_rawData : empty))
        kit::Host::current().beep();
}

void NRVLectorin::print(kit::Responder*)
{
    NRVLectorinMultiPageView* pageView = m_pageView.get();
    if (!pageView)
        return;
    // Printing needs the whole document: the command waits for the import, the UI thread does not.
    if (isImporting()) {
        m_printsWhenImported = true;
        return;
    }
    if (pageView->showsDocumentPages()) {
        // The document's own pages, each on its section's paper: no print settings' paper to fit them to.
        auto job = std::make_shared<kit::DocumentPrintJob>(
            pageView->sharedTextStorage(), window() ? window()->title() : std::string());
        kit::Host::current().runPrintPanel(window(), kit::PrintPanelShowsCopies | kit::PrintPanelShowsPageRange
                | kit::PrintPanelShowsPreview, std::move(job), [](bool) { });
        return;
    }
    auto printView = std::make_unique<kit::TextView>(pageView->documentRectForPageNumber(0));
    kit::TextStorage* source = pageView->textStorage();
    kit::Range sourceRange { 0, source ? source->length() : 0 };
    kit::Range targetRange { 0, printView->textStorage() ? printView->textStorage()->length() : 0 };
    // The whole document, styles and attachments included, travels through RTF as the platform's print
    // path does. An absent text prints one blank page.
    if (source) {
        std::string rtf = source->rtfFromRange(sourceRange);
        printView->replaceCharactersInRangeWithRTFD(targetRange,
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size()));
    }
    auto operation = kit::PrintOperation::printOperationWithView(std::move(printView), pageView->printInfo());
    operation->setPrintPanelOptions(operation->printPanelOptions() | kAddedPrintPanelOptions);
    // The operation keeps the temporary view alive for as long as it runs; the end handler does nothing.
    kit::PrintOperation::runOperationModalForWindow(std::move(operation), window(), [](bool) { });
}

void NRVLectorin::safari_printDocument(kit::Responder* sender)
{
    print(sender);
}

void NRVLectorin::makeTextLarger(kit::Responder* sender)
{
    zoomIn(sender);
}

void NRVLectorin::makeTextStandardSize(kit::Responder* sender)
{
    zoomToStandardSize(sender);
}

void NRVLectorin::makeTextSmaller(kit::Responder* sender)
{
    zoomOut(sender);
}

void NRVLectorin::zoomIn(kit::Responder*)
{
    if (auto* pageView = m_pageView.get())
        pageView->zoomIn();
}

void NRVLectorin::zoomOut(kit::Responder*)
{
    if (auto* pageView = m_pageView.get())
        pageView->zoomOut();
}

void NRVLectorin::zoomToStandardSize(kit::Responder*)
{
    if (auto* pageView = m_pageView.get())
        pageView->zoomToStandardSize();
}

void NRVLectorin::zoomInOrOutFromSegmentedControl(kit::Responder* sender)
{
    auto* control = dynamic_cast<kit::SegmentedControl*>(sender);
    if (!control)
        return;
    int segment = control->selectedSegment();
    if (segment == 1)
        zoomIn(control);
    else if (segment == 0)
        zoomOut(control);
}

void NRVLectorin::sendFindAction(int tag)
{
    m_findActionTag = tag;
    // A match on a page still to come is selected at once; the view scrolls there when the page arrives.
    // Before the text arrives there is no text view: the action goes to no one.
    if (kit::TextView* textView = m_pageView ? m_pageView->firstTextView() : nullptr)
        textView->performFindPanelAction(this);
}

void NRVLectorin::find(kit::Responder*)
{
    sendFindAction(kFindPanelActionShowFindPanel);
}

void NRVLectorin::findNext(kit::Responder*)
{
    sendFindAction(kFindPanelActionSetFindString);
    sendFindAction(kFindPanelActionNext);
}

void NRVLectorin::findPrevious(kit::Responder*)
{
    sendFindAction(kFindPanelActionPrevious);
}

void NRVLectorin::focusWebViewSearchField(kit::Responder* sender)
{
    find(sender);
}

void NRVLectorin::showFindPanel(kit::Responder* sender)
{
    find(sender);
}

namespace {

std::optional<PageLayout>& pageLayoutOverride()
{
    static std::optional<PageLayout> layout;
    return layout;
}

constexpr const char* kPageLayoutAction = "togglePageLayout:";

} // namespace

PageLayout NRVLectorin::pageLayoutToOpen()
{
    if (pageLayoutOverride())
        return *pageLayoutOverride();
    return readDocumentLayoutPreference() ? PageLayout::Document : PageLayout::PrinterPaper;
}

void NRVLectorin::setPageLayoutOverride(std::optional<PageLayout> layout)
{
    pageLayoutOverride() = layout;
}

void NRVLectorin::togglePageLayout(kit::Responder*)
{
    NRVLectorinMultiPageView* pageView = m_pageView.get();
    if (!pageView)
        return;
    bool document = pageView->pageLayout() != PageLayout::Document;
    writeDocumentLayoutPreference(document);
    pageView->setPageLayout(document ? PageLayout::Document : PageLayout::PrinterPaper);
    updatePageLayoutMenuItem();
}

void NRVLectorin::updatePageLayoutMenuItem()
{
    NRVLectorinMultiPageView* pageView = m_pageView.get();
    kit::Menu* menu = pageView ? pageView->menu().get() : nullptr;
    if (!menu)
        return;
    for (const auto& item : menu->items()) {
        if (item->action() == kPageLayoutAction)
            item->setTitle(pageView->pageLayout() == PageLayout::Document ? "Show Printer Paper" : "Show Document Layout");
    }
}
