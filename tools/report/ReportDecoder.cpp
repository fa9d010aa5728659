#include "ReportDecoder.h"

#include <bit>
#include <stdexcept>

#include <QCborArray>
#include <QCborValue>
#include <QJsonArray>
#include <QStringDecoder>

namespace grinsley::tools {

namespace {

// Bytes that do not hold what the format says: where, and in which field.
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Big-endian fields read from the front of a buffer. Running past its end, a boolean other than 0 or 1 and a
// string that is not UTF-8 throw Malformed, naming the field and the offset where it starts.
class Reader {
public:
    explicit Reader(const QByteArray& data) : _data(data) {}

    quint64 unsignedOf(int bytes, const char* what) {
        if (_data.size() - _position < bytes)
            fail("truncated at", what, _position);
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | quint8(_data.at(_position++));
        return value;
    }
    bool boolean(const char* what) {
        const qsizetype at = _position;
        const quint64 value = unsignedOf(1, what);
        if (value > 1)
            fail(("boolean " + std::to_string(value) + " in").c_str(), what, at);
        return value == 1;
    }
    int byte(const char* what) { return int(unsignedOf(1, what)); }
    int ushort(const char* what) { return int(unsignedOf(2, what)); }
    qint32 int32(const char* what) { return qint32(quint32(unsignedOf(4, what))); }
    qint64 int64(const char* what) { return qint64(unsignedOf(8, what)); }
    float single(const char* what) { return std::bit_cast<float>(quint32(unsignedOf(4, what))); }
    double dbl(const char* what) { return std::bit_cast<double>(unsignedOf(8, what)); }
    QString string(const char* what) {
        const int length = ushort(what);
        if (_data.size() - _position < length)
            fail("truncated in", what, _position);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString value = utf8(QByteArrayView(_data.constData() + _position, length));
        if (utf8.hasError())
            fail("invalid UTF-8 in", what, _position);
        _position += length;
        return value;
    }
    qsizetype position() const { return _position; }
    bool atEnd() const { return _position == _data.size(); }

