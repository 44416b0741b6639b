#include "platform/gtk/task_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tessel::platform::gtk {
namespace {

TEST(TaskQueue, RunsTasksInOrderAndWakesTheLoopForEach) {
    int wakes = 0;
    TaskQueue queue([&] { ++wakes; });
    std::vector<int> ran;
    EXPECT_TRUE(queue.post([&] { ran.push_back(1); }));
    EXPECT_TRUE(queue.post([&] { ran.push_back(2); }));
    EXPECT_EQ(wakes, 2);
    EXPECT_TRUE(queue.pending());
    while (queue.runOne()) {}
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_FALSE(queue.pending());
}

TEST(TaskQueue, SendWaitsForItsTaskAndLearnsWhenItWillNeverRun) {
    TaskQueue queue([] {});
    std::atomic<int> answered{0};
    std::atomic<bool> ran{false};
    std::thread first([&] {
        EXPECT_TRUE(queue.send([&] { ran = true; }));
        ++answered;
    });
    while (!queue.pending()) std::this_thread::yield();
    EXPECT_EQ(answered, 0);  // still waiting
    queue.runOne();
    first.join();
    EXPECT_TRUE(ran);

    std::thread second([&] { EXPECT_FALSE(queue.send([] { ADD_FAILURE() << "ran after close"; })); });
    while (!queue.pending()) std::this_thread::yield();
    queue.close();
    second.join();
    EXPECT_FALSE(queue.post([] {}));
    EXPECT_FALSE(queue.runOne());
}

}  // namespace
}  // namespace tessel::platform::gtk
