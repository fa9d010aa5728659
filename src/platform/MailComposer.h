#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QList>
#include <QStringList>

#include "platform/ViewController.h"

class QLabel;
class QPushButton;

namespace grinsley::platform {

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

struct MailAttachment {
    QByteArray data;
    QString mimeType;
    QString fileName;
};

struct MailMessage {
    QStringList toRecipients;
    QString subject;
    QString body;
    bool bodyIsHtml = false;
    QList<MailAttachment> attachments;
};

// Hands a message to something that sends mail. The real one opens the user's mail program through
// xdg-email; tests install their own.
class MailTransport {
public:
    virtual ~MailTransport() = default;
    virtual bool canSendMail() = 0;
    // Calls done, on the main thread, once the message has been handed over (Sent) or could not be (Failed).
    virtual void send(const MailMessage& message, std::function<void(MailComposeResult)> done) = 0;
};

// The mail composer screen: presented modally, it hands its message to the mail program and reports the
// result to its delegate, which dismisses it.
class MailComposer : public ViewController {
    Q_OBJECT
public:
    std::function<void(MailComposer*, MailComposeResult)> didFinishWithResult;

    static bool canSendMail();
    static MailTransport& transport();
    // Installs a transport (tests); nullptr goes back to xdg-email.
    static void setTransport(std::unique_ptr<MailTransport> transport);

    explicit MailComposer(QWidget* parent = nullptr);

    void setToRecipients(const QStringList& recipients) { _message.toRecipients = recipients; }
    void setSubject(const QString& subject) { _message.subject = subject; }
    void setMessageBody(const QString& body, bool isHtml) {
        _message.body = body;
        _message.bodyIsHtml = isHtml;
    }
    void addAttachmentData(const QByteArray& data, const QString& mimeType, const QString& fileName) {
        _message.attachments.append({data, mimeType, fileName});
    }
    const MailMessage& message() const { return _message; }
    void setBlackBarStyle(bool black) { _blackBarStyle = black; }
    bool hasBlackBarStyle() const { return _blackBarStyle; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    // Closes the notice without waiting for the mail program (reported as Cancelled).
    QPushButton* closeButton() const { return _close; }

private:
    void finish(MailComposeResult result);

    MailMessage _message;
    QLabel* _status = nullptr;
    QPushButton* _close = nullptr;
    bool _finished = false;
    bool _blackBarStyle = false;
    bool _sent = false;
};

} // namespace grinsley::platform
