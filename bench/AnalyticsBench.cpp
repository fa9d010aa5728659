// Recording usage: one logEvent call with 10 parameters (what it writes to disk included) at 10, 100 and 1000
// logged events, beside the floor of appending that event's bytes to a file; and encoding a report of 50 saved
// sessions. The calls run on the interface thread, so their p99 is what matters.
#include <algorithm>
#include <chrono>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "analytics/TallySession.h"

namespace {

using grinsley::TallySession;
using Clock = std::chrono::steady_clock;

const QString apiKey = QStringLiteral("BENCHMARKKEY01234567");

QVariantMap tenParameters(int i) {
    QVariantMap parameters;
    for (int p = 0; p < 10; ++p)
        parameters.insert(QStringLiteral("parameter%1").arg(p), QStringLiteral("value %1").arg(i));
    return parameters;
}

// The program's folders in a temporary place for one benchmark.
struct Folders {
    QTemporaryDir root;
    Folders() {
        qputenv("XDG_DATA_HOME", (root.path() + "/data").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (root.path() + "/cache").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
        TallySession::discardCurrentSession();
    }
    ~Folders() { TallySession::discardCurrentSession(); }
};

void reportPercentiles(benchmark::State& state, std::vector<double>& microseconds) {
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double q) { return microseconds[size_t(q * double(microseconds.size() - 1))]; };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = microseconds.back();
}

// A session holding `logged` events, to which one more is recorded and timed.
TallySession& sessionWith(int logged) {
    TallySession& session = *TallySession::createActiveTallySession(apiKey);
    for (int i = 0; i < logged; ++i)
        session.recordEvent(QStringLiteral("Event"), tenParameters(i));
    return session;
}

void logEventAt(benchmark::State& state) {
    const int logged = int(state.range(0));
    Folders folders;
    std::vector<double> samples;
    const int wanted = logged >= TallySession::MAX_EVENT_LOG_COUNT ? 1000 : 150;
    for (auto _ : state) {
        samples.clear();
        // A full log stays full, so one session serves every sample; below it, each sample gets a session
        // holding exactly that many events.
        TallySession* full = logged >= TallySession::MAX_EVENT_LOG_COUNT ? &sessionWith(logged) : nullptr;
        for (int s = 0; s < wanted; ++s) {
            TallySession& session = full ? *full : sessionWith(logged);
            const QVariantMap parameters = tenParameters(s);
            const auto begin = Clock::now();
            session.recordEvent(QStringLiteral("Event"), parameters);
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
            if (!full)
                session.saveSession(); // keeps the next session's start clean
        }
    }
    reportPercentiles(state, samples);
}

// The floor: appending the event's bytes to an open file, as a journal would.
void appendFloor(benchmark::State& state) {
    QTemporaryDir folder;
    const int fd = ::open((folder.path() + "/journal").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    grinsley::TallyEvent event(QStringLiteral("Event"), false, tenParameters(1));
    const QByteArray bytes = event.archive();
    std::vector<double> samples;
    for (auto _ : state) {
        samples.clear();
        for (int s = 0; s < 1000; ++s) {
            const auto begin = Clock::now();
            benchmark::DoNotOptimize(::write(fd, bytes.constData(), size_t(bytes.size())));
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
        }
    }
    ::close(fd);
    state.counters["bytes"] = double(bytes.size());
    reportPercentiles(state, samples);
}

// A report of 50 saved sessions (100 events each) and the current one.
void reportOfFiftySessions(benchmark::State& state) {
    Folders folders;
    for (int s = 0; s < 50; ++s) {
        sessionWith(100);
        TallySession::currentSession()->saveSession();
    }
    TallySession& current = sessionWith(10);
    QList<TallySession::ReportItem> items;
    for (const QByteArray& block : TallySession::savedSessions())
        items.append(block);
    items.append(&current);
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray report = TallySession::dataForSessions(items);
        size = report.size();
        benchmark::DoNotOptimize(report.constData());
    }
    state.counters["report_bytes"] = double(size);
}

} // namespace

BENCHMARK(appendFloor)->Name("analytics/floor_append_event_bytes")->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(logEventAt)->Name("analytics/logEvent_10_parameters")->Arg(10)->Arg(100)->Arg(1000)->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(reportOfFiftySessions)->Name("analytics/encode_report_50_sessions")->Unit(benchmark::kMillisecond);
