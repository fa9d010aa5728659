#include "UrlOpener.h"

#include <QDesktopServices>
#include <QProcess>

namespace grinsley::platform {

namespace {
UrlOpener::Handler& handler() {
    static UrlOpener::Handler h;
    return h;
}
} // namespace

bool UrlOpener::open(const QUrl& url) {
    if (handler())
        return handler()(url);
    // Web pages always have the browser; another scheme is taken only when some program is registered for it
    // (the desktop would otherwise show an error of its own and still answer yes).
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file") &&
        !hasHandlerFor(scheme))
        return false;
    return QDesktopServices::openUrl(url);
}

bool UrlOpener::hasHandlerFor(const QString& scheme) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + scheme});
    if (!query.waitForFinished(2000))
        return false;
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

void UrlOpener::setHandler(Handler h) { handler() = std::move(h); }

} // namespace grinsley::platform
