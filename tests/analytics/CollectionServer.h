#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QJsonObject>

#include "support/LoopbackServer.h"

namespace grinsley::testing {

// The analytics collection endpoint on 127.0.0.1: keeps every report it receives, decoded, and answers as the
// test says. Besides HTTP answers it can misbehave at the socket: garbage, a reset, or silence.
class CollectionServer {
public:
    enum class Behaviour { Status, RedirectLoop, Garbage, Reset, Silent };

    explicit CollectionServer(int status = 200, Behaviour behaviour = Behaviour::Status);
    ~CollectionServer();

    QByteArray url() const;
    std::vector<QJsonObject> reports() const;
    int requests() const { return _requests.load(); }
    // Runs (on the server's thread) when a report arrives, before the answer.
    void setOnReport(std::function<void()> hook) { _onReport = std::move(hook); }

private:
    void rawLoop();

    int _status;
    Behaviour _behaviour;
    LoopbackServer _http;
    int _rawSocket = -1;
    int _rawPort = 0;
    std::thread _rawThread;
    std::atomic<bool> _stopping{false};
    std::atomic<int> _requests{0};
    mutable std::mutex _mutex;
    std::vector<QJsonObject> _reports;
    std::function<void()> _onReport;
};

} // namespace grinsley::testing
