#include "TallyHTTPResponse.h"

#include <QCborMap>
#include <QCborValue>
#include <QFile>
#include <QUrl>

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Directories.h"

namespace grinsley {

TallyHTTPResponse TallyHTTPResponse::withResponse(std::optional<int> statusCode, const QVariantMap& headers,
                                                  const QByteArray& body, std::optional<platform::ErrorRecord> error) {
    if (!statusCode)
        return TallyHTTPResponse(std::nullopt, 0, std::nullopt, std::move(error));
    return TallyHTTPResponse(body, *statusCode, headers, std::move(error));
}

TallyHTTPResponse::TallyHTTPResponse(std::optional<QByteArray> body, int statusCode, std::optional<QVariantMap> headers,
                                     std::optional<platform::ErrorRecord> error)
    : _body(std::move(body)), _statusCode(statusCode), _error(std::move(error)), _headers(std::move(headers)) {}

QString TallyHTTPResponse::description() const {
    return QStringLiteral("status:%1 error:%2 body:%3")
        .arg(_statusCode)
        .arg(_error ? _error->localizedDescription() : QStringLiteral("(null)"),
             _body ? QString::fromUtf8(*_body) : QStringLiteral("(null)"));
}

QString TallyHTTPResponse::filePath(qint64 seconds) {
    return platform::Directories::documents() + QStringLiteral("/tallyResponse%1").arg(seconds);
}

QString TallyHTTPResponse::saveToDisk() const {
    QCborMap saved;
    saved.insert(QStringLiteral("statusCode"), _statusCode);
    saved.insert(QStringLiteral("body"), _body ? QCborValue(*_body) : QCborValue(QByteArray()));
    saved.insert(QStringLiteral("headers"), QCborMap::fromVariantMap(_headers.value_or(QVariantMap())));
    const QString path = filePath(platform::Clock::nowMilliseconds() / 1000);
    return platform::AtomicFile::write(path, saved.toCborValue().toCbor()) ? path : QString();
}

std::optional<TallyHTTPResponse> TallyHTTPResponse::readFromURL(const QString& url) {
    const QUrl location(url);
    QFile file(location.isLocalFile() ? location.toLocalFile() : url);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QCborValue saved = QCborValue::fromCbor(file.readAll());
    if (!saved.isMap() || !saved.toMap().value(QStringLiteral("statusCode")).isInteger())
        return std::nullopt;
    const QCborMap map = saved.toMap();
    return TallyHTTPResponse(map.value(QStringLiteral("body")).toByteArray(),
                             int(map.value(QStringLiteral("statusCode")).toInteger()),
                             map.value(QStringLiteral("headers")).toMap().toVariantMap(), std::nullopt);
}

} // namespace grinsley
