#include "browser/app/reader_threads.h"

#include <condition_variable>

#include "browser/settings/text8.h"

namespace tessel::app {

using platform::kInfinite;

// What the reader threads share with the tasks they queue on the window thread, which may run
// (or be dropped) after the threads are gone.
struct ReaderThreads::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;

    bool isStopping() {
        std::lock_guard lock(mutex);
        return stopping;
    }
};

namespace {

// Hands the capture's progress to the window on the window thread.
class ProgressRelay final : public reader::ImageProgressWindow {
public:
    using Post = std::function<void(std::function<void()>)>;
    ProgressRelay(CaptureProgress& progress, Post post) : progress_(progress), post_(std::move(post)) {}
    void setRange(int low, int high) override {
        post_([p = &progress_, low, high] { p->setRange(low, high); });
    }
    void setPosition(int position) override {
        post_([p = &progress_, position] { p->setPosition(position); });
    }

private:
    CaptureProgress& progress_;
    Post post_;
};

}  // namespace

rfid::TagRequest scanRequestOf(const settings::BrowserOptions& options) {
    return {options.rfidReadStartByte, options.rfidReadLength, settings::toEightBit(options.mifareLoginKeyA),
            options.m_rfidSecurityKeyType};
}

ReaderThreads::ReaderThreads(ReaderThreadParts parts)
    : parts_(std::move(parts)),
      messages_(parts_.toolkit),
      shared_(std::make_shared<Shared>()),
      singleShot_(0, 1, parts_.clock),
      go_(0, 1, parts_.clock),
      continue_(0, 1, parts_.clock),
      rfid_(0, 1, parts_.clock),
      image_(0, 1, parts_.clock) {}

ReaderThreads::~ReaderThreads() { stop(); }

void ReaderThreads::start(const ThreadPlan& plan) {
    if (started_ || stopped_) return;
    started_ = true;
    auto launch = [this](bool wanted, platform::Semaphore& wake, std::atomic<bool>& stop,
                         void (ReaderThreads::*body)()) {
        if (wanted) threads_.push_back({&wake, &stop, std::thread(body, this)});
    };
    launch(plan.singleShot, singleShot_, barcodeStop_, &ReaderThreads::runSingleShot);
    launch(plan.rfid, rfid_, rfidStop_, &ReaderThreads::runRfid);
    launch(plan.continuous, go_, barcodeStop_, &ReaderThreads::runContinuous);
    launch(plan.image, image_, imageStop_, &ReaderThreads::runImage);
    workers_.emplace(parts_.notifier, [this] { return options(); }, parts_.clock);
}

void ReaderThreads::stop() {
    if (stopped_) return;
    stopped_ = true;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->changed.notify_all();
    if (!started_) return;
    parts_.jobs.stopReaders();
    for (Running& running : threads_) {
        // The good-read workers stop after the scan threads and before the image thread.
        if (running.wake == &image_ && workers_) workers_->stop();
        running.stop->store(true);
        running.wake->release();
        running.thread.join();
    }
    if (workers_) workers_->stop();
    threads_.clear();
    workers_.reset();
}

void ReaderThreads::startContinuous() {
    continuousOn_ = true;
    continue_.release();
    go_.release();
}

void ReaderThreads::stopContinuous(std::uint32_t takeBackMs) {
    continuousOn_ = false;
    continue_.wait(takeBackMs);
    go_.wait(takeBackMs);
}

void ReaderThreads::publishOptions(const settings::BrowserOptions& options) {
    std::lock_guard lock(optionsMutex_);
    options_ = options;
}

settings::BrowserOptions ReaderThreads::options() const {
    std::lock_guard lock(optionsMutex_);
    return options_;
}

// ---- the threads ----

void ReaderThreads::runSingleShot() {
    while (singleShot_.wait(kInfinite) && !barcodeStop_) {
        if (parts_.jobs.readBarcode(decodeTimeoutMs_)) post(Msg::Decode, 1);
        pause();
    }
}

void ReaderThreads::runContinuous() {
    while (go_.wait(kInfinite) && !barcodeStop_) {
        if (parts_.jobs.readBarcode(decodeTimeoutMs_)) send(Msg::Decode, 1);
        // Still on: the trigger has not taken the continue semaphore back, so re-arm.
        if (continue_.tryWait()) {
            go_.release();
            continue_.release();
        }
        pause();
    }
}

void ReaderThreads::runImage() {
    CaptureProgress* progress = parts_.progress;
    std::optional<ProgressRelay> relay;
    if (progress) relay.emplace(*progress, [this](std::function<void()> step) { toWindow(std::move(step), false); });
    while (image_.wait(kInfinite) && !imageStop_) {
        if (progress) toWindow([progress] { progress->show(); }, true);
        const bool captured = parts_.jobs.captureImage(decodeTimeoutMs_, relay ? &*relay : nullptr);
        if (progress) toWindow([progress] { progress->hide(); }, false);
        if (captured) send(Msg::DecodeImg, 1);
        pause();
    }
}

// The pause after a read; teardown cuts it short.
void ReaderThreads::pause() {
    std::unique_lock lock(shared_->mutex);
    parts_.clock.waitFor(shared_->changed, lock, platform::Millis(kPauseMs),
                         [this] { return shared_->stopping; });
}

void ReaderThreads::runRfid() {
    while (rfid_.wait(kInfinite) && !rfidStop_) {
        if (parts_.jobs.scanTag(scanRequestOf(options()))) send(Msg::Decode, 2);
    }
    rfid_.release();
}

// ---- to the window thread ----

void ReaderThreads::post(Msg msg, std::uintptr_t wParam) {
    toWindow([target = parts_.target, number = messages_[msg], wParam] { target(number, wParam, 0); },
             false);
}

void ReaderThreads::send(Msg msg, std::uintptr_t wParam) {
    toWindow([target = parts_.target, number = messages_[msg], wParam] { target(number, wParam, 0); },
             true);
}

// Queues task on the window thread, where it runs unless teardown has begun. With wait, returns
// once it was handled; teardown (which runs on the window thread and waits for this thread) ends
// the wait instead of deadlocking on it.
void ReaderThreads::toWindow(std::function<void()> task, bool wait) {
    auto handled = std::make_shared<bool>(false);
    const bool queued = parts_.toolkit.post([shared = shared_, task = std::move(task), handled] {
        if (!shared->isStopping()) task();
        {
            std::lock_guard lock(shared->mutex);
            *handled = true;
        }
        shared->changed.notify_all();
    });
    if (!queued || !wait) return;
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return *handled || shared_->stopping; });
}

}  // namespace tessel::app
