#include "plugin/NRVLectorin.h"

#include "import/Importer.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/Log.h"
#include "kit/foundation/RunLoop.h"
#include "kit/net/URL.h"
#include "kit/net/URLRequest.h"
#include "kit/text/FontMap.h"
#include "kit/text/TextView.h"
#include "kit/view/NibLoader.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "kit/view/Outlet.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/DocumentProblem.h"
#include "plugin/PluginClasses.h"
#include "preferences/LectorinPreferences.h"
#include "preferences/NRVLectorinPreferencesController.h"

#include <chrono>
#include <cmath>

namespace {

// A document whose conversion takes longer than this is refused as too large: the reader is better served
// by the message than by a wait of unknown length.
constexpr std::chrono::seconds kImportCpuTime { 30 };

} // namespace

std::unique_ptr<NRVLectorin> NRVLectorin::plugInViewWithArguments(const kit::Value& arguments)
{
    return std::make_unique<NRVLectorin>(arguments);
}

NRVLectorin::NRVLectorin(const kit::Value& arguments)
    : m_pluginArguments(arguments)
{
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(this, kBackgroundColorChangedNotification,
        &NRVLectorinPreferencesController::sharedPreferencesController(),
        [this](const kit::Notification& n) { handleBackgroundColorChange(n); });
    center.addObserver(this, kit::ViewBoundsDidChangeNotification, this, [this](const kit::Notification& n) { viewDidResize(n); });
    center.addObserver(this, kit::ViewFrameDidChangeNotification, this, [this](const kit::Notification& n) { viewDidResize(n); });
    setPostsBoundsChangedNotifications(true);
    setPostsFrameChangedNotifications(true);
}

NRVLectorin::~NRVLectorin()
{
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    // The worker stops at its next look at the stop token and its result is dropped; nothing waits for it.
    m_importJob.cancel();
    if (m_downloadConnection) {
        m_downloadConnection->cancel();
        m_downloadConnection.reset();
    }
    m_connectionResponse.reset();
    m_rawData.reset();
}

void NRVLectorin::webPlugInInitialize()
{
    registerPluginClasses();
    // A nib that cannot be loaded leaves the view without a download, pages or error display.
    kit::NibLoader::loadNib(kit::Bundle::plugin(), "PluginView", *this, m_nibObjects);
}

bool NRVLectorin::setOutlet(std::string_view name, kit::Object* object)
{
    if (name == "viewPanel")
        return kit::connectOutlet(m_viewPanel, object);
    if (name == "pageView")
        return kit::connectOutlet(m_pageView, object);
    if (name == "progressIndicator")
        return kit::connectOutlet(m_progressIndicator, object);
    if (name == "errorDisplay")
        return kit::connectOutlet(m_errorDisplay, object);
    return kit::View::setOutlet(name, object);
}

void NRVLectorin::awakeFromNib()
{
    // The automatic update check starts before anything else the first view does; its fetch runs on a
    // worker and its alert comes later, so the download below does not wait for it.
    if (!versionCheckPerformed()) {
        doVersionCheckAutomatically();
    }

    if (kit::View* panel = m_viewPanel.get()) {
        setFrame(panel->frame());
        addSubview(*panel);
        setBackgroundColorFromPreferences();
        if (kit::Window* w = window())
            w->makeFirstResponder(this);
    }

    const kit::Value* attributes = m_pluginArguments.get(WebPlugInAttributesKey);
    const kit::Value* src = attributes ? attributes->get("src") : nullptr;
    const std::string* srcString = src ? src->asString() : nullptr;
    if (!srcString || srcString->empty()) {
        showError();
        return;
    }
    auto urlArgument = [this](const char* key) -> std::optional<kit::URL> {
        const kit::Value* value = m_pluginArguments.get(key);
        return value && value->asString() ? kit::URL::withString(*value->asString()) : std::nullopt;
    };
    std::optional<kit::URL> baseURL = urlArgument(WebPlugInBaseURLKey);
    std::optional<kit::URL> pageURL = urlArgument(WebPlugInPageURLKey);
    std::optional<kit::URL> url = kit::URL::withString(*srcString, baseURL ? &*baseURL : nullptr);
    // A page of unknown origin may not read local files either: the base URL cannot vouch for it.
    if (url && (pageURL || !url->isFileURL())) {
        kit::URLRequest request(*url);
        request.setMainDocumentURL(pageURL);
        const kit::Value* cookies = m_pluginArguments.get(WebPlugInCookieHeaderKey);
        if (cookies && cookies->asString() && !cookies->asString()->empty()
            && (url->scheme() == "http" || url->scheme() == "https"))
            request.setValueForHTTPHeaderField(*cookies->asString(), "Cookie");
        m_downloadConnection = kit::URLConnection::start(request, this);
    }
    if (!m_downloadConnection) {
        showError();
        return;
    }
    m_rawData = std::make_shared<std::vector<std::uint8_t>>();
    if (auto* indicator = m_progressIndicator.get())
        indicator->startAnimation();
}

