#pragma once

#include <algorithm>
#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

// The longest the interface thread went without running its event loop, from `begin` until `busy` says the
// work is over: the longest gap between ticks of a 1 ms timer, in nanoseconds.
inline qint64 longestStall(const std::function<void()>& begin, const std::function<bool()>& busy) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.nsecsElapsed() - last);
        last = clock.nsecsElapsed();
    });
    clock.start();
    tick.start();
    begin();
    while (busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::max(worst, clock.nsecsElapsed() - last);
}
