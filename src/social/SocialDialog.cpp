#include "SocialDialog.h"

#include <cmath>

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QInputMethod>
#include <QLabel>
#include <QNetworkCookie>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "platform/ActivityIndicator.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/UrlOpener.h"
#include "platform/WebView.h"

namespace grinsley {

namespace {
const QColor panelFill = QColor::fromRgbF(0.3f, 0.3f, 0.3f, 0.8f);
const QColor titleFill = QColor::fromRgbF(0.42578125f, 0.515625f, 0.703125f, 1.0f);
const QColor titleStroke = QColor::fromRgbF(0.23f, 0.35f, 0.6f, 1.0f);
const QColor webStroke = QColor::fromRgbF(0.3f, 0.3f, 0.3f, 1.0f);
constexpr qint64 tapWindowMs = 1000; // a link followed this soon after the user's own press is a tapped link

QPixmap bundleImage(const QString& name) {
    QPixmap pixmap(platform::Bundle::pathForResource(QStringLiteral("SocialDialog.bundle/images/") + name, QStringLiteral("png")));
    pixmap.setDevicePixelRatio(2); // drawn at twice their point size
    return pixmap;
}

// Four one-point lines round a rectangle, as the panel's outlines are drawn.
void strokeLines(QPainter& p, const QRectF& r, const QColor& stroke) {
    p.setPen(QPen(stroke, 1));
    p.drawLine(QPointF(r.x() + 0.5, r.y() - 0.5), QPointF(r.x() + r.width(), r.y() - 0.5));
    p.drawLine(QPointF(r.x() + 0.5, r.y() + r.height() - 0.5), QPointF(r.x() + r.width() - 0.5, r.y() + r.height() - 0.5));
    p.drawLine(QPointF(r.x() + r.width() - 0.5, r.y()), QPointF(r.x() + r.width() - 0.5, r.y() + r.height()));
    p.drawLine(QPointF(r.x() + 0.5, r.y()), QPointF(r.x() + 0.5, r.y() + r.height()));
}

// From the middle of the right edge round the four corners, each a quarter circle tangent to both edges.
QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.moveTo(r.right(), r.center().y());
    path.arcTo(QRectF(r.right() - 2 * radius, r.bottom() - 2 * radius, 2 * radius, 2 * radius), 0, -90);
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * radius, 2 * radius, 2 * radius), -90, -90);
    path.arcTo(QRectF(r.left(), r.top(), 2 * radius, 2 * radius), 180, -90);
    path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, 2 * radius), 90, -90);
    path.closeSubpath();
    return path;
}

void fillRect(QPainter& p, const QRectF& r, const QColor& fill, qreal radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    if (radius > 0)
        p.drawPath(roundedRect(r, radius));
    else
        p.drawRect(r);
}
} // namespace

// The page of a dialog: every navigation goes through the dialog's rules first.
class SocialDialogPage : public QWebEnginePage {
public:
    SocialDialogPage(SocialDialog* dialog) : QWebEnginePage(dialog), _dialog(dialog) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame || !_dialog)
            return true;
        // Scripts' navigations are reported as clicked links too: only one that follows the user's own press is.
        const bool tapped = type == NavigationTypeLinkClicked &&
                            platform::Clock::nowMilliseconds() - _dialog->_lastUserInput < tapWindowMs;
        return _dialog->shouldStartLoad(url, tapped);
    }

private:
    QPointer<SocialDialog> _dialog;
};

bool SocialIsDeviceTablet() { return platform::Device::isTablet(); }

