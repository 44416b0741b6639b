#include "platform/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/serial_posix.h"

namespace tessel::platform {

namespace {

constexpr std::size_t kChunk = 4096;

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

timespec toTimespec(Micros d) {
    const auto us = std::max<std::int64_t>(0, d.count());
    return timespec{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
}

}  // namespace

// The model's side of the line: sends through the runner's output queue.
class PtyDevice::Link final : public DeviceLink {
public:
    explicit Link(PtyDevice& device) : device_(device) {}
    void send(std::span<const std::uint8_t> bytes, Micros at) override { device_.queue(bytes, at); }
    LineState line() const override { return device_.line(); }
    Micros now() const override { return realClock().now(); }

private:
    PtyDevice& device_;
};

PtyDevice::PtyDevice(DeviceModel& model, const Options& options)
    : model_(model), options_(options), link_(std::make_unique<Link>(*this)) {}

std::unique_ptr<PtyDevice> PtyDevice::start(DeviceModel& model, const Options& options,
                                            int& error) {
    std::unique_ptr<PtyDevice> device(new PtyDevice(model, options));
    auto failed = [&error]() -> std::unique_ptr<PtyDevice> {
        error = errno;
        return nullptr;
    };
    device->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (device->master_ < 0 || ::grantpt(device->master_) != 0 ||
        ::unlockpt(device->master_) != 0) {
        return failed();
    }
    char name[128];
    if (const int rc = ::ptsname_r(device->master_, name, sizeof name); rc != 0) {
        error = rc;  // ptsname_r returns its error rather than setting errno
        return nullptr;
    }
    device->slavePath_ = name;

    // Raw from the start: a slave that echoes would hand the model its own output back.
    device->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (device->slave_ < 0 || ::tcgetattr(device->slave_, &tio) != 0) return failed();
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(device->slave_, TCSANOW, &tio) != 0) return failed();

    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) return failed();
    device->wakeRead_ = pipeFds[0];
    device->wakeWrite_ = pipeFds[1];

    if (!options.link.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.link.parent_path(), ec);
        if (std::filesystem::is_symlink(options.link, ec))
            std::filesystem::remove(options.link, ec);
        std::filesystem::create_symlink(device->slavePath_, options.link, ec);
        if (ec) {
            error = ec.value();
            return nullptr;
        }
        device->published_ = true;
    }

    {
        std::lock_guard guard(device->mutex_);
        model.attach(*device->link_);
    }
    device->thread_ = std::thread([raw = device.get()] { raw->run(); });
    error = 0;
    return device;
}

PtyDevice::~PtyDevice() {
    stop_ = true;
    if (thread_.joinable()) {
        wake();
        thread_.join();
    }
    if (published_) {
        std::error_code ec;
        std::filesystem::remove(options_.link, ec);
    }
    closeFd(master_);
    closeFd(slave_);
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
}

void PtyDevice::withModel(const std::function<void(DeviceModel&)>& fn) {
    std::lock_guard guard(mutex_);
    fn(model_);
}

void PtyDevice::unplug() {
    unplug_ = true;
    wake();
}

bool PtyDevice::outputIdle() const {
    std::lock_guard guard(mutex_);
    return output_.empty();
}

void PtyDevice::wake() {
    const std::uint8_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &one, 1);  // a full pipe wakes too
}

LineState PtyDevice::line() const {
    LineState state;
    termios tio{};
    if (master_ >= 0 && ::tcgetattr(master_, &tio) == 0) {
        state.settings.baud = baudOfTermiosSpeed(::cfgetospeed(&tio));
        state.settings.ctsFlowControl = (tio.c_cflag & CRTSCTS) != 0;
        const tcflag_t size = tio.c_cflag & CSIZE;
        state.settings.dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
        state.settings.parity = (tio.c_cflag & PARENB) == 0 ? Parity::None
                                : (tio.c_cflag & PARODD)    ? Parity::Odd
                                                            : Parity::Even;
        state.settings.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 1;
    }
    return state;
}

void PtyDevice::queue(std::span<const std::uint8_t> bytes, Micros at) {
    // Called with mutex_ held, from inside the model.
    const Micros now = realClock().now();
    if (!options_.paced) {
        for (auto b : bytes) output_.push_back({b, std::max(at, now)});
    } else {
        const LineSettings settings = line().settings;
        const Micros start = std::max({at, busyUntil_, now});
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            output_.push_back({bytes[i], start + characterTime(settings, i + 1)});
        }
        if (!bytes.empty()) busyUntil_ = output_.back().at;
    }
    wake();
}

Micros PtyDevice::untilNextOutput() const {
    std::lock_guard guard(mutex_);
    if (output_.empty()) return Micros(-1);
    return std::max(Micros(0), output_.front().at - realClock().now());
}

bool PtyDevice::writeDue() {
    std::lock_guard guard(mutex_);
    const Micros now = realClock().now();
    std::vector<std::uint8_t> due;
    for (const auto& out : output_) {
        if (out.at > now) break;
        due.push_back(out.byte);
    }
    if (due.empty()) return false;
    const ssize_t n = ::write(master_, due.data(), due.size());
    if (n < 0) return errno == EAGAIN;
    output_.erase(output_.begin(), output_.begin() + n);
    lastWrite_ = realClock().now().count();
    return static_cast<std::size_t>(n) < due.size();
}

void PtyDevice::run() {
    std::vector<std::uint8_t> chunk(kChunk);
    bool blocked = false;
    while (!stop_ && !unplug_) {
        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {wakeRead_, POLLIN, 0}};
        const Micros wait = blocked ? Micros(-1) : untilNextOutput();
        const timespec timeout = toTimespec(wait);
        const int n = ::ppoll(fds, 2, wait < Micros(0) ? nullptr : &timeout, nullptr);
        if (n < 0 && errno != EINTR) break;
        if ((fds[1].revents & POLLIN) != 0) {
            while (::read(wakeRead_, chunk.data(), chunk.size()) > 0) {
            }
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t got = ::read(master_, chunk.data(), chunk.size());
            if (got > 0) {
                std::lock_guard guard(mutex_);
                model_.receive(std::span(chunk.data(), static_cast<std::size_t>(got)),
                               realClock().now());
            }
        }
        blocked = writeDue();
    }
    if (unplug_) {
        std::lock_guard guard(mutex_);
        output_.clear();
        closeFd(master_);
        closeFd(slave_);
    }
}

}  // namespace tessel::platform
