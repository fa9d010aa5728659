#include <QDir>
#include <QFile>
#include <QNetworkCookie>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include "SocialTest.h"
#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/UrlOpener.h"
#include "social/SocialSession.h"
#include "support/SettableClock.h"

using namespace grinsley;
using grinsley::testing::Recorder;

namespace {

constexpr const char* appId = GRINSLEY_SOCIAL_APP_ID;
const QString callback = QStringLiteral("sn314159265358979://authorize");

// A session delegate that writes down what it heard.
struct Heard {
    std::vector<std::string> calls;
    std::shared_ptr<SocialSessionDelegate> delegate() {
        auto d = std::make_shared<SocialSessionDelegate>();
        d->sessionDidLogin = [this] { calls.push_back("login"); };
        d->sessionDidNotLogin = [this](bool cancelled) { calls.push_back(cancelled ? "cancelled" : "failed"); };
        d->sessionDidLogout = [this] { calls.push_back("logout"); };
        return d;
    }
};

// The in-app login page as the session asks for it.
struct ShownLogin : SocialDialogBase {
    void show() override { shown = true; }
    bool shown = false;
};

class SocialSessionTest : public grinsley::testing::SocialTest {
protected:
    void SetUp() override {
        SocialTest::SetUp();
        saved = SocialSession::configuration();
        SocialSession::configuration() = {url("/graph/"), url("/method/"), url("/dialog/"), url("/")};
        platform::UrlOpener::setHandler([this](const QUrl& u) {
            opened.push_back(u.toString(QUrl::FullyEncoded));
            return takes(u);
        });
        SocialSession::setDialogFactories(
            [this](const QString& u, SocialParamsRef params, SocialLoginDialogDelegate* delegate) {
                loginUrl = u;
                loginParams = params;
                loginDelegate = delegate;
                return std::unique_ptr<SocialDialogBase>(new ShownLogin);
            },
            [this](const QString& u, SocialParamsRef params, SocialDialogDelegateRef) {
                dialogUrl = u;
                dialogParams = params;
                return std::unique_ptr<SocialDialogBase>(new ShownLogin);
            });
    }
    void TearDown() override {
        SocialSession::configuration() = saved;
        SocialSession::setDialogFactories({}, {});
        platform::UrlOpener::setHandler({});
        SocialTest::TearDown();
    }
    // The query of what the server last saw, decoded.
    QUrlQuery lastQuery() const {
        const auto s = seen();
        return s.empty() ? QUrlQuery() : QUrlQuery(QUrl(QString::fromStdString(s.back().target)).query());
    }
    static std::string param(const SocialParamsRef& params, const char* key) {
        return params && params->contains(key) ? std::get<QString>(params->value(key)).toStdString() : "<none>";
    }

    // Starts an authorization that the browser takes, as a user's Login would; then no program takes URLs.
    void loginInTheBrowser(SocialSession& session, SocialSessionDelegateRef delegate) {
        takes = [](const QUrl& u) { return u.scheme() == "http"; };
        session.authorize({}, std::move(delegate));
        takes = [](const QUrl&) { return false; };
        opened.clear();
    }

    std::function<bool(const QUrl&)> takes = [](const QUrl&) { return false; };
    std::vector<QString> opened;
    QString loginUrl, dialogUrl;
    SocialParamsRef loginParams, dialogParams;
    SocialLoginDialogDelegate* loginDelegate = nullptr;
    SocialSession::Configuration saved;
    grinsley::testing::SettableClock clock;
};

} // namespace

