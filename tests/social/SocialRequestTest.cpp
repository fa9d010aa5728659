#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include "SocialTest.h"
#include "json/JsonConvenience.h"

using namespace grinsley;
using grinsley::testing::Recorder;

namespace {

class SocialRequestTest : public grinsley::testing::SocialTest {
protected:
    // Sends and waits for the end; the recorder has the story.
    std::shared_ptr<SocialRequest> send(Recorder& recorder, const std::shared_ptr<SocialRequestDelegate>& delegate,
                                        const QString& url, SocialParams params = {}, const QString& method = "GET") {
        auto request = SocialRequest::getRequestWithParams(makeSocialParams(std::move(params)), method, delegate, url);
        request->connect();
        EXPECT_TRUE(recorder.wait());
        return request;
    }
};

QImage tinyPhoto() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    return image;
}

} // namespace

TEST_F(SocialRequestTest, UrlSerialisation) {
    EXPECT_EQ(SocialRequest::serializeURL("https://h/p", {}), "https://h/p?");
    EXPECT_EQ(SocialRequest::serializeURL("https://h/p?a=1", {{"b", QString("2")}}), "https://h/p?a=1&b=2");
    EXPECT_EQ(SocialRequest::serializeURL("https://h/p", {{"k y", QString("x y&z")}}), "https://h/p?k y=x%20y%26z")
        << "values escaped, keys not";
    EXPECT_EQ(SocialRequest::serializeURL("https://h/p", {{"v", QString::fromUtf8("é!*'();:@&=+$,/?%#[]-._~")}}),
              "https://h/p?v=%C3%A9%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D-._~");
    _log.clear();
    EXPECT_EQ(SocialRequest::serializeURL("https://h/p", {{"a", QString("1")}, {"photo", tinyPhoto()}, {"raw", QByteArray("x")}}),
              "https://h/p?a=1");
    EXPECT_EQ(_log, std::vector<QString>(2, "can not use GET to upload a file"));
    _log.clear();
    SocialRequest::serializeURL("https://h/p", {{"photo", tinyPhoto()}}, "POST");
    EXPECT_TRUE(_log.empty()) << "a POST carries files in its body";
}

// A GET as the server sees it, and the callbacks in their order.
TEST_F(SocialRequestTest, GetReachesTheServerAndReportsInOrder) {
    Recorder recorder;
    answerWith(200, R"({"id":"42","name":"Ann"})");
    send(recorder, recorder.delegate(), url("/me"), {{"fields", QString("x y&z")}});
    const auto s = seen();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].method, "GET");
    EXPECT_EQ(s[0].target, "/me?fields=x%20y%26z");
    EXPECT_EQ(s[0].userAgent, "SocialConnect");
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"loading", "response", "raw", "load"}));
    ASSERT_TRUE(recorder.loaded && std::holds_alternative<json::Value>(*recorder.loaded));
    EXPECT_EQ(std::get<json::Value>(*recorder.loaded).find("name")->string(), "Ann");
}

