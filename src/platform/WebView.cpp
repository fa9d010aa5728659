#include "WebView.h"

#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace grinsley::platform {

WebView::WebView(QWidget* parent) : QWebEngineView(parent) {
    setContextMenuPolicy(Qt::NoContextMenu);
}

namespace {
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};
} // namespace

void WebView::installSchemeHandlers(const QByteArrayList& customSchemes) {
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    for (const QByteArray& scheme : customSchemes)
        if (!profile->urlSchemeHandler(scheme))
            profile->installUrlSchemeHandler(scheme, new RefusingSchemeHandler(profile));
}

void WebView::prepareBeforeApplication(const QByteArrayList& customSchemes) {
    for (const QByteArray& name : customSchemes) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
}

} // namespace grinsley::platform
