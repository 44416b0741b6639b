#include "platform/gtk/task_queue.h"

namespace tessel::platform::gtk {

bool TaskQueue::enqueue(std::function<void()> task, std::shared_ptr<Waiter> waiter) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        tasks_.emplace_back(std::move(task), std::move(waiter));
    }
    wake_();
    return true;
}

bool TaskQueue::send(std::function<void()> task) {
    auto waiter = std::make_shared<Waiter>();
    if (!enqueue(std::move(task), waiter)) return false;
    std::unique_lock lock(waiter->mutex);
    waiter->cv.wait(lock, [&] { return waiter->done; });
    return waiter->ran;
}

void TaskQueue::finish(Waiter& waiter, bool ran) {
    std::lock_guard lock(waiter.mutex);
    waiter.done = true;
    waiter.ran = ran;
    waiter.cv.notify_all();
}

bool TaskQueue::runOne() {
    Entry entry;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return false;
        entry = std::move(tasks_.front());
        tasks_.pop_front();
    }
    entry.first();
    if (entry.second) finish(*entry.second, true);
    return true;
}

bool TaskQueue::pending() const {
    std::lock_guard lock(mutex_);
    return !tasks_.empty();
}

void TaskQueue::close() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(tasks_);
    }
    for (auto& [task, waiter] : dropped)
        if (waiter) finish(*waiter, false);
}

bool TaskQueue::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace tessel::platform::gtk