SocialDialog::SocialDialog() {
    prepareWebEngine();
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("socialDialog"));
    _iconView = new QLabel(this);
    _iconView->setPixmap(bundleImage(QStringLiteral("socialicon")));
    _closeButton = new QPushButton(this);
    _closeButton->setIcon(QIcon(bundleImage(QStringLiteral("close"))));
    _closeButton->setIconSize(QSize(29, 29));
    _closeButton->setFlat(true);
    _closeButton->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; color: rgb(167,184,216);"
                                               " font: bold 12px; } QPushButton:pressed { color: white; }"));
    connect(_closeButton, &QPushButton::clicked, this, &SocialDialog::cancel);
    _titleLabel = new QLabel(kDefaultTitle, this);
    QFont font = _titleLabel->font();
    font.setBold(true);
    font.setPixelSize(SocialIsDeviceTablet() ? 18 : 14);
    _titleLabel->setFont(font);
    _titleLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    _webView = new platform::WebView(this);
    _webView->setPage(new SocialDialogPage(this));
    _webView->setGeometry(10, 10, 480, 480);
    _spinner = new platform::ActivityIndicator(this);
    _modalBackgroundView = new QWidget;
    _modalBackgroundView->setObjectName(QStringLiteral("socialDialogBackground"));
    connect(_webView->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            webViewDidFinishLoad();
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            platform::ErrorRecord error{QStringLiteral("QWebEngineLoadingInfo"), info.errorCode(), {}};
            error.userInfo.insert(platform::ErrorRecord::LocalizedDescriptionKey, info.errorString());
            webViewDidFailLoadWithError(error);
        }
    });
    qApp->installEventFilter(this); // the user's own presses in the page
}

SocialDialog::SocialDialog(const QString& serverURL, SocialParamsRef params, SocialDialogDelegateRef delegate)
    : SocialDialog() {
    _serverURL = serverURL;
    _params = std::move(params);
    _delegate = std::move(delegate);
}

SocialDialog::~SocialDialog() {
    qApp->removeEventFilter(this);
    // No callback of the page reaches a dialog going away.
    if (_webView && _webView->page())
        _webView->page()->disconnect(this);
    delete _modalBackgroundView.data();
}

QString SocialDialog::title() const { return _titleLabel->text(); }
void SocialDialog::setTitle(const QString& title) { _titleLabel->setText(title); }

QString SocialDialog::generateURL(const QString& baseURL, const SocialParamsRef& params) {
    if (!params)
        return baseURL;
    return baseURL + QLatin1Char('?') + SocialRequest::encodedPairs(*params, QString());
}

void SocialDialog::load() { loadURL(_serverURL, _params); }

void SocialDialog::loadURL(const QString& url, SocialParamsRef params) {
    _loadingURL = generateURL(url, params);
    _webView->load(QUrl(_loadingURL));
}

std::optional<QString> SocialDialog::getStringFromUrl(const QString& url, const QString& needle) {
    const qsizetype at = url.indexOf(needle);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + needle.size();
    const qsizetype end = url.indexOf(QLatin1Char('&'), start);
    return QUrl::fromPercentEncoding(url.mid(start, end < 0 ? -1 : end - start).toUtf8());
}

bool SocialDialog::shouldStartLoad(const QUrl& url, bool tappedLink) {
    const QString text = url.toString(QUrl::FullyEncoded);
    if (url.scheme() == kScheme) {
        const QString rest = text.mid(kScheme.size() + 1);
        if (rest.startsWith(QLatin1String("//cancel"))) {
            if (const std::optional<QString> code = getStringFromUrl(text, QStringLiteral("error_code="))) {
                const QString message = getStringFromUrl(text, QStringLiteral("error_msg=")).value_or(QString());
                dismissWithError(SocialRequest::formError(SocialRequest::leadingInteger(*code), {{QStringLiteral("error_msg"), message}}), true);
            } else {
                dialogDidCancel(text);
            }
        } else {
            dialogDidSucceed(text);
        }
        return false;
    }
    if (text == _loadingURL || url == QUrl(_loadingURL))
        return true;
    if (tappedLink) {
        const auto d = liveDelegate();
        if (d && d->dialogShouldOpenURLInExternalBrowser && !d->dialogShouldOpenURLInExternalBrowser(this, text))
            return false;
        platform::UrlOpener::open(url);
        return false;
    }
    return true;
}

