#pragma once

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include "analytics/TallyAPI.h"
#include "analytics/TallySession.h"
#include "analytics/TallyUtil.h"
#include "report/ReportDecoder.h"
#include "support/IsolatedTest.h"
#include "support/SettableClock.h"

namespace grinsley::testing {

// A test with its own folders and clock, and no analytics session left over from another test.
class AnalyticsTest : public IsolatedTest {
protected:
    static inline const QString apiKey = QStringLiteral("ABCDEFGHIJ0123456789");

    void SetUp() override {
        IsolatedTest::SetUp();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
        TallySession::discardCurrentSession();
        TallyAPI::resetSettings();
        TallySession::setMaxSessions(TallySession::DEFAULT_MAX_SESSIONS);
        TallyUtil::unlockDebugMode({}, {});
    }
    void TearDown() override {
        TallySession::discardCurrentSession();
        TallyUtil::unlockDebugMode({}, {});
        IsolatedTest::TearDown();
    }

    static TallySession& start() { return *TallySession::createActiveTallySession(apiKey); }
    // What the next start would find: the session as the last run left it on disk.
    static TallySession& restart() {
        TallySession::discardCurrentSession();
        return start();
    }
    static QJsonObject decodedSession(const QByteArray& block) {
        QString error;
        const std::optional<QJsonObject> decoded = tools::ReportDecoder::decodeSession(block, &error);
        EXPECT_TRUE(decoded) << error.toStdString();
        return decoded.value_or(QJsonObject());
    }
    static QList<QJsonObject> savedSessions() {
        QList<QJsonObject> out;
        for (const QByteArray& block : TallySession::savedSessions())
            out.append(decodedSession(block));
        return out;
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    SettableClock clock;
};

} // namespace grinsley::testing
