#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSequentialAnimationGroup>
#include <QUrlQuery>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "SocialTest.h"
#include "platform/ActivityIndicator.h"
#include "platform/CookieStore.h"
#include "platform/Device.h"
#include "platform/UrlOpener.h"
#include "platform/WebView.h"
#include "social/SocialDialog.h"
#include "support/Render.h"
#include "support/SettableClock.h"

using namespace grinsley;

namespace {

// What a login page told its session.
struct LoginHeard : SocialLoginDialogDelegate {
    std::vector<std::string> calls;
    QString token;
    std::optional<QDateTime> expiry;
    void dialogLogin(const QString& t, const std::optional<QDateTime>& e) override {
        calls.push_back("login");
        token = t;
        expiry = e;
    }
    void dialogNotLogin(bool cancelled) override { calls.push_back(cancelled ? "notLogin:cancelled" : "notLogin:failed"); }
};

// What a dialog told its delegate, in order.
struct DialogHeard {
    std::vector<std::string> calls;
    std::optional<platform::ErrorRecord> error;
    bool allowExternal = true;
    std::vector<QString> askedToOpen;
    std::shared_ptr<SocialDialogDelegate> delegate() {
        auto d = std::make_shared<SocialDialogDelegate>();
        d->dialogCompleteWithUrl = [this](const QString& url) { calls.push_back("completeWithUrl:" + url.toStdString()); };
        d->dialogDidNotCompleteWithUrl = [this](const QString& url) { calls.push_back("notCompleteWithUrl:" + url.toStdString()); };
        d->dialogDidComplete = [this](SocialDialog*) { calls.push_back("complete"); };
        d->dialogDidNotComplete = [this](SocialDialog*) { calls.push_back("notComplete"); };
        d->dialogDidFailWithError = [this](SocialDialog*, const platform::ErrorRecord& e) {
            calls.push_back("fail");
            error = e;
        };
        d->dialogShouldOpenURLInExternalBrowser = [this](SocialDialog*, const QString& url) {
            askedToOpen.push_back(url);
            return allowExternal;
        };
        return d;
    }
};

// A page that reports back through the dialog's scheme a moment after it loaded, as the service's pages do.
std::string reportingPage(const std::string& redirect) {
    return "<html><head><title>Plaza Login</title></head><body><p>One moment</p><script>setTimeout(function(){"
           "location.href='" + redirect + "';}, 50);</script></body></html>";
}

class SocialDialogTest : public grinsley::testing::SocialTest {
protected:
    void SetUp() override {
        SocialTest::SetUp();
        platform::Device::setIdiom(platform::Idiom::Phone);
        window = std::make_unique<QWidget>();
        window->setObjectName("window");
        window->setStyleSheet("#window { background: #18191c; }");
        window->resize(390, 720);
        window->show();
        window->activateWindow();
        (void)QTest::qWaitForWindowExposed(window.get());
        platform::UrlOpener::setHandler([this](const QUrl& url) {
            opened.push_back(url.toString());
            return true;
        });
    }
    void TearDown() override {
        platform::UrlOpener::setHandler({});
        dialogs.clear();
        window.reset();
        SocialTest::TearDown();
    }
    SocialDialog* showDialog(SocialDialog* dialog) {
        dialogs.emplace_back(dialog);
        dialog->show();
        return dialog;
    }
    static bool closed(SocialDialog* dialog) {
        return QTest::qWaitFor([dialog] { return dialog->isDismissed() && !dialog->isVisible(); }, 20000);
    }

    std::unique_ptr<QWidget> window;
    std::vector<std::unique_ptr<SocialDialog>> dialogs;
    std::vector<QString> opened;
    grinsley::testing::SettableClock clock;
};

} // namespace