void SocialDialog::cancel() { dialogDidCancel(QString()); }

void SocialDialog::dialogDidSucceed(const QString& url) {
    if (const auto d = liveDelegate(); d && d->dialogCompleteWithUrl)
        d->dialogCompleteWithUrl(url);
    dismissWithSuccess(true, true);
}

void SocialDialog::dialogDidCancel(const QString& url) {
    if (const auto d = liveDelegate(); d && d->dialogDidNotCompleteWithUrl)
        d->dialogDidNotCompleteWithUrl(url);
    dismissWithSuccess(false, true);
}

void SocialDialog::dismissWithSuccess(bool success, bool animated) {
    if (const auto d = liveDelegate()) {
        if (success && d->dialogDidComplete)
            d->dialogDidComplete(this);
        else if (!success && d->dialogDidNotComplete)
            d->dialogDidNotComplete(this);
    }
    dismiss(animated);
}

void SocialDialog::dismissWithError(const platform::ErrorRecord& error, bool animated) {
    if (const auto d = liveDelegate(); d && d->dialogDidFailWithError)
        d->dialogDidFailWithError(this, error);
    dismiss(animated);
}

void SocialDialog::dismiss(bool animated) {
    if (_dismissed)
        return;
    _dismissed = true;
    dialogWillDisappear();
    _loadingURL.clear();
    if (!animated || !isVisible()) {
        postDismissCleanup();
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", this);
    fade->setDuration(kFadeMs);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &SocialDialog::postDismissCleanup);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void SocialDialog::postDismissCleanup() {
    if (_window)
        _window->removeEventFilter(this);
    disconnect(QGuiApplication::inputMethod(), nullptr, this, nullptr);
    hide();
    if (_modalBackgroundView)
        _modalBackgroundView->hide();
}

bool SocialDialog::isInterruptedLoad(const platform::ErrorRecord& error) { return error.code == -3; }

void SocialDialog::webViewDidFailLoadWithError(const platform::ErrorRecord& error) {
    if (isInterruptedLoad(error) || _dismissed) // a closed dialog has reported already
        return;
    dismissWithError(error, true);
}

void SocialDialog::webViewDidFinishLoad() {
    _spinner->stopAnimating();
    _spinner->hide();
    setTitle(_webView->page()->title());
    updateWebOrientation();
}

void SocialDialog::updateWebOrientation() {
    const bool landscape = _orientation == platform::InterfaceOrientation::LandscapeLeft ||
                           _orientation == platform::InterfaceOrientation::LandscapeRight;
    _webView->page()->runJavaScript(landscape ? QStringLiteral("document.body.setAttribute('orientation', 90);")
                                              : QStringLiteral("document.body.removeAttribute('orientation');"));
}

// A desktop window is already the shape of its orientation: the panel takes its size from the window as it is.
void SocialDialog::sizeToFitOrientation(bool) {
    if (!_window)
        return;
    const QRect frame = _window->rect();
    const qreal factor = SocialIsDeviceTablet() ? 0.6 : 1.0;
    const int width = int(std::floor(factor * frame.width())) - 2 * kPadding;
    const int height = int(std::floor(factor * frame.height())) - 2 * kPadding;
    _orientation = platform::Device::interfaceOrientation(_window);
    const QPoint centre(frame.x() + int(std::ceil(frame.width() / 2.0)), frame.y() + int(std::ceil(frame.height() / 2.0)));
    _fullFrame = QRect(centre.x() - width / 2, centre.y() - height / 2, width, height);
    setGeometry(_fullFrame);
    layoutSubviews();
}

bool SocialDialog::shouldRotateToOrientation(platform::InterfaceOrientation orientation) const {
    const int value = int(orientation);
    return orientation != _orientation && value >= 1 && value <= 4;
}

void SocialDialog::deviceOrientationDidChange() {
    if (!_window || _dismissed)
        return;
    const platform::InterfaceOrientation now = platform::Device::interfaceOrientation(_window);
    if (_showingKeyboard || !shouldRotateToOrientation(now)) {
        if (!_showingKeyboard && _modalBackgroundView) // the same orientation, a new size: still fits the window
            _modalBackgroundView->setGeometry(_window->rect());
        return;
    }
    updateWebOrientation();
    sizeToFitOrientation(true);
    if (_modalBackgroundView)
        _modalBackgroundView->setGeometry(_window->rect());
}

void SocialDialog::keyboardWillShow() { _showingKeyboard = true; }
void SocialDialog::keyboardWillHide() { _showingKeyboard = false; }

void SocialDialog::layoutSubviews() {
    const int panelWidth = _fullFrame.width();
    const int panelHeight = _fullFrame.height();
    const int innerWidth = panelWidth - (kBorderWidth + 1) * 2;
    _iconView->adjustSize();
    _titleLabel->adjustSize();
    const int iconWidth = _iconView->width();
    const int fittedTitle = _titleLabel->sizeHint().height();
    const int titleHeight = fittedTitle + kTitleMarginY * 2;
    _titleLabel->setGeometry(kBorderWidth + kTitleMarginX + iconWidth + kTitleMarginX, kBorderWidth,
                             innerWidth - (fittedTitle + iconWidth + kTitleMarginX * 2), titleHeight);
    _iconView->move(kBorderWidth + kTitleMarginX, kBorderWidth + int(std::floor(titleHeight / 2.0 - _iconView->height() / 2.0)));
    _closeButton->setGeometry(panelWidth - (titleHeight + kBorderWidth), kBorderWidth, titleHeight, titleHeight);
    _webView->setGeometry(kBorderWidth + 1, kBorderWidth + titleHeight, innerWidth, panelHeight - (titleHeight + 1 + kBorderWidth * 2));
    _spinner->resize(60, 60);
    _spinner->move(_webView->geometry().center() - QPoint(30, 30));
}

void SocialDialog::setScale(qreal scale) {
    const QSize size(std::max(1, int(_fullFrame.width() * scale)), std::max(1, int(_fullFrame.height() * scale)));
    QRect scaled(QPoint(), size);
    scaled.moveCenter(_fullFrame.center());
    setGeometry(scaled);
}

void SocialDialog::show() {
    _window = QApplication::activeWindow();
    if (!_window)
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top != this) {
                _window = top;
                break;
            }
    if (!_window)
        return;
    load();
    setParent(_window);
    sizeToFitOrientation(false);
    _spinner->startAnimating();
    // Nothing under the panel takes a touch while it is up.
    _modalBackgroundView->setParent(_window);
    _modalBackgroundView->setGeometry(_window->rect());
    _modalBackgroundView->show();
    _modalBackgroundView->raise();
    dialogWillAppear();
    QWidget::show();
    raise();
    // Grow past full size, shrink a little under it, settle.
    _bounce = new QSequentialAnimationGroup(this);
    const std::pair<int, std::pair<qreal, qreal>> steps[] = {{kShowMs, {0.001, 1.1}}, {kBounceMs, {1.1, 0.9}}, {kBounceMs, {0.9, 1.0}}};
    for (const auto& [ms, range] : steps) {
        auto* step = new QVariantAnimation(_bounce);
        step->setDuration(ms);
        step->setStartValue(range.first);
        step->setEndValue(range.second);
        connect(step, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { setScale(v.toReal()); });
        _bounce->addAnimation(step);
    }
    setScale(0.001);
    _bounce->start();
    // The observers: the window's changes of shape, and the on-screen keyboard.
    _window->installEventFilter(this);
    connect(QGuiApplication::inputMethod(), &QInputMethod::visibleChanged, this, [this] {
        if (QGuiApplication::inputMethod()->isVisible())
            keyboardWillShow();
        else
            keyboardWillHide();
    });
}