// The multipart body as sent, and read back by a real multipart reader (the standard library's MIME parser of
// Python, which tolerates the missing closing delimiter as mail readers do); text parts first, then the files
// by file name.
TEST_F(SocialRequestTest, PostBodyIsTheMultipartOfTheFormat) {
    grinsley::testing::RawHttpCapture capture;
    Recorder recorder;
    send(recorder, recorder.delegate(), capture.url("/photos"),
         {{"message", QString("Hello there")}, {"source", tinyPhoto()}, {"blob", QByteArray("\x01\x02", 2)}}, "POST");
    const QByteArray head = capture.head();
    EXPECT_TRUE(head.startsWith("POST /photos?message=Hello%20there HTTP/1.1\r\n"))
        << "text also in the query; files only in the body";
    const QByteArray boundary = SocialRequest::kBoundary;
    EXPECT_TRUE(head.contains("Content-Type: multipart/form-data; boundary=" + boundary + "\r\n"));
    EXPECT_TRUE(head.contains("User-Agent: SocialConnect\r\n"));
    const QByteArray body = capture.body();
    const QByteArray text = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"message\"\r\n\r\nHello there\r\n--" +
                            boundary + "\r\n";
    EXPECT_TRUE(body.startsWith(text));
    EXPECT_TRUE(body.endsWith("\r\n--" + boundary + "\r\n")) << "no closing hyphens";
    EXPECT_FALSE(body.endsWith("--\r\n"));
    const qsizetype blob = body.indexOf("Content-Disposition: form-data; filename=\"blob\"\r\nContent-Type: content/unknown\r\n\r\n\x01\x02\r\n--");
    const qsizetype png = body.indexOf("Content-Disposition: form-data; filename=\"source\"\r\nContent-Type: image/png\r\n\r\n\x89PNG");
    EXPECT_GE(blob, text.size());
    EXPECT_GT(png, blob);

    // Split by the reader: the text part by its name, the PNG decodable from its part.
    const auto parts = grinsley::testing::readMultipart(body, boundary);
    // Without a closing delimiter the last boundary opens one more part, empty.
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_TRUE(parts[3].content.isEmpty() && parts[3].name.empty() && parts[3].filename.empty());
    EXPECT_EQ(parts[0].name, "message");
    EXPECT_EQ(parts[1].filename, "blob");
    EXPECT_EQ(parts[1].content, QByteArray("\x01\x02", 2));
    EXPECT_EQ(parts[0].content, "Hello there");
    EXPECT_EQ(parts[2].filename, "source");
    EXPECT_EQ(parts[2].contentType, "image/png");
    EXPECT_EQ(QImage::fromData(parts[2].content, "PNG").size(), QSize(4, 3));
}

// The service's answers, each as the delegate hears it.
TEST_F(SocialRequestTest, AnswersFollowTheServicesConventions) {
    struct Case {
        int status;
        std::string body;
        std::string type;
        const char* expect; // "load:object", "load:array", "load:raw", "fail"
        int code;
    };
    const Case cases[] = {
        {200, "true", "text/plain", "load:object", 0},
        {200, "false", "text/plain", "fail", 10000},
        {200, R"({"error":{"type":"OAuthException"},"error_code":5})", "application/json", "fail", 10000},
        {200, R"({"error_code":"190","error_msg":"Invalid token"})", "application/json", "fail", 190},
        {200, R"({"error_code":17})", "application/json", "fail", 17},
        {200, R"({"id":"1","error_msg":"Hmm"})", "application/json", "fail", 10000},
        {200, R"({"error_reason":"user_denied"})", "application/json", "fail", 10000},
        {200, "[1,2]", "application/json", "load:array", 0},
        {502, "<html><body>Bad gateway</body></html>", "text/html", "load:raw", 0},
        {500, R"({"a":1})", "application/json", "load:object", 0},
        {200, "\xff\xfe{}", "application/json", "load:raw", 0},
        {200, "42", "application/json", "load:raw", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        answerWith(c.status, c.body, c.type);
        Recorder recorder;
        send(recorder, recorder.delegate(), url("/answer"));
        EXPECT_EQ(recorder.raw.toStdString(), c.body) << "the raw body comes first, whatever the status";
        const std::string expect = c.expect;
        if (expect == "fail") {
            ASSERT_TRUE(recorder.error);
            EXPECT_EQ(recorder.error->domain, "socialErrDomain");
            EXPECT_EQ(recorder.error->code, c.code);
            EXPECT_FALSE(recorder.loaded) << "no load after a failure";
            continue;
        }
        ASSERT_TRUE(recorder.loaded);
        EXPECT_FALSE(recorder.error);
        if (expect == "load:raw") {
            ASSERT_TRUE(std::holds_alternative<QByteArray>(*recorder.loaded));
            EXPECT_EQ(std::get<QByteArray>(*recorder.loaded).toStdString(), c.body);
        } else {
            ASSERT_TRUE(std::holds_alternative<json::Value>(*recorder.loaded));
            EXPECT_EQ(std::get<json::Value>(*recorder.loaded).isArray(), expect == "load:array");
        }
    }
    // The details of two of them.
    auto [value, error] = SocialRequest::parseJsonResponse("true");
    ASSERT_TRUE(value);
    EXPECT_EQ(*grinsley::json::JSONRepresentation(*value), R"({"result":"true"})");
    std::tie(value, error) = SocialRequest::parseJsonResponse("false");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->userInfo, (QVariantMap{{"error_msg", "This operation can not be completed"}}));
    std::tie(value, error) = SocialRequest::parseJsonResponse(R"({"error_code":"190","error_msg":"Invalid token"})");
    EXPECT_EQ(error->userInfo.value("error_msg").toString(), "Invalid token") << "the whole map as user info";
}

