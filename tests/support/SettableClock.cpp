#include "SettableClock.h"

#include "platform/Clock.h"

namespace grinsley::testing {

SettableClock::SettableClock(QDateTime start) : _now(std::move(start)) {
    platform::Clock::setSource([this] { return _now; });
}

SettableClock::~SettableClock() { platform::Clock::setSource({}); }

} // namespace grinsley::testing
