#include "UserDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace grinsley::platform {

namespace {
std::unique_ptr<UserDefaults>& standardStore() {
    static std::unique_ptr<UserDefaults> store;
    return store;
}
QMutex& standardMutex() {
    static QMutex mutex;
    return mutex;
}
} // namespace

UserDefaults& UserDefaults::standard() {
    QMutexLocker lock(&standardMutex());
    auto& store = standardStore();
    if (!store) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(folder);
        store = std::make_unique<UserDefaults>(folder + QStringLiteral("/defaults.ini"));
    }
    return *store;
}

void UserDefaults::resetStandard() {
    QMutexLocker lock(&standardMutex());
    standardStore().reset();
}

UserDefaults::UserDefaults(const QString& path) : _settings(path, QSettings::IniFormat) {}

QVariant UserDefaults::objectForKey(const QString& key) const {
    QMutexLocker lock(&_mutex);
    return _settings.value(key);
}

QString UserDefaults::stringForKey(const QString& key) const {
    const QVariant value = objectForKey(key);
    return value.canConvert<QString>() ? value.toString() : QString();
}

float UserDefaults::floatForKey(const QString& key) const {
    bool ok = false;
    const double value = objectForKey(key).toDouble(&ok);
    return ok ? float(value) : 0.0f;
}

int UserDefaults::integerForKey(const QString& key) const {
    bool ok = false;
    const int value = objectForKey(key).toInt(&ok);
    return ok ? value : 0;
}

bool UserDefaults::boolForKey(const QString& key) const { return objectForKey(key).toBool(); }

bool UserDefaults::hasKey(const QString& key) const {
    QMutexLocker lock(&_mutex);
    return _settings.contains(key);
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    QMutexLocker lock(&_mutex);
    _settings.setValue(key, value);
}

void UserDefaults::removeObjectForKey(const QString& key) {
    QMutexLocker lock(&_mutex);
    _settings.remove(key);
}

bool UserDefaults::synchronize() {
    QMutexLocker lock(&_mutex);
    _settings.sync();
    return _settings.status() == QSettings::NoError;
}

} // namespace grinsley::platform
