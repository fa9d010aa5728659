#include "LoopbackServer.h"

namespace grinsley::testing {

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::start() {
    // One request per connection: a kept-alive connection would hold stop() for the keep-alive timeout.
    _server.set_keep_alive_max_count(1);
    // A client that connected but never sends would hold stop() as long as this.
    _server.set_read_timeout(1, 0);
    _server.set_logger([this](const httplib::Request&, const httplib::Response&) { ++_requests; });
    _port = _server.bind_to_any_port("127.0.0.1");
    _thread = std::thread([this] { _server.listen_after_bind(); });
    // Stopping a server whose loop has not begun would leave the loop running for ever.
    while (!_server.is_running())
        std::this_thread::yield();
}

void LoopbackServer::stop() {
    if (!_thread.joinable())
        return;
    _server.stop();
    _thread.join();
}

QByteArray LoopbackServer::url(const char* path) const {
    return QByteArray("http://127.0.0.1:") + QByteArray::number(_port) + path;
}

} // namespace grinsley::testing