bool SocialDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _window && event->type() == QEvent::Resize) {
        deviceOrientationDidChange();
    } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress ||
               event->type() == QEvent::TouchBegin) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == _webView || _webView->isAncestorOf(widget)))
            _lastUserInput = platform::Clock::nowMilliseconds();
    }
    return QWidget::eventFilter(watched, event);
}

void SocialDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    fillRect(p, r.translated(-0.5, -0.5), panelFill, 10);
    const qreal titleHeight = _titleLabel->height();
    const QRectF titleBar(std::ceil(r.x() + kBorderWidth), std::ceil(r.y() + kBorderWidth), r.width() - kBorderWidth * 2, titleHeight);
    fillRect(p, titleBar, titleFill, 0);
    strokeLines(p, titleBar, titleStroke);
    const QRectF webArea(titleBar.x(), titleBar.y() + titleHeight, r.width() - kBorderWidth * 2, _webView->height() + 1);
    strokeLines(p, webArea, webStroke);
}

// ---- The login page

SocialLoginDialog::SocialLoginDialog(const QString& serverURL, SocialParamsRef params, SocialLoginDialogDelegate* loginDelegate)
    : SocialDialog(serverURL, std::move(params), {}), _loginDelegate(loginDelegate) {}

void SocialLoginDialog::dialogDidSucceed(const QString& url) {
    const QString token = getStringFromUrl(url, QStringLiteral("access_token=")).value_or(QString());
    const std::optional<QString> expiresIn = getStringFromUrl(url, QStringLiteral("expires_in="));
    std::optional<QDateTime> expiry;
    if (expiresIn)
        expiry = SocialSession::expiryAfterSeconds(SocialRequest::leadingInteger(*expiresIn));
    if (token.isEmpty()) {
        dialogDidCancel(url);
        return;
    }
    if (_loginDelegate)
        _loginDelegate->dialogLogin(token, expiry);
    dismissWithSuccess(true, true);
}

