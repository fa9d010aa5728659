#include "GrinsleyCommon.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "platform/AlertView.h"
#include "platform/MailComposer.h"

namespace grinsley {

void GrinsleyCommon::showEmailErrorMessage() {
    platform::AlertView(QStringLiteral("Send Email"), QStringLiteral("Error sending email. Your message was not sent."),
                        QStringLiteral("OK"))
        .show();
}

void GrinsleyCommon::showEmailNotConfiguredMessage() {
    platform::AlertView(QStringLiteral("Error"), QStringLiteral("This device is not configured to send email."),
                        QStringLiteral("OK"))
        .show();
}

void GrinsleyCommon::presentMailComposer(
    platform::ViewController* screen, const std::function<void(platform::MailComposer&)>& fill,
    std::function<void(platform::MailComposer*, platform::MailComposeResult)> finished) {
    if (!platform::MailComposer::canSendMail()) {
        showEmailNotConfiguredMessage();
        return;
    }
    auto* composer = new platform::MailComposer;
    composer->didFinishWithResult = std::move(finished);
    composer->setBlackBarStyle(true);
    fill(*composer);
    screen->presentModalViewController(composer, true);
}

void GrinsleyCommon::finishMail(platform::ViewController* screen, platform::MailComposeResult result) {
    if (result == platform::MailComposeResult::Failed)
        showEmailErrorMessage();
    screen->dismissModalViewController(true);
}

QString GrinsleyCommon::connectivityProbeUrl() {
    const QString configured = qEnvironmentVariable("GRINSLEY_CONNECTIVITY_PROBE_URL");
    return configured.isEmpty() ? QStringLiteral("http://www.example.com/") : configured;
}

bool GrinsleyCommon::isConnectedToInternet() {
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(connectivityProbeUrl())};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(probeTimeoutMs);
    QNetworkReply* reply = manager.get(request);
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(probeTimeoutMs, &wait, &QEventLoop::quit);
    // The user's taps wait with the caller; painting and timers go on.
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    bool connected = false;
    // Any text that came back counts, an error page included: it took a working connection to get it.
    if (reply->isFinished() && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        const QByteArray text = reply->readAll();
        // The page is read as ASCII: bytes outside it make the text unreadable, and so no connection.
        connected = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 128; });
    }
    reply->abort();
    reply->deleteLater();
    return connected;
}

void GrinsleyCommon::configureButtonBackground(QAbstractButton* button, const QString& imagePath) {
    if (!button)
        return;
    QImageReader reader(imagePath);
    const QSize pixels = reader.size();
    if (imagePath.isEmpty() || !pixels.isValid() || !reader.canRead())
        return;
    // Caps of 10 points on the left and top; the rest but one column and one row is the right and bottom
    // cap, so only the column and row after the caps stretch.
    const int scale = imagePath.contains(QLatin1String("@2x")) ? 2 : 1;
    const int left = 10 * scale, top = 10 * scale;
    const int right = std::max(0, pixels.width() - left - 1), bottom = std::max(0, pixels.height() - top - 1);
    button->setStyleSheet(button->styleSheet() +
                          QStringLiteral("QAbstractButton { border-image: url(\"%1\") %2 %3 %4 %5 stretch stretch;"
                                         " border-width: %6px %7px %8px %9px; }")
                              .arg(imagePath)
                              .arg(top)
                              .arg(right)
                              .arg(bottom)
                              .arg(left)
                              .arg(top / scale)
                              .arg(right / scale)
                              .arg(bottom / scale)
                              .arg(left / scale));
}

} // namespace grinsley
