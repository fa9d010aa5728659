#include "SocialTest.h"

#include <chrono>
#include <sys/socket.h>
#include <thread>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace grinsley::testing {

struct RawHttpCapture::Impl {
    QTcpServer server;
    QByteArray received;
};

RawHttpCapture::RawHttpCapture(QByteArray answer, End ending) : _impl(std::make_unique<Impl>()) {
    _impl->server.listen(QHostAddress::LocalHost);
    QObject::connect(&_impl->server, &QTcpServer::newConnection, &_impl->server, [impl = _impl.get(), answer, ending] {
        QTcpSocket* socket = impl->server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [impl, socket, answer, ending] {
            impl->received += socket->readAll();
            const qsizetype end = impl->received.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            qsizetype length = 0;
            for (const QByteArray& line : impl->received.left(end).split('\n'))
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (impl->received.size() < end + 4 + length)
                return;
            socket->write(answer);
            if (ending == End::Reset) {
                socket->waitForBytesWritten(5000);
                const linger abortive{1, 0}; // a close that sends a reset, not the end of the stream
                ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
                socket->abort();
                return;
            }
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    });
}

RawHttpCapture::~RawHttpCapture() = default;

QString RawHttpCapture::url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(_impl->server.serverPort()).arg(QLatin1String(path));
}

QByteArray RawHttpCapture::head() const {
    return _impl->received.left(_impl->received.indexOf("\r\n\r\n") + 2);
}

QByteArray RawHttpCapture::body() const { return _impl->received.mid(_impl->received.indexOf("\r\n\r\n") + 4); }

std::vector<MultipartPart> readMultipart(const QByteArray& body, const QByteArray& boundary) {
    static const char* script = R"(
import sys, json, base64, email.parser, email.policy
raw = sys.stdin.buffer.read()
boundary = sys.argv[1]
message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
    b'Content-Type: multipart/form-data; boundary=' + boundary.encode() + b'\r\n\r\n' + raw)
parts = []
for part in message.iter_parts():
    disposition = part.get('Content-Disposition', '')
    params = dict(part.get_params(header='content-disposition') or [])
    parts.append({'name': params.get('name', ''), 'filename': params.get('filename', ''),
                  'type': part.get('Content-Type', ''),
                  'content': base64.b64encode(part.get_payload(decode=True) or b'').decode()})
print(json.dumps(parts))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QLatin1String(script), QString::fromLatin1(boundary)});
    python.write(body);
    python.closeWriteChannel();
    python.waitForFinished(20000);
    std::vector<MultipartPart> parts;
    const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue& part : read) {
        const QJsonObject p = part.toObject();
        parts.push_back({p["name"].toString().toStdString(), p["filename"].toString().toStdString(),
                         p["type"].toString().toStdString(), QByteArray::fromBase64(p["content"].toString().toLatin1())});
    }
    if (parts.empty())
        ADD_FAILURE() << "the multipart reader found nothing: " << python.readAllStandardError().toStdString();
    return parts;
}

void SocialTest::SetUp() {
    IsolatedTest::SetUp();
    setSocialLogHandler([this](const QString& line) { _log.push_back(line); });
    const auto record = [this](const httplib::Request& req) {
        SeenRequest s{req.method, req.target, req.get_header_value("User-Agent"), req.get_header_value("Content-Type"),
                      req.body, req.files, req.is_multipart_form_data()};
        std::lock_guard lock(_mutex);
        _seen.push_back(std::move(s));
    };
    const auto answer = [this, record](const httplib::Request& req, httplib::Response& res) {
        record(req);
        std::lock_guard lock(_mutex);
        res.status = _status;
        res.set_content(_body, _type.c_str());
        if (!_location.empty())
            res.set_header("Location", _location);
    };
    _server.server().Get("/slow", [record](const httplib::Request& req, httplib::Response& res) {
        record(req);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // past the test's short timeout
        res.set_content("{}", "application/json");
    });
    _server.server().Get(".*", answer);
    _server.server().Post(".*", answer);
    _server.start();
}

void SocialTest::TearDown() {
    setSocialLogHandler({});
    SocialRequest::timeoutMilliseconds = 180000;
    _server.stop();
    IsolatedTest::TearDown();
}

void SocialTest::answerWith(int status, std::string body, std::string type) {
    std::lock_guard lock(_mutex);
    _status = status;
    _body = std::move(body);
    _type = std::move(type);
}

void SocialTest::redirectTo(std::string location) {
    std::lock_guard lock(_mutex);
    _status = 302;
    _location = std::move(location);
}

std::vector<SeenRequest> SocialTest::seen() const {
    std::lock_guard lock(_mutex);
    return _seen;
}

} // namespace grinsley::testing
