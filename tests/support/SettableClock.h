#pragma once

#include <QDateTime>

namespace grinsley::testing {

// Makes the program's clock read what the test says while it lives.
class SettableClock {
public:
    explicit SettableClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC));
    ~SettableClock();
    SettableClock(const SettableClock&) = delete;
    SettableClock& operator=(const SettableClock&) = delete;

    void set(QDateTime now) { _now = std::move(now); }
    void advance(qint64 milliseconds) { _now = _now.addMSecs(milliseconds); }
    QDateTime now() const { return _now; }

private:
    QDateTime _now;
};

} // namespace grinsley::testing
