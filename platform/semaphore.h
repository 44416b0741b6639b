#pragma once
// A counting semaphore with a maximum count, as the terminal's operating system has it.
//
// A release that would pass the maximum is lost (the count stays at the maximum): reader threads
// rely on this so that a burst of trigger presses wakes a thread once. Timed waits go through a
// Clock, so a test on a VirtualClock never sleeps; a wait without a time-out blocks for real.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace tessel::platform {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

class Semaphore {
public:
    // initial must lie in 0..maximum and maximum must be at least 1.
    Semaphore(long initial, long maximum, Clock& clock = realClock());
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Takes one count, waiting up to timeoutMs (kInfinite: no limit). False on time-out.
    bool wait(std::uint32_t timeoutMs);
    // Takes one count only if one is there now.
    bool tryWait();
    // Adds one count unless the count is at the maximum; returns false when the release was lost.
    bool release();

    long count() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    long count_;
    const long maximum_;
    Clock& clock_;
};

}  // namespace tessel::platform
