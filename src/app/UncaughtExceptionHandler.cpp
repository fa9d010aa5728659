#include "UncaughtExceptionHandler.h"

#include <atomic>
#include <cstdlib>

#include <QString>

#include "analytics/TallyAPI.h"

namespace grinsley {

namespace {
std::atomic_flag handling = ATOMIC_FLAG_INIT;

[[noreturn]] void onTerminate() {
    // A failure while recording ends up here again: then there is nothing more to do but end.
    if (!handling.test_and_set()) {
        try {
            if (const std::exception_ptr escaped = std::current_exception())
                std::rethrow_exception(escaped);
            uncaughtExceptionHandler(nullptr);
        } catch (const std::exception& exception) {
            uncaughtExceptionHandler(&exception);
        } catch (...) {
            uncaughtExceptionHandler(nullptr);
        }
    }
    std::abort();
}
} // namespace

void uncaughtExceptionHandler(const std::exception* exception) {
    TallyAPI::logCrash(QStringLiteral("Exception"), QStringLiteral("Crash!"), exception);
}

void installUncaughtExceptionHandler() { std::set_terminate(onTerminate); }

} // namespace grinsley
