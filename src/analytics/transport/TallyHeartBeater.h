#pragma once

#include <QObject>

class QTimer;

namespace grinsley {

// Posts "TallyHeartBeatNotification" at a fixed interval for as long as the program runs (the ad views
// listen to it). One instance per process.
class TallyHeartBeater : public QObject {
    Q_OBJECT
public:
    static inline const QString notificationName = QStringLiteral("TallyHeartBeatNotification");

    // Makes the instance on the first call and starts it; later calls return it as it is.
    static TallyHeartBeater& createAndStartInstance(double intervalSeconds);
    static TallyHeartBeater* instance();

    void start(double intervalSeconds);
    void heartBeat();

private:
    TallyHeartBeater() = default;
    QTimer* _timer = nullptr;
};

} // namespace grinsley
