#include "StartupViewController.h"

#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPushButton>

#include "analytics/TallyAPI.h"
#include "app/GrinsleyCommon.h"
#include "app/PlayVideoViewControlller.h"
#include "app/UserManualViewController.h"
#include "app/MoxelViewController.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/NavigationController.h"
#include "ui_MainWindow.h"

namespace grinsley {

using platform::InterfaceOrientation;

StartupViewController::StartupViewController(QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("startScreen"));
    setWindowTitle(QStringLiteral("Grinsley"));
    Ui::MainWindow ui;
    ui.setupUi(this);
    _startButton = ui.startButton;
    _helpButton = ui.helpButton;
    _videoButton = ui.videoButton;
    _feedbackButton = ui.feedbackButton;
    _nameLabel = ui.nameLabel;
    connect(_startButton, &QPushButton::clicked, this, &StartupViewController::startButtonTouched);
    connect(_helpButton, &QPushButton::clicked, this, &StartupViewController::helpButtonTouched);
    connect(_videoButton, &QPushButton::clicked, this, &StartupViewController::videoButtonTouched);
    connect(_feedbackButton, &QPushButton::clicked, this, &StartupViewController::feedbackButtonTouched);
}

StartupViewController::~StartupViewController() {
    cleanupView();
    delete _mainViewController.data();
}

MoxelViewController* StartupViewController::mainViewController() const { return _mainViewController; }

void StartupViewController::cleanupView() {
    _startButton = _helpButton = _videoButton = _feedbackButton = nullptr;
    _nameLabel = nullptr;
}

void StartupViewController::viewDidLoad() {
    const platform::Image tile = platform::Bundle::imageNamed(QStringLiteral("Background1"));
    if (!tile.isNull()) {
        _background = QPixmap::fromImage(tile.bitmap());
        _background.setDevicePixelRatio(tile.scale());
    }
    setStyleSheet(QStringLiteral("QPushButton { color: white; font-size: 19px; font-weight: bold; min-height: 34px;"
                                 " padding: 6px; }"
                                 "QPushButton:pressed { color: #cfe0ff; }"
                                 "QLabel#nameLabel { color: white; font-size: 44px; font-weight: bold; }"
                                 "QLabel#taglineLabel { color: #b8c8e8; font-size: 15px; }"));
    const QString button = platform::Bundle::pathForResource(QStringLiteral("Blue button@2x"), QStringLiteral("png"));
    for (QPushButton* b : {_startButton, _helpButton, _videoButton, _feedbackButton}) {
        GrinsleyCommon::configureButtonBackground(b, button);
        b->setMaximumWidth(420); // a tablet's width would make bars of them
        if (layout())
            layout()->setAlignment(b, Qt::AlignHCenter);
        b->setMinimumWidth(240);
    }
}

void StartupViewController::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (_background.isNull())
        painter.fillRect(rect(), QColor(22, 38, 70));
    else
        painter.drawTiledPixmap(rect(), _background);
}

void StartupViewController::viewWillAppear(bool) {
    if (navigationController())
        navigationController()->setNavigationBarHidden(true, false);
}

bool StartupViewController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) const {
    if (platform::Device::isTablet())
        return true;
    return orientation == InterfaceOrientation::Portrait || orientation == InterfaceOrientation::PortraitUpsideDown;
}

// ---------------------------------------------------------------------------------------------------------
// The chain of saving and memory warnings

void StartupViewController::saveApplicationState() {
    if (_mainViewController)
        _mainViewController->saveApplicationState();
}

void StartupViewController::respondToMemoryWarning() {
    if (_mainViewController)
        _mainViewController->respondToMemoryWarning();
}

// ---------------------------------------------------------------------------------------------------------
// Commands

std::shared_ptr<SocialSession> StartupViewController::socialSession() const {
    return _mainViewController ? _mainViewController->socialSession() : nullptr;
}

void StartupViewController::startButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Start"));
    // A fresh editor every time: it restores the last saved state as its view loads.
    delete _mainViewController.data();
    auto* editor = new MoxelViewController(MoxelViewController::interfaceFileName());
    editor->setOwnedByNavigation(false);
    _mainViewController = editor;
    if (navigationController())
        navigationController()->pushViewController(editor, true);
}

void StartupViewController::helpButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Help: Startup"));
    if (navigationController())
        navigationController()->pushViewController(new UserManualViewController, true);
}

void StartupViewController::videoButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Video: Startup"));
    if (navigationController())
        navigationController()->pushViewController(new PlayVideoViewControlller, true);
}

void StartupViewController::feedbackButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Feedback: Startup"));
    GrinsleyCommon::presentMailComposer(
        this,
        [](platform::MailComposer& composer) {
            composer.setToRecipients({QLatin1String(supportAddress)});
            composer.setSubject(QLatin1String(feedbackSubject));
            composer.setMessageBody(QString(), false);
        },
        [this](platform::MailComposer* c, platform::MailComposeResult r) { mailComposeControllerDidFinishWithResult(c, r); });
}

void StartupViewController::mailComposeControllerDidFinishWithResult(platform::MailComposer*,
                                                                     platform::MailComposeResult result) {
    GrinsleyCommon::finishMail(this, result);
}

} // namespace grinsley
