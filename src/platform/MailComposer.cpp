#include "MailComposer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocumentFragment>
#include <QUuid>
#include <QVBoxLayout>

#include "platform/AtomicFile.h"
#include "platform/Directories.h"

namespace grinsley::platform {

namespace {

QString plainTextOf(const QString& html) {
    QString text = QTextDocumentFragment::fromHtml(html).toPlainText();
    return text.replace(QChar::LineSeparator, QLatin1Char('\n')).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// The desktop's own way to open a prepared message in the user's mail program.
class XdgEmailTransport final : public MailTransport {
public:
    bool canSendMail() override {
        if (QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
            return false;
        // xdg-email is there; is any program set to handle mailto: links?
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                                 QStringLiteral("x-scheme-handler/mailto")});
        if (!query.waitForFinished(3000))
            return false;
        return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
    }

    void send(const MailMessage& message, std::function<void(MailComposeResult)> done) override {
        QStringList arguments{QStringLiteral("--utf8")};
        if (!message.subject.isEmpty())
            arguments << QStringLiteral("--subject") << message.subject;
        // xdg-email takes text: an HTML body goes as the text it stands for, not as its markup.
        if (!message.body.isEmpty())
            arguments << QStringLiteral("--body") << (message.bodyIsHtml ? plainTextOf(message.body) : message.body);
        // A folder of its own per message: a mail program may still be reading the last message's attachment.
        // Those of messages a day old are done with.
        QDir mail(Directories::caches() + QStringLiteral("/mail"));
        for (const QFileInfo& old : mail.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (old.lastModified().secsTo(QDateTime::currentDateTime()) > 24 * 3600)
                QDir(old.filePath()).removeRecursively();
        const QString folder = mail.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QDir().mkpath(folder);
        for (const MailAttachment& attachment : message.attachments) {
            const QString path = folder + QLatin1Char('/') + attachment.fileName;
            // Whole or not at all: the mail program must never attach half a photo.
            if (!AtomicFile::write(path, attachment.data)) {
                done(MailComposeResult::Failed);
                return;
            }
            arguments << QStringLiteral("--attach") << path;
        }
        arguments << message.toRecipients;
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished, process, [process, done](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            done(status == QProcess::NormalExit && code == 0 ? MailComposeResult::Sent : MailComposeResult::Failed);
        });
        QObject::connect(process, &QProcess::errorOccurred, process, [process, done](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                process->deleteLater();
                done(MailComposeResult::Failed);
            }
        });
        process->start(QStringLiteral("xdg-email"), arguments);
    }
};

std::unique_ptr<MailTransport>& installed() {
    static std::unique_ptr<MailTransport> transport;
    return transport;
}

} // namespace

MailTransport& MailComposer::transport() {
    if (!installed())
        installed() = std::make_unique<XdgEmailTransport>();
    return *installed();
}

void MailComposer::setTransport(std::unique_ptr<MailTransport> transport) { installed() = std::move(transport); }

bool MailComposer::canSendMail() { return transport().canSendMail(); }

MailComposer::MailComposer(QWidget* parent) : ViewController(parent) {}

void MailComposer::viewDidLoad() {
    // The notice dims the whole screen and holds its text and its button in the middle.
    setObjectName(QStringLiteral("mailComposer"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#mailComposer { background: rgba(0,0,0,200); }"
                                 "QLabel { color: white; font-size: 16px; background: transparent; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch();
    _status = new QLabel(this);
    _status->setAlignment(Qt::AlignCenter);
    _status->setWordWrap(true);
    // Room for a wrapped subject: the text only arrives once the notice is on screen.
    _status->setMinimumHeight(_status->fontMetrics().lineSpacing() * 4);
    layout->addWidget(_status);
    // Some mail programs keep the hand-over waiting as long as they run: the notice must never trap the user.
    _close = new QPushButton(tr("Close"), this);
    _close->setObjectName(QStringLiteral("mailClose"));
    _close->setStyleSheet(QStringLiteral("background: #555; color: white; font-size: 16px; border-radius: 8px;"
                                         " min-height: 40px; padding: 0 24px;"));
    connect(_close, &QPushButton::clicked, this, [this] { finish(MailComposeResult::Cancelled); });
    layout->addWidget(_close, 0, Qt::AlignHCenter);
    layout->addStretch();
}

void MailComposer::finish(MailComposeResult result) {
    if (_finished)
        return; // the first answer counts: Close, or the mail program's
    _finished = true;
    if (didFinishWithResult)
        didFinishWithResult(this, result);
}

void MailComposer::viewDidAppear(bool) {
    if (_sent)
        return;
    _sent = true;
    _status->setText(tr("Opening your mail program for \"%1\"…").arg(_message.subject));
    QPointer<MailComposer> self(this);
    transport().send(_message, [self](MailComposeResult result) {
        if (self)
            self->finish(result);
    });
}

} // namespace grinsley::platform
