#include "browser/app/manager_readers.h"

#include "browser/settings/text8.h"

namespace tessel::app {

namespace {

bool isImager(ReaderType kind) {
    return kind == ReaderType::Imager2D || kind == ReaderType::Imager2D4507;
}

}  // namespace

ManagerReaders::ManagerReaders(ManagerReadersParts parts, StartUp startUp)
    : manager_(parts.manager),
      rfid_(parts.rfid),
      startUp_(std::move(startUp)),
      notifier_(manager_.notificationBinding(), parts.sounds, parts.clock, manager_.model()),
      threads_({parts.toolkit, parts.clock, *this, notifier_, std::move(parts.target), parts.progress}) {}

ManagerReaders::~ManagerReaders() { close(); }

void ManagerReaders::detectAndStart(ManagerReaders& readers) {
    if (readers.manager().start(ReaderType::Auto, ReaderType::Auto)) readers.startThreads();
}

void ManagerReaders::startThreads() {
    notifier_.setModel(manager_.model());
    const bool barcode = manager_.barcodeAvailable();
    const ReaderType kind = manager_.scannerType(1);
    threads_.start({.singleShot = barcode,
                    .continuous = barcode && kind == ReaderType::CcdLaser,
                    .image = barcode && isImager(kind),
                    .rfid = manager_.rfidAvailable()});
}

std::u16string ManagerReaders::startupFailures() const {
    return settings::fromEightBit(manager_.messageText());
}

void ManagerReaders::close() {
    if (closed_) return;
    closed_ = true;
    threads_.stop();
    manager_.shutdown();
}

bool ManagerReaders::readBarcode(std::uint32_t timeoutMs) {
    reader::ScanResult result;
    return manager_.readBarcode(timeoutMs, result);
}

bool ManagerReaders::captureImage(std::uint32_t timeoutMs, reader::ImageProgressWindow* progress) {
    return manager_.captureImage(timeoutMs, progress, lastImage_);
}

// Teardown: a listening read gives the engine's port back at once and a triggered one ends with
// its trigger off, so that every reader thread can end within a second.
void ManagerReaders::stopReaders() {
    manager_.interruptReads();
    manager_.stop(true, true);
}

// A tag read while RFID reading is switched off is not wanted: the switch stops reading.
bool ManagerReaders::scanTag(const rfid::TagRequest& request) {
    rfid::RfidReader* reader = rfid_.reader();
    rfid::RfidTagResult found;  // the reader keeps it as its tag
    return reader && manager_.rfidAvailable() && reader->scan(request, found);
}

}  // namespace tessel::app
