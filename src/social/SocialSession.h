#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include "social/SocialRequest.h"

namespace grinsley {

// The session's callbacks; an empty member is one the delegate does not take. Held weakly.
struct SocialSessionDelegate {
    std::function<void()> sessionDidLogin;
    std::function<void(bool cancelled)> sessionDidNotLogin;
    std::function<void()> sessionDidLogout;
};
using SocialSessionDelegateRef = std::weak_ptr<const SocialSessionDelegate>;

// What the in-app login page reports to its session (both required).
class SocialLoginDialogDelegate {
public:
    virtual ~SocialLoginDialogDelegate() = default;
    // An empty expiry: the page gave none.
    virtual void dialogLogin(const QString& token, const std::optional<QDateTime>& expirationDate) = 0;
    virtual void dialogNotLogin(bool cancelled) = 0;
};

// The web dialogs' callbacks.
class SocialDialog;
struct SocialDialogDelegate {
    std::function<void(const QString& url)> dialogCompleteWithUrl;
    std::function<void(const QString& url)> dialogDidNotCompleteWithUrl;
    std::function<void(SocialDialog*)> dialogDidComplete;
    std::function<void(SocialDialog*)> dialogDidNotComplete;
    std::function<void(SocialDialog*, const platform::ErrorRecord&)> dialogDidFailWithError;
    std::function<bool(SocialDialog*, const QString& url)> dialogShouldOpenURLInExternalBrowser;
};
using SocialDialogDelegateRef = std::weak_ptr<const SocialDialogDelegate>;

// A dialog the session made and keeps until the next one; shown by `show`.
class SocialDialogBase {
public:
    virtual ~SocialDialogBase() = default;
    virtual void show() = 0;
};

// The application's handle on one account at the social network: authorization (another program, the browser,
// or the in-app login page), the token from the redirect, logout, and the factory for requests and dialogs.
// The token and its expiry live in this object only: never on disk, never in a log. Main thread only.
class SocialSession : public QObject, public SocialLoginDialogDelegate {
    Q_OBJECT
public:
    // Where the service is; tests point these at 127.0.0.1.
    struct Configuration {
        QString objectApiBaseURL = QStringLiteral("https://graph.plaza.social/");
        QString restApiBaseURL = QStringLiteral("https://api.plaza.social/method/");
        QString dialogBaseURL = QStringLiteral("https://m.plaza.social/dialog/");
        QString loginHost = QStringLiteral("http://login.plaza.social");
        // How long an authorization started in another program waits for its redirect.
        int authorizationTimeLimitSeconds = 600;
    };
    static Configuration& configuration();

    static constexpr const char* kLoginAction = "oauth";
    static constexpr const char* kRedirectURL = "snconnect://success";
    static constexpr const char* kAppAuthURL = "snauth://authorize";
    static constexpr const char* kSDK = "ios";
    static constexpr const char* kSDKVersion = "2";
    static constexpr const char* kExpireSessionMethod = "auth.expireSession";

    // Makes the in-app login page or a web dialog; the dialog screens install these. Without one, the login
    // reports a failed login and a dialog is not shown.
    using LoginDialogFactory = std::function<std::unique_ptr<SocialDialogBase>(
        const QString& url, SocialParamsRef params, SocialLoginDialogDelegate* loginDelegate)>;
    using DialogFactory = std::function<std::unique_ptr<SocialDialogBase>(
        const QString& url, SocialParamsRef params, SocialDialogDelegateRef delegate)>;
    static void setDialogFactories(LoginDialogFactory login, DialogFactory dialog);

    explicit SocialSession(const QString& appId); // initWithAppId:
    ~SocialSession() override;

    void authorize(const QStringList& permissions, SocialSessionDelegateRef delegate);
    bool handleOpenURL(const QString& url);
    void logout(SocialSessionDelegateRef delegate);
    bool isSessionValid() const;

    void requestWithGraphPath(const QString& path, SocialRequestDelegateRef delegate);
    void requestWithGraphPath(const QString& path, SocialParamsRef params, SocialRequestDelegateRef delegate);
    void requestWithGraphPath(const QString& path, SocialParamsRef params, const QString& httpMethod,
                              SocialRequestDelegateRef delegate);
    void requestWithMethodName(const QString& methodName, SocialParamsRef params, const QString& httpMethod,
                               SocialRequestDelegateRef delegate);
    void requestWithParams(SocialParamsRef params, SocialRequestDelegateRef delegate);

    void dialog(const QString& action, SocialDialogDelegateRef delegate);
    void dialog(const QString& action, SocialParamsRef params, SocialDialogDelegateRef delegate);

    const QString& accessToken() const { return _accessToken; }
    void setAccessToken(const QString& token) { _accessToken = token; }
    const std::optional<QDateTime>& expirationDate() const { return _expirationDate; }
    void setExpirationDate(const std::optional<QDateTime>& date) { _expirationDate = date; }
    SocialSessionDelegateRef sessionDelegate() const { return _sessionDelegate; }
    void setSessionDelegate(SocialSessionDelegateRef delegate) { _sessionDelegate = std::move(delegate); }
    const QString& appId() const { return _appId; }
    const QStringList& permissions() const { return _permissions; }
    const std::shared_ptr<SocialRequest>& lastRequest() const { return _request; }
    SocialDialogBase* loginDialog() const { return _loginDialog.get(); }
    SocialDialogBase* lastDialog() const { return _socialDialog.get(); }

    // SocialLoginDialogDelegate
    void dialogLogin(const QString& token, const std::optional<QDateTime>& expirationDate) override;
    void dialogNotLogin(bool cancelled) override;

    // "sn<app id>://authorize": where the service sends the browser back to this program.
    QString callbackURL() const;
    void authorizeWithAppAuth(bool tryApp, bool tryBrowser);
    void openUrl(const QString& url, SocialParamsRef params, const QString& httpMethod, SocialRequestDelegateRef delegate);
    static QMap<QString, QString> parseURLParams(const QString& query);
    // The date a token that never expires is given.
    static QDateTime distantFuture();
    // The expiry "expires_in" seconds from now gives: 0 never expires, a negative count has expired already.
    static QDateTime expiryAfterSeconds(int seconds);
    // Whether this session sent the user to another program to log in and still waits for the redirect.
    bool isAuthorizationPending() const;

private:
    std::shared_ptr<const SocialSessionDelegate> liveDelegate() const { return _sessionDelegate.lock(); }

    QString _accessToken;
    std::optional<QDateTime> _expirationDate;
    SocialSessionDelegateRef _sessionDelegate;
    std::shared_ptr<SocialRequest> _request;
    std::unique_ptr<SocialDialogBase> _loginDialog;
    std::unique_ptr<SocialDialogBase> _socialDialog;
    QString _appId;
    QStringList _permissions;
    // Until when a redirect carrying a token is taken: set when another program was asked to log the user
    // in, cleared by the redirect. Any program can hand this program a URL, so an unasked-for one is refused.
    std::optional<qint64> _authorizationPendingUntil;
};

} // namespace grinsley
