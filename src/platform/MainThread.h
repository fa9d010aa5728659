#pragma once

#include <chrono>
#include <functional>

class QObject;

namespace grinsley::platform {

// Work for the main (GUI) thread: posted from any thread, or delayed and cancellable per target.
class MainThread {
public:
    // Runs the function on the main thread's event loop, after what is already queued; safe from any thread.
    static void post(std::function<void()> function);

    // Runs the function after the delay unless cancelled first; dies with the target. Main thread only.
    static void performAfterDelay(QObject* target, std::function<void()> function,
                                  std::chrono::milliseconds delay);
    // Cancels every delayed call aimed at the target that has not yet run.
    static void cancelPreviousPerformRequests(QObject* target);
    // The delayed calls aimed at the target that are still waiting.
    static int pendingPerformRequests(const QObject* target);
};

// Puts the calling worker thread behind the interface thread in the queue for the processor: at full size
// background work (a decode, a save) runs for a long while, and on a machine of two cores it would otherwise
// take turns with the interface thread.
void yieldToTheInterface();

} // namespace grinsley::platform
