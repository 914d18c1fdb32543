#include "kit/host/Host.h"

#include "kit/host/HeadlessHost.h"
#include "kit/view/Window.h"

#include <algorithm>

namespace kit {

static Host* s_current = nullptr;

Host& Host::current()
{
    if (s_current)
        return *s_current;
    // Lives as long as the process: windows made before any host was installed stay attached to it.
    static HeadlessHost* fallback = new HeadlessHost;
    return *fallback;
}

void Host::setCurrent(Host* host)
{
    s_current = host;
}

Host::~Host()
{
    if (s_current == this)
        s_current = nullptr;
    for (Window* window : m_windows)
        window->m_host = nullptr;
}

void Host::attachWindow(Window& window)
{
    m_windows.push_back(&window);
    didAttachWindow(window);
}

void Host::detachWindow(Window& window)
{
    willDetachWindow(window);
    std::erase(m_windows, &window);
}

} // namespace kit
