#pragma once

#include <atomic>
#include <exception>
#include <optional>

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "platform/ErrorRecord.h"

namespace grinsley {

// The analytics component's diagnostic log (written only while diagnostics are unlocked), the reporting of
// exceptions caught inside the component, and the small text encoder every log line goes through.
class TallyUtil {
public:
    // Diagnostics are on only after a key valid for the API key was given; any other key switches them off.
    // A key is valid when it is debugUnlockKey(apiKey), in any letter case.
    static void unlockDebugMode(const QString& unlockKey, const QString& apiKey);
    static bool isDebugModeUnlocked() { return _debugModeUnlocked.load(std::memory_order_relaxed); }
    // The first 16 hexadecimal digits of SHA-256 of "grinsley-tally-debug:" followed by the API key.
    static QString debugUnlockKey(const QString& apiKey);

    // Appends the message, one encoded line per piece between control characters, each with the date.
    static void logToFile(const QString& message);
    static QString logFilePath();
    // Formats and writes the message only while diagnostics are on; the arguments fill %1, %2, ...
    template <typename... Args>
    static void log(const char* format, const Args&... args) {
        if (!isDebugModeUnlocked())
            return;
        if constexpr (sizeof...(Args) == 0)
            logToFile(QString::fromUtf8(format));
        else
            logToFile(QString::fromUtf8(format).arg(describe(args)...));
    }

    // Exceptions and errors caught inside the component go to the diagnostic log and nowhere else.
    static void handleException(const std::exception& exception);
    static void handleException(const platform::ErrorRecord& error);
    static void handleException(const QString& other);
    // Runs the work so that nothing it throws reaches the caller.
    template <typename Work>
    static void guard(Work&& work) noexcept {
        try {
            work();
        } catch (const std::exception& exception) {
            reportCaught([&] { handleException(exception); });
        } catch (...) {
            reportCaught([] { handleException(QStringLiteral("an exception of unknown type")); });
        }
    }

    static QString transposeEncode(const QString& text);
    static QString transposeDecode(const QString& text);

    static void setShowErrorInLogEnabled(bool enabled) { _showErrorInLog = enabled; }
    static bool showErrorInLog() { return _showErrorInLog; }

    // A readable name for an exception's type (the language gives exceptions no name of their own).
    static QString exceptionName(const std::exception& exception);

    // Text forms of the values log lines carry.
    static QString describe(const QString& value) { return value.isNull() ? QStringLiteral("(null)") : value; }
    static QString describe(const char* value) { return QString::fromUtf8(value); }
    static QString describe(int value) { return QString::number(value); }
    static QString describe(qint64 value) { return QString::number(value); }
    static QString describe(bool value) { return QString::number(int(value)); }
    static QString describe(const QVariantMap& value);
    static QString describe(const std::optional<QVariantMap>& value);
    // A timestamp in milliseconds since 1970, or none.
    static QString describeTime(std::optional<qint64> milliseconds);

private:
    // Reporting may fail too (no memory for the line): then the report is dropped, never thrown on.
    template <typename Report>
    static void reportCaught(Report&& report) noexcept {
        try {
            report();
        } catch (...) {
        }
    }

    static inline std::atomic<bool> _debugModeUnlocked{false};
    static inline std::atomic<bool> _showErrorInLog{false};
};

} // namespace grinsley
