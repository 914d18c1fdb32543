#pragma once

#include "hosts/common/HostPage.h"
#include "hosts/common/PluginArguments.h"
#include "kit/foundation/Value.h"
#include "kit/geometry/Geometry.h"
#include "kit/net/URL.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {
class Window;
}
class NRVLectorin;

namespace hosts {

// One plug-in view in a window of its own, as a browser makes it for an embedded document.
struct PluginInstance {
    std::unique_ptr<kit::Window> window;
    NRVLectorin* plugin = nullptr; // owned by the window's view tree
    std::string src; // the resolved document URL
};

// The headless browser: loads a page (a host page with embedded documents, or a document shown full-page),
// creates the plug-in views, and runs the run loop until they have loaded.
class HeadlessBrowser {
public:
    struct LoadOptions {
        kit::Size viewport { 900, 1100 }; // the window of a full-page document; percentages of a host page
        bool forceDocument = false;
        double timeoutSeconds = 60;
    };

    // PAGE is a URL or a path; empty means the bundled sample page. Returns an error message when the
    // page itself cannot be had.
    std::optional<std::string> load(const std::string& page, const LoadOptions& options);
    // Runs the loop until every plug-in view has finished or failed, or the timeout passes. With pagesToo
    // false it stops once every document is imported, while the views may still be laying out pages.
    void waitUntilLoaded(double timeoutSeconds, bool pagesToo = true);
    // Runs the loop until isDone holds for every plug-in view, or the timeout passes.
    void waitUntil(double timeoutSeconds, const std::function<bool(const PluginInstance&)>& isDone);

    std::vector<PluginInstance>& instances() { return m_instances; }
    bool isHostPage() const { return m_isHostPage; }
    const kit::URL& pageURL() const { return *m_pageURL; }

private:
    PluginInstance& addInstance(const kit::Value& arguments, kit::Size box, std::string src);

    std::optional<kit::URL> m_pageURL;
    bool m_isHostPage = false;
    std::vector<PluginInstance> m_instances;
};

} // namespace hosts
