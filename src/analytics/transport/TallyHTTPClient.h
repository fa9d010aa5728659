#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "TallyHTTPResponse.h"

namespace grinsley {

// One HTTP request, answered synchronously to its caller: no cache, no cookies, redirects followed, a
// deadline. It runs on the calling thread's own event loop (an upload thread has one of its own; the main
// thread's loop keeps running meanwhile), so it never needs the interface thread.
class TallyHTTPClient {
public:
    static constexpr int DEFAULT_TIMEOUT_SECONDS = 20;

    static std::optional<TallyHTTPResponse> sendMethod(const QString& method, const QUrl& url,
                                                       const std::optional<QByteArray>& body,
                                                       const QVariantMap& headerFields, int timeoutSeconds,
                                                       bool useWebView);
    static TallyHTTPResponse get(const QUrl& url, const QVariantMap& headerFields = {});
    static TallyHTTPResponse post(const QUrl& url, const QByteArray& body, const QVariantMap& headerFields = {});

    using Query = std::variant<std::monostate, QVariantMap, QString>;
    // protocol://host[:port][/path][?query]; no protocol is http, ports 0 and 80 are left out, a query map is
    // joined as key=value pairs with "&" (no escaping).
    static QUrl urlWithProtocol(const QString& protocol, const QString& host, int port, const QString& path,
                                const Query& query);
    static QString queryDictionaryToString(const QVariantMap& query);

    // Ends every request in flight at once, as failures (quitting when its deadline has passed).
    static void abortAll();
};

} // namespace grinsley
