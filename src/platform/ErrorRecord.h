#pragma once

#include <QString>
#include <QVariantMap>

namespace grinsley::platform {

// A failure as a value: the domain it comes from, a code within that domain and what else is known about it.
struct ErrorRecord {
    // Keys of userInfo with a meaning of their own.
    static inline const QString LocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
    static inline const QString LocalizedFailureReasonKey = QStringLiteral("NSLocalizedFailureReason");

    QString domain;
    int code = 0;
    QVariantMap userInfo;

    // The description in userInfo, else one made of the domain and the code.
    QString localizedDescription() const;
    // The failure reason in userInfo, else empty.
    QString localizedFailureReason() const { return userInfo.value(LocalizedFailureReasonKey).toString(); }
};

} // namespace grinsley::platform
