#pragma once
// The reader threads of the main window: single-shot scan, continuous scan, image capture, RFID
// scan, and the two good-read workers. Each waits on its own semaphore (count 0, maximum 1), so
// trigger presses during a read are lost; each performs one read per release and hands the
// result to the window thread as a registered message: the single-shot thread posts "WM_DECODE",
// the others send and wait until it was handled.
//
//   ReaderThreads threads({toolkit, clock, jobs, notifier, deliver, &progress});
//   threads.start({.singleShot = true, .rfid = true});   // after reader start-up
//   threads.singleShot().release();                      // a trigger press
//   ...
//   threads.stop();   // teardown: every thread has ended when it returns
//
// Every fixed wait (the 200 ms pause after a read) goes through the Clock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "browser/app/registered_messages.h"
#include "browser/bridge/notification_workers.h"
#include "browser/reader/reader_manager.h"
#include "browser/rfid/rfid_reader.h"
#include "browser/settings/browser_options.h"
#include "platform/semaphore.h"
#include "platform/ui.h"

namespace tessel::app {

// What the reader threads ask of the readers; each call blocks for one read and leaves its
// result with the reader, where the window thread picks it up.
class ReaderJobs {
public:
    virtual ~ReaderJobs() = default;
    virtual bool readBarcode(std::uint32_t timeoutMs) = 0;
    virtual bool captureImage(std::uint32_t timeoutMs, reader::ImageProgressWindow* progress) = 0;
    virtual bool scanTag(const rfid::TagRequest& request) = 0;
    // Teardown: ends the reads in progress (trigger off on both readers, waits interrupted) so
    // that the threads doing them return promptly.
    virtual void stopReaders() = 0;
};

// The progress window "Processing..." of an image capture. Every call comes on the window thread.
class CaptureProgress : public reader::ImageProgressWindow {
public:
    virtual void show() = 0;
    virtual void hide() = 0;
};

// Runs a registered message (number, wParam, lParam) on the window thread: the main window's
// message handling.
using MessageTarget = std::function<void(std::uint32_t, std::uintptr_t, std::intptr_t)>;

struct ReaderThreadParts {
    platform::ui::Toolkit& toolkit;
    platform::Clock& clock;
    ReaderJobs& jobs;
    reader::Notifier& notifier;
    MessageTarget target;
    CaptureProgress* progress = nullptr;  // null: captures run without a progress window
};

// Which reader threads start-up found a use for; the good-read workers always run.
struct ThreadPlan {
    bool singleShot = false;  // barcode reading enabled
    bool continuous = false;  // and a CCD/laser engine
    bool image = false;       // and a 2D imager
    bool rfid = false;        // RFID reading enabled
};

// The RFID scan parameters the options ask for.
rfid::TagRequest scanRequestOf(const settings::BrowserOptions& options);

class ReaderThreads {
public:
    // The decode time-out of every read, until the barcode reader page sets its own.
    static constexpr std::uint32_t kDecodeTimeoutMs = 3000;
    static constexpr std::uint32_t kPauseMs = 200;

    // Creates the semaphores; nothing runs before start().
    explicit ReaderThreads(ReaderThreadParts parts);
    ~ReaderThreads();
    ReaderThreads(const ReaderThreads&) = delete;
    ReaderThreads& operator=(const ReaderThreads&) = delete;

    // Starts the threads of plan and the two workers; a second call does nothing.
    void start(const ThreadPlan& plan);
    // Teardown: stops the readers, sets the stop flags and releases each semaphore once, in the
    // order scan, RFID, continuous scan, vibration, light/buzzer/sound, image, and waits for every
    // thread. A send in progress is abandoned. Calling it again does nothing.
    void stop();
    // Threads started and not yet stopped.
    std::size_t running() const { return threads_.size() + (workers_ ? 2 : 0); }

    platform::Semaphore& singleShot() { return singleShot_; }
    platform::Semaphore& continuousGo() { return go_; }
    platform::Semaphore& continuousContinue() { return continue_; }
    platform::Semaphore& rfidScan() { return rfid_; }
    platform::Semaphore& image() { return image_; }
    // The good-read workers' semaphores; null before start().
    platform::Semaphore* vibration() { return workers_ ? &workers_->vibration() : nullptr; }
    platform::Semaphore* goodRead() { return workers_ ? &workers_->goodRead() : nullptr; }

    std::uint32_t decodeTimeoutMs() const { return decodeTimeoutMs_; }
    void setDecodeTimeoutMs(std::uint32_t ms) { decodeTimeoutMs_ = ms; }

    // Continuous scanning (CCD/laser engine, scan mode 3): off at start, toggled by the trigger.
    bool continuousOn() const { return continuousOn_; }
    // On: releases continue and go, so that the continuous-scan thread reads and re-arms itself.
    void startContinuous();
    // Off: takes continue and go back, waiting at most takeBackMs for each; a read in progress
    // ends its cycle without re-arming.
    void stopContinuous(std::uint32_t takeBackMs);

    // The options the threads read (RFID scan parameters, good-read signals); the window thread
    // publishes them whenever they may have changed.
    void publishOptions(const settings::BrowserOptions& options);
    settings::BrowserOptions options() const;

private:
    struct Shared;

    void runSingleShot();
    void runContinuous();
    void runImage();
    void runRfid();
    void post(Msg msg, std::uintptr_t wParam);
    void send(Msg msg, std::uintptr_t wParam);
    void toWindow(std::function<void()> task, bool wait);
    void pause();

    ReaderThreadParts parts_;
    RegisteredMessages messages_;
    std::shared_ptr<Shared> shared_;
    platform::Semaphore singleShot_;
    platform::Semaphore go_;
    platform::Semaphore continue_;
    platform::Semaphore rfid_;
    platform::Semaphore image_;
    std::atomic<bool> barcodeStop_{false};
    std::atomic<bool> rfidStop_{false};
    std::atomic<bool> imageStop_{false};
    std::atomic<bool> continuousOn_{false};
    std::atomic<std::uint32_t> decodeTimeoutMs_{kDecodeTimeoutMs};
    bool started_ = false;
    bool stopped_ = false;

    mutable std::mutex optionsMutex_;
    settings::BrowserOptions options_;

    struct Running {
        platform::Semaphore* wake;
        std::atomic<bool>* stop;
        std::thread thread;
    };
    std::vector<Running> threads_;  // in teardown order, workers aside
    std::optional<bridge::NotificationWorkers> workers_;
};

}  // namespace tessel::app
