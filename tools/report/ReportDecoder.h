#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace grinsley::tools {

// Reads what the analytics component writes — a report, one session record, the saved-sessions archive or
// the current-session archive — into JSON a person (or a test) can read. Every read is bounds-checked:
// bytes that do not hold what they should give an error, never a crash.
class ReportDecoder {
public:
    // The first field of a session record; a report's first field, its protocol version, is never this.
    static constexpr int sessionSerializationVersion = 1;

    // The report as {"header": {...}, "sessions": [...]}.
    static std::optional<QJsonObject> decodeReport(const QByteArray& report, QString* error = nullptr);
    // One session record, as the report carries it.
    static std::optional<QJsonObject> decodeSession(const QByteArray& session, QString* error = nullptr);
    // Any of the files: a saved-sessions archive ({"savedSessions": [...]}), a session archive
    // ({"archive": {...}}), one session record ({"session": {...}}) or a report. An error names the first
    // field that does not hold what it should and its offset.
    static std::optional<QJsonObject> decodeFile(const QByteArray& bytes, QString* error = nullptr);
};

} // namespace grinsley::tools