// The login page's success redirect: token and a distant-future expiry for "expires_in" 0, no expiry without
// it, one in the past for a negative count; without a token it counts as cancelled. The panel closes each time.
TEST_F(SocialDialogTest, TheLoginPagesSuccessRedirect) {
    struct Case {
        std::string redirect;
        std::vector<std::string> calls;
        QString token;
        std::optional<QDateTime> expiry;
    };
    const Case cases[] = {
        {"snconnect://success#access_token=a%2Bb&expires_in=0", {"login"}, "a+b", SocialSession::distantFuture()},
        {"snconnect://success#access_token=tok", {"login"}, "tok", std::nullopt},
        {"snconnect://success#expires_in=60", {"notLogin:cancelled"}, "", std::nullopt},
        {"snconnect://success#access_token=old&expires_in=-60", {"login"}, "old", clock.now().addSecs(-60)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.redirect);
        answerWith(200, reportingPage(c.redirect), "text/html");
        LoginHeard heard;
        auto* dialog = showDialog(new SocialLoginDialog(url("/dialog/oauth"), makeSocialParams({{"client_id", QString("1")}}), &heard));
        ASSERT_TRUE(closed(dialog)) << "the panel closes";
        EXPECT_EQ(heard.calls, c.calls);
        EXPECT_EQ(heard.token, c.token);
        EXPECT_EQ(heard.expiry, c.expiry);
    }
}

// A plain dialog's cancel redirect, with and without the service's error, and its close button: exactly the
// callbacks the format lists, in order.
TEST_F(SocialDialogTest, CancelErrorAndTheCloseButton) {
    answerWith(200, reportingPage("snconnect://cancel?reason=user"), "text/html");
    DialogHeard cancelled;
    auto d1 = cancelled.delegate();
    SocialDialog* dialog = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams(), d1));
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(cancelled.calls, (std::vector<std::string>{"notCompleteWithUrl:snconnect://cancel?reason=user", "notComplete"}));

    answerWith(200, reportingPage("snconnect://cancel?error_code=190&error_msg=Bad%20token"), "text/html");
    DialogHeard failed;
    auto d2 = failed.delegate();
    dialog = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams(), d2));
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(failed.calls, std::vector<std::string>{"fail"});
    EXPECT_EQ(failed.error->domain, "socialErrDomain");
    EXPECT_EQ(failed.error->code, 190);
    EXPECT_EQ(failed.error->userInfo.value("error_msg").toString(), "Bad token");

    answerWith(200, "<html><head><title>Post to Plaza</title></head><body>Write something</body></html>", "text/html");
    DialogHeard closedByButton;
    auto d3 = closedByButton.delegate();
    dialog = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams({{"name", QString("x y")}}), d3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->title() == "Post to Plaza"; }, 20000)) << "the page's title";
    EXPECT_FALSE(dialog->spinner()->isVisible());
    EXPECT_EQ(seen().back().target, "/dialog/feed?name=x%20y");
    grinsley::testing::renderScreenToPng(window.get(), "social-dialog-phone");
    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(closedByButton.calls, (std::vector<std::string>{"notCompleteWithUrl:", "notComplete"}));
}

// The login page's error redirect ends the login for its session too.
TEST_F(SocialDialogTest, TheLoginPagesErrorTellsTheSession) {
    answerWith(200, reportingPage("snconnect://cancel?error_code=190&error_msg=Bad"), "text/html");
    LoginHeard heard;
    auto* dialog = showDialog(new SocialLoginDialog(url("/dialog/oauth"), makeSocialParams(), &heard));
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(heard.calls, std::vector<std::string>{"notLogin:failed"});
}