kit::Color NRVLectorin::backgroundColor() const
{
    kit::ScrollView* scrollView = m_pageView ? m_pageView->enclosingScrollView() : nullptr;
    return scrollView ? scrollView->backgroundColor() : kit::Color::white(1);
}

void NRVLectorin::setBackgroundColor(kit::Color color)
{
    if (kit::ScrollView* scrollView = m_pageView ? m_pageView->enclosingScrollView() : nullptr) {
        scrollView->setBackgroundColor(color);
        scrollView->setNeedsDisplay(true);
    }
    setNeedsDisplay(true);
}

void NRVLectorin::drawRect(cairo_t* context, kit::Rect)
{
    cairo_save(context);
    auto c = backgroundColor().rgba();
    cairo_set_source_rgba(context, c[0], c[1], c[2], c[3]);
    kit::Rect b = bounds();
    cairo_rectangle(context, b.x(), b.y(), b.width(), b.height());
    cairo_fill(context);
    cairo_restore(context);
}

void NRVLectorin::mouseDown(const kit::Event&)
{
    if (kit::Window* w = window())
        w->makeFirstResponder(m_pageView ? static_cast<kit::Responder*>(m_pageView->firstTextView()) : nullptr);
}

void NRVLectorin::centerProgressIndicator()
{
    kit::ProgressIndicator* indicator = m_progressIndicator.get();
    if (!indicator)
        return;
    kit::Rect frame = indicator->frame();
    kit::Rect b = bounds();
    float x = std::round((b.width() - frame.width()) / 2.0f);
    float y = std::round((b.height() - frame.height()) / 2.0f);
    indicator->setFrame({ { x, y }, frame.size });
}

void NRVLectorin::viewDidResize(const kit::Notification&)
{
    centerProgressIndicator();
}

void NRVLectorin::showError()
{
    m_showsError = true;
    if (kit::ScrollView* scrollView = m_pageView ? m_pageView->enclosingScrollView() : nullptr)
        scrollView->setHidden(true);
    if (auto* indicator = m_progressIndicator.get()) {
        indicator->stopAnimation();
        indicator->setHidden(true);
    }
    if (kit::View* error = m_errorDisplay.get())
        error->setHidden(false);
}

bool NRVLectorin::hasFailed() const
{
    return m_showsError;
}

void NRVLectorin::connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse& response)
{
    m_connectionResponse = response;
    if (m_rawData)
        m_rawData->clear();
}

void NRVLectorin::connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data)
{
    if (m_rawData)
        m_rawData->insert(m_rawData->end(), data.begin(), data.end());
}

void NRVLectorin::connectionDidFinishLoading(kit::URLConnection&)
{
    // The connection is done with us; it may be destroyed from inside its own callback.
    m_downloadConnection.reset();
    if (!m_rawData)
        m_rawData = std::make_shared<std::vector<std::uint8_t>>();
    // The worker reads the bytes while the UI thread may save them; neither changes them from here on. The
    // progress indicator keeps turning meanwhile.
    importer::prepareImports();
    // While the worker imports, this thread readies its fonts for the pages (the font configuration loads
    // once a process), instead of after the import, when the first page waits for them.
    kit::RunLoop::post([] { kit::FontMap::shared(); });
    std::shared_ptr<const std::vector<std::uint8_t>> bytes = m_rawData;
    // On the printer's paper the first pages of a long document show as soon as their text is read.
    importer::BeginningHandler beginning;
    std::uint64_t generation = ++m_importGeneration;
    if (pageLayoutToOpen() == PageLayout::PrinterPaper) {
        beginning = [self = kit::WeakPtr(this), generation](std::shared_ptr<kit::TextStorage> text) {
            kit::RunLoop::post([self, generation, text = std::move(text)]() mutable {
                if (NRVLectorin* plugin = self.get())
                    plugin->documentBeginningDidImport(generation, std::move(text));
            });
        };
    }
    m_importJob = kit::BackgroundJob::start(
        [bytes, beginning = std::move(beginning)](std::stop_token stop) {
            return importer::importDocument(*bytes, { stop, kImportCpuTime, beginning });
        },
        [this](importer::ImportResult imported) { documentDidImport(std::move(imported)); });
}

