#include "browser/rfid/managed_rfid_reader.h"

namespace tessel::rfid {

ManagedRfidReader::ManagedRfidReader(RfidLink& link, FrameReaderFlags& flags,
                                     rfid::RfidReader::Options options)
    : link_(link), flags_(flags), options_(options) {}

bool ManagedRfidReader::start(reader::ReaderPort& port, ReaderType request) {
    const std::uint32_t seconds = idleSeconds();
    reader_.reset();  // ends an earlier reader's idle thread before the new one is built
    reader_ = std::make_unique<rfid::RfidReader>(port, link_, flags_, options_);
    reader_->setIdleSeconds(seconds);
    if (reader_->start(request)) return true;
    reader_.reset();
    return false;
}

bool ManagedRfidReader::stopIfFree() { return reader_ && reader_->powerOffIfFree(); }

void ManagedRfidReader::close() {
    if (!reader_) return;
    idleSeconds_ = reader_->idleSeconds();
    reader_->close();
    reader_.reset();
}

void ManagedRfidReader::setIdleSeconds(std::uint32_t seconds) {
    idleSeconds_ = seconds;
    if (reader_) reader_->setIdleSeconds(seconds);
}

std::uint32_t ManagedRfidReader::idleSeconds() const {
    return reader_ ? reader_->idleSeconds() : idleSeconds_;
}

std::string ManagedRfidReader::version() { return reader_ ? reader_->version() : std::string(); }

}  // namespace tessel::rfid
