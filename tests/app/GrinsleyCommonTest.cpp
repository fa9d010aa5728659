#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/GrinsleyCommon.h"
#include "support/IsolatedTest.h"
#include "support/LoopbackServer.h"

using namespace grinsley;

namespace {

// A web server on 127.0.0.1 that answers the probe as the test says.
class ProbeServer {
public:
    explicit ProbeServer(std::string body, int status = 200) {
        _server.server().Get("/", [body, status](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "text/html");
        });
        _server.start();
        qputenv("GRINSLEY_CONNECTIVITY_PROBE_URL", _server.url());
    }
    ~ProbeServer() { qunsetenv("GRINSLEY_CONNECTIVITY_PROBE_URL"); }
    int port() const { return _server.port(); }

private:
    grinsley::testing::LoopbackServer _server;
};

class GrinsleyCommonTest : public grinsley::testing::IsolatedTest {};

} // namespace

TEST_F(GrinsleyCommonTest, ConnectedWhenThePageHasText) {
    {
        ProbeServer server("<html>hello</html>");
        EXPECT_TRUE(GrinsleyCommon::isConnectedToInternet());
    }
    ProbeServer server("gone", 500); // an error page is text that came back
    EXPECT_TRUE(GrinsleyCommon::isConnectedToInternet());
}

TEST_F(GrinsleyCommonTest, NotConnectedWhenTheFetchFails) {
    {
        ProbeServer server("", 200); // no text
        EXPECT_FALSE(GrinsleyCommon::isConnectedToInternet());
    }
    {
        ProbeServer server("caf\xC3\xA9"); // not ASCII: unreadable as the probe reads it
        EXPECT_FALSE(GrinsleyCommon::isConnectedToInternet());
    }
    int closedPort;
    {
        ProbeServer server("x");
        closedPort = server.port();
    }
    qputenv("GRINSLEY_CONNECTIVITY_PROBE_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(closedPort) + "/");
    EXPECT_FALSE(GrinsleyCommon::isConnectedToInternet());
    qunsetenv("GRINSLEY_CONNECTIVITY_PROBE_URL");
}

// A 30 x 30 image stretched over a wide button keeps its 10-point left and top caps.
TEST_F(GrinsleyCommonTest, ButtonBackgroundKeepsItsCaps) {
    QTemporaryDir folder;
    QImage image(30, 30, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, 10, 30, Qt::red); // the left cap
    const QString path = folder.filePath("button.png");
    ASSERT_TRUE(image.save(path));
    QPushButton button;
    GrinsleyCommon::configureButtonBackground(&button, path);
    button.resize(200, 60);
    const QImage shown = button.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(5, 30)), QColor(Qt::red));
    EXPECT_EQ(QColor(shown.pixel(12, 30)), QColor(Qt::blue));
    EXPECT_EQ(QColor(shown.pixel(150, 30)), QColor(Qt::blue));
    // A missing image leaves the button as it was.
    QPushButton plain;
    GrinsleyCommon::configureButtonBackground(&plain, folder.filePath("missing.png"));
    EXPECT_TRUE(plain.styleSheet().isEmpty());
}
