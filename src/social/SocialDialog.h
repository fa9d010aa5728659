#pragma once

#include <optional>

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include "platform/Device.h"
#include "social/SocialSession.h"

class QLabel;
class QPushButton;
class QSequentialAnimationGroup;
class QWebEngineLoadingInfo;

namespace grinsley {

namespace platform {
class ActivityIndicator;
class WebView;
} // namespace platform

class SocialDialogPage;

// One page of the social network's mobile dialog site in a framed panel over the whole window: title bar with
// the service's icon and a close button, the page below. It watches every navigation of the page and takes the
// "snconnect" redirects by which the page reports success, cancellation or an error.
class SocialDialog : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorderWidth = 10;
    static constexpr int kPadding = 10; // between panel and window
    static constexpr int kTitleMarginX = 8;
    static constexpr int kTitleMarginY = 4;
    static constexpr int kShowMs = 200;
    static constexpr int kBounceMs = 150;
    static constexpr int kFadeMs = 300;
    static inline const QString kDefaultTitle = QStringLiteral("Connect to Plaza");
    static inline const QString kScheme = QStringLiteral("snconnect");

    SocialDialog();
    SocialDialog(const QString& serverURL, SocialParamsRef params, SocialDialogDelegateRef delegate);
    ~SocialDialog() override;

    void show();
    void load();
    void loadURL(const QString& url, SocialParamsRef params);
    static QString generateURL(const QString& baseURL, const SocialParamsRef& params);
    void cancel();

    virtual void dialogDidSucceed(const QString& url);
    virtual void dialogDidCancel(const QString& url);
    void dismissWithSuccess(bool success, bool animated);
    virtual void dismissWithError(const platform::ErrorRecord& error, bool animated);
    void dismiss(bool animated);
    virtual void dialogWillAppear() {}
    virtual void dialogWillDisappear() {}

    QString title() const;
    void setTitle(const QString& title);
    SocialParamsRef params() const { return _params; }
    void setParams(SocialParamsRef params) { _params = std::move(params); }
    SocialDialogDelegateRef delegate() const { return _delegate; }
    void setDelegate(SocialDialogDelegateRef delegate) { _delegate = std::move(delegate); }

    // The navigation rules, for each URL the page is about to load; true lets it load.
    bool shouldStartLoad(const QUrl& url, bool tappedLink);
    static std::optional<QString> getStringFromUrl(const QString& url, const QString& needle);

    void sizeToFitOrientation(bool transform);
    bool shouldRotateToOrientation(platform::InterfaceOrientation orientation) const;
    void deviceOrientationDidChange();
    void updateWebOrientation();
    void keyboardWillShow();
    void keyboardWillHide();

    // For tests and screens.
    platform::WebView* webView() const { return _webView; }
    QPushButton* closeButton() const { return _closeButton; }
    QLabel* titleLabel() const { return _titleLabel; }
    QLabel* iconView() const { return _iconView; }
    platform::ActivityIndicator* spinner() const { return _spinner; }
    QWidget* modalBackgroundView() const { return _modalBackgroundView; }
    const QString& loadingURL() const { return _loadingURL; }
    platform::InterfaceOrientation orientation() const { return _orientation; }
    QSequentialAnimationGroup* bounce() const { return _bounce; }
    bool isDismissed() const { return _dismissed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void webViewDidFailLoadWithError(const platform::ErrorRecord& error);
    // The page's load ended with an error; ERR_ABORTED is a navigation this dialog refused.
    static bool isInterruptedLoad(const platform::ErrorRecord& error);
    std::shared_ptr<const SocialDialogDelegate> liveDelegate() const { return _delegate.lock(); }

private:
    friend class SocialDialogPage;
    static void prepareWebEngine();
    void postDismissCleanup();
    void webViewDidFinishLoad();
    void layoutSubviews();
    void setScale(qreal scale);

    SocialDialogDelegateRef _delegate;
    SocialParamsRef _params;
    QString _serverURL;
    QString _loadingURL;
    platform::WebView* _webView = nullptr;
    platform::ActivityIndicator* _spinner = nullptr;
    QLabel* _iconView = nullptr;
    QLabel* _titleLabel = nullptr;
    QPushButton* _closeButton = nullptr;
    platform::InterfaceOrientation _orientation = platform::InterfaceOrientation(0);
    bool _showingKeyboard = false;
    QPointer<QWidget> _modalBackgroundView;
    QPointer<QWidget> _window;
    QRect _fullFrame; // the panel's frame at scale 1
    QSequentialAnimationGroup* _bounce = nullptr;
    qint64 _lastUserInput = 0; // when the user last pressed or typed in the page
    bool _dismissed = false;
};

// The in-app login page: takes the token and its lifetime out of the success redirect for its session.
class SocialLoginDialog : public SocialDialog {
    Q_OBJECT
public:
    SocialLoginDialog(const QString& serverURL, SocialParamsRef params, SocialLoginDialogDelegate* loginDelegate);

    void dialogDidSucceed(const QString& url) override;
    void dialogDidCancel(const QString& url) override;
    void dismissWithError(const platform::ErrorRecord& error, bool animated) override;

private:
    SocialLoginDialogDelegate* _loginDelegate; // the session: not owned
};

// What the session keeps of a dialog: the panel lives in the window while shown, and the window may go first.
class SocialDialogHandle : public SocialDialogBase {
public:
    explicit SocialDialogHandle(SocialDialog* dialog) : _dialog(dialog) {}
    ~SocialDialogHandle() override { delete _dialog.data(); }
    void show() override {
        if (_dialog)
            _dialog->show();
    }
    SocialDialog* dialog() const { return _dialog; }

private:
    QPointer<SocialDialog> _dialog;
};

// True for a device that reports the tablet idiom.
bool SocialIsDeviceTablet();

// Makes the session's dialogs these panels, and the web pages' cookies the process's shared ones.
void installSocialDialogs();

} // namespace grinsley
