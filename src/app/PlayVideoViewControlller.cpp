#include "PlayVideoViewControlller.h"

#include "app/GrinsleyCommon.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/MainThread.h"
#include "platform/NavigationController.h"
#include "platform/WebView.h"

namespace grinsley {

namespace {
constexpr const char* playerTemplate =
    "<html><head><style type=\"text/css\">body { background-color: #282828; color: white; margin-left: auto; "
    "margin-right: auto; }</style></head><body style=\"margin:0\"><embed id=\"player\" src=\"%s\" "
    "type=\"application/x-shockwave-flash\" width=\"%0.0f\" height=\"%0.0f\"></embed></body></html>";
}

PlayVideoViewControlller::Configuration& PlayVideoViewControlller::configuration() {
    static Configuration config;
    return config;
}

PlayVideoViewControlller::PlayVideoViewControlller(QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("playVideo"));
    _webView = new platform::WebView(this);
}

PlayVideoViewControlller::Sizes PlayVideoViewControlller::sizesFor(QSizeF frame, double navigationBarHeight, bool tablet) {
    if (tablet) {
        const double side = std::min(frame.width(), frame.height()) - 60;
        return {QSizeF(side, side), QSizeF(side, side)};
    }
    return {QSizeF(frame.width(), frame.height() - navigationBarHeight), frame};
}

QString PlayVideoViewControlller::playerPage(const QString& url, double width, double height) {
    return QString::asprintf(playerTemplate, url.toUtf8().constData(), width, height);
}

QString PlayVideoViewControlller::videoUrl(bool tablet) {
    const Configuration& config = configuration();
    return config.watchUrlPrefix + (tablet ? config.tabletVideoId : config.phoneVideoId);
}

void PlayVideoViewControlller::viewDidLoad() {
    setWindowTitle(QStringLiteral("Grinsley Video"));
    platform::NavigationController* navigation = navigationController();
    if (navigation)
        navigation->setNavigationBarHidden(false, false);
    // The view's frame is the application's: the window, the navigation bar included.
    const QSizeF frame = window() ? QSizeF(window()->size()) : QSizeF(size());
    const double bar = navigation ? navigation->navigationBarHeight() : 0;
    const Sizes sizes = sizesFor(frame, bar, platform::Device::isTablet());
    embedVideo(sizes.player.width(), sizes.player.height());
    _webView->setGeometry(QRect(QPoint(0, 0), sizes.webView.toSize()));
}

void PlayVideoViewControlller::embedVideo(double width, double height) {
    _html = playerPage(videoUrl(platform::Device::isTablet()), width, height);
    _webView->loadHTMLString(_html);
}

void PlayVideoViewControlller::viewDidAppear(bool) {
    // After the screen has been drawn: the probe holds the interface while it fetches.
    QPointer<PlayVideoViewControlller> self(this);
    platform::MainThread::post([self] {
        if (self && !GrinsleyCommon::isConnectedToInternet())
            platform::AlertView(QStringLiteral("Internet Connection Error"),
                                QStringLiteral("An active Internet connection is needed to view this video."),
                                QStringLiteral("OK"))
                .show();
    });
}

bool PlayVideoViewControlller::shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation orientation) const {
    return platform::Device::isTablet() || orientation == platform::InterfaceOrientation::Portrait ||
           orientation == platform::InterfaceOrientation::PortraitUpsideDown;
}

} // namespace grinsley
