#include "ErrorRecord.h"

namespace grinsley::platform {

QString ErrorRecord::localizedDescription() const {
    const QString described = userInfo.value(LocalizedDescriptionKey).toString();
    if (!described.isEmpty())
        return described;
    return QStringLiteral("The operation couldn't be completed. (%1 error %2.)").arg(domain).arg(code);
}

} // namespace grinsley::platform
