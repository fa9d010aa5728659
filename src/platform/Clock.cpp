#include "Clock.h"

namespace grinsley::platform {

namespace {
Clock::Source& source() {
    static Clock::Source s;
    return s;
}
} // namespace

QDateTime Clock::now() { return source() ? source()() : QDateTime::currentDateTimeUtc(); }

void Clock::setSource(Source s) { source() = std::move(s); }

} // namespace grinsley::platform
