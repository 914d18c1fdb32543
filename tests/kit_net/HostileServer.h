#pragma once

#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <string>
#include <thread>

namespace nettest {

// Responses of a server that means harm, for loopback servers of tests. Each stops when the client goes.

// `decodedBytes` zeros, gzip-compressed (about a thousandth of that on the wire), made by gzip(1).
inline std::string gzipOfZeros(std::size_t decodedBytes)
{
    std::string out;
    testsupport::runCommand("head -c " + std::to_string(decodedBytes) + " /dev/zero | gzip -9 -c", &out);
    return out;
}

// A body declared gzip-encoded; the type is not one the server would compress again.
inline void sendGzipped(httplib::Response& response, const std::string& gzipped)
{
    response.set_header("Content-Encoding", "gzip");
    response.set_content(gzipped, "application/rtf");
}

// A chunked body that never ends: 64 KiB pieces as fast as the client takes them.
inline void sendEndlessChunks(httplib::Response& response)
{
    response.set_chunked_content_provider("application/rtf", [](std::size_t, httplib::DataSink& sink) {
        static const std::string piece = "{\\rtf1 " + std::string(65536 - 7, 'x');
        return sink.write(piece.data(), piece.size());
    });
}

// One byte every `interval`, forever: never idle long enough for an inactivity time-out.
inline void sendTrickle(httplib::Response& response, std::chrono::milliseconds interval)
{
    response.set_chunked_content_provider("application/rtf", [interval](std::size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(interval);
        return sink.write("x", 1);
    });
}

// Declares 1 MB, sends 4 KiB and drops the connection.
inline void sendResetMidBody(httplib::Response& response)
{
    response.set_content_provider(
        1 << 20, "application/rtf", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset > 0)
                return false;
            std::string piece = "{\\rtf1 " + std::string(4096 - 7, 'x');
            return sink.write(piece.data(), piece.size());
        });
}

// A redirect to itself.
inline void sendRedirectLoop(httplib::Response& response, const std::string& path)
{
    response.status = 302;
    response.set_header("Location", path);
}

// Every hostile body above under one server: /bomb (`bomb`, from gzipOfZeros), /endless, /trickle (a byte
// every 50 ms), /reset and /loop, each path followed by `suffix` (".rtf" gives the plug-in view a name).
inline void addHostileRoutes(httplib::Server& server, const std::string& bomb, const std::string& suffix = "")
{
    server.Get("/bomb" + suffix, [&bomb](const httplib::Request&, httplib::Response& r) { sendGzipped(r, bomb); });
    server.Get("/endless" + suffix, [](const httplib::Request&, httplib::Response& r) { sendEndlessChunks(r); });
    server.Get("/trickle" + suffix,
        [](const httplib::Request&, httplib::Response& r) { sendTrickle(r, std::chrono::milliseconds(50)); });
    server.Get("/reset" + suffix, [](const httplib::Request&, httplib::Response& r) { sendResetMidBody(r); });
    server.Get("/loop" + suffix,
        [suffix](const httplib::Request&, httplib::Response& r) { sendRedirectLoop(r, "/loop" + suffix); });
}

} // namespace nettest
