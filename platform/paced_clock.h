#pragma once
// Test support: a virtual time line on which waits block until the test moves time past them.
//
// VirtualClock lets a wait return at once, which suits code that waits a few times and then
// ends. Threads that wait in a loop for the whole run (monitors, animations) would spin on it;
// on a PacedClock each wait is recorded and then holds its thread until advance() reaches the
// wait's end, or until its ready() condition holds. Nothing sleeps for the waits' lengths.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace tessel::platform {

class PacedClock final : public Clock {
public:
    Micros now() const override {
        std::lock_guard guard(mutex_);
        return now_;
    }

    void sleep(Micros d) override {
        std::unique_lock guard(mutex_);
        waits_.push_back(d);
        changed_.notify_all();
        const Micros end = now_ + d;
        changed_.wait(guard, [&] { return now_ >= end; });
    }

    bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                 const std::function<bool()>& ready) override {
        if (ready()) return true;
        const Micros end = record(d);
        // The caller's condition is signalled on its own variable: look at it and at the time
        // in short real turns.
        while (!ready() && now() < end) cv.wait_for(lock, std::chrono::milliseconds(1));
        return ready();
    }

    void advance(Micros d) {
        std::lock_guard guard(mutex_);
        now_ += d;
        changed_.notify_all();
    }

    std::vector<Micros> waits() const {
        std::lock_guard guard(mutex_);
        return waits_;
    }

    // Waits (for real, up to a few seconds) until at least count waits have been requested;
    // false when they do not come.
    bool awaitWaits(std::size_t count) const {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(5),
                                 [&] { return waits_.size() >= count; });
    }

    // Waits (for real, up to a few seconds) until waits of length d have been requested at least
    // times times.
    bool awaitWaitOf(Micros d, std::size_t times = 1) const {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(5), [&] {
            return static_cast<std::size_t>(std::count(waits_.begin(), waits_.end(), d)) >= times;
        });
    }

private:
    Micros record(Micros d) {
        std::lock_guard guard(mutex_);
        waits_.push_back(d);
        changed_.notify_all();
        return now_ + d;
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Micros now_{0};
    std::vector<Micros> waits_;
};

}  // namespace tessel::platform
