#include "Reachability.h"

#include <QCoreApplication>
#include <QMutex>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QThread>

namespace grinsley::platform {

namespace {
QMutex& sourceMutex() {
    static QMutex mutex;
    return mutex;
}
Reachability::Source& source() {
    static Reachability::Source s;
    return s;
}
} // namespace

void Reachability::loadBackend() {
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadDefaultBackend();
}

void Reachability::setSource(Source s) {
    QMutexLocker lock(&sourceMutex());
    source() = std::move(s);
}

std::optional<Reachability::Flags> Reachability::flagsForZeroAddress() {
    {
        QMutexLocker lock(&sourceMutex());
        if (source())
            return source()();
    }
    if (const QNetworkInformation* info = QNetworkInformation::instance()) {
        switch (info->reachability()) {
        case QNetworkInformation::Reachability::Online:
            // Behind a captive portal the internet is there only after the user signs in.
            return info->isBehindCaptivePortal() ? Flags(Reachable | ConnectionRequired) : Flags(Reachable);
        case QNetworkInformation::Reachability::Disconnected:
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
            return Flags(0);
        case QNetworkInformation::Reachability::Unknown:
            break; // the backend cannot tell: ask the interfaces
        }
    }
    return flagsFromInterfaces();
}

std::optional<Reachability::Flags> Reachability::flagsFromInterfaces() {
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    if (interfaces.isEmpty())
        return std::nullopt;
    Flags flags = 0;
    for (const QNetworkInterface& interface : interfaces) {
        const auto state = interface.flags();
        if (!state.testFlag(QNetworkInterface::IsUp) || !state.testFlag(QNetworkInterface::IsRunning) ||
            state.testFlag(QNetworkInterface::IsLoopBack) || interface.addressEntries().isEmpty())
            continue;
        if (state.testFlag(QNetworkInterface::IsPointToPoint) || interface.type() == QNetworkInterface::Ppp)
            flags |= TransientConnection;
        else
            flags |= Reachable;
    }
    return flags;
}

} // namespace grinsley::platform