// A delegate that takes only the raw body gets it, and nothing else happens.
TEST_F(SocialRequestTest, ARawOnlyDelegate) {
    answerWith(200, R"({"error":"nope"})");
    Recorder recorder;
    auto delegate = std::make_shared<SocialRequestDelegate>();
    delegate->requestDidLoadRawResponse = [&](SocialRequest*, const QByteArray& bytes) {
        recorder.raw = bytes;
        recorder.done = true;
    };
    send(recorder, delegate, url("/answer"));
    EXPECT_EQ(recorder.raw, QByteArray(R"({"error":"nope"})"));
}

// Dropped by its creator while in flight, a request still completes and reports; a delegate let go reports
// nothing and breaks nothing.
TEST_F(SocialRequestTest, ARequestItsCreatorDroppedStillCompletes) {
    answerWith(200, R"({"ok":1})");
    Recorder recorder;
    auto delegate = recorder.delegate();
    {
        auto request = SocialRequest::getRequestWithParams(makeSocialParams(), "GET", delegate, url("/x"));
        request->connect();
    }
    ASSERT_TRUE(recorder.wait());
    EXPECT_EQ(recorder.calls.back(), "load");

    Recorder gone;
    auto shortLived = gone.delegate();
    auto request = SocialRequest::getRequestWithParams(makeSocialParams(), "GET", shortLived, url("/x"));
    request->connect();
    shortLived.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !request->loading(); }, 10000));
    EXPECT_EQ(gone.calls, std::vector<std::string>{"loading"});
}

// A body cut short, by the end of the stream or by a reset, is a failed transfer whatever its status said.
TEST_F(SocialRequestTest, ACutOffBodyIsAFailure) {
    using End = grinsley::testing::RawHttpCapture::End;
    for (const End end : {End::Close, End::Reset}) {
        grinsley::testing::RawHttpCapture server(
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 1000\r\n\r\n{\"data\": [1, 2, 3", end);
        Recorder cut;
        send(cut, cut.delegate(), server.url("/answer"));
        EXPECT_EQ(cut.calls.back(), "fail") << int(end);
        ASSERT_TRUE(cut.error);
        EXPECT_EQ(cut.error->domain, SocialRequest::kTransportErrorDomain);
    }
}

// No server, and a server too slow for the timeout: the transport's error alone, nothing parsed.
TEST_F(SocialRequestTest, TransportFailuresAndTheTimeout) {
    Recorder refused;
    send(refused, refused.delegate(), "http://127.0.0.1:9/nobody");
    EXPECT_EQ(refused.calls, (std::vector<std::string>{"loading", "fail"}));
    EXPECT_EQ(refused.error->domain, SocialRequest::kTransportErrorDomain);

    SocialRequest::timeoutMilliseconds = 300;
    Recorder slow;
    send(slow, slow.delegate(), url("/slow"));
    EXPECT_EQ(slow.calls, (std::vector<std::string>{"loading", "fail"}));
    EXPECT_EQ(slow.error->domain, SocialRequest::kTransportErrorDomain);
}
