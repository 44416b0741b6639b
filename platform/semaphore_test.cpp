#include "platform/semaphore.h"

#include <gtest/gtest.h>

#include <thread>

namespace tessel::platform {
namespace {

TEST(SemaphoreTest, AReleaseAtTheMaximumIsLost) {
    VirtualClock clock;
    Semaphore semaphore(0, 1, clock);
    EXPECT_TRUE(semaphore.release());
    EXPECT_FALSE(semaphore.release());
    EXPECT_EQ(semaphore.count(), 1);
    EXPECT_TRUE(semaphore.tryWait());
    EXPECT_FALSE(semaphore.tryWait());  // the lost release gave no second count

    Semaphore two(1, 2, clock);
    EXPECT_TRUE(two.release());
    EXPECT_FALSE(two.release());
    EXPECT_TRUE(two.wait(0));
    EXPECT_TRUE(two.wait(0));
    EXPECT_FALSE(two.tryWait());
}

TEST(SemaphoreTest, TimedWaitsRunOnTheClockWithoutSleeping) {
    VirtualClock clock;
    Semaphore semaphore(0, 1, clock);
    EXPECT_FALSE(semaphore.wait(2500));
    EXPECT_EQ(clock.now(), Millis(2500));
    EXPECT_EQ(clock.waits(), std::vector<Micros>{Millis(2500)});

    semaphore.release();
    clock.clearWaits();
    EXPECT_TRUE(semaphore.wait(1000));  // a count is there: no wait at all
    EXPECT_TRUE(clock.waits().empty());
    EXPECT_EQ(clock.now(), Millis(2500));
}

TEST(SemaphoreTest, AReleaseFromAnotherThreadWakesAWait) {
    Semaphore semaphore(0, 1);
    bool infiniteWoke = false;
    std::thread waiter([&] { infiniteWoke = semaphore.wait(kInfinite); });
    semaphore.release();
    waiter.join();
    EXPECT_TRUE(infiniteWoke);

    // A real timed wait that a release ends long before its time-out.
    bool timedWoke = false;
    std::thread timed([&] { timedWoke = semaphore.wait(60'000); });
    semaphore.release();
    timed.join();
    EXPECT_TRUE(timedWoke);
    EXPECT_EQ(semaphore.count(), 0);
}

}  // namespace
}  // namespace tessel::platform
