#pragma once

#include <functional>
#include <map>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace grinsley::platform {

// Name-keyed notifications. Observers are called on the main thread, in the order they were added; an
// observer dies with its owner object.
class NotificationCenter {
public:
    using Handler = std::function<void(const QVariantMap& userInfo)>;

    static NotificationCenter& defaultCenter();

    void addObserver(QObject* owner, const QString& name, Handler handler);
    void removeObserver(QObject* owner);
    void removeObserver(QObject* owner, const QString& name);
    // Delivers at once on the main thread; from another thread, queued to it.
    void postNotification(const QString& name, const QVariantMap& userInfo = {});

private:
    struct Observer {
        QPointer<QObject> owner;
        Handler handler;
    };
    std::map<QString, std::vector<Observer>> _observers;
};

} // namespace grinsley::platform
