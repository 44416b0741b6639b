#include "browser/rfid/rfid_reader.h"

#include <algorithm>
#include <cerrno>

namespace tessel::rfid {

using reader::ModelIndex;

namespace {

constexpr std::uint32_t kCommandTimeoutMs = 1000;
constexpr std::uint32_t kFrameSetupTimeoutMs = 3000;
constexpr std::uint32_t kVersionTimeoutMs = 2000;
constexpr std::uint32_t kPowerOnPauseMs = 100;
constexpr std::uint32_t kInitPauseMs = 100;
constexpr std::uint32_t kModuleSettleMs = 550;
constexpr std::uint32_t kModuleRetryPauseMs = 2000;
constexpr std::uint32_t kIdleExitWaitMs = 500;
constexpr int kModuleMode = 1;
constexpr std::uint8_t kModuleOption = 8;
constexpr int kParameterWrites = 10;
constexpr unsigned kFirstParameter = 0x0A;
constexpr unsigned kLastParameter = 0x1F;

bool isSingle(const Bytes& reply, char c) { return reply.size() == 1 && reply[0] == Bytes::value_type(c); }

}  // namespace

FrameReaderFlags& processFrameReaderFlags() {
    static FrameReaderFlags flags;
    return flags;
}

RfidReader::RfidReader(reader::ReaderPort& port, RfidLink& link, FrameReaderFlags& flags,
                       Options options)
    : port_(port), link_(link), flags_(flags), options_(options), exitSignal_(0, 1, port.clock()) {}

RfidReader::~RfidReader() { stopIdleThread(); }

// ---- transactions

bool RfidReader::transact(std::string_view command, std::uint32_t timeoutMs, int attempts,
                          Bytes& reply) {
    return port_.transact(command, timeoutMs, &reply, attempts);
}

bool RfidReader::send(std::string_view command, std::uint32_t timeoutMs) {
    return port_.transact(command, timeoutMs, nullptr, 1);
}

// ---- start-up

bool RfidReader::openPort() {
    if (port_.model != ModelIndex::K240) return port_.openPort();
    auto opened = link_.open(kPortNumber, kModuleSpeed, kModuleKeyText, kModuleMode,
                             kModuleSettleMs);
    if (opened.result != LinkResult::Success) {
        port_.clock().sleepMs(kModuleRetryPauseMs);
        opened = link_.open(kPortNumber, kModuleSpeed, kModuleKeyText, kModuleMode,
                            kModuleSettleMs);
    }
    if (opened.result != LinkResult::Success) {
        port_.lastError = static_cast<int>(opened.result);
        return false;
    }
    link_.setOption(kPortNumber, kModuleOption);
    return true;
}

bool RfidReader::start(ReaderType request) {
    if (!openPort()) return false;
    if (!detect(request)) {
        if (port_.model == ModelIndex::K240) link_.close(kPortNumber);
        port_.closePort();
        return false;
    }
    switch (kind()) {
        case ReaderType::RfidText:
            port_.closePort();
            initialise();
            break;
        case ReaderType::RfidFrame:
            initialise();  // starts the idle thread too
            break;
        default:
            break;
    }
    return true;
}

std::vector<ReaderType> RfidReader::detectionOrder(ReaderType request, ModelIndex model) {
    using enum ReaderType;
    if (request == RfidText || request == RfidFrame) return {request};
    if (request == RfidModule) return {RfidModule, RfidText};
    switch (model) {
        case ModelIndex::K220: return {RfidFrame};
        case ModelIndex::K230:
        case ModelIndex::PocketPc: return {RfidText};
        case ModelIndex::K240: return {RfidModule};
        default: return {RfidModule, RfidText, RfidFrame};
    }
}

bool RfidReader::detect(ReaderType request) {
    // A requested module is identified once; the other kinds negotiate their speed.
    const bool moduleAlone = request == ReaderType::RfidModule;
    for (ReaderType type : detectionOrder(request, port_.model)) {
        port_.type = type;
        const bool found = moduleAlone && type == ReaderType::RfidModule
                               ? identify(kModuleSpeed)
                               : negotiate();
        if (found) return true;
    }
    port_.type = ReaderType::None;
    return false;
}

bool RfidReader::identify(std::uint32_t speed) {
    Bytes reply;
    switch (kind()) {
        case ReaderType::RfidText: {
            if (!port_.setSpeed(speed) || !transact("v", kCommandTimeoutMs, 3, reply)) return false;
            const std::string_view text = asText(reply);
            if (text.find("MultiISO 1.") != std::string_view::npos) {
                firmwareVariant = 1;
            } else if (text.find("ISO 0.9v") != std::string_view::npos) {
                firmwareVariant = 0;
            } else {
                return false;
            }
            return true;
        }
        case ReaderType::RfidFrame:
            if (!port_.setSpeed(speed) || !transact(kIdentifyFrame, kCommandTimeoutMs, 3, reply)) {
                return false;
            }
            firmwareVariant = 2;
            return true;
        case ReaderType::RfidModule: {
            ModuleVersion version;
            return linkCall(link_.version(kPortNumber, version));
        }
        default:
            return false;
    }
}

bool RfidReader::negotiate() {
    switch (kind()) {
        case ReaderType::RfidFrame: return identify(kFrameSpeed);
        case ReaderType::RfidText: return negotiateText();
        case ReaderType::RfidModule: return identify(kModuleSpeed);
        default: return false;
    }
}

bool RfidReader::negotiateText() {
    if (identify(kTextSpeed)) return true;
    if (!identify(kTextStartSpeed)) return false;
    if (switchTo57600()) port_.setSpeed(kTextSpeed);
    return true;
}

bool RfidReader::switchTo57600() {
    Bytes reply;
    bool answered = false;
    for (int i = 0; i < 2 && !answered; ++i) answered = transact("wp0C03", kCommandTimeoutMs, 1, reply);
    if (!answered) return false;
    if (isSingle(reply, 'F') || isSingle(reply, 'R')) {
        port_.lastError = blockReplyError(static_cast<char>(reply[0]));
        return false;
    }
    return true;
}

bool RfidReader::initialise() {
    switch (kind()) {
        case ReaderType::RfidText: return initialiseText();
        case ReaderType::RfidFrame: {
            // The idle thread closes the port under the port lock; the set-up frames hold it
            // too, and a thread started only after them cannot close the port under them.
            port_.portLock.wait(platform::kInfinite);
            const bool done = initialiseFrame();
            port_.portLock.release();
            startIdleThread();
            return done;
        }
        case ReaderType::RfidModule: return true;
        default: return false;
    }
}

bool RfidReader::initialiseText() {
    port_.closePort();
    if (!port_.openPort() || !negotiate()) {
        port_.closePort();
        return false;
    }
    port_.clock().sleepMs(kInitPauseMs);
    writeUntil("wp0B08", "08");
    writeUntil("wp0E7F", "7F");
    readParameterImage();
    port_.closePort();
    return true;
}

void RfidReader::writeUntil(std::string_view command, std::string_view expected) {
    Bytes reply;
    for (int i = 0; i < kParameterWrites; ++i) {
        if (transact(command, kCommandTimeoutMs, 3, reply) && asText(reply) == expected) return;
    }
}

void RfidReader::readParameterImage() {
    parameterImage.clear();
    for (unsigned p = kFirstParameter; p <= kLastParameter; ++p) {
        Bytes reply;
        const bool answered = transact("rp" + hex2(p), kCommandTimeoutMs, 1, reply);
        if (!answered || isSingle(reply, 'R')) {
            parameterImage.push_back(0);
            continue;
        }
        const Bytes value = decodeHex(asText(reply));
        parameterImage.insert(parameterImage.end(), value.begin(), value.end());
    }
}

bool RfidReader::initialiseFrame() {
    if (flags_.gainControlSent && flags_.inputSelectionSent) return true;
    idleSeconds_ = kDefaultIdleSeconds;
    Bytes reply;
    if (!flags_.gainControlSent) {
        if (!transact(kGainControlFrame, kFrameSetupTimeoutMs, 3, reply)) return false;
        flags_.gainControlSent = true;
    }
    if (flags_.inputSelectionSent) return true;
    const bool answered = transact(kInputSelectionFrame, kFrameSetupTimeoutMs, 3, reply);
    if (answered) flags_.inputSelectionSent = true;
    return answered;
}

// ---- power

bool RfidReader::power(bool on) {
    if (powerState == (on ? 1 : 0)) return true;
    switch (kind()) {
        case ReaderType::RfidText: return powerText(on);
        case ReaderType::RfidFrame: return powerFrame(on);
        case ReaderType::RfidModule: return powerModule(on);
        default: return false;
    }
}

bool RfidReader::powerText(bool on) {
    if (!on) {
        powerState = 0;
        port_.closePort();
        return true;
    }
    if (!port_.openPort() || !port_.setSpeed(port_.speed())) {
        port_.closePort();
        return false;
    }
    port_.clock().sleepMs(kPowerOnPauseMs);
    if (!send("s", kCommandTimeoutMs)) {
        port_.closePort();
        return false;
    }
    powerState = 1;
    return true;
}

bool RfidReader::powerFrame(bool on) {
    if (!on) {
        powerState = 0;
        return true;
    }
    const std::string_view frame = inventoryFrame(protocol);
    if (frame.empty() || !send(frame, kCommandTimeoutMs)) return false;
    powerState = 1;
    return true;
}

bool RfidReader::powerModule(bool on) {
    if (!on) {
        powerState = 0;
        return true;
    }
    if (!moduleScan()) return false;
    powerState = 1;
    return true;
}

bool RfidReader::powerOffIfFree() {
    if (!port_.portLock.tryWait()) return false;
    const bool off = power(false);
    port_.portLock.release();
    return off;
}

bool RfidReader::ensureOpen() {
    if (port_.isOpen()) return true;
    if (!port_.openPort()) return false;
    if (!port_.setSpeed(port_.speed())) {
        port_.closePort();
        return false;
    }
    const bool initialised = initialiseFrame();
    const bool selected = selectProtocol();
    return initialised && selected;
}

bool RfidReader::selectProtocol() {
    const std::string_view frame = selectFrame(protocol);
    if (frame.empty()) return true;
    Bytes reply;
    return transact(frame, kFrameSetupTimeoutMs, 3, reply);
}

// ---- version

std::string RfidReader::version() {
    // Under the port lock, so that the About box never reopens or talks over a scan.
    port_.portLock.wait(platform::kInfinite);
    std::string text = versionUnlocked();
    port_.portLock.release();
    return text;
}

std::string RfidReader::versionUnlocked() {
    Bytes reply;
    switch (kind()) {
        case ReaderType::RfidText: {
            std::string text;
            if (port_.openPort() && port_.setSpeed(port_.speed()) &&
                transact("v", kVersionTimeoutMs, 1, reply)) {
                text = textReaderVersion(asText(reply));
            }
            port_.closePort();
            return text;
        }
        case ReaderType::RfidFrame:
            if (!transact(kIdentifyFrame, kCommandTimeoutMs, 3, reply)) return {};
            return frameReaderVersion(asText(reply));
        case ReaderType::RfidModule: {
            std::string text;
            ModuleVersion version;
            if (link_.version(kPortNumber, version) == LinkResult::Success) {
                for (auto c : version.second) {
                    if (c == 0) break;
                    text.push_back(static_cast<char>(c));
                }
                text += "|";
            }
            return text + std::string(RfidLink::libraryVersion());
        }
        default:
            return {};
    }
}

// ---- idle power-off

void RfidReader::startIdleThread() {
    if (idleStarted_) return;
    idleStarted_ = true;
    if (!options_.idleThread) return;
    stop_ = false;
    idleThread_ = std::thread([this] {
        while (!stop_) idleOnce();
        exitSignal_.release();
    });
}

bool RfidReader::idleOnce() {
    // At least a second, so that an idle time of 0 from the settings cannot make the thread
    // spin; a time too long for the wait is the longest finite one.
    const std::uint64_t ms = std::max<std::uint64_t>(idleSeconds_, 1) * 1000;
    const auto wait = static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, platform::kInfinite - 1));
    if (port_.idleSemaphore.wait(wait)) return false;
    if (stop_) return false;
    port_.portLock.wait(platform::kInfinite);
    port_.closePort();
    port_.portLock.release();
    return true;
}

void RfidReader::stopIdleThread() {
    if (!idleThread_.joinable()) return;
    stop_ = true;
    port_.idleSemaphore.release();
    exitSignal_.wait(kIdleExitWaitMs);
    // The thread leaves as soon as it has the port lock; joining keeps it from outliving us.
    idleThread_.join();
}

void RfidReader::close() {
    stopIdleThread();
    idleStarted_ = false;
    // A model-index-4 terminal whose module was not found may have a text reader on the port.
    if (port_.model == ModelIndex::K240) link_.close(kPortNumber);
    port_.closePort();
    resetFields();
}

void RfidReader::resetFields() {
    port_.type = ReaderType::None;
    port_.decodeTimeout = reader::kInitialDecodeTimeoutMs;
    port_.lastError = 0;
    protocol = kProtocolNone;
    powerState = 0;
    firmwareVariant = 0;
}

bool RfidReader::linkCall(LinkResult result) {
    if (result == LinkResult::Success) return true;
    port_.lastError = static_cast<int>(result);
    return false;
}

}  // namespace tessel::rfid
