#pragma once
// Runs a DeviceModel on the master side of a pseudo-terminal, in real time, in its own thread.
//
// The host opens the slave side as if it were the device's serial port (its path, or a stable
// symbolic link to it, goes into the port map). Whatever the host writes reaches the model at
// once, with the line settings the host set (read from the pty, where the master sees them);
// what the model sends goes out at the time it asked for, each byte a character time after the
// previous one at the host's speed (paced), or as soon as it is due (unpaced).
//
// The model is called only from the runner's thread, or from withModel(), under one lock.

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/virtual_serial.h"

namespace tessel::platform {

class PtyDevice {
public:
    struct Options {
        // Send at the line rate (true) or as fast as the pty takes the bytes.
        bool paced = true;
        // Where to publish the slave's path as a symbolic link (e.g. <device root>/dev/engine1);
        // empty for none. An existing link there is replaced; the link goes with the device.
        std::filesystem::path link;
    };

    // Starts the runner. Null on failure with an errno value in error. The model must outlive
    // the device.
    static std::unique_ptr<PtyDevice> start(DeviceModel& model, const Options& options, int& error);
    ~PtyDevice();

    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // The slave's path (/dev/pts/N).
    const std::filesystem::path& slavePath() const { return slavePath_; }

    // Runs fn between the runner's own calls into the model (to queue a decode, add a fault).
    void withModel(const std::function<void(DeviceModel&)>& fn);

    // Pulls the plug: the master side closes, so the host's port sees a hang-up.
    void unplug();

    // When the runner last wrote a byte to the line (RealClock time), and whether nothing is
    // waiting to go out.
    Micros lastWrite() const { return Micros(lastWrite_.load()); }
    bool outputIdle() const;

private:
    class Link;
    struct Output {
        std::uint8_t byte;
        Micros at;
    };

    PtyDevice(DeviceModel& model, const Options& options);
    void run();
    void wake();
    void queue(std::span<const std::uint8_t> bytes, Micros at);
    LineState line() const;
    // Writes the bytes that are due; returns whether output is blocked on a full pty.
    bool writeDue();
    // How long the runner may sleep before the next byte is due (negative: no output waits).
    Micros untilNextOutput() const;

    DeviceModel& model_;
    Options options_;
    std::unique_ptr<Link> link_;
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between host opens
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::filesystem::path slavePath_;
    bool published_ = false;

    mutable std::mutex mutex_;
    std::deque<Output> output_;
    Micros busyUntil_{0};
    std::atomic<std::int64_t> lastWrite_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> unplug_{false};
    std::thread thread_;
};

}  // namespace tessel::platform
