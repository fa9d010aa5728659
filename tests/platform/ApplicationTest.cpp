#include <QFile>

#include <gtest/gtest.h>

#include "platform/Application.h"

using grinsley::platform::Application;

// The running program holds a working memory watcher wherever the kernel offers pressure information: the
// trigger asks for a window an unprivileged process is allowed (a 1-second one is refused with EINVAL).
TEST(Application, MemoryPressureWatcherIsSetUp) {
    if (!QFile::exists(QStringLiteral("/proc/pressure/memory")))
        GTEST_SKIP() << "no pressure-stall information on this kernel";
    EXPECT_EQ(Application::memoryPressureTrigger(), "some 150000 2000000");
    EXPECT_TRUE(Application::shared().isWatchingMemoryPressure());
}
