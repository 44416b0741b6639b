#include "platform/clock.h"

#include <thread>

namespace tessel::platform {

Micros RealClock::now() const {
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch());
}

void RealClock::sleep(Micros d) {
    if (d > Micros(0)) std::this_thread::sleep_for(d);
}

bool RealClock::waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                        const std::function<bool()>& ready) {
    return cv.wait_for(lock, d, ready);
}

Clock& realClock() {
    static RealClock clock;
    return clock;
}

Micros VirtualClock::now() const {
    std::lock_guard guard(mutex_);
    return now_;
}

void VirtualClock::sleep(Micros d) {
    std::lock_guard guard(mutex_);
    waits_.push_back(d);
    if (d > Micros(0)) now_ += d;
}

bool VirtualClock::waitFor(std::condition_variable&, std::unique_lock<std::mutex>&, Micros d,
                           const std::function<bool()>& ready) {
    if (ready()) return true;
    sleep(d);
    return ready();
}

void VirtualClock::advanceTo(Micros t) {
    std::lock_guard guard(mutex_);
    if (t > now_) now_ = t;
}

void VirtualClock::advance(Micros d) {
    std::lock_guard guard(mutex_);
    if (d > Micros(0)) now_ += d;
}

std::vector<Micros> VirtualClock::waits() const {
    std::lock_guard guard(mutex_);
    return waits_;
}

void VirtualClock::clearWaits() {
    std::lock_guard guard(mutex_);
    waits_.clear();
}

}  // namespace tessel::platform
