#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/host/PrintJob.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class Alert;
class Menu;
class Window;

struct SavePanelOptions {
    std::string suggestedName; // proposed file name, in the panel's default folder
    std::string requiredExtension; // without the dot; empty: any
    bool canSelectHiddenExtension = false;
};

inline constexpr int SavePanelOKButton = 1;
inline constexpr int SavePanelCancelButton = 0;

// The main display in logical pixels (device pixels divided by the monitor's scale factor) and its visible
// image size in millimetres (0 when unknown).
struct DisplayInfo {
    bool present = false;
    int widthPixels = 0;
    int heightPixels = 0;
    int widthMillimetres = 0;
    int heightMillimetres = 0;
    bool operator==(const DisplayInfo&) const = default;
};

// What the program that embeds the plug-in supplies: windows on screen, modal alerts, the save, print and
// colour panels, the find bar, display information, the clipboard and the web browser. Code that nibs create
// reaches it through Host::current(). Everything is called on the main thread; panels that run as sheets
// (save, print) and the colour panel return at once and answer through their callback later, from the run
// loop; an alert is modal and returns its answer.
class Host {
public:
    // The host installed with setCurrent, else a process-wide headless host that shows nothing.
    static Host& current();
    // The caller keeps host alive while it is current; null goes back to the headless fallback.
    static void setCurrent(Host* host);

    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    // Windows still attached lose their host (they then show nothing).
    virtual ~Host();

    // Every kit::Window is attached to the host current at its construction until its destruction.
    const std::vector<Window*>& windows() const { return m_windows; }
    virtual void showWindow(Window&) = 0;
    virtual void hideWindow(Window&) = 0;
    // A piece of the window (base coordinates) needs repainting; hosts repaint from the run loop.
    virtual void windowNeedsDisplay(Window&, Rect) { }
    // The pixels of rect (base coordinates) are to move by delta, as a scrolled view's do. A host that keeps
    // the window's pixels and can move them does so and answers true; the window then damages only what
    // comes into sight. False (the default) leaves the pixels alone.
    virtual bool windowScrollRect(Window&, Rect, Size) { return false; }

    // Runs the alert modally and returns the index of the button chosen (0 = first).
    virtual int runModalAlert(const Alert& alert) = 0;
    // A save sheet on window (null: free-standing); done gets SavePanelOKButton and the chosen path, or
    // SavePanelCancelButton and an empty path.
    virtual void beginSavePanel(Window* window, const SavePanelOptions& options,
        std::function<void(int returnCode, std::string path)> done)
        = 0;
    // A print panel on window offering options (PrintPanelOptions bits) besides its own; when the user
    // confirms, the host prints job's pages. done tells whether anything was printed.
    virtual void runPrintPanel(Window* window, unsigned options, std::shared_ptr<PrintJob> job,
        std::function<void(bool printed)> done)
        = 0;
    // The colour panel, starting at initial; changed is called with each colour the user picks.
    virtual void runColorPanel(Color initial, std::function<void(Color)> changed) = 0;
    // The find bar of window; its text is the find string.
    virtual void showFindBar(Window& window) = 0;
    virtual std::string findString() const { return m_findString; }
    virtual void setFindString(std::string text) { m_findString = std::move(text); }
    // Shows menu at a point of window (base coordinates); a chosen item is performed with
    // Menu::performActionForItemAtIndex. Hosts without menus ignore it.
    virtual void popUpContextMenu(Window&, std::shared_ptr<Menu>, Point) { }

    virtual DisplayInfo mainDisplay() const = 0;
    virtual void beep() = 0;
    virtual void setClipboardText(const std::string& text) = 0;
    // Shows url in the user's web browser.
    virtual void openURL(const std::string& url) = 0;

protected:
    virtual void didAttachWindow(Window&) { }
    virtual void willDetachWindow(Window&) { }

private:
    friend class Window;
    void attachWindow(Window& window);
    void detachWindow(Window& window);

    std::vector<Window*> m_windows;
    std::string m_findString;
};

} // namespace kit
