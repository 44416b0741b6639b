#pragma once
// A stop request for a thread that waits in a loop: its waits go through the Clock and end
// early when stop is asked.

#include <condition_variable>
#include <mutex>

#include "platform/clock.h"

namespace tessel::app {

class StopSignal {
public:
    // Waits ms through clock; false when stop was asked (before or during the wait).
    bool pause(platform::Clock& clock, std::uint32_t ms) {
        std::unique_lock lock(mutex_);
        return !clock.waitFor(cv_, lock, platform::Millis(ms), [this] { return stopped_; });
    }
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        cv_.notify_all();
    }
    bool stopped() const {
        std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stopped_ = false;
};

}  // namespace tessel::app
