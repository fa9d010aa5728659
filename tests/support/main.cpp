// Test main: an offscreen QApplication for the whole run, then GoogleTest.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/WebView.h"

int main(int argc, char** argv) {
    // A private runtime folder where the environment has none (a build machine, CI), so that Qt has no cause to
    // warn that it made one up, once per test program.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing a test does reaches the analytics service: uploads go to a port where nobody listens, unless
    // a test points them at its own server.
    if (qEnvironmentVariableIsEmpty("GRINSLEY_ANALYTICS_URL"))
        qputenv("GRINSLEY_ANALYTICS_URL", "http://127.0.0.1:9/report.do");
    // The web engine runs here as root and without a GPU.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    grinsley::platform::WebView::prepareBeforeApplication({"snconnect"}); // the social dialogs report through it
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