// The redirect back to the program: which URLs belong to the session and what each one reports.
TEST_F(SocialSessionTest, RedirectsBackToTheProgram) {
    Heard heard;
    auto delegate = heard.delegate();
    SocialSession session(appId);
    session.setSessionDelegate(delegate);

    EXPECT_FALSE(session.handleOpenURL("http://example.com/#access_token=x"));
    EXPECT_FALSE(session.handleOpenURL("sn999://authorize#access_token=x"));
    EXPECT_TRUE(heard.calls.empty());
    EXPECT_TRUE(session.accessToken().isEmpty());

    const auto redirect = [&](const QString& tail) {
        loginInTheBrowser(session, delegate);
        return session.handleOpenURL(callback + tail);
    };
    EXPECT_TRUE(redirect("#access_token=ab%2Fc%3D&expires_in=0"));
    EXPECT_EQ(session.accessToken(), "ab/c=") << "values decoded";
    EXPECT_EQ(*session.expirationDate(), SocialSession::distantFuture());
    EXPECT_TRUE(session.isSessionValid());
    EXPECT_TRUE(redirect("?access_token=fromquery&expires_in=3600"));
    EXPECT_EQ(session.accessToken(), "fromquery") << "no fragment: the query";
    EXPECT_EQ(*session.expirationDate(), clock.now().addSecs(3600));
    EXPECT_TRUE(redirect("?access_token=q#access_token=frag=ment&expires_in=soon"));
    EXPECT_EQ(session.accessToken(), "frag") << "the fragment first; a value stops at its own \"=\"";
    EXPECT_EQ(*session.expirationDate(), SocialSession::distantFuture()) << "not a number: never expires";
    EXPECT_TRUE(redirect("#access_token=old&expires_in=-60"));
    EXPECT_EQ(*session.expirationDate(), clock.now().addSecs(-60)) << "a negative count has expired already";
    EXPECT_FALSE(session.isSessionValid());
    EXPECT_EQ(heard.calls, (std::vector<std::string>(4, "login")));

    heard.calls.clear();
    const std::pair<const char*, const char*> failures[] = {
        {"#error=access_denied", "cancelled"},
        {"#error=access_denied&error_code=200", "failed"},
        {"#error_code=1", "failed"},
        {"#state=x", "cancelled"},
        {"#error=unknown_thing", "failed"},
        {"", "cancelled"},
    };
    for (const auto& [tail, outcome] : failures) {
        EXPECT_TRUE(redirect(tail)) << tail;
        EXPECT_EQ(heard.calls.back(), outcome) << tail;
    }
    EXPECT_EQ(SocialSession::parseURLParams("a=1&b&c=x%20y+z&a=2"),
              (QMap<QString, QString>{{"a", "2"}, {"c", "x y+z"}}));
}

// A token handed to the program is taken only as the answer to this session's own authorization, once, and
// within the time limit: any program can hand the program a URL.
TEST_F(SocialSessionTest, OnlyAnAskedForRedirectLogsIn) {
    Heard heard;
    auto delegate = heard.delegate();
    SocialSession session(appId);
    session.setSessionDelegate(delegate);
    const QString planted = callback + "#access_token=someone-else&expires_in=0";
    EXPECT_FALSE(session.handleOpenURL(planted)) << "nobody asked";
    loginInTheBrowser(session, delegate);
    EXPECT_TRUE(session.isAuthorizationPending());
    EXPECT_TRUE(session.handleOpenURL(callback + "#access_token=mine&expires_in=0"));
    EXPECT_FALSE(session.handleOpenURL(planted)) << "the authorization has had its answer";
    loginInTheBrowser(session, delegate);
    clock.advance((SocialSession::configuration().authorizationTimeLimitSeconds + 1) * 1000LL);
    EXPECT_FALSE(session.handleOpenURL(planted)) << "too late";
    EXPECT_EQ(session.accessToken(), "mine");
    EXPECT_EQ(heard.calls, std::vector<std::string>{"login"});
    session.authorize({}, delegate); // nothing takes it: the in-app page, whose own redirect is no URL of ours
    EXPECT_FALSE(session.handleOpenURL(planted));
}

// Authorization asks another program first, then the browser with the program's own callback; the answer comes
// back through the redirect.
TEST_F(SocialSessionTest, AuthorizationGoesToTheBrowserWithTheCallback) {
    takes = [](const QUrl& u) { return u.scheme() == "http"; }; // no program for "snauth"; a browser
    Heard heard;
    auto delegate = heard.delegate();
    SocialSession session(appId);
    session.authorize({"publish_stream", "photo_upload"}, delegate);
    ASSERT_EQ(opened.size(), 2u);
    const QUrl app(opened[0]);
    EXPECT_EQ(app.scheme() + "://" + app.host(), "snauth://authorize");
    EXPECT_EQ(QUrlQuery(app).queryItemValue("redirect_uri", QUrl::FullyDecoded), "snconnect://success");
    const QUrl browser(opened[1]);
    EXPECT_EQ(browser.toString(QUrl::RemoveQuery), url("/dialog/oauth"));
    const QUrlQuery query(browser);
    EXPECT_EQ(query.queryItemValue("client_id"), appId);
    EXPECT_EQ(query.queryItemValue("type"), "user_agent");
    EXPECT_EQ(query.queryItemValue("display"), "touch");
    EXPECT_EQ(query.queryItemValue("sdk"), "2");
    EXPECT_EQ(query.queryItemValue("scope", QUrl::FullyDecoded), "publish_stream,photo_upload");
    EXPECT_EQ(query.queryItemValue("redirect_uri", QUrl::FullyDecoded), callback);
    EXPECT_EQ(loginDelegate, nullptr) << "no in-app page while the browser has it";
    EXPECT_TRUE(session.handleOpenURL(callback + "#access_token=t&expires_in=60"));
    EXPECT_EQ(heard.calls, std::vector<std::string>{"login"});
}

