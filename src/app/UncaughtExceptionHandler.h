#pragma once

#include <exception>

namespace grinsley {

// Records an exception that nothing caught as the analytics error "Exception" with the message "Crash!".
// It does not recover: the process ends afterwards.
void uncaughtExceptionHandler(const std::exception* exception);
// Makes the handler run for every exception that escapes to std::terminate, on the thread that raised it.
void installUncaughtExceptionHandler();

} // namespace grinsley