    [[noreturn]] static void fail(const char* problem, const char* what, qsizetype offset) {
        throw Malformed(std::string(problem) + " " + what + " (offset " + std::to_string(offset) + ")");
    }

private:
    const QByteArray& _data;
    qsizetype _position = 0;
};

QJsonObject readSession(Reader& in) {
    QJsonObject s;
    s["serializationVersion"] = in.ushort("serialization version");
    s["appVersion"] = in.string("application version");
    s["startTime"] = in.int64("start time");
    s["sessionLength"] = in.int64("session length");
    s["totalPause"] = in.int64("total pause");
    s["locale"] = in.string("locale");
    s["timeZone"] = in.string("time zone");
    s["internetAvailable"] = in.boolean("internet available");
    s["userID"] = in.string("user id");
    s["locationPresent"] = in.boolean("location present");
    s["latitude"] = in.dbl("latitude");
    s["longitude"] = in.dbl("longitude");
    s["accuracy"] = double(in.single("accuracy"));
    s["pageViews"] = in.int32("page views");
    s["reserved"] = in.ushort("reserved");
    s["gender"] = in.byte("gender");
    if (in.boolean("age present"))
        s["birthDate"] = in.int64("birth date");
    QJsonObject counts;
    for (int i = 0, n = in.ushort("event name count"); i < n; ++i) {
        const QString name = in.string("event name");
        counts[name] = in.int32("event count");
    }
    s["eventCounts"] = counts;
    QJsonArray events;
    for (int i = 0, n = in.ushort("logged event count"); i < n; ++i) {
        QJsonObject event;
        event["name"] = in.string("event name");
        QJsonObject parameters;
        for (int p = 0, m = in.ushort("parameter count"); p < m; ++p) {
            const QString key = in.string("parameter key");
            parameters[key] = in.string("parameter value");
        }
        event["parameters"] = parameters;
        event["startOffset"] = in.int64("start offset");
        event["duration"] = in.int64("duration");
        events.append(event);
    }
    s["events"] = events;
    s["eventLogComplete"] = in.boolean("event log complete");
    s["totalErrors"] = in.int32("total errors");
    QJsonArray errors;
    for (int i = 0, n = in.ushort("error count"); i < n; ++i) {
        QJsonObject error;
        error["time"] = in.int64("error time");
        error["id"] = in.string("error id");
        error["message"] = in.string("error message");
        error["exception"] = in.string("error exception");
        errors.append(error);
    }
    s["errors"] = errors;
    s["adImpressions"] = in.ushort("ad impression count");
    return s;
}

QJsonObject readHeader(Reader& in) {
    QJsonObject h;
    h["protocolVersion"] = in.ushort("protocol version");
    h["adsRequested"] = in.ushort("ads requested");
    h["adCacheTimestamp"] = in.int64("ad cache timestamp");
    QJsonArray cached;
    for (int i = 0, n = in.ushort("cached ad item count"); i < n; ++i) {
        QJsonObject item;
        item["type"] = in.byte("cached item type");
        item["id"] = in.int64("cached item id");
        cached.append(item);
    }
    h["cachedAdItems"] = cached;
    h["platform"] = in.ushort("platform");
    h["agentVersion"] = in.ushort("agent version");
    h["reportTime"] = in.int64("report time");
    h["apiKey"] = in.string("api key");
    h["appVersion"] = in.string("application version");
    h["deviceIdType"] = in.ushort("device id type");
    h["deviceId"] = in.string("device id");
    h["firstRunTime"] = in.int64("first-run time");
    h["sessionStart"] = in.int64("current session start");
    QJsonObject properties;
    for (int i = 0, n = in.ushort("property count"); i < n; ++i) {
        const QString key = in.string("property key");
        properties[key] = in.string("property value");
    }
    h["properties"] = properties;
    return h;
}

template <typename Read>
std::optional<QJsonObject> whole(const QByteArray& bytes, QString* error, Read read) {
    try {
        Reader in(bytes);
        QJsonObject result = read(in);
        if (!in.atEnd())
            throw Malformed("trailing bytes after offset " + std::to_string(in.position()));
        return result;
    } catch (const Malformed& failure) {
        if (error)
            *error = QString::fromStdString(failure.what());
        return std::nullopt;
    }
}

} // namespace

std::optional<QJsonObject> ReportDecoder::decodeSession(const QByteArray& session, QString* error) {
    return whole(session, error, readSession);
}

std::optional<QJsonObject> ReportDecoder::decodeReport(const QByteArray& report, QString* error) {
    return whole(report, error, [](Reader& in) {
        QJsonObject report;
        report["header"] = readHeader(in);
        QJsonArray sessions;
        for (int i = 0, n = in.ushort("session count"); i < n; ++i)
            sessions.append(readSession(in));
        report["sessions"] = sessions;
        return report;
    });
}

std::optional<QJsonObject> ReportDecoder::decodeFile(const QByteArray& bytes, QString* error) {
    QCborParserError cborError;
    const QCborValue archive = QCborValue::fromCbor(bytes, &cborError);
    if (cborError.error == QCborError::NoError && archive.isArray()) {
        QJsonArray sessions;
        for (const QCborValue& block : archive.toArray()) {
            if (!block.isByteArray()) {
                if (error)
                    *error = QStringLiteral("a saved session is not a byte block");
                return std::nullopt;
            }
            std::optional<QJsonObject> session = decodeSession(block.toByteArray(), error);
            if (!session)
                return std::nullopt;
            sessions.append(*session);
        }
        return QJsonObject{{"savedSessions", sessions}};
    }
    if (cborError.error == QCborError::NoError && archive.isMap())
        return QJsonObject{{"archive", archive.toJsonValue()}};
    // A report starts with its protocol version, a session record with its serialization version: the first
    // field says which of the two the bytes mean to be, and so whose error to tell.
    if (bytes.size() >= 2 && quint8(bytes.at(0)) == 0 && quint8(bytes.at(1)) == sessionSerializationVersion) {
        std::optional<QJsonObject> session = decodeSession(bytes, error);
        if (!session)
            return std::nullopt;
        return QJsonObject{{"session", *session}};
    }
    return decodeReport(bytes, error);
}

} // namespace grinsley::tools
