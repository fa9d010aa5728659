#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include "json/JsonValue.h"
#include "platform/ErrorRecord.h"

class QNetworkReply;

namespace grinsley {

class SocialRequest;

// A parameter's value: text, an image (sent as PNG) or raw bytes.
using SocialParamValue = std::variant<QString, QImage, QByteArray>;
// The parameter map. Requests and sessions hold it by reference, shared with its creator, and change it in place.
// Keys iterate in their sorted order.
using SocialParams = QMap<QString, SocialParamValue>;
using SocialParamsRef = std::shared_ptr<SocialParams>;
inline SocialParamsRef makeSocialParams(SocialParams params = {}) {
    return std::make_shared<SocialParams>(std::move(params));
}

// What a request loaded: the parsed JSON value, or the raw body when it did not parse.
using SocialResult = std::variant<json::Value, QByteArray>;

// The request's callbacks; an empty member is a callback the delegate does not take. The request holds the
// delegate weakly: once its owner lets it go, nothing more is reported.
struct SocialRequestDelegate {
    std::function<void(SocialRequest*)> requestLoading;
    std::function<void(SocialRequest*, const QNetworkReply* response)> requestDidReceiveResponse;
    std::function<void(SocialRequest*, const QByteArray& raw)> requestDidLoadRawResponse;
    std::function<void(SocialRequest*, const SocialResult& result)> requestDidLoad;
    std::function<void(SocialRequest*, const platform::ErrorRecord& error)> requestDidFailWithError;
};
using SocialRequestDelegateRef = std::weak_ptr<const SocialRequestDelegate>;

// One call to the social network's HTTP API, on the main thread: the URL with its query, a multipart body for
// POST, the answer read as JSON with the service's error conventions. While it loads it keeps itself alive, so a
// request its creator dropped still completes and reports.
class SocialRequest : public QObject, public std::enable_shared_from_this<SocialRequest> {
    Q_OBJECT
public:
    static constexpr const char* kBoundary = "Kq7vT2mXw9Lz4RbN8cYp3HdF6sJg1EaU5oWiMn0B";
    static constexpr const char* kUserAgent = "SocialConnect";
    static constexpr int kGeneralErrorCode = 10000;
    static inline const QString kErrorDomain = QStringLiteral("socialErrDomain");
    // The transport's own errors keep their domain: Qt's network error codes.
    static inline const QString kTransportErrorDomain = QStringLiteral("QNetworkReply");
    // 180 seconds; tests make it short.
    static inline int timeoutMilliseconds = 180000;

    static std::shared_ptr<SocialRequest> getRequestWithParams(SocialParamsRef params, const QString& httpMethod,
                                                               SocialRequestDelegateRef delegate,
                                                               const QString& requestURL);
    static QString serializeURL(const QString& baseUrl, const SocialParams& params,
                                const QString& httpMethod = QStringLiteral("GET"));
    // The text parameters as "key=value" joined with "&", values escaped; files are left out (and logged on GET).
    static QString encodedPairs(const SocialParams& params, const QString& httpMethod);
    // A number as the service writes it in text ("190", " 3600"): blanks, a sign, digits; anything else ends it.
    static int leadingInteger(QStringView text);

    ~SocialRequest() override;

    void connect();
    bool loading() const { return _connection != nullptr; }

    SocialRequestDelegateRef delegate() const { return _delegate; }
    void setDelegate(SocialRequestDelegateRef delegate) { _delegate = std::move(delegate); }
    const QString& url() const { return _url; }
    void setUrl(const QString& url) { _url = url; }
    const QString& httpMethod() const { return _httpMethod; }
    void setHttpMethod(const QString& method) { _httpMethod = method; }
    const SocialParamsRef& params() const { return _params; }
    void setParams(SocialParamsRef params) { _params = std::move(params); }
    QNetworkReply* connection() const { return _connection; }
    const std::optional<QByteArray>& responseText() const { return _responseText; }

    QByteArray generatePostBody() const;
    static void utfAppendBody(QByteArray& body, const QString& text);
    // The body as the service's JSON: a value, an error, both (a map with a message) or neither.
    static std::pair<std::optional<json::Value>, std::optional<platform::ErrorRecord>> parseJsonResponse(
        const QByteArray& data);
    static platform::ErrorRecord formError(int code, const QVariantMap& userInfo);

private:
    SocialRequest() = default;
    void handleResponseData(const QByteArray& data);
    void failWithError(const platform::ErrorRecord& error);
    void finishLoading();
    std::shared_ptr<const SocialRequestDelegate> liveDelegate() const { return _delegate.lock(); }

    SocialRequestDelegateRef _delegate;
    QString _url;
    QString _httpMethod;
    SocialParamsRef _params;
    QNetworkReply* _connection = nullptr; // owned while loading
    std::optional<QByteArray> _responseText;
    std::shared_ptr<SocialRequest> _keepAlive; // itself, while loading
};

// Where the client's few log lines go: standard error unless a handler is set (an empty one restores that).
void setSocialLogHandler(std::function<void(const QString&)> handler);
void socialLog(const QString& line);

// A JSON value as the platform's map-and-list form, for error records' user info.
QVariant toVariant(const json::Value& value);

} // namespace grinsley
