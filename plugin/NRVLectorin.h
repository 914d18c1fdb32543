#pragma once

#include "import/Importer.h"
#include "kit/foundation/BackgroundJob.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/foundation/Value.h"
#include "kit/geometry/Color.h"
#include "kit/net/URLConnection.h"
#include "kit/view/NibTopLevelObjects.h"
#include "kit/view/View.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace importer {
struct ImportResult;
}
namespace kit {
class ProgressIndicator;
}
class NRVLectorinMultiPageView;
enum class PageLayout;

// The keys of the arguments a browser passes when it creates a plug-in view: the embedding element's
// attributes (a dictionary of strings, "src" among them), the page's base URL (a string) against which "src"
// is resolved, and the URL of the page itself (a string), which decides what the page may load. The two URLs
// differ when the page declares a <base href>; without a page URL the page counts as one from the web.
inline constexpr const char* WebPlugInAttributesKey = "WebPlugInAttributesKey";
inline constexpr const char* WebPlugInBaseURLKey = "WebPlugInBaseURLKey";
inline constexpr const char* WebPlugInPageURLKey = "WebPlugInPageURLKey";
// Also from the host alone: the Cookie header the host's browser would send with the document's request
// (http and https only).
inline constexpr const char* WebPlugInCookieHeaderKey = "WebPlugInCookieHeaderKey";

// The view a browser creates for every embedded document the bundle claims: it downloads the document named
// by the element's "src", converts it into styled text and hands it to the page view, switching between the
// progress indicator, the pages and the error display. It also answers the browser's commands.
class NRVLectorin : public kit::View, public kit::URLConnectionDelegate {
public:
    // The factory: a new view for the arguments, owned by the caller (the host puts it in its window).
    static std::unique_ptr<NRVLectorin> plugInViewWithArguments(const kit::Value& arguments);
    explicit NRVLectorin(const kit::Value& arguments);
    ~NRVLectorin() override;

    // Loads the "PluginView" nib with this view as its owner; its awakeFromNib starts the download.
    void webPlugInInitialize();
    void awakeFromNib() override;
    bool setOutlet(std::string_view name, kit::Object* object) override;

    kit::Color backgroundColor() const;
    void setBackgroundColor(kit::Color color);
    void setBackgroundColorFromPreferences();

    void drawRect(cairo_t* context, kit::Rect dirty) override;
    void mouseDown(const kit::Event& event) override;
    bool acceptsFirstResponder() const override { return true; }
    void centerProgressIndicator();
    void viewDidResize(const kit::Notification&);
    void showError();

