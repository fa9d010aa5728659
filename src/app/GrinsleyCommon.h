#pragma once

#include <QString>

#include <functional>

class QAbstractButton;

namespace grinsley {

namespace platform {
class MailComposer;
class ViewController;
enum class MailComposeResult;
} // namespace platform

// What several screens share: the two e-mail alerts, the connectivity probe and button styling.
class GrinsleyCommon {
public:
    static void showEmailErrorMessage();
    static void showEmailNotConfiguredMessage();
    // Presents a mail composer over the screen, filled by the caller, with the black bar; the screen's
    // completion gets the result. Without a way to send mail, says so and presents nothing.
    static void presentMailComposer(platform::ViewController* screen,
                                    const std::function<void(platform::MailComposer&)>& fill,
                                    std::function<void(platform::MailComposer*, platform::MailComposeResult)> finished);
    // What every screen's mail completion does: a failure is reported, and the composer closes.
    static void finishMail(platform::ViewController* screen, platform::MailComposeResult result);

    // Fetches one well-known public page and answers whether any text came back. It waits for the answer
    // (at most probeTimeoutMs); the page's address comes from GRINSLEY_CONNECTIVITY_PROBE_URL when set.
    static bool isConnectedToInternet();
    static QString connectivityProbeUrl();
    static constexpr int probeTimeoutMs = 10000;

    // The image at the path as the button's background, stretched with 10-point caps on the left and top.
    static void configureButtonBackground(QAbstractButton* button, const QString& imagePath);
};

} // namespace grinsley
