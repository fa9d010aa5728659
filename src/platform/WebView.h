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
    static void prepareBeforeApplication();
};

} // namespace grinsley::platform