    void connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse& response) override;
    void connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data) override;
    void connectionDidFinishLoading(kit::URLConnection&) override;
    void connectionDidFailWithError(kit::URLConnection&, const kit::Error& error) override;
    // On the UI thread, once the worker has converted the downloaded bytes: the text goes to the page view
    // (or the problem's sentence), and the progress indicator gives way to the pages.
    void documentDidImport(importer::ImportResult imported);
    // The import's text took the page view's worker more than the import's CPU time to lay out.
    void documentIsTooLargeToLayOut();

    // Browser commands (actions: each takes its sender).
    void saveDocumentTo(kit::Responder* sender);
    void savePanelDidEnd(int returnCode, const std::string& path);
    void print(kit::Responder* sender);
    void safari_printDocument(kit::Responder* sender);
    void makeTextLarger(kit::Responder* sender);
    void makeTextStandardSize(kit::Responder* sender);
    void makeTextSmaller(kit::Responder* sender);
    void zoomIn(kit::Responder* sender);
    void zoomOut(kit::Responder* sender);
    void zoomToStandardSize(kit::Responder* sender);
    void zoomInOrOutFromSegmentedControl(kit::Responder* sender);
    void find(kit::Responder* sender);
    void findNext(kit::Responder* sender);
    void findPrevious(kit::Responder* sender);
    void focusWebViewSearchField(kit::Responder* sender);
    void showFindPanel(kit::Responder* sender);
    void showAboutBox(kit::Responder* sender);
    void showPreferences(kit::Responder* sender);
    // The context menu's switch between the printer's paper and the document's own pages; the choice is
    // stored in the preferences for the documents opened next.
    void togglePageLayout(kit::Responder* sender);
    void handleBackgroundColorChange(const kit::Notification&);
    // The find action a text view reads while this view is the sender of performFindPanelAction:.
    int tag() const override { return m_findActionTag; }

    // The update check: automatically once per process (from the first view's setup) and on demand.
    static void doVersionCheckAutomatically();
    // Starts the check and returns at once: the version file is fetched off the UI thread and its alert,
    // if any, shown on the UI thread's run loop afterwards.
    static void doVersionCheckQuiet(bool quiet);
    // True from doVersionCheckQuiet until its answer has been presented.
    static bool versionCheckInProgress();
    // The once-per-process flag of the automatic check.
    static bool versionCheckPerformed();
    static void resetVersionCheckPerformedForTesting();

    // The layout documents open in: the "Page Layout" preference, unless a host chose one for the whole
    // process (a command line's --layout); nullopt gives the preference back its say.
    static PageLayout pageLayoutToOpen();
    static void setPageLayoutOverride(std::optional<PageLayout> layout);

    // For hosts and tests. The document is loaded once its bytes have arrived and been imported; it is
    // loading from the request until then, importing while a worker converts the bytes.
    bool downloadIsComplete() const { return m_downloadIsComplete; }
    // Downloading, importing, or laying out pages still to come.
    bool isLoading() const;
    // Downloading or importing: the document is not there yet, whatever the page view has laid out.
    bool isLoadingDocument() const { return m_downloadConnection != nullptr || isImporting(); }
    bool isImporting() const { return m_importJob.isRunning(); }
    // Whether pages are in sight instead of the progress indicator: the document's, or, while the rest of
    // it is imported, its first ones.
    bool showsPages() const;
    bool hasFailed() const;
    const std::vector<std::uint8_t>* rawData() const { return m_rawData.get(); }
    const std::optional<kit::URLResponse>& connectionResponse() const { return m_connectionResponse; }
    const kit::Value& pluginArguments() const { return m_pluginArguments; }
    NRVLectorinMultiPageView* pageView() const { return m_pageView.get(); }
    kit::View* viewPanel() const { return m_viewPanel.get(); }
    kit::ProgressIndicator* progressIndicator() const { return m_progressIndicator.get(); }
    kit::View* errorDisplay() const { return m_errorDisplay.get(); }
    // The format the importer found and, when it found no text, why ("none", NotKnownFormat).
    const std::string& importedFormat() const { return m_importedFormat; }
    importer::ImportError importError() const { return m_importError; }
    // What the page says instead of the document when the download cannot be shown (password-protected,
    // damaged, unknown format, too large, empty); empty while the document is shown or still loading.
    const std::string& problemMessage() const { return m_problemMessage; }

protected:
    bool dispatchAction(std::string_view selector, kit::Responder* sender, bool perform) override;

private:
    // The check in either form; afterPresented runs on the UI thread once its alert, if any, has closed.
    static void startVersionCheck(bool quiet, std::function<void()> afterPresented);
    void sendFindAction(int tag);
    // The first part of the document import generation is reading, its first pages to show meanwhile.
    void documentBeginningDidImport(std::uint64_t generation, std::shared_ptr<kit::TextStorage> beginning);
    void showPageView();
    // Titles the context menu's layout item after the layout it switches to.
    void updatePageLayoutMenuItem();

    bool m_downloadIsComplete = false;
    kit::Value m_pluginArguments;
    // Outlets: the view tree owns these; they read as null once their object is gone.
    kit::WeakPtr<kit::View> m_viewPanel;
    kit::WeakPtr<NRVLectorinMultiPageView> m_pageView;
    kit::WeakPtr<kit::ProgressIndicator> m_progressIndicator;
    kit::WeakPtr<kit::View> m_errorDisplay;
    std::unique_ptr<kit::URLConnection> m_downloadConnection;
    std::optional<kit::URLResponse> m_connectionResponse;
    // Appended to on the UI thread during the download; from its end on, read only, and shared with the
    // import's worker.
    std::shared_ptr<std::vector<std::uint8_t>> m_rawData;
    kit::BackgroundJob m_importJob;
    std::uint64_t m_importGeneration = 0; // counts the imports started, so that a late beginning is known
    bool m_showsBeginning = false; // the page view shows the first pages of the import still running
    // A print command that came while the document was being imported, run once it has been.
    bool m_printsWhenImported = false;
    std::int32_t m_findActionTag = 0;
    bool m_showsError = false;
    std::string m_importedFormat;
    importer::ImportError m_importError = importer::ImportError::None;
    std::string m_problemMessage;
    // The nib's top-level objects, held until the setup takes the panel.
    kit::NibTopLevelObjects m_nibObjects;
};
