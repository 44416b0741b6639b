#include "browser/reader/reader_port.h"

#include <algorithm>
#include <cassert>
#include <cerrno>

namespace tessel::reader {

using platform::Millis;

namespace {

constexpr std::uint32_t kTextReplyTimeoutMs = 1000;
constexpr int kCtsPolls = 10;
constexpr Millis kCtsPollInterval{10};

bool sameBytes(const Bytes& bytes, std::string_view text) {
    return bytes.size() == text.size() && std::equal(bytes.begin(), bytes.end(), text.begin());
}

}  // namespace

bool ReaderPort::Source::readByte(std::uint8_t& out, Millis timeout) {
    port_.setTimeout(static_cast<std::uint32_t>(timeout.count()), 'r');
    return port_.readByte(out);
}

void ReaderPort::Source::acknowledge() { port_.transact(kAckPacket, 3000, nullptr, 1); }

ReaderPort::ReaderPort(int number, platform::SerialPortOpener& opener, platform::Clock& clock)
    : portLock(1, 1, clock),
      idleSemaphore(0, 1, clock),
      aimSemaphore(0, 1, clock),
      number_(number),
      opener_(opener),
      clock_(clock) {
    assert(number == 1 || number == 2);
}

ReaderPort::~ReaderPort() { closePort(); }

std::string ReaderPort::deviceName() const { return "COM" + std::to_string(number_) + ":"; }

bool ReaderPort::failPort() {
    lastError = serial_ ? serial_->lastError() : EBADF;
    if (lastError == 0) lastError = EIO;
    return false;
}

bool ReaderPort::openPort() {
    int error = 0;
    auto opened = opener_.open(deviceName(), error);
    if (!opened) {
        lastError = error != 0 ? error : ENODEV;
        return false;
    }
    serial_ = std::move(opened);
    readTimeoutMs_ = 0;
    writeTimeoutMs_ = 0;
    if (!serial_->purge()) {
        failPort();
        serial_.reset();
        return false;
    }
    return true;
}

void ReaderPort::closePort() {
    if (!serial_) return;
    serial_->purge();
    serial_.reset();
}

bool ReaderPort::setSpeed(std::uint32_t baud) {
    if (!serial_) return failPort();
    platform::LineSettings line = serial_->settings();
    line.baud = baud;
    line.dataBits = 8;
    line.parity = platform::Parity::None;
    line.stopBits = 1;
    line.ctsFlowControl = false;
    if (!serial_->configure(line) || !serial_->setRts(false)) return failPort();
    speed_ = baud;
    return true;
}

bool ReaderPort::setTimeout(std::uint32_t ms, char direction) {
    assert(direction == 'r' || direction == 'w');
    std::uint32_t& current = direction == 'r' ? readTimeoutMs_ : writeTimeoutMs_;
    if (current == ms) return false;
    current = ms;
    return true;
}

bool ReaderPort::readByte(std::uint8_t& out) {
    if (!serial_) return failPort();
    std::uint32_t left = readTimeoutMs_;
    for (;;) {
        if (inDecodeWait_ && decodeInterrupted_) {
            lastError = ECANCELED;
            return false;
        }
        const std::uint32_t slice = inDecodeWait_ ? std::min(left, kDecodeWaitSliceMs) : left;
        if (serial_->readByte(out, Millis(slice))) return true;
        left -= slice;
        if (left == 0 || serial_->lastError() != ETIMEDOUT) return failPort();
    }
}

bool ReaderPort::writeFrame(std::span<const std::uint8_t> bytes) {
    if (!serial_) return failPort();
    if (!serial_->purge()) return failPort();
    return writeAll(bytes);
}

bool ReaderPort::writeAll(std::span<const std::uint8_t> bytes) {
    // The platform write retries short writes within its time-out; whatever is still left when
    // it gives up is retried here until the time-out has passed or a write makes no progress.
    const auto deadline = clock_.now() + Millis(writeTimeoutMs_);
    while (!bytes.empty()) {
        const auto left = std::chrono::duration_cast<Millis>(deadline - clock_.now());
        const std::size_t written = serial_->write(bytes, std::max(left, Millis(0)));
        if (written == 0) {
            lastError = serial_->lastError() != 0 ? serial_->lastError() : ETIMEDOUT;
            return false;
        }
        bytes = bytes.subspan(std::min(written, bytes.size()));
        if (!bytes.empty() && clock_.now() >= deadline) {
            lastError = ETIMEDOUT;
            return false;
        }
    }
    // Done only once the bytes have left the port: the purge before the next write would
    // otherwise drop a frame that awaits no reply (an acknowledgement, "ON"/"OFF").
    const auto left = std::chrono::duration_cast<Millis>(deadline - clock_.now());
    return serial_->drain(std::max(left, Millis(0))) || failPort();
}

bool ReaderPort::transact(std::string_view command, std::uint32_t timeoutMs, Bytes* reply,
                          int retries) {
    const auto* begin = reinterpret_cast<const std::uint8_t*>(command.data());
    return transact(std::span<const std::uint8_t>(begin, command.size()), timeoutMs, reply,
                    retries);
}

bool ReaderPort::transact(std::span<const std::uint8_t> command, std::uint32_t timeoutMs,
                          Bytes* reply, int retries) {
    setTimeout(timeoutMs, 'w');
    switch (type) {
        case ReaderType::CcdLaser: {
            const std::string_view text(reinterpret_cast<const char*>(command.data()),
                                        command.size());
            return transactText(frameCcdCommand(text), reply, retries);
        }
        case ReaderType::RfidText:
        case ReaderType::RfidFrame:
            return transactText(Bytes(command.begin(), command.end()), reply, retries);
        default:
            if (!isPacketType(type)) return false;
            return transactPacket(withChecksum(command), timeoutMs, reply, retries);
    }
}

bool ReaderPort::transactText(const Bytes& frame, Bytes* reply, int retries) {
    if (!reply) return writeFrame(frame);
    for (int attempt = 0; attempt < retries; ++attempt) {
        if (!writeFrame(frame) || !readReply(*reply, kTextReplyTimeoutMs)) continue;
        if (type == ReaderType::CcdLaser && sameBytes(*reply, "NG")) continue;
        return true;
    }
    return false;
}

bool ReaderPort::transactPacket(const Bytes& frame, std::uint32_t timeoutMs, Bytes* reply,
                                int retries) {
    auto send = [&] {
        raiseLine();
        const bool written = writeFrame(frame);
        lowerLine();
        return written;
    };
    if (!reply) return send();
    for (int attempt = 0; attempt < retries; ++attempt) {
        if (!send() || !readReply(*reply, timeoutMs)) continue;
        if (isNegativeAck(*reply)) continue;
        return true;
    }
    return false;
}

bool ReaderPort::readReply(Bytes& out, std::uint32_t timeoutMs, bool decodeMode) {
    out.clear();
    if (!serial_) return failPort();
    Source source(*this);
    const Millis first(timeoutMs);
    ReplyStatus status = ReplyStatus::Malformed;
    if (decodeMode && isPacketType(type)) {
        status = readDecodeMessage(source, type, first, out);
    } else if (isPacketType(type) || type == ReaderType::CcdLaser || type == ReaderType::RfidText ||
               type == ReaderType::RfidFrame) {
        status = reader::readReply(source, type, first, out);
    }
    if (status == ReplyStatus::Malformed) lastError = EBADMSG;
    return status == ReplyStatus::Complete;
}

bool ReaderPort::usesIoControlCts() const {
    return model == ModelIndex::K220 || model == ModelIndex::K230 || model == ModelIndex::K240;
}

bool ReaderPort::waitForCts(bool asserted) {
    for (int i = 0; i < kCtsPolls; ++i) {
        clock_.sleep(kCtsPollInterval);
        const auto state = serial_->cts();
        if (state && *state == asserted) return true;
    }
    return false;
}

void ReaderPort::raiseLine() {
    if (!serial_) return;
    if (usesIoControlCts()) {
        const bool queried = serial_->cts().has_value();
        serial_->setRts(true);
        serial_->setDtr(false);
        if (!queried) {
            clock_.sleep(Millis(100));
            return;
        }
        waitForCts(true);
        return;
    }
    serial_->setRts(true);
    serial_->setDtr(false);
    // A line without modem lines has no clear-to-send to wait for.
    if (serial_->cts()) waitForCts(true);
}

void ReaderPort::lowerLine() {
    if (!serial_) return;
    if (usesIoControlCts()) {
        const bool queried = serial_->cts().has_value();
        if (!queried) clock_.sleep(Millis(50));
        serial_->setRts(false);
        serial_->setDtr(false);
        if (queried) waitForCts(false);
        return;
    }
    serial_->setRts(false);
    serial_->setDtr(false);
    if (serial_->cts()) waitForCts(false);
}

bool ReaderPort::setRts(bool on) {
    if (!serial_) return failPort();
    return serial_->setRts(on) ? true : failPort();
}

}  // namespace tessel::reader
