#include <thread>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/MainThread.h"

using namespace grinsley::platform;
using namespace std::chrono_literals;

TEST(MainThread, PostFromAnotherThreadRunsOnTheMainThread) {
    QThread* ranOn = nullptr;
    std::thread worker([&] { MainThread::post([&] { ranOn = QThread::currentThread(); }); });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ranOn != nullptr; }, 2000));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}

TEST(MainThread, DelayedCallsRunOnceUnlessCancelled) {
    QObject target;
    int runs = 0;
    MainThread::performAfterDelay(&target, [&] { ++runs; }, 1ms);
    EXPECT_EQ(MainThread::pendingPerformRequests(&target), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 2000));
    EXPECT_EQ(MainThread::pendingPerformRequests(&target), 0);

    MainThread::performAfterDelay(&target, [&] { runs += 10; }, 1ms);
    MainThread::performAfterDelay(&target, [&] { runs += 100; }, 1ms);
    EXPECT_EQ(MainThread::pendingPerformRequests(&target), 2);
    MainThread::cancelPreviousPerformRequests(&target);
    EXPECT_EQ(MainThread::pendingPerformRequests(&target), 0);

    // A later call aimed elsewhere proves the cancelled ones had their chance to fire.
    QObject other;
    bool otherRan = false;
    MainThread::performAfterDelay(&other, [&] { otherRan = true; }, 5ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return otherRan; }, 2000));
    EXPECT_EQ(runs, 1);
}

TEST(MainThread, CancellingOneTargetLeavesTheOthers) {
    QObject a, b;
    bool ranA = false, ranB = false;
    MainThread::performAfterDelay(&a, [&] { ranA = true; }, 1ms);
    MainThread::performAfterDelay(&b, [&] { ranB = true; }, 1ms);
    MainThread::cancelPreviousPerformRequests(&a);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ranB; }, 2000));
    EXPECT_FALSE(ranA);
}

TEST(MainThread, ADeadTargetTakesItsCallsWithIt) {
    bool ran = false;
    {
        QObject target;
        MainThread::performAfterDelay(&target, [&] { ran = true; }, 1ms);
    }
    QObject witness;
    bool witnessRan = false;
    MainThread::performAfterDelay(&witness, [&] { witnessRan = true; }, 5ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return witnessRan; }, 2000));
    EXPECT_FALSE(ran);
}
