#pragma once

#include <memory>

#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace grinsley::platform {

// The user-defaults store: small values under plain string keys, kept in an INI file in the user's config
// folder. Safe to use from several threads.
class UserDefaults {
public:
    static UserDefaults& standard();
    // Forgets the open store so the next standard() opens the file for the current config folder (tests give
    // every case its own).
    static void resetStandard();

    explicit UserDefaults(const QString& path);

    QVariant objectForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    // 0 when absent or not a number; may be infinite or NaN if that is what was stored.
    float floatForKey(const QString& key) const;
    int integerForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    bool hasKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setFloat(float value, const QString& key) { setObject(QVariant(double(value)), key); }
    void removeObjectForKey(const QString& key);
    // Writes pending changes to disk; false when the file could not be written.
    bool synchronize();

    QString path() const { return _settings.fileName(); }

private:
    mutable QMutex _mutex;
    QSettings _settings;
};

} // namespace grinsley::platform
