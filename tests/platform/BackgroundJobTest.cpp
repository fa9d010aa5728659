#include <atomic>
#include <memory>
#include <semaphore>

#include <QTest>

#include <gtest/gtest.h>

#include "platform/BackgroundJob.h"

using grinsley::platform::BackgroundJob;
using namespace std::chrono_literals;

// A result reaches its owner on the main thread; a later start, a cancel, the time limit or the owner's end
// drops an answer that comes too late. Workers are held back by a semaphore so that the order is the test's.
TEST(BackgroundJob, OnlyTheAnswerStillWantedArrives) {
    auto owner = std::make_unique<QObject>();
    auto job = std::make_unique<BackgroundJob<int>>(owner.get());
    std::vector<int> delivered;
    std::counting_semaphore<8> release(0);
    const auto work = [&release](int value) {
        return [&release, value] {
            release.acquire();
            return value;
        };
    };
    const auto deliver = [&](int value) { delivered.push_back(value); };
    const auto settle = [] { QTest::qWait(50); };

    job->start(work(1), deliver);
    EXPECT_TRUE(job->isRunning());
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered.empty(); }, 5000));
    EXPECT_EQ(delivered, std::vector<int>{1});
    EXPECT_FALSE(job->isRunning());

    job->start(work(2), deliver); // replaced before it answers
    job->start(work(3), deliver);
    release.release(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 2; }, 5000));
    settle();
    EXPECT_EQ(delivered, (std::vector<int>{1, 3}));

    job->start(work(4), deliver);
    job->cancel();
    EXPECT_FALSE(job->isRunning());
    release.release();
    settle();

    bool timedOut = false;
    job->start(work(5), deliver, 20ms, [&] { timedOut = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return timedOut; }, 5000));
    EXPECT_FALSE(job->isRunning());
    release.release();
    settle();

    job->start(work(6), deliver);
    job.reset();
    owner.reset();
    release.release();
    settle();
    EXPECT_EQ(delivered, (std::vector<int>{1, 3})) << "cancelled, timed out and orphaned answers are dropped";
}