void SocialLoginDialog::dialogDidCancel(const QString&) {
    dismissWithSuccess(false, true);
    if (_loginDelegate)
        _loginDelegate->dialogNotLogin(true);
}

// A page that fails to load, and the page's own error redirect, both end the login: the session must hear it.
void SocialLoginDialog::dismissWithError(const platform::ErrorRecord& error, bool animated) {
    SocialDialog::dismissWithError(error, animated);
    if (_loginDelegate)
        _loginDelegate->dialogNotLogin(false);
}

void installSocialDialogs() {
    SocialSession::setDialogFactories(
        [](const QString& url, SocialParamsRef params, SocialLoginDialogDelegate* delegate) {
            return std::make_unique<SocialDialogHandle>(new SocialLoginDialog(url, std::move(params), delegate));
        },
        [](const QString& url, SocialParamsRef params, SocialDialogDelegateRef delegate) {
            return std::make_unique<SocialDialogHandle>(new SocialDialog(url, std::move(params), std::move(delegate)));
        });
}

// Once, when the first panel is made (it starts the web engine): the redirect scheme's handler on the profile,
// and one set of cookies - what the pages set is what a logout clears, and a logout clears it in the pages too.
void SocialDialog::prepareWebEngine() {
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    platform::WebView::installSchemeHandlers({SocialDialog::kScheme.toLatin1()});
    QWebEngineCookieStore* pages = QWebEngineProfile::defaultProfile()->cookieStore();
    platform::CookieStore& shared = platform::CookieStore::shared();
    QObject::connect(pages, &QWebEngineCookieStore::cookieAdded, &shared, [&shared](const QNetworkCookie& cookie) {
        const QSignalBlocker quiet(&shared);
        shared.insertCookie(cookie);
    });
    QObject::connect(&shared, &platform::CookieStore::cookieRemoved, pages,
                     [pages](const QNetworkCookie& cookie) { pages->deleteCookie(cookie); });
    pages->loadAllCookies();
}

} // namespace grinsley