// A link the user taps goes to the browser unless the delegate says no; then nothing opens and the page stays.
TEST_F(SocialDialogTest, ATappedLinkTheDelegateRefuses) {
    answerWith(200, "<html><head><title>Post</title></head><body style='margin:0'><a id='l' href='" + url("/terms").toStdString() +
                        "' style='display:block;width:100%;height:400px;background:#ccd'>Terms</a></body></html>",
               "text/html");
    DialogHeard heard;
    heard.allowExternal = false;
    auto d = heard.delegate();
    SocialDialog* dialog = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams(), d));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->title() == "Post"; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->bounce()->state() == QAbstractAnimation::Stopped; }, 5000));
    const QUrl page = dialog->webView()->url();
    QWidget* surface = dialog->webView()->focusProxy();
    ASSERT_NE(surface, nullptr);
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.askedToOpen.empty(); }, 10000)) << "the delegate is asked";
    EXPECT_EQ(heard.askedToOpen.front(), url("/terms"));
    QTest::qWait(200);
    EXPECT_TRUE(opened.empty()) << "nothing opened";
    EXPECT_EQ(dialog->webView()->url(), page) << "the page stays";
    EXPECT_FALSE(dialog->isDismissed());
}

// A page that cannot load closes the dialog with the engine's error (a refused navigation would not).
TEST_F(SocialDialogTest, APageThatFailsToLoad) {
    DialogHeard heard;
    auto d = heard.delegate();
    SocialDialog* dialog = showDialog(new SocialDialog("http://127.0.0.1:9/dialog/feed", makeSocialParams(), d));
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(heard.calls, std::vector<std::string>{"fail"});
    EXPECT_NE(heard.error->code, -3);
}

// The panel: the window less 20 points on a phone, 0.6 of it on a tablet; the same orientation again changes
// nothing, the other one lays it out anew, either way. The bounce is 0.2, 0.15 and 0.15 s.
TEST_F(SocialDialogTest, ThePanelsSizeAndOrientation) {
    answerWith(200, "<html><head><title>T</title></head><body></body></html>", "text/html");
    window->resize(400, 700);
    SocialDialog* phone = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams(), {}));
    ASSERT_EQ(phone->bounce()->animationCount(), 3);
    EXPECT_EQ(phone->bounce()->animationAt(0)->duration(), 200);
    EXPECT_EQ(phone->bounce()->animationAt(1)->duration(), 150);
    EXPECT_EQ(phone->bounce()->animationAt(2)->duration(), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return phone->bounce()->state() == QAbstractAnimation::Stopped; }, 5000));
    EXPECT_EQ(phone->geometry(), QRect(10, 10, 380, 680));
    EXPECT_EQ(phone->modalBackgroundView()->geometry(), window->rect());
    EXPECT_EQ(phone->orientation(), platform::InterfaceOrientation::Portrait);
    window->resize(420, 700); // still portrait
    QCoreApplication::processEvents();
    EXPECT_EQ(phone->geometry(), QRect(10, 10, 380, 680)) << "the stored orientation: nothing to do";
    window->resize(700, 420);
    QCoreApplication::processEvents();
    EXPECT_EQ(phone->geometry(), QRect(10, 10, 680, 400));
    EXPECT_FALSE(phone->shouldRotateToOrientation(phone->orientation()));
    window->resize(400, 700); // and back: the close button inside the window again
    QCoreApplication::processEvents();
    EXPECT_EQ(phone->geometry(), QRect(10, 10, 380, 680));
    EXPECT_EQ(phone->orientation(), platform::InterfaceOrientation::Portrait);
    phone->dismiss(false);

    platform::Device::setIdiom(platform::Idiom::Tablet);
    window->resize(800, 1000);
    SocialDialog* tablet = showDialog(new SocialDialog(url("/dialog/feed"), makeSocialParams(), {}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tablet->bounce()->state() == QAbstractAnimation::Stopped; }, 5000));
    EXPECT_EQ(tablet->size(), QSize(460, 580));
    EXPECT_EQ(tablet->geometry().center(), QPoint(400, 500) - QPoint(1, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tablet->title() == "T"; }, 20000));
    grinsley::testing::renderScreenToPng(window.get(), "social-dialog-tablet");
}

