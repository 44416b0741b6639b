#include "platform/serial_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>

#include "platform/names.h"
#include "platform/registry.h"

namespace tessel::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
// Characters the drain lets leave between two looks at the output queue.
constexpr int kDrainPollCharacters = 4;

struct Rate {
    std::uint32_t baud;
    speed_t code;
};

constexpr Rate kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t dataBitsFlag(std::uint8_t bits) {
    switch (bits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

std::uint8_t dataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

// Time left until deadline as a timespec, never negative.
timespec remaining(SteadyClock::time_point deadline) {
    const auto left = std::max(SteadyClock::duration::zero(), deadline - SteadyClock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

std::optional<unsigned> termiosSpeed(std::uint32_t baud) {
    for (const auto& rate : kRates) {
        if (rate.baud == baud) return rate.code;
    }
    return std::nullopt;
}

std::uint32_t baudOfTermiosSpeed(unsigned code) {
    for (const auto& rate : kRates) {
        if (rate.code == code) return rate.baud;
    }
    return 0;
}

std::unique_ptr<TermiosSerialPort> TermiosSerialPort::open(const std::filesystem::path& device,
                                                           int& error) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    // TIOCEXCL refuses later opens by ordinary users; the lock also refuses root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return nullptr;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<TermiosSerialPort> port(new TermiosSerialPort(fd));
    int lines = 0;
    port->modemLines_ = ::ioctl(fd, TIOCMGET, &lines) == 0;
    if (!port->configure(LineSettings{}) || !port->purge()) {
        error = port->lastError();
        return nullptr;
    }
    error = 0;
    return port;
}

TermiosSerialPort::~TermiosSerialPort() {
    // The exclusive flag belongs to the terminal, not to this descriptor: a terminal that stays
    // open elsewhere (a pty held by its device runner) would keep refusing ordinary users.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

bool TermiosSerialPort::fail() {
    lastError_ = errno;
    return false;
}

bool TermiosSerialPort::configure(const LineSettings& line) {
    const auto speed = termiosSpeed(line.baud);
    const bool shapeOk =
        line.dataBits >= 5 && line.dataBits <= 8 && (line.stopBits == 1 || line.stopBits == 2);
    if (!speed || !shapeOk) {
        lastError_ = EINVAL;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return fail();
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= dataBitsFlag(line.dataBits);
    if (line.parity != Parity::None) tio.c_cflag |= PARENB;
    if (line.parity == Parity::Odd) tio.c_cflag |= PARODD;
    if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
    if (line.ctsFlowControl) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // With VMIN 1 a non-blocking read tells "nothing yet" (EAGAIN) from a hang-up (0 or EIO).
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, *speed) != 0 || ::cfsetospeed(&tio, *speed) != 0) return fail();
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return fail();
    settings_ = line;
    return true;
}

LineSettings TermiosSerialPort::settings() const {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return settings_;
    LineSettings line;
    line.baud = baudOfTermiosSpeed(::cfgetospeed(&tio));
    line.dataBits = dataBitsOf(tio.c_cflag);
    line.parity = (tio.c_cflag & PARENB) == 0   ? Parity::None
                  : (tio.c_cflag & PARODD) != 0 ? Parity::Odd
                                                : Parity::Even;
    line.stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 1;
    line.ctsFlowControl = (tio.c_cflag & CRTSCTS) != 0;
    return line;
}

bool TermiosSerialPort::setModemLine(int line, bool on) {
    if (!modemLines_) return true;  // nothing to drive: the handshake goes on without it
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) return fail();
    return true;
}

bool TermiosSerialPort::setRts(bool on) { return setModemLine(TIOCM_RTS, on); }

bool TermiosSerialPort::setDtr(bool on) { return setModemLine(TIOCM_DTR, on); }

std::optional<bool> TermiosSerialPort::cts() {
    int lines = 0;
    if (!modemLines_) {
        lastError_ = ENOTTY;
        return std::nullopt;
    }
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
        fail();
        return std::nullopt;
    }
    return (lines & TIOCM_CTS) != 0;
}

bool TermiosSerialPort::purge() {
    buffer_.clear();
    next_ = 0;
    // Output is flushed only while some is still queued: on a pseudo-terminal nothing ever is
    // (written bytes have reached the other end), yet TCOFLUSH there would discard the other
    // end's input that its reader has not collected yet.
    const auto queued = queuedOutput();
    if (!queued) return false;
    if (::tcflush(fd_, *queued > 0 ? TCIOFLUSH : TCIFLUSH) != 0) return fail();
    return true;
}

std::optional<int> TermiosSerialPort::queuedOutput() {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        fail();
        return std::nullopt;
    }
    return queued;
}

