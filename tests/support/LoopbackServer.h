#pragma once

#include <atomic>
#include <thread>

#include <QByteArray>

#include <httplib.h>

namespace grinsley::testing {

// A real HTTP server on 127.0.0.1 and a free port, serving from its own thread until it is destroyed. Add the
// routes to server() first, then call start().
class LoopbackServer {
public:
    LoopbackServer() = default;
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& server() { return _server; }
    void start();
    void stop();

    int port() const { return _port; }
    // "http://127.0.0.1:PORT" followed by the path.
    QByteArray url(const char* path = "/") const;
    // Requests answered so far, on any route.
    int requestCount() const { return _requests.load(); }

private:
    httplib::Server _server;
    std::thread _thread;
    int _port = 0;
    std::atomic<int> _requests{0};
};

} // namespace grinsley::testing
