#include "kit/net/CurlMultiDriver.h"

#include "kit/net/CurlSupport.h"

#include <glib-unix.h>

namespace kit {

std::shared_ptr<CurlMultiDriver> CurlMultiDriver::shared()
{
    // Weak: the driver and with it curl's connection cache go away with the last transfer's owner.
    static std::weak_ptr<CurlMultiDriver> s_driver;
    if (auto driver = s_driver.lock())
        return driver;
    std::shared_ptr<CurlMultiDriver> driver(new CurlMultiDriver);
    s_driver = driver;
    return driver;
}

CurlMultiDriver::CurlMultiDriver()
{
    m_multi = curl().multi_init();
    curl().multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, socketCallback);
    curl().multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl().multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, timerCallback);
    curl().multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
}

CurlMultiDriver::~CurlMultiDriver()
{
    for (auto& [easy, client] : m_clients)
        curl().multi_remove_handle(m_multi, easy);
    m_clients.clear();
    // Closing the cached connections may still report sockets and timers: the callbacks need this object.
    curl().multi_cleanup(m_multi);
    for (auto& [socket, source] : m_socketSources)
        g_source_remove(source);
    if (m_timerSource)
        g_source_remove(m_timerSource);
}

bool CurlMultiDriver::addTransfer(CURL* easy, CurlTransferClient& client)
{
    if (curl().multi_add_handle(m_multi, easy) != CURLM_OK)
        return false;
    m_clients[easy] = &client;
    return true;
}

void CurlMultiDriver::removeTransfer(CURL* easy)
{
    if (m_clients.erase(easy))
        curl().multi_remove_handle(m_multi, easy);
}

int CurlMultiDriver::socketCallback(CURL*, curl_socket_t socket, int what, void* driver, void*)
{
    static_cast<CurlMultiDriver*>(driver)->watchSocket(socket, what);
    return 0;
}

void CurlMultiDriver::watchSocket(curl_socket_t socket, int what)
{
    if (auto it = m_socketSources.find(socket); it != m_socketSources.end()) {
        g_source_remove(it->second);
        m_socketSources.erase(it);
    }
    if (what == CURL_POLL_REMOVE)
        return;
    int conditions = G_IO_ERR | G_IO_HUP;
    if (what & CURL_POLL_IN)
        conditions |= G_IO_IN;
    if (what & CURL_POLL_OUT)
        conditions |= G_IO_OUT;
    m_socketSources[socket]
        = g_unix_fd_add_full(G_PRIORITY_DEFAULT, socket, GIOCondition(conditions), socketIsReady, this, nullptr);
}

int CurlMultiDriver::timerCallback(CURLM*, long timeoutMilliseconds, void* opaque)
{
    auto* driver = static_cast<CurlMultiDriver*>(opaque);
    if (driver->m_timerSource) {
        g_source_remove(driver->m_timerSource);
        driver->m_timerSource = 0;
    }
    // curl asks not to be called back from inside this callback: a timeout of 0 runs on the next turn.
    if (timeoutMilliseconds >= 0)
        driver->m_timerSource
            = g_timeout_add_full(G_PRIORITY_DEFAULT, guint(timeoutMilliseconds), timerDidFire, driver, nullptr);
    return 0;
}

gboolean CurlMultiDriver::socketIsReady(gint fd, GIOCondition condition, gpointer driver)
{
    int mask = 0;
    if (condition & G_IO_IN)
        mask |= CURL_CSELECT_IN;
    if (condition & G_IO_OUT)
        mask |= CURL_CSELECT_OUT;
    if (condition & (G_IO_ERR | G_IO_HUP))
        mask |= CURL_CSELECT_ERR;
    // The action may replace this very source (curl changes what it waits for): returning CONTINUE for a
    // removed source is harmless.
    static_cast<CurlMultiDriver*>(driver)->performSocketAction(fd, mask);
    return G_SOURCE_CONTINUE;
}

gboolean CurlMultiDriver::timerDidFire(gpointer opaque)
{
    auto* driver = static_cast<CurlMultiDriver*>(opaque);
    driver->m_timerSource = 0;
    driver->performSocketAction(CURL_SOCKET_TIMEOUT, 0);
    return G_SOURCE_REMOVE;
}

void CurlMultiDriver::performSocketAction(curl_socket_t socket, int eventMask)
{
    auto protector = shared_from_this();
    int running = 0;
    curl().multi_socket_action(m_multi, socket, eventMask, &running);
    completeFinishedTransfers();
}

void CurlMultiDriver::completeFinishedTransfers()
{
    int queued = 0;
    while (CURLMsg* message = curl().multi_info_read(m_multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        CURLcode result = message->data.result;
        auto it = m_clients.find(easy);
        if (it == m_clients.end())
            continue;
        // The message is not valid once its handle has been removed, which the client may do now.
        it->second->curlTransferDidComplete(result);
    }
}

} // namespace kit
