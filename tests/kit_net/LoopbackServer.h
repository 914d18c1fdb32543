#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <glib.h>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace nettest {

// An HTTP server on 127.0.0.1 (a free port) running on its own thread inside the test process. Routes
// are set up before it starts listening, since cpp-httplib's route tables are not thread-safe. ServerType
// httplib::SSLServer makes it an https server; its constructor's arguments (certificate and key files)
// follow the routes.
template <typename ServerType> class BasicLoopbackServer {
public:
    template <typename... ServerArguments>
    explicit BasicLoopbackServer(const std::function<void(httplib::Server&)>& routes, ServerArguments&&... arguments)
        : m_server(std::forward<ServerArguments>(arguments)...)
    {
        routes(m_server);
        m_server.set_keep_alive_timeout(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // stop() does nothing until the listening loop has begun: a server torn down sooner would keep its
        // thread accepting forever and the destructor would never return. Bounded, since a failed bind never runs.
        auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_port > 0 && !m_server.is_running() && std::chrono::steady_clock::now() < bound)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~BasicLoopbackServer()
    {
        m_server.stop();
        m_thread.join();
    }
    bool isValid() const { return m_port > 0; }
    int port() const { return m_port; }
    std::string url(const std::string& path) const
    {
        constexpr bool isSecure = !std::is_same_v<ServerType, httplib::Server>;
        return (isSecure ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port) + path;
    }

private:
    ServerType m_server;
    int m_port = -1;
    std::thread m_thread;
};

using LoopbackServer = BasicLoopbackServer<httplib::Server>;

// A flag one thread raises and another waits for, with a bound: the server side and the test side of a
// scripted exchange. Nothing is waited for without a bound, so a broken client fails the test instead of
// hanging it. Raising also wakes the main thread's run loop, which may be waiting for nothing but this.
class Signal {
public:
    void raise()
    {
        std::lock_guard lock(m_mutex);
        m_raised = true;
        m_condition.notify_all();
        g_main_context_wakeup(g_main_context_default());
    }
    bool waitFor(std::chrono::milliseconds bound)
    {
        std::unique_lock lock(m_mutex);
        return m_condition.wait_for(lock, bound, [this] { return m_raised; });
    }
    bool isRaised()
    {
        std::lock_guard lock(m_mutex);
        return m_raised;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_raised = false;
};

// A TCP port on 127.0.0.1 that is bound but never listens: connecting to it is refused, and no other
// program can take the port while this object lives.
class RefusingPort {
public:
    RefusingPort()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0
            && getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(m_socket); }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = -1;
};

} // namespace nettest
