#pragma once

#include "kit/net/CurlLibrary.h"

#include <glib.h>
#include <map>
#include <memory>

namespace kit {

// Told when a transfer it added has ended, with curl's result. Called from the run loop, outside curl's
// own callbacks, so the client may remove or re-add its handle there; it must not destroy the driver's
// last owner.
class CurlTransferClient {
public:
    virtual void curlTransferDidComplete(CURLcode result) = 0;

protected:
    ~CurlTransferClient() = default;
};

// libcurl's multi interface on the GLib main context: each of curl's sockets is watched by a GLib fd
// source and curl's timer is a GLib timeout, and both call curl_multi_socket_action, so transfers advance
// while the run loop runs and never block it. One driver exists while any transfer's owner holds it.
class CurlMultiDriver : public std::enable_shared_from_this<CurlMultiDriver> {
public:
    static std::shared_ptr<CurlMultiDriver> shared();
    ~CurlMultiDriver();
    CurlMultiDriver(const CurlMultiDriver&) = delete;
    CurlMultiDriver& operator=(const CurlMultiDriver&) = delete;

    // The handle stays the caller's; the client is not owned and must outlive the transfer.
    bool addTransfer(CURL* easy, CurlTransferClient& client);
    // Stops an unfinished transfer at once and closes its connection. Never call it from inside one of
    // curl's callbacks.
    void removeTransfer(CURL* easy);

private:
    CurlMultiDriver();
    static int socketCallback(CURL*, curl_socket_t, int what, void* driver, void* socketData);
    static int timerCallback(CURLM*, long timeoutMilliseconds, void* driver);
    static gboolean socketIsReady(gint fd, GIOCondition, gpointer driver);
    static gboolean timerDidFire(gpointer driver);
    void watchSocket(curl_socket_t, int what);
    void performSocketAction(curl_socket_t, int eventMask);
    void completeFinishedTransfers();

    CURLM* m_multi = nullptr;
    // GLib source ids, 0 when none.
    std::map<curl_socket_t, guint> m_socketSources;
    guint m_timerSource = 0;
    std::map<CURL*, CurlTransferClient*> m_clients;
};

} // namespace kit
