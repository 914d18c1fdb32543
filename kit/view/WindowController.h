#pragma once

#include "kit/view/NibLoader.h"
#include "kit/view/NibTopLevelObjects.h"
#include "kit/view/Responder.h"
#include "kit/view/Window.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kit {

// Runs a window that comes from a nib. The nib, whose owner is the controller, is loaded the first time the
// window is asked for; its "window" outlet names the window, which the controller then owns (with the nib's
// other top-level objects). windowDidLoad runs once, after the load. The controller is the window's next
// responder, so its actions are reached from the window's controls.
class WindowController : public Responder {
public:
    WindowController(std::string windowNibName, std::filesystem::path resourceDirectory, NibLoadOptions options = {});
    // The nib from bundle's folder, with ${KEY} from its Info.plist; bundle must outlive the controller.
    WindowController(std::string windowNibName, const Bundle& bundle);
    ~WindowController() override;

    const std::string& windowNibName() const { return m_nibName; }
    // Loads the nib on the first call; null when it could not be loaded (the load is not retried).
    Window* window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    // Why the nib could not be loaded; empty otherwise.
    const std::string& loadError() const { return m_loadError; }

    // Shows the window (loading it first if needed) and brings it to the front.
    void showWindow(Responder* sender);
    void close();

    // "window".
    bool setOutlet(std::string_view name, Object* object) override;

protected:
    virtual void windowWillLoad() { }
    virtual void windowDidLoad() { }
    NibTopLevelObjects& topLevelObjects() { return m_topLevelObjects; }

private:
    std::string m_nibName;
    std::filesystem::path m_resourceDirectory;
    NibLoadOptions m_options;
    Window* m_windowOutlet = nullptr;
    std::unique_ptr<Window> m_window;
    NibTopLevelObjects m_topLevelObjects;
    std::string m_loadError;
    bool m_triedLoading = false;
};

} // namespace kit
