#pragma once

#include "hosts/gtk/PageProbe.h"
#include "kit/foundation/Value.h"
#include "kit/foundation/WeakPtr.h"
#include "kit/geometry/Geometry.h"
#include "kit/net/URL.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kit {
class TextView;
class Window;
} // namespace kit
class NRVLectorin;

namespace hosts {

class DocumentOpening;
class GtkHost;
class HostWindow;
class NightReading;
class ReaderChrome;
class ReadingState;

// One page argument of `lectorin view` in a window of its own. A document (a URL or path whose bytes are
// not a page embedding a claimed document, or any PAGE with forceDocument) fills the window with one
// plug-in view, full-page. For a page, the plug-in view of its chosen embedded document fills the window,
// made with that element's attributes and the page's base URL (its <base href>, else the page's URL).
// The window is on screen at once; the plug-in view follows as soon as the page has been looked at.
// The window's title is the document's file name.
class DocumentWindow : public kit::Weakable {
public:
    struct Settings {
        kit::Size contentSize { 900, 1100 }; // before the limit of the screen's work area
        int embed = 1; // 1-based
        bool forceDocument = false;
        // Where the document's zoom and place are remembered and found again (`lectorin view` only; none
        // for other hosts and tests that leave it out). It outlives the window.
        ReadingState* readingState = nullptr;
        // Opens another document (Open..., Open Recent, a drop) in a window of its own; none: no opening.
        std::function<void(const std::string& page)> openPage;
    };

    // closed is told (from the run loop) when the user closed the window or the page could not be shown;
    // the owner then destroys this object.
    DocumentWindow(
        GtkHost& host, const std::string& page, const Settings& settings, std::function<void(DocumentWindow&)> closed);
    ~DocumentWindow();
    DocumentWindow(const DocumentWindow&) = delete;
    DocumentWindow& operator=(const DocumentWindow&) = delete;

    kit::Window& window() const { return *m_window; }
    HostWindow& hostWindow() const;
    // Null until the page has been looked at (and for a page without the chosen document).
    NRVLectorin* plugin() const { return m_plugin; }
    const std::string& src() const { return m_src; }
    // Why nothing could be shown ("the page has 1 embedded document, not 3"), empty otherwise.
    const std::string& error() const { return m_error; }
    bool isProbing() const { return m_probe != nullptr; }
    // The page indicator, zoom menu and sidebar; null until the plug-in view is there.
    ReaderChrome* reader() const { return m_reader.get(); }
    // Open..., Open Recent and drops; null without Settings::openPage.
    DocumentOpening* opening() const { return m_opening.get(); }
    NightReading& nightReading() const { return *m_night; }
    // The name the reading state knows the document by: the page's URL.
    std::string documentName() const;

    // The file name a window shows for a document URL: the last path component, else the host, else
    // "Untitled".
    static std::string titleForURL(const std::optional<kit::URL>& url);

private:
    void pageWasProbed(PageProbe::Answer answer);
    void showDocument(const kit::Value& arguments, const std::string& src);
    kit::TextView* firstTextView() const;
    void requestClose();
    void documentDidLoad();
    void rememberPlace();

    GtkHost& m_host;
    Settings m_settings;
    std::optional<kit::URL> m_pageURL;
    std::unique_ptr<kit::Window> m_window;
    NRVLectorin* m_plugin = nullptr; // owned by the window's view tree
    std::string m_src;
    std::string m_error;
    std::unique_ptr<PageProbe> m_probe;
    std::unique_ptr<ReaderChrome> m_reader;
    std::unique_ptr<DocumentOpening> m_opening;
    std::unique_ptr<NightReading> m_night;
    bool m_placeIsKnown = false; // the document loaded, so its place is worth remembering
    std::function<void(DocumentWindow&)> m_closed;
    bool m_closing = false;
};

} // namespace hosts
