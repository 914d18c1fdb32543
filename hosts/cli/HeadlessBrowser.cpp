#include "hosts/cli/HeadlessBrowser.h"

#include "hosts/common/PageArguments.h"
#include "kit/foundation/RunLoop.h"
#include "kit/net/URLConnection.h"
#include "kit/net/URLRequest.h"
#include "kit/view/Window.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <unistd.h>

namespace hosts {

namespace {

// Collects one URL's bytes through the same loading the plug-in uses.
class PageFetch : public kit::URLConnectionDelegate {
public:
    std::vector<std::uint8_t> bytes;
    std::optional<std::string> failure;
    bool done = false;
    void connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse&) override { bytes.clear(); }
    void connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data) override
    {
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    void connectionDidFinishLoading(kit::URLConnection&) override { done = true; }
    void connectionDidFailWithError(kit::URLConnection&, const kit::Error& error) override
    {
        failure = error.localizedDescription();
        done = true;
    }
};

} // namespace

std::optional<std::string> HeadlessBrowser::load(const std::string& page, const LoadOptions& options)
{
    m_pageURL = urlForPageArgument(page.empty() ? defaultPage() : page);
    if (!m_pageURL)
        return "not a URL or path: " + page;

    std::vector<std::uint8_t> bytes;
    if (!options.forceDocument) {
        PageFetch fetch;
        auto connection = kit::URLConnection::start(kit::URLRequest(*m_pageURL), &fetch);
        if (!connection)
            return "cannot load " + m_pageURL->absoluteString();
        kit::RunLoop::runUntil(
            [&] { return fetch.done; }, std::chrono::milliseconds(long(options.timeoutSeconds * 1000)));
        if (!fetch.done)
            return "timed out loading " + m_pageURL->absoluteString();
        // A page that cannot be had is still handed to the plug-in, which shows its error display.
        if (!fetch.failure)
            bytes = std::move(fetch.bytes);
    }

    HostPage hostPage = bytes.empty() ? HostPage {} : parseHostPage(bytes, claimedTypesFromBundle());
    m_isHostPage = !hostPage.embeds.empty();
    if (!m_isHostPage) {
        PluginArguments made = fullPageArguments(*m_pageURL);
        addInstance(made.arguments, options.viewport, std::move(made.src));
        return std::nullopt;
    }
    for (const auto& embed : hostPage.embeds) {
        PluginArguments made = embedArguments(*m_pageURL, hostPage, embed);
        kit::Size box { resolveDimension(embed.width, options.viewport.width, 300),
            resolveDimension(embed.height, options.viewport.height, 150) };
        addInstance(made.arguments, box, std::move(made.src));
    }
    return std::nullopt;
}

PluginInstance& HeadlessBrowser::addInstance(const kit::Value& arguments, kit::Size box, std::string src)
{
    PluginInstance instance;
    instance.window = std::make_unique<kit::Window>(box);
    instance.src = std::move(src);
    // As a browser does: the factory, then webPlugInInitialize, then into the page at the element's box.
    std::unique_ptr<NRVLectorin> plugin = NRVLectorin::plugInViewWithArguments(arguments);
    plugin->webPlugInInitialize();
    instance.plugin = plugin.get();
    kit::View& added = instance.window->contentView()->addSubview(std::move(plugin));
    added.setFrame({ { 0, 0 }, box });
    m_instances.push_back(std::move(instance));
    return m_instances.back();
}

void HeadlessBrowser::waitUntilLoaded(double timeoutSeconds, bool pagesToo)
{
    waitUntil(timeoutSeconds, [pagesToo](const PluginInstance& i) {
        return !(pagesToo ? i.plugin->isLoading() : i.plugin->isLoadingDocument());
    });
}

void HeadlessBrowser::waitUntil(double timeoutSeconds, const std::function<bool(const PluginInstance&)>& isDone)
{
    kit::RunLoop::runUntil([&] { return std::all_of(m_instances.begin(), m_instances.end(), isDone); },
        std::chrono::milliseconds(long(timeoutSeconds * 1000)));
}

} // namespace hosts
