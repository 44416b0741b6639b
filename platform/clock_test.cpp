#include "platform/clock.h"

#include <gtest/gtest.h>

namespace tessel::platform {
namespace {

TEST(VirtualClockTest, SleepsAdvanceTheTimeAndAreRecorded) {
    VirtualClock clock(Millis(10));
    clock.sleepMs(100);
    clock.sleep(Micros(1042));
    EXPECT_EQ(clock.now(), Millis(110) + Micros(1042));
    EXPECT_EQ(clock.waits(), (std::vector<Micros>{Millis(100), Micros(1042)}));

    clock.advance(Millis(5));    // moves without recording
    clock.advanceTo(Millis(1));  // never backward
    EXPECT_EQ(clock.now(), Millis(115) + Micros(1042));
    EXPECT_EQ(clock.waits().size(), 2u);
    clock.clearWaits();
    EXPECT_TRUE(clock.waits().empty());
}

TEST(VirtualClockTest, WaitForRecordsOnlyUnsatisfiedWaits) {
    VirtualClock clock;
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    EXPECT_TRUE(clock.waitFor(cv, lock, Millis(300), [] { return true; }));
    EXPECT_TRUE(clock.waits().empty());
    EXPECT_FALSE(clock.waitFor(cv, lock, Millis(300), [] { return false; }));
    EXPECT_EQ(clock.waits(), std::vector<Micros>{Millis(300)});
    EXPECT_EQ(clock.now(), Millis(300));
}

TEST(VirtualClockTest, TickCountWrapsLikeA32BitCounter) {
    VirtualClock clock(Millis((std::int64_t{1} << 32) - 1));
    EXPECT_EQ(clock.tickCount(), 0xFFFFFFFFu);
    clock.sleepMs(6);
    EXPECT_EQ(clock.tickCount(), 5u);
}

}  // namespace
}  // namespace tessel::platform
