#include "browser/reader/reader_manager.h"

#include <cerrno>
#include <cstdio>

#include "browser/reader/device_identity.h"
#include "browser/reader/engine_interpret.h"

namespace tessel::reader {

namespace {

constexpr std::uint32_t kOpenSettleMs = 500;
constexpr std::uint32_t kResetPauseMs = 600;
constexpr std::uint32_t kResetBaud = 115200;
constexpr std::uint32_t kCommandTimeoutMs = 1000;
constexpr int kCommandRetries = 5;
constexpr int kBmpFileFormat = 3;
constexpr int kListenAndCheckMode = 7;

std::string formatCode(const char* format, int code) {
    char text[96];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

// Errors that mean the device itself went away rather than a reader not answering.
bool deviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF ||
           error == ENOENT;
}

// A silent port is a missing reader, not a failing one: its time-out is no error code.
int startError(const ReaderPort& port) { return port.lastError == ETIMEDOUT ? 0 : port.lastError; }

}  // namespace

ReaderManager::ReaderManager(ReaderManagerParts parts)
    : parts_(parts),
      port1_(std::make_unique<ReaderPort>(1, parts.opener, parts.clock)),
      port2_(std::make_unique<ReaderPort>(2, parts.opener, parts.clock)),
      symbology_(*port1_) {}

// The RFID reader's idle-close thread works on port 2, which goes with the manager.
ReaderManager::~ReaderManager() {
    if (parts_.rfid) parts_.rfid->close();
}

// ---- Start ----

bool ReaderManager::start(ReaderType barcodeRequest, ReaderType rfidRequest) {
    model_ = detectModel(parts_.registry);
    port1_->model = model_;
    port2_->model = model_;
    bool started = false;
    if (!port1_->isOpen() && barcodeRequest != ReaderType::None) {
        barcodeAvailable_ = startPort1(barcodeRequest);
        const int error = startError(*port1_);
        if (!barcodeAvailable_) {
            message_ = error != 0 ? formatCode(kBarcodeFailsText, error) : kNoBarcodeText;
        }
        started = barcodeAvailable_;
    }
    if (!port2_->isOpen() && rfidRequest != ReaderType::None) {
        rfidAvailable_ = startPort2(rfidRequest);
        const int error = startError(*port2_);
        if (!rfidAvailable_) {
            message_ += error != 0 ? formatCode(kRfidFailsText, error) : kNoRfidText;
        }
        started = started || rfidAvailable_;
    }
    binding_ = NotificationBinding::bind(parts_.loader, model_);
    return started;
}

bool ReaderManager::startPort1(ReaderType request) {
    ReaderPort& port = *port1_;
    if (!port.openPort()) return false;
    parts_.clock.sleepMs(kOpenSettleMs);
    if (detectEngine(port, request, model_) && configurePort1()) {
        workingSpeed_ = port.speed();
        return true;
    }
    port.closePort();
    return false;
}

bool ReaderManager::configurePort1() {
    ReaderPort& port = *port1_;
    switch (port.type) {
        case ReaderType::LongRange1D:
            if (!restorePacketDefaults()) return false;
            [[fallthrough]];
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507:
        case ReaderType::LongRange1D955:
            linkSetup(port);
            symbology_.readAll();
            break;
        case ReaderType::CcdLaser:
            readConfiguration(port);
            break;
        default:
            return false;
    }
    writeStartupValues();
    return true;
}

void ReaderManager::writeStartupValues() {
    for (const StartupSection& section : startupValues(port1_->type)) {
        KeyValues values;
        for (const StartupValue& v : section.values) values[std::string(v.key)] = v.value;
        symbology_.configure(section.section, 'w', values);
    }
}

// Factory parameters; the engine comes back at its power-up speed, where the port finds it
// again. Failure closes the port.
bool ReaderManager::restorePacketDefaults() {
    ReaderPort& port = *port1_;
    Bytes reply;
    port.transact(kParameterDefaults, kCommandTimeoutMs, &reply, kCommandRetries);
    port.closePort();
    if (port.openPort() && negotiate(port)) return true;
    port.closePort();
    return false;
}

bool ReaderManager::startPort2(ReaderType request) {
    return parts_.rfid && parts_.rfid->start(*port2_, request);
}

// ---- Reading ----

// Marks a read of port 1 for its duration; a new read starts uninterrupted unless teardown began.
class ReaderManager::ReadScope {
  public:
    ReadScope(ReaderManager& manager, ActiveRead kind) : manager_(manager) {
        std::lock_guard lock(manager_.readMutex_);
        manager_.activeRead_ = kind;
        if (!manager_.readsInterrupted_) manager_.port1_->clearDecodeInterrupt();
    }
    ~ReadScope() {
        std::lock_guard lock(manager_.readMutex_);
        manager_.activeRead_ = ActiveRead::None;
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

  private:
    ReaderManager& manager_;
};

bool ReaderManager::listens() const {
    switch (port1_->type) {
        case ReaderType::CcdLaser: {
            const auto& block = port1_->configBlock;
            const int mode = block.size() > kScanModeBits.byte ? block[kScanModeBits.byte] >> 4 : 0;
            return mode == 1 || mode == 3 || mode == 5 || mode == kListenAndCheckMode;
        }
        case ReaderType::Imager2D4507:
            return symbology_.scanMode == kListenAndCheckMode;
        case ReaderType::LongRange1D:
        case ReaderType::LongRange1D955:
            return symbology_.scanMode == 4 || symbology_.scanMode == kListenAndCheckMode;
        default:
            return false;
    }
}

bool ReaderManager::readBarcode(std::uint32_t timeoutMs, ScanResult& out) {
    if (!barcodeAvailable_ || !ensurePort1()) return false;
    ReaderPort& port = *port1_;
    port.decodeTimeout = timeoutMs;
    const bool listening = listens();
    bool read = false;
    {
        const ReadScope scope(*this, listening ? ActiveRead::Listening : ActiveRead::Triggered);
        read = listening ? readListening(out) : readTriggered(out);
    }
    if (!read) {
        noteFailure();
        return false;
    }
    if (port.type != ReaderType::CcdLaser) return true;
    const int mode = port.configBlock[kScanModeBits.byte] >> 4;
    if (mode == kListenAndCheckMode && out.codeType == 0) {
        port.lastError = kNoDecode;
        return false;
    }
    return applyHostFilter(out, port.configBlock);
}

bool ReaderManager::readListening(ScanResult& out) {
    ReaderPort& port = *port1_;
    port.portLock.wait(platform::kInfinite);
    bool read = false;
    {
        const ReaderPort::DecodeWait wait(port);
        read = receiveDecode(port, symbology_.hostOptions());
    }
    port.portLock.release();
    if (!read) return false;
    if (port.type == ReaderType::CcdLaser && port.serial()) port.serial()->purge();
    out = port.result;
    return true;
}

bool ReaderManager::readTriggered(ScanResult& out) {
    ReaderPort& port = *port1_;
    if (port.decodeInterrupted()) {
        port.lastError = ECANCELED;
        return false;
    }
    if (!reader::trigger(port, true, aimToggle_)) return false;
    bool read = false;
    {
        const ReaderPort::DecodeWait wait(port);
        read = receiveDecode(port, symbology_.hostOptions());
    }
    const int readError = port.lastError;
    reader::trigger(port, false, aimToggle_);
    if (!read) {
        port.lastError = readError;
        return false;
    }
    out = port.result;
    return true;
}

bool ReaderManager::ensurePort1() {
    ReaderPort& port = *port1_;
    if (!port1Lost_) return true;
    if (!port.openPort()) return false;
    if (!port.setSpeed(workingSpeed_)) {
        port.closePort();
        return false;
    }
    if (port.type == ReaderType::CcdLaser) port.setRts(true);
    port.triggerState = 0;
    port1Lost_ = false;
    return true;
}

void ReaderManager::noteFailure() {
    ReaderPort& port = *port1_;
    if (!deviceGone(port.lastError) || !port.isOpen()) return;
    port.closePort();
    port.triggerState = 0;
    port1Lost_ = true;
}

// ---- Images ----

bool ReaderManager::captureImage(std::uint32_t timeoutMs, ImageProgressWindow* progress,
                                 Bytes& image) {
    if (model_ == ModelIndex::PocketPc || !barcodeAvailable_ || !ensurePort1()) return false;
    ReaderPort& port = *port1_;
    const ReadScope scope(*this, ActiveRead::Triggered);
    imagerMode(port, 1);
    if (!reader::trigger(port, true, aimToggle_)) {
        noteFailure();
        return false;
    }
    if (progress) {
        progress->setRange(0, 100);
        progress->setPosition(0);
    }
    port.decodeTimeout = timeoutMs;
    Bytes received;
    ImageProgress shown;
    if (progress) shown = [progress](int percent) { progress->setPosition(percent); };
    bool got = false;
    {
        const ReaderPort::DecodeWait wait(port);
        got = receiveImage(port, shown, received);
    }
    reader::trigger(port, false, aimToggle_);
    if (!got) {
        noteFailure();
        return false;
    }
    switch (model_) {
        case ModelIndex::K240:
            image = std::move(received);
            break;
        case ModelIndex::K220:
        case ModelIndex::K230:
        case ModelIndex::K210:
            if (!postProcess(received, image)) return false;
            port.processedImage = image;
            break;
        default:
            image.clear();
            break;
    }
    if (progress) progress->setPosition(100);
    return true;
}

bool ReaderManager::postProcess(const Bytes& received, Bytes& image) {
    KeyValues values;
    if (!symbology_.configure("Image 2D", 'r', values)) return false;
    const bool bmp = values["imageFileFormat"] == kBmpFileFormat;
    platform::Imaging& imaging = parts_.imaging;
    std::optional<Bytes> turned;
    if (!bmp) turned = imaging.turnJpegLossless(received, received.size());
    if (!turned) {
        const auto picture = imaging.decode(received);
        if (!picture) return false;
        turned = imaging.encode(platform::rotate180(*picture),
                                bmp ? platform::PictureFormat::Bmp : platform::PictureFormat::Jpeg,
                                received.size());
    }
    if (!turned) return false;
    image = std::move(*turned);
    return true;
}

// ---- Trigger, reset, stop ----

bool ReaderManager::trigger(bool on) {
    if (!ensurePort1()) return false;
    const bool done = reader::trigger(*port1_, on, aimToggle_);
    if (!done) noteFailure();
    return done;
}

bool ReaderManager::resetPort1() {
    ReaderPort& port = *port1_;
    // Under the port lock, so that a listening read never has its port closed under it.
    port.portLock.wait(platform::kInfinite);
    port.closePort();
    port.triggerState = 0;
    parts_.clock.sleepMs(kResetPauseMs);
    const bool opened = port.openPort();
    if (opened) port1Lost_ = false;
    const bool reset = opened && port.setSpeed(kResetBaud);
    port.portLock.release();
    return reset;
}

bool ReaderManager::stop(bool barcode, bool rfid) {
    bool barcodeStopped = false;
    if (barcode && barcodeAvailable_) barcodeStopped = stopBarcode();
    bool rfidStopped = false;
    if (rfid && rfidAvailable_ && parts_.rfid) rfidStopped = parts_.rfid->stopIfFree();
    return barcodeStopped || rfidStopped;
}

// Held across the trigger change, so that no read starts on the port meanwhile.
bool ReaderManager::stopBarcode() {
    std::lock_guard lock(readMutex_);
    if (activeRead_ == ActiveRead::Triggered) {
        port1_->interruptDecodeWait();
        return true;
    }
    return reader::trigger(*port1_, false, aimToggle_);
}

void ReaderManager::interruptReads() {
    std::lock_guard lock(readMutex_);
    readsInterrupted_ = true;
    port1_->interruptDecodeWait();
}

// ---- Factory settings, versions, idle time ----

namespace {

// The text engine's configuration block as it leaves the factory: the common symbologies on,
// scan mode 6 (triggered), laser on for 3 s, the 2 of 5 family and MSI at lengths 4 to 55.
const Bytes kCcdFactoryBlock = {
    0x9F, 0xC9, 0x02, 0x3F, 0x80, 0x2C, 0x50, 0x90, 0x00, 0x19, 0x3D, 0x00, 0x84, 0x37, 0x84, 0x37,
    0x84, 0x37, 0x84, 0x37, 0x60, 0x03, 0xD0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

constexpr int kFactoryScanMode = 6;

}  // namespace

bool ReaderManager::restoreFactorySettings(int device) {
    if (device == 2) {
        setTimeOfPowerOn(kDefaultTimeOfPowerOn);
        return port2_->type != ReaderType::None;
    }
    if (port1_->type == ReaderType::None || !ensurePort1()) return false;
    port1_->portLock.wait(platform::kInfinite);
    const bool done = restoreEngineFactorySettings();
    port1_->portLock.release();
    return done;
}

bool ReaderManager::restoreEngineFactorySettings() {
    ReaderPort& port = *port1_;
    if (port.type == ReaderType::CcdLaser) {
        Bytes reply;
        if (!port.transact("SAVE" + formatHexBlock(kCcdFactoryBlock), kCommandTimeoutMs, &reply, 1))
            return false;
        port.configBlock = kCcdFactoryBlock;
        symbology_.scanMode = kFactoryScanMode;
        return true;
    }
    if (!restorePacketDefaults()) {
        port1Lost_ = true;  // the next read tries the port again
        return false;
    }
    linkSetup(port);
    symbology_.readAll();
    return true;
}

std::string ReaderManager::decoderVersion(int portNumber) {
    if (portNumber == 2) return parts_.rfid && rfidAvailable_ ? parts_.rfid->version() : "";
    if (port1_->type == ReaderType::None || !ensurePort1()) return {};
    port1_->portLock.wait(platform::kInfinite);
    std::string version = versionText(*port1_);
    port1_->portLock.release();
    return version;
}

void ReaderManager::setTimeOfPowerOn(std::uint32_t seconds) {
    timeOfPowerOn_ = seconds;
    if (parts_.rfid) parts_.rfid->setIdleSeconds(seconds);
}

// ---- Close ----

void ReaderManager::close(int portNumber) {
    if (portNumber == 1) {
        if (port1_->type == ReaderType::CcdLaser) symbology_.closingWrite();
        port1_->closePort();
        port1_ = std::make_unique<ReaderPort>(1, parts_.opener, parts_.clock);
        port1_->model = model_;
        symbology_.setPort(*port1_);
        port1Lost_ = false;
        std::lock_guard lock(readMutex_);
        readsInterrupted_ = false;
        barcodeAvailable_ = false;
        return;
    }
    if (parts_.rfid) parts_.rfid->close();
    port2_->closePort();
    port2_ = std::make_unique<ReaderPort>(2, parts_.opener, parts_.clock);
    port2_->model = model_;
    rfidAvailable_ = false;
}

void ReaderManager::shutdown() {
    close(1);
    close(2);
    binding_ = NotificationBinding();
}

}  // namespace tessel::reader
