#pragma once
// Time for the whole system: the current time, the tick counter, and every fixed wait.
//
// Core code never calls std::this_thread::sleep_for or reads a system clock itself; it asks a
// Clock. RealClock waits for real; VirtualClock (for tests and device models) advances a virtual
// time line, records each requested wait and never sleeps.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace tessel::platform {

using Micros = std::chrono::microseconds;
using Millis = std::chrono::milliseconds;

class Clock {
public:
    virtual ~Clock() = default;

    // Time since an arbitrary fixed origin.
    virtual Micros now() const = 0;

    // Milliseconds since the origin, wrapping like the terminal's 32-bit tick counter.
    std::uint32_t tickCount() const {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<Millis>(now()).count());
    }

    // A fixed wait of the given length.
    virtual void sleep(Micros d) = 0;
    void sleepMs(std::uint32_t ms) { sleep(Millis(ms)); }

    // Waits on cv (lock held by the caller) until ready() holds or d has passed, and returns
    // ready(). This is how semaphores used as interruptible sleeps wait.
    virtual bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                         const std::function<bool()>& ready) = 0;
};

class RealClock final : public Clock {
public:
    Micros now() const override;
    void sleep(Micros d) override;
    bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                 const std::function<bool()>& ready) override;
};

// The process-wide real clock.
Clock& realClock();

// A time line that moves only when someone waits on it or advances it.
//
// sleep() and a waitFor() that is not satisfied at once advance the time by the requested
// length and record it. Thread-safe, so reader threads and tests may share one.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(Micros start = Micros(0)) : now_(start) {}

    Micros now() const override;
    void sleep(Micros d) override;
    bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                 const std::function<bool()>& ready) override;

    // Moves the time forward (never backward) without recording a wait.
    void advanceTo(Micros t);
    void advance(Micros d);

    // Every wait requested through sleep() or an unsatisfied waitFor(), in order.
    std::vector<Micros> waits() const;
    void clearWaits();

private:
    mutable std::mutex mutex_;
    Micros now_;
    std::vector<Micros> waits_;
};

}  // namespace tessel::platform
