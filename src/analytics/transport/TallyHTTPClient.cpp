#include "TallyHTTPClient.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>

#include "analytics/TallyUtil.h"

namespace grinsley {

namespace {
std::atomic<unsigned> abortGeneration{0};
constexpr int abortPollMs = 50;

// A request body that can be read once. Qt's network stack sends a request again on its own (up to three
// times more) when a connection breaks or answers garbage, as long as it can rewind the body; a body it cannot
// rewind makes it give up instead, so a report reaches the server at most once per upload.
class OnceReadableBody : public QIODevice {
public:
    explicit OnceReadableBody(QByteArray bytes) : _bytes(std::move(bytes)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override { return _bytes.size() - _position + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 count = std::min<qint64>(maxSize, _bytes.size() - _position);
        if (count <= 0)
            return -1;
        std::memcpy(data, _bytes.constData() + _position, size_t(count));
        _position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray _bytes;
    qint64 _position = 0;
};
} // namespace

void TallyHTTPClient::abortAll() { ++abortGeneration; }

std::optional<TallyHTTPResponse> TallyHTTPClient::sendMethod(const QString& method, const QUrl& url,
                                                             const std::optional<QByteArray>& body,
                                                             const QVariantMap& headerFields, int timeoutSeconds,
                                                             bool /*useWebView: never on any path*/) {
    TallyUtil::log("Tally: %1: %2", method, url.toString());
    const unsigned generation = abortGeneration.load();
    QNetworkAccessManager manager; // on this thread, with no cache and no cookie jar of use
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    for (auto it = headerFields.cbegin(); it != headerFields.cend(); ++it)
        request.setRawHeader(it.key().toUtf8(), it.value().toString().toUtf8());
    std::optional<OnceReadableBody> once;
    QNetworkReply* reply = nullptr;
    if (body) {
        once.emplace(*body);
        request.setHeader(QNetworkRequest::ContentLengthHeader, body->size());
        request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        reply = manager.sendCustomRequest(request, method.toUtf8(), &*once);
    } else {
        reply = manager.sendCustomRequest(request, method.toUtf8());
    }

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The whole exchange has a deadline: a server that answers a byte at a time cannot hold it longer.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline.start(timeoutSeconds * 1000);
    QTimer abortWatch;
    QObject::connect(&abortWatch, &QTimer::timeout, reply, [reply, generation] {
        if (abortGeneration.load() != generation)
            reply->abort();
    });
    abortWatch.start(abortPollMs);
    if (!reply->isFinished())
        loop.exec();

    // A redirect that never ends is no answer: its last hop is not the server's reply.
    const bool redirectsFailed = reply->error() == QNetworkReply::TooManyRedirectsError ||
                                 reply->error() == QNetworkReply::InsecureRedirectError;
    const QVariant status =
        redirectsFailed ? QVariant() : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    std::optional<platform::ErrorRecord> error;
    if (reply->error() != QNetworkReply::NoError && !status.isValid()) {
        error = platform::ErrorRecord{QStringLiteral("QNetworkReply"), int(reply->error()),
                                      {{platform::ErrorRecord::LocalizedDescriptionKey, reply->errorString()}}};
    }
    QVariantMap headers;
    for (const auto& [name, value] : reply->rawHeaderPairs())
        headers.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    const TallyHTTPResponse response = TallyHTTPResponse::withResponse(
        status.isValid() ? std::optional(status.toInt()) : std::nullopt, headers, reply->readAll(), error);
    delete reply;
    TallyUtil::log("Tally: HTTP Response[%1]", response.description());
    return response;
}

TallyHTTPResponse TallyHTTPClient::get(const QUrl& url, const QVariantMap& headerFields) {
    return sendMethod(QStringLiteral("GET"), url, std::nullopt, headerFields, DEFAULT_TIMEOUT_SECONDS, false)
        .value_or(TallyHTTPResponse());
}

TallyHTTPResponse TallyHTTPClient::post(const QUrl& url, const QByteArray& body, const QVariantMap& headerFields) {
    return sendMethod(QStringLiteral("POST"), url, body, headerFields, DEFAULT_TIMEOUT_SECONDS, false)
        .value_or(TallyHTTPResponse());
}

QString TallyHTTPClient::queryDictionaryToString(const QVariantMap& query) {
    QStringList pairs;
    for (auto it = query.cbegin(); it != query.cend(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + it.value().toString());
    return pairs.join(QLatin1Char('&'));
}

QUrl TallyHTTPClient::urlWithProtocol(const QString& protocol, const QString& host, int port, const QString& path,
                                      const Query& query) {
    QString url = (protocol.isEmpty() ? QStringLiteral("http") : protocol) + QStringLiteral("://");
    url += host;
    if (port != 0 && port != 80)
        url += QStringLiteral(":%1").arg(port);
    if (!path.isNull())
        url += QLatin1Char('/') + path;
    if (const auto* map = std::get_if<QVariantMap>(&query))
        url += QLatin1Char('?') + queryDictionaryToString(*map);
    else if (const auto* text = std::get_if<QString>(&query))
        url += QLatin1Char('?') + *text;
    return QUrl(url);
}

} // namespace grinsley
