#pragma once

#include <QUrl>
#include <QWebEngineView>

namespace grinsley::platform {

// A web view: a page from a URL or from HTML text. The web engine runs out of process; its sandbox and GPU
// settings are made before the application object exists (see the program's entry).
class WebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebView(QWidget* parent = nullptr);

    void loadRequest(const QUrl& url) { load(url); }
    void loadHTMLString(const QString& html, const QUrl& baseUrl = QUrl()) { setHtml(html, baseUrl); }

    // Settings the web engine needs before the application object exists: shared OpenGL contexts, and no
    // sandbox when running as root (the engine refuses to start otherwise).
    // Schemes a page reports back through (links to them reach the page's navigation check) are registered here
    // too: the engine accepts them only before it starts.
    static void prepareBeforeApplication(const QByteArrayList& customSchemes = {});
    // Refuses, for the profile, every request of those schemes that a page let through; without such a handler
    // the engine blocks navigations to them before the page is asked.
    static void installSchemeHandlers(const QByteArrayList& customSchemes);
};

} // namespace grinsley::platform
