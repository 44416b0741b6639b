// The reader threads on their own: teardown with reads in progress and with a send the window
// thread can no longer handle.

#include "browser/app/reader_threads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "browser/app/reader_test_support.h"
#include "platform/headless/headless_ui.h"
#include "platform/sound.h"

namespace tessel::app {
namespace {

using test::threadCount;

using namespace std::chrono_literals;

// Reads that last until the readers are stopped, as a packet engine's read ends when its trigger
// goes off; a tag scan succeeds at once when scans are set to.
class HeldJobs final : public ReaderJobs {
public:
    bool readBarcode(std::uint32_t) override { return hold(); }
    bool captureImage(std::uint32_t, reader::ImageProgressWindow*) override { return hold(); }
    bool scanTag(const rfid::TagRequest&) override { return tagsAnswer ? count() : hold(); }
    void stopReaders() override {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    bool awaitInside(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return inside_ >= n; });
    }

    bool tagsAnswer = false;

private:
    bool count() {
        std::lock_guard lock(mutex_);
        ++inside_;
        changed_.notify_all();
        return true;
    }
    bool hold() {
        std::unique_lock lock(mutex_);
        ++inside_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return stopped_; });
        return false;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    int inside_ = 0;
    bool stopped_ = false;
};

class ReaderThreadsTest : public ::testing::Test {
protected:
    ReaderThreadsTest() : windowThread_([this] { toolkit_.run(); }) {}
    ~ReaderThreadsTest() override {
        toolkit_.quit();
        windowThread_.join();
    }

    platform::headless::HeadlessToolkit toolkit_;
    platform::VirtualClock clock_;
    HeldJobs jobs_;
    reader::NotificationBinding binding_;
    platform::RecordingSoundPlayer sounds_;
    reader::Notifier notifier_{binding_, sounds_, clock_, reader::ModelIndex::K220};
    std::atomic<int> delivered_{0};
    std::thread windowThread_;
};

TEST_F(ReaderThreadsTest, TeardownEndsEveryThreadWithinASecondWhileReadsAreInProgress) {
    const std::size_t before = threadCount();
    ReaderThreads threads({toolkit_, clock_, jobs_, notifier_, [&](auto, auto, auto) { ++delivered_; }});
    threads.start({.singleShot = true, .continuous = true, .image = true, .rfid = true});
    EXPECT_EQ(threads.running(), 6u);
    EXPECT_EQ(threadCount(), before + 6);

    threads.singleShot().release();
    threads.continuousGo().release();
    threads.image().release();
    threads.rfidScan().release();
    ASSERT_TRUE(jobs_.awaitInside(4));

    const auto start = std::chrono::steady_clock::now();
    threads.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(threads.running(), 0u);
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(delivered_, 0);
}

TEST_F(ReaderThreadsTest, TeardownOnTheWindowThreadAbandonsASendItCannotHandle) {
    jobs_.tagsAnswer = true;
    const std::size_t before = threadCount();
    auto threads = std::make_unique<ReaderThreads>(
        ReaderThreadParts{toolkit_, clock_, jobs_, notifier_, [&](auto, auto, auto) { ++delivered_; }});
    threads->start({.rfid = true});
    // The window thread is busy when the tag comes, and then tears the threads down.
    toolkit_.send([&] {
        threads->rfidScan().release();
        ASSERT_TRUE(jobs_.awaitInside(1));
        threads->stop();
    });
    EXPECT_EQ(threadCount(), before);
    toolkit_.send([] {});
    EXPECT_EQ(delivered_, 0);  // the message queued for the window was dropped, not delivered late
}

}  // namespace
}  // namespace tessel::app
