#include "SocialSession.h"

#include <QUrl>

#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/UrlOpener.h"

namespace grinsley {

namespace {
SocialSession::LoginDialogFactory& loginDialogFactory() {
    static SocialSession::LoginDialogFactory factory;
    return factory;
}
SocialSession::DialogFactory& dialogFactory() {
    static SocialSession::DialogFactory factory;
    return factory;
}
const QString display = QStringLiteral("touch");
const QString sdkParameter = QStringLiteral("2");
} // namespace

SocialSession::Configuration& SocialSession::configuration() {
    static Configuration config;
    return config;
}

void SocialSession::setDialogFactories(LoginDialogFactory login, DialogFactory dialog) {
    loginDialogFactory() = std::move(login);
    dialogFactory() = std::move(dialog);
}

QDateTime SocialSession::distantFuture() { return QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC); }

QDateTime SocialSession::expiryAfterSeconds(int seconds) {
    return seconds == 0 ? distantFuture() : platform::Clock::now().addSecs(seconds);
}

bool SocialSession::isAuthorizationPending() const {
    return _authorizationPendingUntil && platform::Clock::nowMilliseconds() <= *_authorizationPendingUntil;
}

SocialSession::SocialSession(const QString& appId) : _appId(appId) {}

SocialSession::~SocialSession() = default;

QString SocialSession::callbackURL() const { return QStringLiteral("sn%1://authorize").arg(_appId); }

void SocialSession::authorize(const QStringList& permissions, SocialSessionDelegateRef delegate) {
    _permissions = permissions;
    _sessionDelegate = std::move(delegate);
    authorizeWithAppAuth(true, true);
}

// On a desktop every program can hand a URL to another, so the multitasking question is always yes.
void SocialSession::authorizeWithAppAuth(bool tryApp, bool tryBrowser) {
    SocialParamsRef params = makeSocialParams({{QStringLiteral("client_id"), _appId},
                                               {QStringLiteral("type"), QStringLiteral("user_agent")},
                                               {QStringLiteral("redirect_uri"), QLatin1String(kRedirectURL)},
                                               {QStringLiteral("display"), display},
                                               {QStringLiteral("sdk"), sdkParameter}});
    if (!_permissions.isEmpty())
        params->insert(QStringLiteral("scope"), _permissions.join(QLatin1Char(',')));
    const QString loginURL = configuration().dialogBaseURL + QLatin1String(kLoginAction);
    bool opened = false;
    if (tryApp)
        opened = platform::UrlOpener::open(QUrl(SocialRequest::serializeURL(QLatin1String(kAppAuthURL), *params)));
    if (tryBrowser && !opened) {
        params->insert(QStringLiteral("redirect_uri"), callbackURL());
        opened = platform::UrlOpener::open(QUrl(SocialRequest::serializeURL(loginURL, *params)));
    }
    if (opened) { // the answer comes back through handleOpenURL
        _authorizationPendingUntil =
            platform::Clock::nowMilliseconds() + qint64(configuration().authorizationTimeLimitSeconds) * 1000;
        return;
    }
    _authorizationPendingUntil.reset();
    // The in-app page recognises only its own redirect; the program's callback set for the browser would leave
    // it waiting for ever.
    params->insert(QStringLiteral("redirect_uri"), QLatin1String(kRedirectURL));
    _loginDialog.reset();
    if (!loginDialogFactory()) {
        socialLog(QStringLiteral("no in-app login page to show"));
        dialogNotLogin(false);
        return;
    }
    _loginDialog = loginDialogFactory()(loginURL, params, this);
    if (_loginDialog)
        _loginDialog->show();
}

QMap<QString, QString> SocialSession::parseURLParams(const QString& query) {
    QMap<QString, QString> params;
    for (const QString& piece : query.split(QLatin1Char('&'))) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() < 2)
            continue; // a piece without "=" has no value: left out
        params.insert(parts.at(0), QUrl::fromPercentEncoding(parts.at(1).toUtf8()));
    }
    return params;
}

bool SocialSession::handleOpenURL(const QString& url) {
    if (!url.startsWith(callbackURL()))
        return false;
    if (!isAuthorizationPending()) {
        socialLog(QStringLiteral("refused an authorization redirect that this session did not ask for"));
        return false;
    }
    _authorizationPendingUntil.reset();
    const qsizetype hash = url.indexOf(QLatin1Char('#'));
    QString text = hash >= 0 ? url.mid(hash + 1) : QString();
    if (text.isEmpty()) {
        const qsizetype question = url.indexOf(QLatin1Char('?'));
        text = question >= 0 ? url.mid(question + 1, hash > question ? hash - question - 1 : -1) : QString();
    }
    const QMap<QString, QString> params = parseURLParams(text);
    if (params.contains(QStringLiteral("access_token"))) {
        const int seconds = SocialRequest::leadingInteger(params.value(QStringLiteral("expires_in")));
        dialogLogin(params.value(QStringLiteral("access_token")), expiryAfterSeconds(seconds));
        return true;
    }
    const QString reason = params.value(QStringLiteral("error"));
    if (reason == QLatin1String("service_disabled_use_browser")) {
        authorizeWithAppAuth(false, true);
        return true;
    }
    if (reason == QLatin1String("service_disabled")) {
        authorizeWithAppAuth(false, false);
        return true;
    }
    const bool cancelled = !params.contains(QStringLiteral("error_code")) &&
                           (!params.contains(QStringLiteral("error")) || reason == QLatin1String("access_denied"));
    if (const auto d = liveDelegate(); d && d->sessionDidNotLogin)
        d->sessionDidNotLogin(cancelled);
    return true;
}

