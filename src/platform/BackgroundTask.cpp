#include "BackgroundTask.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace grinsley::platform {

namespace {
struct Tasks {
    std::mutex mutex;
    std::condition_variable ended;
    std::map<BackgroundTask::Identifier, std::function<void()>> running;
    BackgroundTask::Identifier next = 1;
};
Tasks& tasks() {
    static Tasks t;
    return t;
}
} // namespace

BackgroundTask::Identifier BackgroundTask::begin(std::function<void()> expirationHandler) {
    Tasks& t = tasks();
    std::lock_guard lock(t.mutex);
    const Identifier id = t.next++;
    t.running.emplace(id, std::move(expirationHandler));
    return id;
}

void BackgroundTask::end(Identifier task) {
    Tasks& t = tasks();
    {
        std::lock_guard lock(t.mutex);
        t.running.erase(task);
    }
    t.ended.notify_all();
}

int BackgroundTask::running() {
    Tasks& t = tasks();
    std::lock_guard lock(t.mutex);
    return int(t.running.size());
}

bool BackgroundTask::waitForRunningTasks(std::chrono::milliseconds deadline) {
    Tasks& t = tasks();
    std::unique_lock lock(t.mutex);
    if (t.ended.wait_for(lock, deadline, [&t] { return t.running.empty(); }))
        return true;
    std::map<Identifier, std::function<void()>> expired;
    expired.swap(t.running);
    lock.unlock();
    for (auto& [id, handler] : expired) {
        if (handler)
            handler();
    }
    return false;
}

} // namespace grinsley::platform
