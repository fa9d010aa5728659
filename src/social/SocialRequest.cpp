#include "SocialRequest.h"

#include <cstdio>

#include <QBuffer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "json/QNJSON.h"
#include "json/Utf8.h"
#include "platform/CookieStore.h"

namespace grinsley {

namespace {

std::function<void(const QString&)>& logHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

// One network manager for the main thread, with the process's cookie store and no cache.
QNetworkAccessManager& network() {
    static QNetworkAccessManager* manager = [] {
        auto* m = new QNetworkAccessManager;
        m->setCookieJar(&platform::CookieStore::shared());
        platform::CookieStore::shared().setParent(nullptr); // shared with the web pages; it outlives the manager
        return m;
    }();
    return *manager;
}

bool isFile(const SocialParamValue& value) { return !std::holds_alternative<QString>(value); }

} // namespace

void setSocialLogHandler(std::function<void(const QString&)> handler) { logHandler() = std::move(handler); }

void socialLog(const QString& line) {
    if (logHandler())
        logHandler()(line);
    else
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

QVariant toVariant(const json::Value& value) {
    switch (value.kind()) {
    case json::Value::Kind::Boolean:
        return value.boolean();
    case json::Value::Kind::Number: {
        const json::Decimal number = value.number();
        if (const std::optional<std::int64_t> whole = number.toInt64())
            return qint64(*whole);
        return number.toDouble();
    }
    case json::Value::Kind::String:
        return QString::fromUtf8(value.string().data(), qsizetype(value.string().size()));
    case json::Value::Kind::Array: {
        QVariantList list;
        for (const json::Value& element : value.array())
            list.append(toVariant(element));
        return list;
    }
    case json::Value::Kind::Object: {
        QVariantMap map;
        for (const json::Member& member : value.object())
            map.insert(QString::fromUtf8(member.key().data(), qsizetype(member.key().size())), toVariant(member.value));
        return map;
    }
    default:
        return {};
    }
}

int SocialRequest::leadingInteger(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<long long>(value * 10 + (text[i].unicode() - u'0'), 1LL << 40);
    return int(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

QString SocialRequest::encodedPairs(const SocialParams& params, const QString& httpMethod) {
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (isFile(it.value())) {
            if (httpMethod == QLatin1String("GET"))
                socialLog(QStringLiteral("can not use GET to upload a file"));
            continue;
        }
        // Every byte but ASCII letters, digits and "-._~" as %XX: what may not stand in a URL and
        // "!*'();:@&=+$,/?%#[]". Keys go as they are.
        pairs.append(it.key() + QLatin1Char('=') + QString::fromLatin1(std::get<QString>(it.value()).toUtf8().toPercentEncoding()));
    }
    return pairs.join(QLatin1Char('&'));
}

std::shared_ptr<SocialRequest> SocialRequest::getRequestWithParams(SocialParamsRef params, const QString& httpMethod,
                                                                   SocialRequestDelegateRef delegate,
                                                                   const QString& requestURL) {
    std::shared_ptr<SocialRequest> request(new SocialRequest);
    request->_params = params ? std::move(params) : makeSocialParams();
    request->_httpMethod = httpMethod;
    request->_delegate = std::move(delegate);
    request->_url = requestURL;
    return request;
}

QString SocialRequest::serializeURL(const QString& baseUrl, const SocialParams& params, const QString& httpMethod) {
    const QString separator = QUrl(baseUrl).hasQuery() ? QStringLiteral("&") : QStringLiteral("?");
    return baseUrl + separator + encodedPairs(params, httpMethod);
}

SocialRequest::~SocialRequest() {
    if (_connection) {
        _connection->disconnect(this);
        _connection->abort();
        _connection->deleteLater();
    }
}

void SocialRequest::connect() {
    if (const auto d = liveDelegate(); d && d->requestLoading)
        d->requestLoading(this);
    const QString full = serializeURL(_url, *_params, _httpMethod);
    QNetworkRequest request(QUrl::fromEncoded(full.toUtf8()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false); // nothing is cached
    request.setTransferTimeout(timeoutMilliseconds);
    QNetworkReply* reply = nullptr;
    if (_httpMethod == QLatin1String("POST")) {
        request.setRawHeader("Content-Type", QByteArray("multipart/form-data; boundary=") + kBoundary);
        reply = network().post(request, generatePostBody());
    } else if (_httpMethod == QLatin1String("GET")) {
        reply = network().get(request);
    } else {
        reply = network().sendCustomRequest(request, _httpMethod.toUtf8());
    }
    _connection = reply;
    _keepAlive = shared_from_this(); // the connection keeps its request, as long as it is open
    QObject::connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A response begins: what an earlier response of this exchange sent is dropped.
        _responseText = QByteArray();
        if (const auto d = liveDelegate(); d && d->requestDidReceiveResponse)
            d->requestDidReceiveResponse(this, _connection);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, this, [this] {
        if (!_responseText)
            _responseText = QByteArray();
        _responseText->append(_connection->readAll());
    });
    QObject::connect(reply, &QNetworkReply::finished, this, [this] {
        QNetworkReply* reply = _connection;
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        const QNetworkReply::NetworkError error = reply->error();
        // An HTTP error status (4xx, 5xx) is an answer to read. No answer, or a transfer that did not complete
        // (cut off by a close, a reset or the timeout), is a failure whatever status came first.
        const bool statusError = (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
                                 (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
        if (error == QNetworkReply::NoError || (answered && statusError)) {
            if (!_responseText)
                _responseText = QByteArray();
            _responseText->append(reply->readAll());
            handleResponseData(*_responseText);
        } else {
            platform::ErrorRecord transport{kTransportErrorDomain, int(error), {}};
            transport.userInfo.insert(platform::ErrorRecord::LocalizedDescriptionKey, reply->errorString());
            transport.userInfo.insert(QStringLiteral("NSErrorFailingURLStringKey"), reply->url().toString());
            failWithError(transport);
        }
        finishLoading();
    });
}

void SocialRequest::finishLoading() {
    _responseText.reset();
    if (_connection) {
        _connection->disconnect(this);
        _connection->deleteLater();
        _connection = nullptr;
    }
    const std::shared_ptr<SocialRequest> self = std::move(_keepAlive); // may be the last reference: goes last
}

void SocialRequest::failWithError(const platform::ErrorRecord& error) {
    if (const auto d = liveDelegate(); d && d->requestDidFailWithError)
        d->requestDidFailWithError(this, error);
}

void SocialRequest::handleResponseData(const QByteArray& data) {
    const auto d = liveDelegate(); // held for the whole report: a delegate let go meanwhile still hears it out
    if (!d)
        return;
    if (d->requestDidLoadRawResponse)
        d->requestDidLoadRawResponse(this, data);
    if (!d->requestDidLoad && !d->requestDidFailWithError)
        return;
    auto [value, error] = parseJsonResponse(data);
    if (error) {
        failWithError(*error);
    } else if (d->requestDidLoad) {
        if (value)
            d->requestDidLoad(this, *value);
        else
            d->requestDidLoad(this, data);
    }
}

void SocialRequest::utfAppendBody(QByteArray& body, const QString& text) { body.append(text.toUtf8()); }

QByteArray SocialRequest::generatePostBody() const {
    QByteArray body;
    const QString boundary = QLatin1String(kBoundary);
    const QString delimiter = QStringLiteral("\r\n--%1\r\n").arg(boundary);
    utfAppendBody(body, QStringLiteral("--%1\r\n").arg(boundary));
    QList<QString> files;
    for (auto it = _params->cbegin(); it != _params->cend(); ++it) {
        if (isFile(it.value())) {
            files.append(it.key());
            continue;
        }
        utfAppendBody(body, QStringLiteral("Content-Disposition: form-data; name=\"%1\"\r\n\r\n").arg(it.key()));
        utfAppendBody(body, std::get<QString>(it.value()));
        utfAppendBody(body, delimiter);
    }
    for (const QString& key : std::as_const(files)) {
        const SocialParamValue& value = _params->value(key);
        QByteArray bytes;
        QString typeLine;
        if (const QImage* image = std::get_if<QImage>(&value)) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image->save(&buffer, "PNG");
            typeLine = QStringLiteral("Content-Type: image/png\r\n\r\n");
        } else {
            bytes = std::get<QByteArray>(value);
            typeLine = QStringLiteral("Content-Type: content/unknown\r\n\r\n");
        }
        utfAppendBody(body, QStringLiteral("Content-Disposition: form-data; filename=\"%1\"\r\n").arg(key));
        utfAppendBody(body, typeLine);
        body.append(bytes);
        utfAppendBody(body, delimiter);
    }
    return body;
}

platform::ErrorRecord SocialRequest::formError(int code, const QVariantMap& userInfo) {
    return {kErrorDomain, code, userInfo};
}

std::pair<std::optional<json::Value>, std::optional<platform::ErrorRecord>> SocialRequest::parseJsonResponse(
    const QByteArray& data) {
    const std::string_view bytes(data.constData(), std::size_t(data.size()));
    // Bytes that are not UTF-8 are no text at all.
    const std::optional<std::string_view> text =
        json::utf8::isValid(bytes) ? std::optional(bytes) : std::optional<std::string_view>();
    if (text == "true")
        return {json::Value(json::Object{{"result", "true"}}), std::nullopt};
    if (text == "false")
        return {std::nullopt, formError(kGeneralErrorCode, {{QStringLiteral("error_msg"),
                                                             QStringLiteral("This operation can not be completed")}})};
    QNJSON reader;
    std::optional<json::Value> value = reader.objectWithString(text);
    if (!value)
        return {};
    if (value->isArray())
        return {std::move(value), std::nullopt};
    const QVariantMap userInfo = toVariant(*value).toMap();
    if (value->find("error"))
        return {std::nullopt, formError(kGeneralErrorCode, userInfo)};
    if (const json::Value* code = value->find("error_code")) {
        int number = 0;
        if (code->isNumber())
            number = int(std::clamp<double>(code->number().toDouble(), INT_MIN, INT_MAX));
        else if (code->isString())
            number = leadingInteger(QString::fromUtf8(code->string().data(), qsizetype(code->string().size())));
        return {std::nullopt, formError(number, userInfo)};
    }
    if (value->find("error_msg") || value->find("error_reason"))
        return {std::move(value), formError(kGeneralErrorCode, userInfo)};
    return {std::move(value), std::nullopt};
}

} // namespace grinsley
