#include "TallyUtil.h"

#include <typeinfo>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#endif
#include <cstdlib>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>

#include "platform/Clock.h"
#include "platform/Directories.h"

Q_LOGGING_CATEGORY(lcTally, "grinsley.analytics")

namespace grinsley {

namespace {
constexpr int transposeBuckets = 7;
}

// ---- Diagnostics switch ------------------------------------------------------------------------------

QString TallyUtil::debugUnlockKey(const QString& apiKey) {
    const QByteArray digest =
        QCryptographicHash::hash("grinsley-tally-debug:" + apiKey.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.left(8).toHex());
}

void TallyUtil::unlockDebugMode(const QString& unlockKey, const QString& apiKey) {
    _debugModeUnlocked = false;
    if (!apiKey.isEmpty() && unlockKey.compare(debugUnlockKey(apiKey), Qt::CaseInsensitive) == 0)
        _debugModeUnlocked = true;
}

// ---- The log file ------------------------------------------------------------------------------------

QString TallyUtil::logFilePath() { return platform::Directories::documents() + QStringLiteral("/tally.logfile.txt"); }

void TallyUtil::logToFile(const QString& message) {
    QFile file(logFilePath());
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        qCWarning(lcTally, "Tally: logToFile: Failed to open log file");
        return;
    }
    const QString date = describeTime(platform::Clock::nowMilliseconds());
    QByteArray out;
    qsizetype begin = 0;
    for (qsizetype i = 0; i <= message.size(); ++i) {
        if (i < message.size() && message.at(i).category() != QChar::Other_Control)
            continue;
        const QString line = date + QLatin1Char(' ') + message.mid(begin, i - begin);
        out += transposeEncode(line).toUtf8();
        out += '\n';
        begin = i + 1;
    }
    file.write(out); // one write, so a line of this message is never split by another thread's
}

// ---- Caught exceptions -------------------------------------------------------------------------------

QString TallyUtil::exceptionName(const std::exception& exception) {
    const char* mangled = typeid(exception).name();
#if __has_include(<cxxabi.h>)
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    if (demangled && status == 0) {
        QString name = QString::fromUtf8(demangled);
        std::free(demangled);
        return name;
    }
    std::free(demangled);
#endif
    return QString::fromUtf8(mangled);
}

void TallyUtil::handleException(const std::exception& exception) {
    log("Tally: Caught Exception in Tally Analytics Code");
    log("Tally: -----------------------------------------");
    log("Tally: Name:%1 Reason:%2", exceptionName(exception), QString::fromUtf8(exception.what()));
    log("Tally: %1", QStringLiteral("(null)")); // a C++ exception carries no user information
}

void TallyUtil::handleException(const platform::ErrorRecord& error) {
    log("Tally: Caught Error in Tally Analytics Code");
    log("Tally: -----------------------------------------");
    log("Tally: Code:%1 Domain:%2", error.code, error.domain);
    log("Tally: %1", error.userInfo);
}

void TallyUtil::handleException(const QString& other) {
    log("Tally: Caught Error in Tally Analytics Code");
    log("Tally: %1", other);
}

// ---- Line encoding -----------------------------------------------------------------------------------

QString TallyUtil::transposeEncode(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int bucket = 0; bucket < transposeBuckets; ++bucket)
        for (qsizetype i = bucket; i < text.size(); i += transposeBuckets)
            out.append(text.at(i));
    return out;
}

QString TallyUtil::transposeDecode(const QString& text) {
    QString out(text.size(), QChar());
    qsizetype next = 0;
    for (int bucket = 0; bucket < transposeBuckets; ++bucket)
        for (qsizetype i = bucket; i < text.size(); i += transposeBuckets)
            out[i] = text.at(next++);
    return out;
}

// ---- Text forms --------------------------------------------------------------------------------------

QString TallyUtil::describe(const QVariantMap& value) {
    QStringList entries;
    for (auto it = value.cbegin(); it != value.cend(); ++it)
        entries.append(QStringLiteral("%1 = %2").arg(it.key(), it.value().toString()));
    return QStringLiteral("{") + entries.join(QStringLiteral("; ")) + QStringLiteral("}");
}

QString TallyUtil::describe(const std::optional<QVariantMap>& value) {
    return value ? describe(*value) : QStringLiteral("(null)");
}

QString TallyUtil::describeTime(std::optional<qint64> milliseconds) {
    if (!milliseconds)
        return QStringLiteral("(null)");
    return QDateTime::fromMSecsSinceEpoch(*milliseconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
}

} // namespace grinsley
