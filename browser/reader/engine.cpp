#include "browser/reader/engine.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "browser/reader/engine_interpret.h"

namespace tessel::reader {

namespace {

constexpr std::uint32_t kCommandTimeoutMs = 1000;
constexpr std::uint32_t kTriggerTimeoutMs = 200;
constexpr std::uint32_t kAimOffTimeoutMs = 3000;
constexpr int kCommandRetries = 5;
constexpr int kImageResendRequests = 5;
constexpr int kImageProgressShownUpTo = 90;

bool isLongRange(ReaderType type) {
    return type == ReaderType::LongRange1D || type == ReaderType::LongRange1D955;
}

// A packet command with a reply wanted; the reply is dropped.
bool command(ReaderPort& port, ByteView packet, std::uint32_t timeoutMs, int retries) {
    Bytes reply;
    return port.transact(packet, timeoutMs, &reply, retries);
}

bool identifyPacketEngine(ReaderPort& port) {
    Bytes reply;
    if (!port.transact(kRevisionRequest, kCommandTimeoutMs, &reply, 3)) return false;
    const ReaderType found = identifyRevision(port.type, reply);
    if (found == ReaderType::None) return false;
    port.type = found;
    return true;
}

bool identifyCcd(ReaderPort& port) {
    Bytes reply;
    if (!port.transact("VER", kCommandTimeoutMs, &reply, 1)) return false;
    port.setRts(true);
    return true;
}

// Identifies at fallback speed when the working speed fails, then moves the engine up.
bool negotiateAt(ReaderPort& port, std::uint32_t working) {
    if (identify(port, working)) return true;
    if (!identify(port, 9600)) return false;
    switchSpeed(port, working);
    return true;
}

}  // namespace

int AimToggle::advance() {
    std::lock_guard lock(mutex_);
    value_ = (value_ + 1) % 2;
    return value_;
}

bool identify(ReaderPort& port, std::uint32_t speed) {
    if (!port.setSpeed(speed)) return false;
    if (port.type == ReaderType::CcdLaser) return identifyCcd(port);
    return isPacketType(port.type) && identifyPacketEngine(port);
}

bool negotiate(ReaderPort& port) {
    switch (port.type) {
        case ReaderType::CcdLaser:
            return identify(port, 115200);
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507:
            return negotiateAt(port, 115200);
        case ReaderType::LongRange1D:
        case ReaderType::LongRange1D955:
            return negotiateAt(port, 38400);
        default:
            return false;
    }
}

std::vector<DetectionStep> detectionOrder(ReaderType request, ModelIndex model) {
    using enum ReaderType;
    switch (request) {
        case CcdLaser:
        case Imager2D:
        case LongRange1D:
        case LongRange1D955:
            return {{0, request}};
        case Imager2D4507:
            return {{3000, Imager2D4507}};
        default:
            break;
    }
    switch (model) {
        case ModelIndex::K220:
        case ModelIndex::K230:
            return {{0, CcdLaser}, {0, Imager2D}, {0, LongRange1D}};
        case ModelIndex::K210:
            return {{0, LongRange1D955}, {2500, Imager2D4507}};
        default:
            return {{0, LongRange1D955}, {0, CcdLaser}, {3000, Imager2D4507}, {0, Imager2D}};
    }
}

bool detectEngine(ReaderPort& port, ReaderType request, ModelIndex model) {
    for (const DetectionStep& step : detectionOrder(request, model)) {
        if (step.pauseMs > 0) port.clock().sleepMs(step.pauseMs);
        port.type = step.type;
        if (negotiate(port)) return true;
    }
    port.type = ReaderType::None;
    return false;
}

bool switchSpeed(ReaderPort& port, std::uint32_t baud) {
    if (port.type == ReaderType::CcdLaser) return true;
    if (!command(port, encodeSpeedSwitch(baud), kCommandTimeoutMs, kCommandRetries)) return false;
    return port.setSpeed(baud);
}

bool linkSetup(ReaderPort& port) {
    Bytes pairs{0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B, 0x14, 0x88, 0x1E, 0x9F, 0x01};
    if (isLongRange(port.type)) pairs.insert(pairs.end(), {0xED, 0x00});
    return command(port, encodeParameterSend(pairs), kCommandTimeoutMs, kCommandRetries);
}

bool readConfiguration(ReaderPort& port) {
    Bytes reply;
    if (!port.transact("SET", kCommandTimeoutMs, &reply, 1)) return false;
    port.configBlock =
        parseHexBlock(std::string_view(reinterpret_cast<const char*>(reply.data()), reply.size()));
    return true;
}

namespace {

bool longRangeTriggerOff(ReaderPort& port) {
    port.aimSemaphore.release();
    command(port, kAimOff, kAimOffTimeoutMs, kCommandRetries);
    const bool stopped = command(port, kStopDecode, kCommandTimeoutMs, kCommandRetries);
    if (stopped) port.triggerState = 0;
    port.aimSemaphore.wait(10);
    return stopped;
}

bool startDecode(ReaderPort& port) {
    const bool started = command(port, kStartDecode, kCommandTimeoutMs, kCommandRetries);
    if (started) port.triggerState = 1;
    return started;
}

bool longRangeTriggerOn(ReaderPort& port, AimToggle& toggle) {
    if (toggle.advance() == 1 || port.aimDurtion == 0) return startDecode(port);
    command(port, kAimOn, kCommandTimeoutMs, kCommandRetries);
    port.triggerState = 1;
    const auto aimMs =
        std::min<std::uint64_t>(std::uint64_t{port.aimDurtion} * 100, platform::kInfinite - 1);
    if (port.aimSemaphore.wait(static_cast<std::uint32_t>(aimMs))) return false;
    command(port, kAimOff, kCommandTimeoutMs, kCommandRetries);
    const bool started = command(port, kStartDecode, kCommandTimeoutMs, kCommandRetries);
    toggle.advance();
    if (started) port.triggerState = 1;
    return started;
}

bool switchTrigger(ReaderPort& port, bool on, AimToggle& toggle) {
    switch (port.type) {
        case ReaderType::CcdLaser: {
            const bool sent = port.transact(on ? "ON" : "OFF", kCommandTimeoutMs, nullptr, 1);
            if (sent) port.triggerState = on ? 1 : 0;
            return sent;
        }
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507:
        case ReaderType::LongRange1D955: {
            const bool sent = command(port, on ? ByteView(kStartDecode) : ByteView(kStopDecode),
                                      kTriggerTimeoutMs, 1);
            if (sent) port.triggerState = on ? 1 : 0;
            return sent;
        }
        case ReaderType::LongRange1D:
            return on ? longRangeTriggerOn(port, toggle) : longRangeTriggerOff(port);
        default:
            return false;
    }
}

}  // namespace

bool trigger(ReaderPort& port, bool on, AimToggle& toggle) {
    port.portLock.wait(platform::kInfinite);
    const bool done = port.triggerState == (on ? 1 : 0) || switchTrigger(port, on, toggle);
    port.portLock.release();
    return done;
}

bool imagerMode(ReaderPort& port, std::uint8_t mode) {
    return command(port, encodeImagerMode(mode), kCommandTimeoutMs, kCommandRetries);
}

std::string versionText(ReaderPort& port) {
    Bytes reply;
    if (port.type == ReaderType::CcdLaser) {
        if (!port.transact("VER", kCommandTimeoutMs, &reply, 1)) return {};
        return std::string(reply.begin(), reply.end());
    }
    if (!isPacketType(port.type) ||
        !port.transact(kRevisionRequest, kCommandTimeoutMs, &reply, kCommandRetries)) {
        return {};
    }
    return versionFromRevision(port.type, reply);
}

namespace {

bool noDecode(ReaderPort& port) {
    port.data.clear();
    port.result = {};
    port.lastError = kNoDecode;
    return false;
}

}  // namespace

bool receiveDecode(ReaderPort& port, const HostOptions& options) {
    if (port.type == ReaderType::CcdLaser) {
        if (!port.readReply(port.data, port.decodeTimeout)) return false;
        constexpr std::string_view kNoRead = "*000";
        if (std::string_view(reinterpret_cast<const char*>(port.data.data()), port.data.size()) ==
            kNoRead) {
            return noDecode(port);
        }
        port.result = interpretCcd(port.data, options, port.configBlock);
        return true;
    }
    if (!isPacketType(port.type) || !port.readReply(port.data, port.decodeTimeout, true)) {
        return false;
    }
    port.transact(kAckDecode, kCommandTimeoutMs, nullptr, 1);
    if (port.data.size() == 5 && isNegativeAck(port.data)) return noDecode(port);
    port.result = interpretPacket(port.data);
    return true;
}

bool receiveImage(ReaderPort& port, const ImageProgress& progress, Bytes& image) {
    image.clear();
    ReaderPort::Source source(port);
    Bytes first;
    const auto status = readImageFirstPacket(source, platform::Millis(port.decodeTimeout), first);
    const auto total = status == ReplyStatus::Complete ? imageTotalSize(first) : std::nullopt;
    if (!total) {
        if (status != ReplyStatus::TimedOut) port.lastError = EBADMSG;
        return false;
    }
    image.assign(first.begin() + kImagePreambleBytes, first.end());

    Bytes packet;
    while (image.size() < *total) {
        bool received = port.transact(kAckPacket, kCommandTimeoutMs, &packet, 1);
        for (int i = 0; !received && i < kImageResendRequests; ++i) {
            received = port.transact(kResendRequest, kCommandTimeoutMs, &packet, 1);
        }
        if (!received) break;
        if (packet.size() > 4) image.insert(image.end(), packet.begin() + 4, packet.end());
        const auto percent = static_cast<int>(std::uint64_t(image.size()) * 100 / *total);
        if (progress && percent <= kImageProgressShownUpTo) progress(percent);
    }
    if (image.size() >= *total) port.transact(kAckPacket, kCommandTimeoutMs, nullptr, 1);
    return true;
}

}  // namespace tessel::reader
