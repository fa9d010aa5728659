#include "NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include "platform/MainThread.h"

namespace grinsley::platform {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(QObject* owner, const QString& name, Handler handler) {
    if (owner && handler)
        _observers[name].push_back(Observer{owner, std::move(handler)});
}

void NotificationCenter::removeObserver(QObject* owner) {
    for (auto& [name, list] : _observers)
        std::erase_if(list, [owner](const Observer& o) { return o.owner == owner; });
}

void NotificationCenter::removeObserver(QObject* owner, const QString& name) {
    auto it = _observers.find(name);
    if (it != _observers.end())
        std::erase_if(it->second, [owner](const Observer& o) { return o.owner == owner; });
}

void NotificationCenter::postNotification(const QString& name, const QVariantMap& userInfo) {
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread()) {
        MainThread::post([this, name, userInfo] { postNotification(name, userInfo); });
        return;
    }
    auto it = _observers.find(name);
    if (it == _observers.end())
        return;
    std::erase_if(it->second, [](const Observer& o) { return !o.owner; });
    // A copy: an observer may add or remove observers while being told.
    const std::vector<Observer> observers = it->second;
    for (const Observer& o : observers) {
        if (o.owner)
            o.handler(userInfo);
    }
}

} // namespace grinsley::platform
