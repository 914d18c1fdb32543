#include "kit/view/WindowController.h"

#include "kit/foundation/Bundle.h"
#include "kit/view/Outlet.h"

namespace kit {

WindowController::WindowController(std::string windowNibName, std::filesystem::path resourceDirectory,
    NibLoadOptions options)
    : m_nibName(std::move(windowNibName))
    , m_resourceDirectory(std::move(resourceDirectory))
    , m_options(std::move(options))
{
}

WindowController::WindowController(std::string windowNibName, const Bundle& bundle)
    : WindowController(std::move(windowNibName), bundle.path(), NibLoader::optionsForBundle(bundle))
{
}

WindowController::~WindowController()
{
    // The nib's other objects may point into the window: they go first, then the window.
    m_topLevelObjects.clear();
    if (m_window)
        m_window->setWindowController(nullptr);
    m_window.reset();
}

Window* WindowController::window()
{
    if (m_window || m_triedLoading)
        return m_window.get();
    m_triedLoading = true;
    windowWillLoad();
    auto loaded = NibLoader::loadNib(m_resourceDirectory, m_nibName, *this, m_topLevelObjects, m_options);
    if (!loaded) {
        m_loadError = loaded.error();
        return nullptr;
    }
    if (!m_windowOutlet) {
        m_loadError = m_nibName + ".nib: the window outlet is not connected";
        return nullptr;
    }
    m_window = m_topLevelObjects.take(m_windowOutlet);
    if (!m_window) {
        m_loadError = m_nibName + ".nib: the window is not a top-level object";
        return nullptr;
    }
    m_window->setWindowController(this);
    windowDidLoad();
    return m_window.get();
}

void WindowController::showWindow(Responder* sender)
{
    if (Window* shown = window())
        shown->makeKeyAndOrderFront(sender);
}

void WindowController::close()
{
    if (m_window)
        m_window->close();
}

bool WindowController::setOutlet(std::string_view name, Object* object)
{
    if (name != "window")
        return Responder::setOutlet(name, object);
    return connectOutlet(m_windowOutlet, object);
}

} // namespace kit
