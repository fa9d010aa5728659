#include "MainThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace grinsley::platform {

namespace {
// Delayed calls are timers owned by their target, so a dying target takes its calls with it.
constexpr const char* delayedCallName = "grinsley.platform.delayedCall";
} // namespace

void MainThread::post(std::function<void()> function) {
    QObject* app = QCoreApplication::instance();
    if (!app || !function)
        return;
    QMetaObject::invokeMethod(app, std::move(function), Qt::QueuedConnection);
}

void MainThread::performAfterDelay(QObject* target, std::function<void()> function,
                                   std::chrono::milliseconds delay) {
    if (!target || !function)
        return;
    auto* timer = new QTimer(target);
    timer->setObjectName(QLatin1String(delayedCallName));
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, target, [timer, function = std::move(function)] {
        timer->deleteLater();
        timer->setObjectName(QString()); // no longer pending
        function();
    });
    timer->start(delay);
}

void MainThread::cancelPreviousPerformRequests(QObject* target) {
    if (!target)
        return;
    const auto timers = target->findChildren<QTimer*>(QLatin1String(delayedCallName), Qt::FindDirectChildrenOnly);
    for (QTimer* timer : timers) {
        timer->stop();
        timer->setObjectName(QString());
        timer->deleteLater();
    }
}

int MainThread::pendingPerformRequests(const QObject* target) {
    if (!target)
        return 0;
    return int(target->findChildren<QTimer*>(QLatin1String(delayedCallName), Qt::FindDirectChildrenOnly).size());
}

void yieldToTheInterface() { ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10); }

} // namespace grinsley::platform
