#include "PlayVideoViewControlller.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QWebEnginePage>

#include "app/GrinsleyCommon.h"
#include "platform/Bundle.h"
#include "platform/Directories.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/MainThread.h"
#include "platform/NavigationController.h"
#include "platform/WebView.h"

namespace grinsley {

namespace {
// The page around the player, as it always was; the player an embed today's web engines play.
constexpr const char* pageStart =
    "<html><head><style type=\"text/css\">body { background-color: #282828; color: white; margin-left: auto; "
    "margin-right: auto; }</style></head><body style=\"margin:0\">";
constexpr const char* onlinePlayer = "<iframe id=\"player\" src=\"%s\" width=\"%0.0f\" height=\"%0.0f\" "
                                     "frameborder=\"0\" allow=\"autoplay; fullscreen\" allowfullscreen></iframe>";
constexpr const char* bundledPlayer = "<video id=\"player\" src=\"%s\" width=\"%0.0f\" height=\"%0.0f\" controls autoplay "
                                      "playsinline></video>";
constexpr const char* pageEnd = "</body></html>";

QString page(const char* player, const QString& url, double width, double height) {
    return QString::fromLatin1(pageStart) + QString::asprintf(player, url.toUtf8().constData(), width, height) +
           QString::fromLatin1(pageEnd);
}
} // namespace

PlayVideoViewControlller::Configuration& PlayVideoViewControlller::configuration() {
    static Configuration config;
    return config;
}

PlayVideoViewControlller::PlayVideoViewControlller(QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("playVideo"));
    // Dark all around the player: on a tablet the square player leaves room beside and below it.
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#playVideo { background: #282828; }"));
    _webView = new platform::WebView(this);
    _webView->page()->setBackgroundColor(QColor(0x28, 0x28, 0x28));
}

PlayVideoViewControlller::Sizes PlayVideoViewControlller::sizesFor(QSizeF frame, double navigationBarHeight, bool tablet) {
    if (tablet) {
        const double side = std::min(frame.width(), frame.height()) - 60;
        return {QSizeF(side, side), QSizeF(side, side)};
    }
    return {QSizeF(frame.width(), frame.height() - navigationBarHeight), frame};
}

QString PlayVideoViewControlller::playerPage(const QString& url, double width, double height) {
    return page(onlinePlayer, url, width, height);
}

QString PlayVideoViewControlller::bundledPlayerPage(const QUrl& video, double width, double height) {
    return page(bundledPlayer, video.toString(QUrl::FullyEncoded), width, height);
}

QString PlayVideoViewControlller::videoUrl(bool tablet) {
    const Configuration& config = configuration();
    const QString id = tablet ? config.tabletVideoId : config.phoneVideoId;
    return id.isEmpty() ? QString() : config.watchUrlPrefix + id;
}

QString PlayVideoViewControlller::bundledVideoFile() {
    const QString bundled = platform::Bundle::pathForResource(QStringLiteral("Tutorial"), QStringLiteral("webm"));
    const QString file = platform::Directories::caches() + QStringLiteral("/Tutorial.webm");
    // Copied again whenever the program's own differs (a new version).
    if (QFileInfo(file).size() != QFileInfo(bundled).size()) {
        QFile::remove(file);
        QFile::copy(bundled, file);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return file;
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
    const QString online = videoUrl(platform::Device::isTablet());
    _online = !online.isEmpty();
    if (_online) {
        _html = playerPage(online, width, height);
        _webView->loadHTMLString(_html);
        return;
    }
    const QUrl video = QUrl::fromLocalFile(bundledVideoFile());
    _html = bundledPlayerPage(video, width, height);
    // The page is the file's neighbour, so that the engine lets it play the file.
    _webView->loadHTMLString(_html, video);
}

void PlayVideoViewControlller::viewDidAppear(bool) {
    if (!_online)
        return; // the bundled video needs no connection
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
