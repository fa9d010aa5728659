#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include "platform/ErrorRecord.h"

namespace grinsley {

// What the collection endpoint answered: body, status (0 without an answer), headers, and the transport's
// error. Any status from 200 to 399 is a success.
class TallyHTTPResponse {
public:
    TallyHTTPResponse() = default;
    // From an answer (none when nothing came back: no body, no headers, status 0) and the transport's error.
    static TallyHTTPResponse withResponse(std::optional<int> statusCode, const QVariantMap& headers,
                                          const QByteArray& body, std::optional<platform::ErrorRecord> error);
    TallyHTTPResponse(std::optional<QByteArray> body, int statusCode, std::optional<QVariantMap> headers,
                      std::optional<platform::ErrorRecord> error);

    const std::optional<QByteArray>& body() const { return _body; }
    int statusCode() const { return _statusCode; }
    const std::optional<platform::ErrorRecord>& error() const { return _error; }
    const std::optional<QVariantMap>& headers() const { return _headers; }

    bool isSuccess() const { return _statusCode >= 200 && _statusCode < 400; }
    bool isError() const { return !isSuccess(); }
    QString description() const;

    // The saved form, for diagnostics: a CBOR map of "statusCode", "body" and "headers" in the documents
    // folder, named for the time in seconds. Returns the path, or an empty string when it could not be written.
    QString saveToDisk() const;
    // A response saved that way, from a file URL or path; none when it cannot be read.
    static std::optional<TallyHTTPResponse> readFromURL(const QString& url);
    static QString filePath(qint64 seconds);

private:
    std::optional<QByteArray> _body;
    int _statusCode = 0;
    std::optional<platform::ErrorRecord> _error;
    std::optional<QVariantMap> _headers;
};

} // namespace grinsley
