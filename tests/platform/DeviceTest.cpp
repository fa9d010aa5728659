#include <QWidget>

#include <gtest/gtest.h>

#include "platform/Device.h"
#include "support/IsolatedTest.h"

using namespace grinsley::platform;

class DeviceTest : public grinsley::testing::IsolatedTest {};

TEST_F(DeviceTest, IdiomOptionWinsOverTheScreen) {
    Device::configure({"grinsley", "--idiom", "tablet"});
    EXPECT_TRUE(Device::isTablet());
    Device::configure({"grinsley", "--idiom=phone"});
    EXPECT_EQ(Device::idiom(), Idiom::Phone);
    // Unknown values and a dangling option change nothing.
    Device::configure({"grinsley", "--idiom", "watch"});
    EXPECT_EQ(Device::idiom(), Idiom::Phone);
    Device::configure({"grinsley", "--idiom"});
    EXPECT_EQ(Device::idiom(), Idiom::Phone);
}

TEST_F(DeviceTest, LandscapeWhenTheWindowIsWiderThanTall) {
    QWidget window;
    window.resize(500, 300);
    EXPECT_EQ(Device::interfaceOrientation(&window), InterfaceOrientation::LandscapeLeft);
    window.resize(300, 500);
    EXPECT_EQ(Device::interfaceOrientation(&window), InterfaceOrientation::Portrait);
    window.resize(400, 400);
    EXPECT_EQ(Device::interfaceOrientation(&window), InterfaceOrientation::Portrait);
}
