#include "TallyHeartBeater.h"

#include <mutex>

#include <QCoreApplication>
#include <QTimer>

#include "platform/NotificationCenter.h"

namespace grinsley {

namespace {
std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}
TallyHeartBeater*& sharedBeater() {
    static TallyHeartBeater* beater = nullptr;
    return beater;
}
} // namespace

TallyHeartBeater& TallyHeartBeater::createAndStartInstance(double intervalSeconds) {
    std::lock_guard lock(instanceMutex());
    TallyHeartBeater*& beater = sharedBeater();
    if (!beater) {
        beater = new TallyHeartBeater;
        beater->setParent(QCoreApplication::instance()); // lives as long as the application; its timer dies with it
        QObject::connect(beater, &QObject::destroyed, [] { sharedBeater() = nullptr; });
        beater->start(intervalSeconds);
    }
    return *beater;
}

TallyHeartBeater* TallyHeartBeater::instance() {
    std::lock_guard lock(instanceMutex());
    return sharedBeater();
}

void TallyHeartBeater::start(double intervalSeconds) {
    if (!_timer) {
        _timer = new QTimer(this);
        connect(_timer, &QTimer::timeout, this, &TallyHeartBeater::heartBeat);
    }
    _timer->start(int(intervalSeconds * 1000));
}

void TallyHeartBeater::heartBeat() { platform::NotificationCenter::defaultCenter().postNotification(notificationName); }

} // namespace grinsley
