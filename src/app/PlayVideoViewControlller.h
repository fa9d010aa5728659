#pragma once

#include <QSize>
#include <QString>

#include "platform/ViewController.h"

namespace grinsley {

namespace platform {
class WebView;
}

// The tutorial video: a player page for the video on the video service, sized to the device, and an alert
// when the internet cannot be reached.
class PlayVideoViewControlller : public platform::ViewController {
    Q_OBJECT
public:
    struct Configuration {
        QString watchUrlPrefix = QStringLiteral("https://www.youtube.com/v/");
        QString tabletVideoId = QStringLiteral("grinsley-tablet-tutorial");
        QString phoneVideoId = QStringLiteral("grinsley-phone-tutorial");
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
    // The player page for the video at the URL, its sizes written without decimals.
    static QString playerPage(const QString& url, double width, double height);
    static QString videoUrl(bool tablet);
    QString html() const { return _html; }

private:
    platform::WebView* _webView = nullptr;
    QString _html;
};

} // namespace grinsley
