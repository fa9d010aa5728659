// grinsley-report FILE: prints an analytics report, session record or archive as readable JSON.
#include <cstdio>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>

#include "ReportDecoder.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: grinsley-report FILE\n"
                             "Prints an analytics report, one session record, a saved-sessions archive or a session archive as\n"
                             "JSON; a file that breaks the format gets the field and the offset where it does.\n");
        return 2;
    }
    QFile file(arguments.at(1));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "grinsley-report: cannot read %s: %s\n", qPrintable(arguments.at(1)),
                     qPrintable(file.errorString()));
        return 1;
    }
    QString error;
    const std::optional<QJsonObject> decoded = grinsley::tools::ReportDecoder::decodeFile(file.readAll(), &error);
    if (!decoded) {
        std::fprintf(stderr, "grinsley-report: %s: %s\n", qPrintable(arguments.at(1)), qPrintable(error));
        return 1;
    }
    std::fputs(QJsonDocument(*decoded).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
