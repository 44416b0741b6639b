#include "browser/app/trigger_keys.h"

#include "browser/bridge/scan_delivery.h"
#include "browser/rfid/rfid_codec.h"
#include "browser/settings/text8.h"

namespace tessel::app {

using reader::ReaderType;

namespace {

constexpr char kScanModeSection[] = "Barcode Reader CCD/Laser";
// Bytes read back after a write beyond those written.
constexpr int kReadBackExtra = 10;

// The bytes to write: the content's characters, or the bytes its hexadecimal digits spell.
rfid::Bytes writeData(const settings::BrowserOptions& options) {
    const std::string text = settings::toEightBit(options.rfidWriteContent);
    if (options.isHexContent != 0) return rfid::decodeHex(text);
    return {text.begin(), text.end()};
}

bool isImager(ReaderType kind) {
    return kind == ReaderType::Imager2D || kind == ReaderType::Imager2D4507;
}

}  // namespace

void TriggerKeys::down() {
    const settings::BrowserOptions& options = parts_.options();
    parts_.resultBox(u"");
    barcodeDown(options);
    rfidDown(options);
}

void TriggerKeys::up() {
    const ReaderType kind = parts_.manager.scannerType(1);
    if (parts_.options().imageCapture == 0 && kind != ReaderType::CcdLaser)
        parts_.manager.stop(true, true);
}

void TriggerKeys::barcodeDown(const settings::BrowserOptions& options) {
    const ReaderType kind = parts_.manager.scannerType(1);
    if (kind == ReaderType::CcdLaser) {
        ccdLaserDown();
    } else if (isImager(kind) && options.imageCapture != 0) {
        parts_.threads.image().release();
    } else {
        parts_.threads.singleShot().release();
    }
}

void TriggerKeys::ccdLaserDown() {
    int mode = 0;
    parts_.manager.symbology().configure(kScanModeSection, 'r', {&mode, nullptr, nullptr});
    switch (mode) {
        case 1:
        case 5:
        case 7: break;  // the engine reads on its own
        case 3: toggleContinuous(); break;
        default:
            parts_.resultBox(u"");
            parts_.threads.singleShot().release();
            break;
    }
}

void TriggerKeys::toggleContinuous() {
    ReaderThreads& threads = parts_.threads;
    if (!threads.continuousOn()) {
        parts_.manager.trigger(true);
        threads.startContinuous();
        return;
    }
    threads.stopContinuous(kTakeBackMs);
    parts_.manager.resetPort1();
}

void TriggerKeys::rfidDown(const settings::BrowserOptions& options) {
    if (options.rfidRW != 1) {
        parts_.threads.rfidScan().release();
        return;
    }
    writeTag(options);
}

void TriggerKeys::writeTag(const settings::BrowserOptions& options) {
    rfid::RfidReader* reader = parts_.rfid();
    const rfid::Bytes data = writeData(options);
    const std::string key = settings::toEightBit(options.mifareLoginKeyA);
    if (!reader || reader->write(options.rfidWriteStartByte, data, key, options.m_rfidSecurityKeyType) <= 0) {
        parts_.resultBox(kCannotWriteTag);
        return;
    }
    const rfid::TagRequest readBack{options.rfidWriteStartByte,
                                    static_cast<int>(data.size()) + kReadBackExtra, key,
                                    options.m_rfidSecurityKeyType};
    rfid::RfidTagResult tag;
    if (!reader->scan(readBack, tag)) return;
    if (auto text = bridge::deliverTag(tag, options, -1).resultBox) parts_.resultBox(*text);
}

}  // namespace tessel::app
