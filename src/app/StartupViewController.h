#pragma once

#include <memory>

#include <QPointer>

#include "platform/MailComposer.h"
#include "platform/ViewController.h"

class QLabel;
class QPushButton;

namespace grinsley {

class SocialSession;

class MoxelViewController;

// The first screen: Start opens a fresh editor, Help and Video the manual and the tutorial, Feedback an
// e-mail to support. It heads the chain along which saving and memory warnings travel.
class StartupViewController : public platform::ViewController {
    Q_OBJECT
public:
    static constexpr const char* supportAddress = "support@grinsley.app";
    static constexpr const char* feedbackSubject = "Grinsley feedback";

    explicit StartupViewController(QWidget* parent = nullptr);
    ~StartupViewController() override;

    MoxelViewController* mainViewController() const;
    // The editor's social session; none without an editor (and, as the program stands, none with one).
    std::shared_ptr<SocialSession> socialSession() const;
    QPushButton* startButton() const { return _startButton; }
    QPushButton* helpButton() const { return _helpButton; }
    QPushButton* videoButton() const { return _videoButton; }
    QPushButton* feedbackButton() const { return _feedbackButton; }
    QLabel* nameLabel() const { return _nameLabel; }

    void saveApplicationState();
    void respondToMemoryWarning();

    void startButtonTouched();
    void helpButtonTouched();
    void videoButtonTouched();
    void feedbackButtonTouched();
    void mailComposeControllerDidFinishWithResult(platform::MailComposer* composer, platform::MailComposeResult result);

    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation orientation) const override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void cleanupView();

    QPointer<MoxelViewController> _mainViewController; // owned here, lent to the navigation stack
    QPushButton* _startButton = nullptr;
    QPushButton* _helpButton = nullptr;
    QPushButton* _videoButton = nullptr;
    QPushButton* _feedbackButton = nullptr;
    QLabel* _nameLabel = nullptr;
    QPixmap _background;
};

} // namespace grinsley
