#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QTest>

#include "social/SocialRequest.h"
#include "support/IsolatedTest.h"
#include "support/LoopbackServer.h"

namespace grinsley::testing {

// What the social network's stand-in saw of one request.
struct SeenRequest {
    std::string method;
    std::string target; // path and query, as sent
    std::string userAgent;
    std::string contentType;
    std::string body;
    httplib::MultipartFormDataMap files;
    bool multipart = false;
};

// A request delegate that writes down every callback, in order.
struct Recorder {
    std::vector<std::string> calls;
    std::optional<SocialResult> loaded;
    std::optional<platform::ErrorRecord> error;
    QByteArray raw;
    bool done = false;

    std::shared_ptr<SocialRequestDelegate> delegate(bool full = true) {
        auto d = std::make_shared<SocialRequestDelegate>();
        d->requestLoading = [this](SocialRequest*) { calls.push_back("loading"); };
        d->requestDidReceiveResponse = [this](SocialRequest*, const QNetworkReply*) { calls.push_back("response"); };
        d->requestDidLoadRawResponse = [this, full](SocialRequest* r, const QByteArray& bytes) {
            calls.push_back("raw");
            raw = bytes;
            EXPECT_TRUE(r->loading()) << "still loading during the final callbacks";
            if (!full)
                done = true;
        };
        if (full) {
            d->requestDidLoad = [this](SocialRequest*, const SocialResult& result) {
                calls.push_back("load");
                loaded = result;
                done = true;
            };
            d->requestDidFailWithError = [this](SocialRequest*, const platform::ErrorRecord& e) {
                calls.push_back("fail");
                error = e;
                done = true;
            };
        }
        return d;
    }
    bool wait(int ms = 10000) { return QTest::qWaitFor([this] { return done; }, ms); }
};

// A bare HTTP listener on 127.0.0.1 on the main thread: keeps one request exactly as it came, bytes and all,
// and answers "{}", or the bytes given, then closes the connection (or resets it).
class RawHttpCapture {
public:
    enum class End { Close, Reset };
    explicit RawHttpCapture(QByteArray answer = defaultAnswer, End end = End::Close);
    ~RawHttpCapture();
    QString url(const char* path) const;
    QByteArray head() const; // request line and headers
    QByteArray body() const;

    static inline const QByteArray defaultAnswer =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}";

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

struct MultipartPart {
    std::string name;
    std::string filename;
    std::string contentType;
    QByteArray content;
};
// The parts as Python's MIME parser reads them.
std::vector<MultipartPart> readMultipart(const QByteArray& body, const QByteArray& boundary);

// The social network on 127.0.0.1: echoes what it was sent, answers with set bodies, or stalls.
class SocialTest : public IsolatedTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The next answer of "/answer": status and body.
    void answerWith(int status, std::string body, std::string type = "application/json");
    // Answers with a redirect to that URL from now on.
    void redirectTo(std::string location);
    std::vector<SeenRequest> seen() const;
    QString url(const char* path) const { return QString::fromLatin1(_server.url(path)); }

    LoopbackServer _server;
    mutable std::mutex _mutex;
    std::vector<SeenRequest> _seen;
    int _status = 200;
    std::string _body = "{}";
    std::string _type = "application/json";
    std::string _location;
    std::vector<QString> _log;
};

} // namespace grinsley::testing
