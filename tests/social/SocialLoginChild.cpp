// A running Grinsley that holds a social session, for the end-to-end authorization: it listens for later starts
// as the program does, authorizes through the (stand-in) browser and prints what the session reports. It never
// prints the token.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QUrl>

#include "platform/Application.h"
#include "platform/SingleInstance.h"
#include "platform/UrlOpener.h"
#include "social/SocialSession.h"

using namespace grinsley;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    SocialSession::configuration().dialogBaseURL = args.at(1);
    const QString browser = args.at(2);

    // With a third argument the child does not log in: it hands that URL to itself through a second start of
    // the real program, as any other program could, and says whether the session took it.
    const QString planted = args.value(3);

    SocialSession session(QStringLiteral(GRINSLEY_SOCIAL_APP_ID));
    platform::ApplicationDelegate delegate;
    delegate.handleOpenURL = [&session, &planted](const QString& url) {
        const bool taken = session.handleOpenURL(url);
        if (!planted.isEmpty() && !taken) {
            std::printf("refused\n");
            std::fflush(stdout);
            QCoreApplication::exit(4);
        }
        return taken;
    };
    platform::Application::shared().setDelegate(delegate);
    platform::SingleInstance instance;
    instance.received = [](const QStringList& arguments, const QString& folder) {
        platform::Application::shared().openArguments(arguments, folder);
    };
    if (!instance.listen())
        return 3;
    // The desktop's browser for web pages; no program for the social network's own scheme.
    platform::UrlOpener::setHandler([browser](const QUrl& url) {
        if (url.scheme() != QLatin1String("http"))
            return false;
        return QProcess::startDetached(QStringLiteral("python3"), {browser, url.toString(QUrl::FullyEncoded)});
    });
    auto sessionDelegate = std::make_shared<SocialSessionDelegate>();
    sessionDelegate->sessionDidLogin = [&session] {
        std::printf("sessionDidLogin valid=%d\n", int(session.isSessionValid()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    sessionDelegate->sessionDidNotLogin = [](bool cancelled) {
        std::printf("sessionDidNotLogin cancelled=%d\n", int(cancelled));
        std::fflush(stdout);
        QCoreApplication::exit(1);
    };
    if (planted.isEmpty()) {
        session.authorize({QStringLiteral("photo_upload")}, sessionDelegate);
    } else {
        session.setSessionDelegate(sessionDelegate);
        QProcess::startDetached(qEnvironmentVariable("GRINSLEY_PROGRAM"), {planted});
    }
    return app.exec();
}
