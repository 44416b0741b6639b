#include "platform/semaphore.h"

#include <cassert>

namespace tessel::platform {

Semaphore::Semaphore(long initial, long maximum, Clock& clock)
    : count_(initial), maximum_(maximum), clock_(clock) {
    assert(maximum >= 1 && initial >= 0 && initial <= maximum);
}

bool Semaphore::wait(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    auto available = [this] { return count_ > 0; };
    if (timeoutMs == kInfinite) {
        cv_.wait(lock, available);
    } else if (!clock_.waitFor(cv_, lock, Millis(timeoutMs), available)) {
        return false;
    }
    --count_;
    return true;
}

bool Semaphore::tryWait() {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return false;
    --count_;
    return true;
}

bool Semaphore::release() {
    {
        std::lock_guard lock(mutex_);
        if (count_ >= maximum_) return false;
        ++count_;
    }
    cv_.notify_one();
    return true;
}

long Semaphore::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

}  // namespace tessel::platform
