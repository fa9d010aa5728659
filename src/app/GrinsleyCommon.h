#pragma once

#include <QString>

class QAbstractButton;

namespace grinsley {

// What several screens share: the two e-mail alerts, the connectivity probe and button styling.
class GrinsleyCommon {
public:
    static void showEmailErrorMessage();
    static void showEmailNotConfiguredMessage();

    // Fetches one well-known public page and answers whether any text came back. It waits for the answer
    // (at most probeTimeoutMs); the page's address comes from GRINSLEY_CONNECTIVITY_PROBE_URL when set.
    static bool isConnectedToInternet();
    static QString connectivityProbeUrl();
    static constexpr int probeTimeoutMs = 10000;

    // The image at the path as the button's background, stretched with 10-point caps on the left and top.
    static void configureButtonBackground(QAbstractButton* button, const QString& imagePath);
};

} // namespace grinsley