void NRVLectorin::documentBeginningDidImport(std::uint64_t generation, std::shared_ptr<kit::TextStorage> beginning)
{
    NRVLectorinMultiPageView* pageView = m_pageView.get();
    if (generation != m_importGeneration || !isImporting() || !pageView || pageLayoutToOpen() != PageLayout::PrinterPaper)
        return;
    pageView->setPageLayout(PageLayout::PrinterPaper);
    pageView->setTextStorage(std::move(beginning), NRVLectorinMultiPageView::Pagination::Beginning);
    // Not even a page whose text is complete: the indicator goes on turning.
    if (pageView->numberOfPages() == 0)
        return;
    m_showsBeginning = true;
    showPageView();
}

void NRVLectorin::showPageView()
{
    if (auto* indicator = m_progressIndicator.get()) {
        indicator->stopAnimation();
        indicator->setHidden(true);
    }
    if (kit::ScrollView* scrollView = m_pageView ? m_pageView->enclosingScrollView() : nullptr)
        scrollView->setHidden(false);
}

bool NRVLectorin::showsPages() const
{
    NRVLectorinMultiPageView* pageView = m_pageView.get();
    return (m_downloadIsComplete || m_showsBeginning) && !m_showsError && pageView && pageView->numberOfPages() > 0;
}

bool NRVLectorin::isLoading() const
{
    return m_downloadConnection != nullptr || m_importJob.isRunning() || (m_pageView && m_pageView->isPaginating());
}

void NRVLectorin::documentDidImport(importer::ImportResult imported)
{
    m_importedFormat = imported.format;
    m_importError = imported.error;
    m_problemMessage = documentProblemMessage(m_rawData->size(), imported.text.get(), imported.error);
    if (auto* pageView = m_pageView.get()) {
        // A text that takes longer to lay out than to import ends as one too large to import would.
        pageView->setPaginationTooLargeHandler(
            [self = kit::WeakPtr(this)] {
                if (NRVLectorin* plugin = self.get())
                    plugin->documentIsTooLargeToLayOut();
            },
            kImportCpuTime);
        pageView->setPageLayout(pageLayoutToOpen());
        updatePageLayoutMenuItem();
        // The first pages show at once; the rest follow while the loop turns.
        pageView->setTextStorage(m_problemMessage.empty() ? std::move(imported.text) : nullptr,
            NRVLectorinMultiPageView::Pagination::Progressive);
        pageView->setMessage(m_problemMessage);
    }
    m_downloadIsComplete = true;
    m_showsBeginning = false;
    showPageView();
    if (kit::Window* w = window())
        w->makeFirstResponder(m_pageView ? static_cast<kit::Responder*>(m_pageView->firstTextView()) : nullptr);
    if (m_printsWhenImported) {
        m_printsWhenImported = false;
        print(nullptr);
    }
}

void NRVLectorin::documentIsTooLargeToLayOut()
{
    m_importError = importer::ImportError::TooLarge;
    m_problemMessage = documentProblemMessage(m_rawData ? m_rawData->size() : 0, nullptr, m_importError);
    if (auto* pageView = m_pageView.get()) {
        pageView->setTextStorage(nullptr);
        pageView->setMessage(m_problemMessage);
    }
}

void NRVLectorin::connectionDidFailWithError(kit::URLConnection&, const kit::Error& error)
{
    m_downloadConnection.reset();
    m_rawData.reset();
    showError();
    kit::Log::line("Connection failed! Error - %@ %@", error.localizedDescription(), error.userInfoValue("NSErrorFailingURLStringKey"));
}
