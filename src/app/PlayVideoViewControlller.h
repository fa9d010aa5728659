#pragma once

#include <QSize>
#include <QString>
#include <QUrl>

#include "platform/ViewController.h"

namespace grinsley {

namespace platform {
class WebView;
}

// The tutorial video: the bundled one (recorded from the program itself), or one on the video service when one
// is configured, in a player page sized to the device; for an online video an alert when the internet cannot
// be reached.
class PlayVideoViewControlller : public platform::ViewController {
    Q_OBJECT
public:
    // No online video by default: the ids the phone had were never published; set them to play one instead of
    // the bundled tutorial.
    struct Configuration {
        QString watchUrlPrefix = QStringLiteral("https://www.youtube.com/embed/");
        QString tabletVideoId;
        QString phoneVideoId;
    };
    static Configuration& configuration();

    explicit PlayVideoViewControlller(QWidget* parent = nullptr);

    platform::WebView* webView() const { return _webView; }
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void embedVideo(double width, double height);
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation orientation) const override;

    // The player's size and the web view's, for a view of this frame: a square of the shorter side less 60
    // on a tablet; the frame less the navigation bar on a phone.
    struct Sizes {
        QSizeF player;
        QSizeF webView;
    };
    static Sizes sizesFor(QSizeF frame, double navigationBarHeight, bool tablet);
    // The player page for the online video at the URL, its sizes written without decimals; the page for the
    // bundled video file.
    static QString playerPage(const QString& url, double width, double height);
    static QString bundledPlayerPage(const QUrl& video, double width, double height);
    // The online video's URL; empty when none is configured for the device.
    static QString videoUrl(bool tablet);
    // The bundled tutorial as a file the web engine can play (copied out of the program once).
    static QString bundledVideoFile();
    bool playsOnline() const { return _online; }
    QString html() const { return _html; }

private:
    platform::WebView* _webView = nullptr;
    QString _html;
    bool _online = false;
};

} // namespace grinsley