// When nothing takes the URL, and at the service's "service_disabled", the in-app page comes; it always gets
// its own redirect, never the program's callback (which it could not recognise). "Use the browser" asks only
// the browser.
TEST_F(SocialSessionTest, TheInAppLoginAndTheServiceDisabledRetries) {
    Heard heard;
    auto delegate = heard.delegate();
    SocialSession session(appId);
    session.authorize({}, delegate);
    EXPECT_EQ(opened.size(), 2u) << "both asked, neither took it";
    ASSERT_EQ(loginDelegate, &session);
    EXPECT_TRUE(static_cast<ShownLogin*>(session.loginDialog())->shown);
    EXPECT_EQ(loginUrl, url("/dialog/oauth"));
    EXPECT_EQ(param(loginParams, "redirect_uri"), "snconnect://success");
    EXPECT_EQ(param(loginParams, "scope"), "<none>");
    loginDelegate->dialogLogin("fromdialog", std::nullopt);
    EXPECT_EQ(heard.calls, std::vector<std::string>{"login"});
    EXPECT_FALSE(session.isSessionValid()) << "a login without an expiry is not a valid session";
    loginDelegate->dialogNotLogin(true);
    EXPECT_EQ(heard.calls.back(), "cancelled");

    loginInTheBrowser(session, delegate);
    loginDelegate = nullptr;
    EXPECT_TRUE(session.handleOpenURL(callback + "#error=service_disabled_use_browser"));
    ASSERT_EQ(opened.size(), 1u) << "only the browser";
    EXPECT_TRUE(opened[0].startsWith(url("/dialog/oauth")));
    ASSERT_NE(loginDelegate, nullptr) << "the browser refused too";
    loginInTheBrowser(session, delegate);
    loginDelegate = nullptr;
    EXPECT_TRUE(session.handleOpenURL(callback + "#error=service_disabled"));
    EXPECT_TRUE(opened.empty()) << "neither program is asked";
    EXPECT_NE(loginDelegate, nullptr);
    EXPECT_EQ(param(loginParams, "redirect_uri"), "snconnect://success");
    EXPECT_EQ(heard.calls.size(), 2u) << "the retries report nothing themselves";
}

// Every request carries the standard parameters, and the token only while the session is valid.
TEST_F(SocialSessionTest, RequestsCarryTheStandardParameters) {
    SocialSession session(appId);
    Recorder loggedOut;
    auto d1 = loggedOut.delegate();
    session.requestWithGraphPath("me", d1);
    ASSERT_TRUE(loggedOut.wait());
    EXPECT_EQ(seen().back().target.substr(0, 10), "/graph/me?");
    QUrlQuery q = lastQuery();
    EXPECT_EQ(q.queryItemValue("format"), "json");
    EXPECT_EQ(q.queryItemValue("sdk"), "ios");
    EXPECT_EQ(q.queryItemValue("sdk_version"), "2");
    EXPECT_FALSE(q.hasQueryItem("access_token"));

    session.setAccessToken("tok en");
    session.setExpirationDate(clock.now().addSecs(60));
    Recorder loggedIn;
    auto d2 = loggedIn.delegate();
    auto params = makeSocialParams({{"method", QString("photos.upload")}, {"caption", QString("hi")}});
    session.requestWithParams(params, d2);
    ASSERT_TRUE(loggedIn.wait());
    EXPECT_EQ(seen().back().target.substr(0, 28), "/method/photos.upload?access");
    EXPECT_EQ(lastQuery().queryItemValue("access_token", QUrl::FullyDecoded), "tok en");
    EXPECT_FALSE(params->contains("method")) << "taken out of the caller's map";
    EXPECT_TRUE(params->contains("format")) << "the standard parameters go into the caller's map";

    const std::size_t before = seen().size();
    session.requestWithParams(makeSocialParams({{"caption", QString("x")}}), d2);
    EXPECT_EQ(_log.back(), "API Method must be specified");
    QTest::qWait(50);
    EXPECT_EQ(seen().size(), before) << "nothing sent";
}

