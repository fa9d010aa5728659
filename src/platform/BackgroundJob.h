#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "platform/MainThread.h"

namespace grinsley::platform {

// One kind of background work of one owner: start() runs a function on a worker thread of its own and hands
// the result to `done` on the main thread, if the owner still wants it. It does not when the owner is gone, a
// later start() or cancel() came first, or the time limit ran out (then `timedOut` ran instead). Nothing ever
// waits for the worker: a late answer is dropped. Main thread only, but for the work itself.
template <typename Result>
class BackgroundJob {
public:
    explicit BackgroundJob(QObject* owner) : _owner(owner) {}
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void start(std::function<Result()> work, std::function<void(Result)> done,
               std::optional<std::chrono::milliseconds> limit = std::nullopt, std::function<void()> timedOut = {}) {
        const quint64 run = ++_run;
        _running = true;
        auto state = _state; // outlives this job: a worker may answer after the owner is gone
        QPointer<QObject> owner(_owner);
        std::thread([state, owner, run, work = std::move(work), done = std::move(done)]() mutable {
            yieldToTheInterface();
            Result result = work();
            MainThread::post([state, owner, run, done = std::move(done), result = std::move(result)]() mutable {
                if (!owner || !state->job || state->job->_run != run)
                    return;
                state->job->_running = false;
                done(std::move(result));
            });
        }).detach();
        if (!limit)
            return;
        QTimer::singleShot(*limit, _owner, [this, run, timedOut = std::move(timedOut)] {
            if (_run != run || !_running)
                return;
            cancel();
            if (timedOut)
                timedOut();
        });
    }

    // The answer of the work under way, if any, will be dropped.
    void cancel() {
        ++_run;
        _running = false;
    }
    bool isRunning() const { return _running; }

    ~BackgroundJob() { _state->job = nullptr; }

private:
    struct State {
        BackgroundJob* job = nullptr;
    };
    QObject* _owner;
    std::shared_ptr<State> _state = std::make_shared<State>(State{this});
    quint64 _run = 0;
    bool _running = false;
};

} // namespace grinsley::platform
