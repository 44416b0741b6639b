#include "browser/bridge/notification_workers.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tessel::bridge {
namespace {

using platform::Millis;

class Workers : public ::testing::Test {
protected:
    // Polls until the workers' effects show (they run on their own threads).
    static bool eventually(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    bool wokenTimes(int calls) {
        return eventually([&] { return optionReads >= calls; });
    }

    settings::BrowserOptions options;
    std::atomic<int> optionReads{0};
    platform::VirtualClock clock;
    reader::NotificationBinding binding;
    platform::RecordingSoundPlayer sounds;
    reader::Notifier notifier{binding, sounds, clock, reader::ModelIndex::K220};
};

TEST_F(Workers, EachSemaphoreWakesItsSignal) {
    options.vibrationTime = 3;
    options.enableLed = 1;
    options.buzzerDuration = 2;
    options.goodReadBeepFileIdx = 1;
    NotificationWorkers workers(notifier, [this] { ++optionReads; return options; }, clock);

    workers.vibration().release();
    ASSERT_TRUE(eventually([&] { return clock.waits().size() == 1; }));
    workers.goodRead().release();
    ASSERT_TRUE(eventually([&] { return !sounds.requests().empty(); }));
    workers.stop();

    EXPECT_EQ(clock.waits(), (std::vector<platform::Micros>{Millis(1500), Millis(100), Millis(200)}));
    EXPECT_EQ(sounds.requests(), (std::vector<platform::RecordingSoundPlayer::Request>{
                                     {"\\Windows\\Default", reader::kSoundFlags}}));
}

TEST_F(Workers, NegativeLengthsFromTheFileWaitNothing) {
    options.vibrationTime = -1;
    options.buzzerDuration = -5;
    options.goodReadBeepFileIdx = 0;
    NotificationWorkers workers(notifier, [this] { ++optionReads; return options; }, clock);
    workers.vibration().release();
    workers.goodRead().release();
    ASSERT_TRUE(wokenTimes(2));
    workers.stop();
    EXPECT_TRUE(clock.waits().empty());
    EXPECT_TRUE(sounds.requests().empty());
}

TEST_F(Workers, StopEndsBothThreadsWithoutASignal) {
    NotificationWorkers workers(notifier, [this] { ++optionReads; return options; }, clock);
    workers.stop();
    workers.stop();
    EXPECT_EQ(optionReads, 0);
    // A release after the stop is simply kept; nobody is left to take it.
    EXPECT_TRUE(workers.goodRead().release());
}

}  // namespace
}  // namespace tessel::bridge
