#include "hosts/gtk/DocumentWindow.h"

#include "hosts/common/HostPage.h"
#include "hosts/common/PageArguments.h"
#include "hosts/common/PluginArguments.h"
#include "hosts/common/gtk/DisplayInformation.h"
#include "hosts/common/gtk/GtkHost.h"
#include "hosts/gtk/DocumentOpening.h"
#include "hosts/gtk/NightReading.h"
#include "hosts/gtk/ReaderChrome.h"
#include "hosts/gtk/ReadingState.h"
#include "kit/foundation/RunLoop.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace hosts {

namespace {

// The smallest content a document window opens with, however small the screen.
constexpr kit::Size kMinimumContentSize { 320, 240 };

} // namespace

std::string DocumentWindow::titleForURL(const std::optional<kit::URL>& url)
{
    if (!url)
        return "Untitled";
    std::string name = url->lastPathComponent();
    if (!name.empty() && name != "/")
        return name;
    if (!url->host().empty())
        return url->host();
    return "Untitled";
}

DocumentWindow::DocumentWindow(
    GtkHost& host, const std::string& page, const Settings& settings, std::function<void(DocumentWindow&)> closed)
    : m_host(host)
    , m_settings(settings)
    , m_closed(std::move(closed))
{
    m_pageURL = urlForPageArgument(page.empty() ? defaultPage() : page);
    m_window = std::make_unique<kit::Window>(settings.contentSize);
    m_window->setTitle(titleForURL(m_pageURL));
    HostWindow& shown = m_host.documentWindow(
        *m_window, [this] { return firstTextView(); }, [this] { requestClose(); });
    GdkRectangle workArea = monitorWorkArea(mainMonitor(gdk_display_get_default()));
    auto fit = [wanted = settings.contentSize, workArea](
                   kit::Size chrome) { return initialContentSize(wanted, chrome, workArea, kMinimumContentSize); };
    kit::Size content = fit(shown.chromeSize());
    m_window->setContentSize(content);
    shown.setContentSize(content, fit);
    if (settings.openPage)
        m_opening = std::make_unique<DocumentOpening>(shown, settings.readingState, settings.openPage);
    m_night = std::make_unique<NightReading>(shown, [this] { return m_plugin ? m_plugin->pageView() : nullptr; });
    m_window->makeKeyAndOrderFront(nullptr);

    if (!m_pageURL) {
        m_error = "not a URL or path: " + page;
        requestClose();
        return;
    }
    if (settings.forceDocument) {
        kit::RunLoop::post([window = kit::WeakPtr(this)] {
            if (window)
                window->pageWasProbed({ false, false, {} });
        });
        return;
    }
    m_probe = std::make_unique<PageProbe>(*m_pageURL, claimedTypesFromBundle().mimeTypes,
        [this](PageProbe::Answer answer) { pageWasProbed(std::move(answer)); });
}

DocumentWindow::~DocumentWindow()
{
    rememberPlace();
    m_probe.reset();
    m_night.reset();
    m_opening.reset();
    m_reader.reset();
    // The window's view tree (and the plug-in view in it) goes with the window; the host's GTK window too.
    m_window.reset();
}

HostWindow& DocumentWindow::hostWindow() const { return *m_host.hostWindow(*m_window); }

void DocumentWindow::pageWasProbed(PageProbe::Answer answer)
{
    // The probe may be inside its own callback: it goes on a later turn.
    if (m_probe)
        kit::RunLoop::post([probe = std::shared_ptr<PageProbe>(std::move(m_probe))] {});

    HostPage hostPage;
    if (answer.isMarkup)
        hostPage = parseHostPage(answer.bytes, claimedTypesFromBundle());
    if (hostPage.embeds.empty()) {
        // A document, or a page that cannot be had: the plug-in view downloads the URL itself and shows the
        // document or its error display.
        PluginArguments made = fullPageArguments(*m_pageURL);
        showDocument(made.arguments, made.src);
        return;
    }
    if (m_settings.embed < 1 || std::size_t(m_settings.embed) > hostPage.embeds.size()) {
        std::size_t count = hostPage.embeds.size();
        m_error = "the page has " + std::to_string(count) + " embedded document" + (count == 1 ? "" : "s") + ", not "
            + std::to_string(m_settings.embed);
        requestClose();
        return;
    }
    PluginArguments made = embedArguments(*m_pageURL, hostPage, hostPage.embeds[std::size_t(m_settings.embed - 1)]);
    showDocument(made.arguments, made.src);
}

void DocumentWindow::showDocument(const kit::Value& arguments, const std::string& src)
{
    m_src = src;
    auto url = kit::URL::withString(src);
    m_window->setTitle(titleForURL(url ? url : m_pageURL));
    hostWindow().setTitle(m_window->title());
    // As a browser does: the factory, then webPlugInInitialize, then into the window at the element's box,
    // which here is the whole window and follows its size.
    std::unique_ptr<NRVLectorin> plugin = NRVLectorin::plugInViewWithArguments(arguments);
    plugin->webPlugInInitialize();
    m_plugin = plugin.get();
    kit::View& added = m_window->contentView()->addSubview(std::move(plugin));
    added.setAutoresizingMask(kit::ViewWidthSizable | kit::ViewHeightSizable);
    added.setFrame({ { 0, 0 }, m_window->contentSize() });
    m_reader = std::make_unique<ReaderChrome>(hostWindow(), *m_plugin);
    m_reader->setLoadHandler([this] { documentDidLoad(); });
}

std::string DocumentWindow::documentName() const
{
    return m_pageURL ? m_pageURL->absoluteString() : std::string();
}

void DocumentWindow::documentDidLoad()
{
    NRVLectorinMultiPageView* pages = m_plugin ? m_plugin->pageView() : nullptr;
    ReadingState* state = m_settings.readingState;
    // A document that could not be shown (its message page) has no place to go back to.
    if (!state || !pages || !m_plugin->problemMessage().empty())
        return;
    if (auto place = state->placeFor(documentName()))
        place->restore(*pages);
    state->noteOpened(documentName());
    m_placeIsKnown = true;
    if (m_opening)
        m_opening->refreshRecentMenu();
}

void DocumentWindow::rememberPlace()
{
    NRVLectorinMultiPageView* pages = m_plugin ? m_plugin->pageView() : nullptr;
    if (m_settings.readingState && m_placeIsKnown && pages)
        m_settings.readingState->remember(documentName(), ReadingPlace::of(*pages));
}

kit::TextView* DocumentWindow::firstTextView() const
{
    NRVLectorinMultiPageView* pageView = m_plugin ? m_plugin->pageView() : nullptr;
    return pageView ? pageView->firstTextView() : nullptr;
}

void DocumentWindow::requestClose()
{
    if (m_closing)
        return;
    m_closing = true;
    // The owner destroys this window, never from inside the GTK signal or load callback that asked.
    kit::RunLoop::post([window = kit::WeakPtr(this)] {
        if (window && window->m_closed)
            window->m_closed(*window.get());
    });
}

} // namespace hosts
