// A stand-in for the program in the kill test: starts an analytics session and records events as fast as it
// can, printing the number of calls that have returned after each one, until it is killed.
#include <cstdio>

#include <QCoreApplication>

#include "analytics/TallySession.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    const QString apiKey = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("KEY");
    grinsley::TallySession* session = grinsley::TallySession::createActiveTallySession(apiKey);
    std::printf("started\n");
    std::fflush(stdout);
    for (int i = 1;; ++i) {
        QVariantMap parameters;
        for (int p = 0; p < 10; ++p)
            parameters.insert(QStringLiteral("parameter%1").arg(p), i);
        session->recordEvent(QStringLiteral("Event"), parameters);
        if (i % 97 == 0)
            session->recordError(QStringLiteral("Error"), QStringLiteral("message"), QStringLiteral("text"));
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
