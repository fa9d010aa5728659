#pragma once

#include <chrono>
#include <functional>

namespace grinsley::platform {

// Work that should finish even though the program is going away (an upload at a pause): quitting waits for
// the running tasks until they end or a deadline passes, and then calls their expiry handlers.
class BackgroundTask {
public:
    using Identifier = unsigned long;
    static constexpr Identifier Invalid = 0;

    // A new task; the handler runs (on the main thread) if quitting stops waiting before the task ends.
    static Identifier begin(std::function<void()> expirationHandler);
    // Ends the task (any thread); ending an ended or invalid one does nothing.
    static void end(Identifier task);
    static int running();
    // Called as the program quits: waits for the running tasks, at most the deadline, then expires the rest.
    // Returns whether all ended in time.
    static bool waitForRunningTasks(std::chrono::milliseconds deadline);
};

} // namespace grinsley::platform