// Logout expires the session at the service (with the token), forgets the token, clears the login host's
// cookies (and only those), and says so last.
TEST_F(SocialSessionTest, LogoutExpiresClearsAndReportsLast) {
    auto& cookies = platform::CookieStore::shared();
    const QUrl loginHost(SocialSession::configuration().loginHost);
    QNetworkCookie login("datr", "1");
    login.setDomain(loginHost.host());
    login.setPath("/");
    QNetworkCookie other("keep", "2");
    other.setDomain("elsewhere.test");
    other.setPath("/");
    cookies.insertCookie(login);
    cookies.insertCookie(other);
    ASSERT_EQ(cookies.cookiesForUrl(loginHost).size(), 1);

    SocialSession session(appId);
    session.setAccessToken("secret");
    session.setExpirationDate(clock.now().addSecs(60));
    Heard heard;
    auto delegate = heard.delegate();
    bool validAtLogout = true;
    delegate->sessionDidLogout = [&] {
        validAtLogout = session.isSessionValid();
        heard.calls.push_back("logout");
    };
    session.logout(delegate);
    EXPECT_EQ(heard.calls, std::vector<std::string>{"logout"});
    EXPECT_FALSE(validAtLogout);
    EXPECT_TRUE(session.accessToken().isEmpty());
    EXPECT_FALSE(session.expirationDate());
    EXPECT_TRUE(cookies.cookiesForUrl(loginHost).isEmpty());
    EXPECT_EQ(cookies.cookiesForUrl(QUrl("http://elsewhere.test/")).size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen().empty(); }, 10000));
    EXPECT_EQ(seen().back().target.substr(0, 27), "/method/auth.expireSession?");
    EXPECT_EQ(lastQuery().queryItemValue("access_token"), "secret") << "sent while the session was still valid";
}

// The dialogs' parameters: the login page's, and a web dialog's with the application and the token.
TEST_F(SocialSessionTest, DialogParameters) {
    SocialSession session(appId);
    session.setAccessToken("a%2Bb");
    session.setExpirationDate(clock.now().addSecs(60));
    auto params = makeSocialParams({{"link", QString("https://grinsley.app")}});
    session.dialog("feed", params, {});
    EXPECT_EQ(dialogUrl, url("/dialog/feed"));
    EXPECT_EQ(dialogParams, params) << "the caller's map, changed in place";
    EXPECT_EQ(param(params, "app_id"), appId);
    EXPECT_EQ(param(params, "access_token"), "a+b") << "decoded: the dialog escapes it again";
    EXPECT_EQ(param(params, "redirect_uri"), "snconnect://success");
    EXPECT_EQ(param(params, "display"), "touch");
    EXPECT_EQ(param(params, "sdk"), "2");
    EXPECT_TRUE(static_cast<ShownLogin*>(session.lastDialog())->shown);

    session.dialog("oauth", {});
    EXPECT_EQ(loginDelegate, &session) << "the session takes the login itself";
    EXPECT_EQ(param(loginParams, "type"), "user_agent");
    EXPECT_EQ(param(loginParams, "client_id"), "<none>") << "the caller supplies it";
}

// One authorization end to end, with real processes: a running program holding a session sends the login page
// to the browser; the service redirects to the program's callback scheme; the desktop starts the real program
// with that URL, which hands it to the running one; the session logs in. Handed over unasked, it is refused.
TEST_F(SocialSessionTest, AnAuthorizationEndToEnd) {
    const QString runtime = home() + "/run";
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    redirectTo(std::string("sn") + GRINSLEY_SOCIAL_APP_ID + "://authorize#access_token=e2e%2Dtoken&expires_in=3600");
    QProcess running;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("GRINSLEY_PROGRAM", GRINSLEY_PROGRAM);
    running.setProcessEnvironment(environment);
    running.start(GRINSLEY_SOCIAL_LOGIN_CHILD, {url("/dialog/"), GRINSLEY_STAND_IN_BROWSER});
    ASSERT_TRUE(running.waitForFinished(60000)) << running.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromLatin1(running.readAllStandardOutput()).trimmed(), "sessionDidLogin valid=1")
        << running.readAllStandardError().toStdString();
    EXPECT_EQ(running.exitCode(), 0);
    // The login page as the browser asked for it: the program's callback as the redirect.
    const auto s = seen();
    ASSERT_FALSE(s.empty());
    const QUrlQuery query(QUrl(QString::fromStdString(s.front().target)));
    EXPECT_EQ(QUrl(QString::fromStdString(s.front().target)).path(), "/dialog/oauth");
    EXPECT_EQ(query.queryItemValue("client_id"), GRINSLEY_SOCIAL_APP_ID);
    EXPECT_EQ(query.queryItemValue("redirect_uri", QUrl::FullyDecoded), callback);

    // The same URL handed over by another program while no login was asked for: refused, nobody logged in.
    running.setArguments({url("/dialog/"), GRINSLEY_STAND_IN_BROWSER,
                          QString("sn") + GRINSLEY_SOCIAL_APP_ID + "://authorize#access_token=planted&expires_in=0"});
    running.start();
    ASSERT_TRUE(running.waitForFinished(60000)) << running.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromLatin1(running.readAllStandardOutput()).trimmed(), "refused");
    EXPECT_EQ(running.exitCode(), 4);
}
