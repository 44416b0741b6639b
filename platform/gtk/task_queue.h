#pragma once
// The window thread's queue of tasks from other threads. Any thread posts or sends; the loop
// that owns the queue runs the tasks in order. Once closed the queue takes nothing more, and the
// tasks still in it are dropped: their senders return false instead of waiting for ever.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tessel::platform::gtk {

class TaskQueue {
public:
    // wake: called after each task is queued, so the loop looks again (any thread).
    explicit TaskQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

    bool post(std::function<void()> task) { return enqueue(std::move(task), nullptr); }
    // Queues the task and waits until it has run; false when it never will.
    bool send(std::function<void()> task);
    // Runs the oldest task; false when there was none.
    bool runOne();
    bool pending() const;
    void close();
    bool closed() const;

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
        bool ran = false;
    };
    using Entry = std::pair<std::function<void()>, std::shared_ptr<Waiter>>;
    bool enqueue(std::function<void()> task, std::shared_ptr<Waiter> waiter);
    static void finish(Waiter& waiter, bool ran);

    std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::deque<Entry> tasks_;
    bool closed_ = false;
};

}  // namespace tessel::platform::gtk