void SocialSession::logout(SocialSessionDelegateRef delegate) {
    _sessionDelegate = std::move(delegate);
    requestWithMethodName(QLatin1String(kExpireSessionMethod), makeSocialParams(), QStringLiteral("GET"), {});
    _accessToken.clear();
    _expirationDate.reset();
    platform::CookieStore& cookies = platform::CookieStore::shared();
    for (const QNetworkCookie& cookie : cookies.cookiesForUrl(QUrl(configuration().loginHost)))
        cookies.deleteCookie(cookie);
    if (const auto d = liveDelegate(); d && d->sessionDidLogout)
        d->sessionDidLogout();
}

bool SocialSession::isSessionValid() const {
    return !_accessToken.isEmpty() && _expirationDate && *_expirationDate > platform::Clock::now();
}

void SocialSession::requestWithGraphPath(const QString& path, SocialRequestDelegateRef delegate) {
    requestWithGraphPath(path, makeSocialParams(), QStringLiteral("GET"), std::move(delegate));
}

void SocialSession::requestWithGraphPath(const QString& path, SocialParamsRef params, SocialRequestDelegateRef delegate) {
    requestWithGraphPath(path, std::move(params), QStringLiteral("GET"), std::move(delegate));
}

void SocialSession::requestWithGraphPath(const QString& path, SocialParamsRef params, const QString& httpMethod,
                                         SocialRequestDelegateRef delegate) {
    openUrl(configuration().objectApiBaseURL + path, std::move(params), httpMethod, std::move(delegate));
}

void SocialSession::requestWithMethodName(const QString& methodName, SocialParamsRef params, const QString& httpMethod,
                                          SocialRequestDelegateRef delegate) {
    openUrl(configuration().restApiBaseURL + methodName, std::move(params), httpMethod, std::move(delegate));
}

void SocialSession::requestWithParams(SocialParamsRef params, SocialRequestDelegateRef delegate) {
    const QString key = QStringLiteral("method");
    if (!params || !params->contains(key) || !std::holds_alternative<QString>(params->value(key))) {
        socialLog(QStringLiteral("API Method must be specified"));
        return;
    }
    const QString methodName = std::get<QString>(params->take(key));
    requestWithMethodName(methodName, std::move(params), QStringLiteral("GET"), std::move(delegate));
}

void SocialSession::openUrl(const QString& url, SocialParamsRef params, const QString& httpMethod,
                            SocialRequestDelegateRef delegate) {
    if (!params)
        params = makeSocialParams();
    params->insert(QStringLiteral("format"), QStringLiteral("json"));
    params->insert(QStringLiteral("sdk"), QLatin1String(kSDK));
    params->insert(QStringLiteral("sdk_version"), QLatin1String(kSDKVersion));
    if (isSessionValid())
        params->insert(QStringLiteral("access_token"), _accessToken);
    _request = SocialRequest::getRequestWithParams(std::move(params), httpMethod, std::move(delegate), url);
    _request->connect();
}

void SocialSession::dialog(const QString& action, SocialDialogDelegateRef delegate) {
    dialog(action, makeSocialParams(), std::move(delegate));
}

void SocialSession::dialog(const QString& action, SocialParamsRef params, SocialDialogDelegateRef delegate) {
    _socialDialog.reset();
    if (!params)
        params = makeSocialParams();
    const QString url = configuration().dialogBaseURL + action;
    params->insert(QStringLiteral("display"), display);
    params->insert(QStringLiteral("sdk"), sdkParameter);
    params->insert(QStringLiteral("redirect_uri"), QLatin1String(kRedirectURL));
    if (action == QLatin1String(kLoginAction)) {
        params->insert(QStringLiteral("type"), QStringLiteral("user_agent"));
        if (loginDialogFactory())
            _socialDialog = loginDialogFactory()(url, params, this);
    } else {
        params->insert(QStringLiteral("app_id"), _appId);
        if (isSessionValid()) // the dialog escapes it again when it builds its URL
            params->insert(QStringLiteral("access_token"), QUrl::fromPercentEncoding(_accessToken.toUtf8()));
        if (dialogFactory())
            _socialDialog = dialogFactory()(url, params, std::move(delegate));
    }
    if (_socialDialog)
        _socialDialog->show();
    else
        socialLog(QStringLiteral("no dialog screen to show \"%1\"").arg(action));
}

void SocialSession::dialogLogin(const QString& token, const std::optional<QDateTime>& expirationDate) {
    _accessToken = token;
    _expirationDate = expirationDate;
    if (const auto d = liveDelegate(); d && d->sessionDidLogin)
        d->sessionDidLogin();
}

void SocialSession::dialogNotLogin(bool cancelled) {
    if (const auto d = liveDelegate(); d && d->sessionDidNotLogin)
        d->sessionDidNotLogin(cancelled);
}

} // namespace grinsley
