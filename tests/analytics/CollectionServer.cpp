#include "CollectionServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "report/ReportDecoder.h"

namespace grinsley::testing {

CollectionServer::CollectionServer(int status, Behaviour behaviour) : _status(status), _behaviour(behaviour) {
    if (behaviour == Behaviour::RedirectLoop) {
        const auto loop = [this](const httplib::Request&, httplib::Response& response) {
            ++_requests;
            response.set_redirect("/report.do", 302);
        };
        _http.server().Post("/report.do", loop);
        _http.server().Get("/report.do", loop);
        _http.start();
        return;
    }
    if (behaviour == Behaviour::Status) {
        _http.server().Post("/report.do", [this](const httplib::Request& request, httplib::Response& response) {
            ++_requests;
            if (auto report = tools::ReportDecoder::decodeReport(QByteArray::fromStdString(request.body))) {
                std::lock_guard lock(_mutex);
                _reports.push_back(*report);
            }
            if (_onReport)
                _onReport();
            response.status = _status;
            response.set_content("ok", "text/plain");
        });
        _http.start();
        return;
    }
    // Misbehaving at the socket needs a plain listening socket.
    _rawSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(_rawSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(_rawSocket, 16);
    socklen_t length = sizeof address;
    ::getsockname(_rawSocket, reinterpret_cast<sockaddr*>(&address), &length);
    _rawPort = ntohs(address.sin_port);
    _rawThread = std::thread([this] { rawLoop(); });
}

CollectionServer::~CollectionServer() {
    _stopping = true;
    if (_rawThread.joinable())
        _rawThread.join();
    if (_rawSocket >= 0)
        ::close(_rawSocket);
}

void CollectionServer::rawLoop() {
    std::vector<int> held; // silent connections stay open until the server goes
    while (!_stopping) {
        pollfd listening{_rawSocket, POLLIN, 0};
        if (::poll(&listening, 1, 20) <= 0)
            continue;
        const int client = ::accept4(_rawSocket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++_requests;
        char buffer[4096];
        pollfd incoming{client, POLLIN, 0};
        if (::poll(&incoming, 1, 1000) > 0)
            [[maybe_unused]] const auto n = ::read(client, buffer, sizeof buffer);
        if (_behaviour == Behaviour::Garbage) {
            const char garbage[] = "\x01\x02 this is not HTTP at all\r\n\r\n\xff\xfe";
            [[maybe_unused]] const auto n = ::write(client, garbage, sizeof garbage - 1);
            ::close(client);
        } else if (_behaviour == Behaviour::Reset) {
            linger abort{1, 0}; // closing with a zero linger sends a reset
            ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            ::close(client);
        } else {
            held.push_back(client);
        }
    }
    for (int client : held)
        ::close(client);
}

QByteArray CollectionServer::url() const {
    if (_behaviour == Behaviour::Status || _behaviour == Behaviour::RedirectLoop)
        return _http.url("/report.do");
    return QByteArray("http://127.0.0.1:") + QByteArray::number(_rawPort) + "/report.do";
}

std::vector<QJsonObject> CollectionServer::reports() const {
    std::lock_guard lock(_mutex);
    return _reports;
}

} // namespace grinsley::testing