// A session that no other program and no browser answers shows the in-app page, which completes the login.
TEST_F(SocialDialogTest, TheInAppLoginCompletesAnAuthorization) {
    installSocialDialogs();
    platform::UrlOpener::setHandler([](const QUrl&) { return false; });
    SocialSession::Configuration saved = SocialSession::configuration();
    SocialSession::configuration().dialogBaseURL = url("/dialog/");
    answerWith(200, reportingPage("snconnect://success#access_token=inapp&expires_in=3600"), "text/html");
    SocialSession session("314159265358979");
    bool loggedIn = false;
    auto delegate = std::make_shared<SocialSessionDelegate>();
    delegate->sessionDidLogin = [&] { loggedIn = true; };
    session.authorize({"photo_upload"}, delegate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loggedIn; }, 30000));
    EXPECT_EQ(session.accessToken(), "inapp");
    EXPECT_TRUE(session.isSessionValid());
    const QUrlQuery asked(QUrl(QString::fromStdString(seen().front().target)));
    EXPECT_EQ(asked.queryItemValue("redirect_uri", QUrl::FullyDecoded), "snconnect://success");
    SocialSession::configuration() = saved;
    SocialSession::setDialogFactories({}, {});
}

// The service may answer the page itself with a redirect to the dialog's scheme: the refused navigation ends
// that load, which is no failure.
TEST_F(SocialDialogTest, ARedirectOfThePageItself) {
    redirectTo("snconnect://success#access_token=redir&expires_in=0");
    LoginHeard heard;
    auto* dialog = showDialog(new SocialLoginDialog(url("/dialog/oauth"), makeSocialParams(), &heard));
    ASSERT_TRUE(closed(dialog));
    QTest::qWait(300); // a late report of the ended load would come now
    EXPECT_EQ(heard.calls, std::vector<std::string>{"login"});
    EXPECT_EQ(heard.token, "redir");
}

// The pages' cookies are the client's: what a login page sets is in the shared store, and a logout takes the
// login host's out of the pages as well.
TEST_F(SocialDialogTest, ThePagesCookiesAreTheOnesLogoutClears) {
    installSocialDialogs();
    _server.stop(); // a server of its own: one page sets the cookie, one shows what the page is sent
    grinsley::testing::LoopbackServer pages;
    pages.server().Get("/dialog/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "sid=abc; Path=/");
        res.set_content("<html><head><title>Set</title></head><body></body></html>", "text/html");
    });
    pages.server().Get("/dialog/show", [](const httplib::Request& req, httplib::Response& res) {
        const std::string cookie = req.get_header_value("Cookie");
        res.set_content("<html><head><title>[" + cookie + "]</title></head><body></body></html>", "text/html");
    });
    pages.start();
    const QString base = QString::fromLatin1(pages.url("/dialog/"));
    SocialDialog* setter = showDialog(new SocialDialog(base + "login", {}, {}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return setter->title() == "Set"; }, 20000));
    const QUrl host(QString::fromLatin1(pages.url("/")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !platform::CookieStore::shared().cookiesForUrl(host).isEmpty(); }, 10000))
        << "the page's cookie reaches the shared store";
    setter->dismiss(false);
    SocialDialog* before = showDialog(new SocialDialog(base + "show", {}, {}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return before->title() == "[sid=abc]"; }, 20000));
    before->dismiss(false);

    SocialSession::Configuration saved = SocialSession::configuration();
    SocialSession::configuration().loginHost = QString::fromLatin1(pages.url("")).chopped(0);
    SocialSession::configuration().restApiBaseURL = QString::fromLatin1(pages.url("/method/"));
    SocialSession session("1");
    session.logout({});
    SocialSession::configuration() = saved;
    EXPECT_TRUE(platform::CookieStore::shared().cookiesForUrl(host).isEmpty());
    SocialDialog* after = showDialog(new SocialDialog(base + "show", {}, {}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return after->title() == "[]"; }, 20000)) << "gone from the pages too";
    SocialSession::setDialogFactories({}, {});
}
