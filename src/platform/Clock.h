#pragma once

#include <functional>

#include <QDateTime>

namespace grinsley::platform {

// Now, as the program sees it. Tests install a source of their own; an empty source is the system clock.
class Clock {
public:
    using Source = std::function<QDateTime()>;

    static QDateTime now();
    static qint64 nowMilliseconds() { return now().toMSecsSinceEpoch(); }
    static void setSource(Source source);
};

} // namespace grinsley::platform