bool TermiosSerialPort::drain(Millis timeout) {
    // tcdrain() cannot be bounded, so the queue is watched instead, a few characters at a time.
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto queued = queuedOutput();
        if (!queued) return false;
        if (*queued == 0) return true;
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            lastError_ = ETIMEDOUT;
            return false;
        }
        const auto pause = std::max<SteadyClock::duration>(
            characterTime(settings_, std::size_t(std::min(*queued, kDrainPollCharacters))),
            std::chrono::microseconds(100));
        const timespec wait = remaining(std::min(deadline, now + pause));
        ::nanosleep(&wait, nullptr);
    }
}

bool TermiosSerialPort::waitReady(short events, SteadyClock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd_, events, 0};
        const timespec left = remaining(deadline);
        const int n = ::ppoll(&pfd, 1, &left, nullptr);
        if (n > 0) {
            if ((pfd.revents & events) != 0) return true;
            // Hang-up or error without data: the device went away.
            lastError_ = (pfd.revents & POLLNVAL) != 0 ? EBADF : EIO;
            return false;
        }
        if (n < 0 && errno != EINTR) return fail();
        if (n == 0 && SteadyClock::now() >= deadline) {
            lastError_ = ETIMEDOUT;
            return false;
        }
    }
}

bool TermiosSerialPort::readByte(std::uint8_t& out, Millis timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (next_ >= buffer_.size()) {
        buffer_.resize(kReadChunk);
        next_ = 0;
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        buffer_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n > 0) break;
        if (n == 0) {
            lastError_ = EIO;
            return false;
        }
        if (errno != EAGAIN && errno != EINTR) return fail();
        if (!waitReady(POLLIN, deadline)) return false;
    }
    out = buffer_[next_++];
    return true;
}

std::size_t TermiosSerialPort::write(std::span<const std::uint8_t> bytes, Millis timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            fail();
            break;
        }
        // No progress: wait for room, but never past the deadline even if the driver keeps
        // saying it has room and then takes nothing.
        if (SteadyClock::now() >= deadline) {
            lastError_ = ETIMEDOUT;
            break;
        }
        if (!waitReady(POLLOUT, deadline)) break;
    }
    return done;
}

std::optional<std::filesystem::path> PortMapOpener::resolve(std::string_view name,
                                                            int& error) const {
    // "COMn:" with n a port number; the registry value is "COMn".
    error = ENOENT;
    if (name.size() < 5 || !equalsIgnoreCase(name.substr(0, 3), "COM") || !name.ends_with(':')) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(3, name.size() - 4);
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;

    auto key = registry_.open(Hive::LocalMachine, kPortMapKey);
    if (!key) return std::nullopt;
    const auto value = key->read("COM" + std::to_string(number));
    if (!value || value->type != RegValue::Type::Sz || value->text.empty()) return std::nullopt;

    const std::filesystem::path target(value->text);
    if (target.is_absolute()) {
        error = 0;
        return target;
    }
    const std::filesystem::path inside = target.lexically_normal();
    if (inside.empty() || *inside.begin() == "..") {
        error = EACCES;
        return std::nullopt;
    }
    error = 0;
    return root_ / inside;
}

std::unique_ptr<SerialPort> PortMapOpener::open(std::string_view name, int& error) {
    const auto device = resolve(name, error);
    if (!device) return nullptr;
    return TermiosSerialPort::open(*device, error);
}

}  // namespace tessel::platform
