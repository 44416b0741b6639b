#pragma once
// ManagedRfidReader: the reader manager's port-2 reader, backed by the RFID protocols.
//
// The manager rebuilds port 2 on every close, so each start builds an RfidReader over the port
// it is given and close drops it again. Scans and writes of the reader threads and the window
// go to reader():
//
//   ManagedRfidReader rfid(link);
//   ReaderManager manager({opener, clock, registry, loader, imaging, &rfid});
//   manager.start(ReaderType::Auto, ReaderType::Auto);
//   if (rfid::RfidReader* reader = rfid.reader()) reader->scan(request, tag);

#include <memory>

#include "browser/reader/rfid_reader.h"
#include "browser/rfid/rfid_reader.h"

namespace tessel::rfid {

class ManagedRfidReader final : public reader::RfidReader {
  public:
    // link and flags must outlive the reader; options go to every RfidReader built.
    explicit ManagedRfidReader(RfidLink& link, FrameReaderFlags& flags = processFrameReaderFlags(),
                               rfid::RfidReader::Options options = {});

    bool start(reader::ReaderPort& port, ReaderType request) override;
    bool stopIfFree() override;
    void close() override;

    // The reader found on port 2; null before a successful start and after close.
    rfid::RfidReader* reader() { return reader_.get(); }
    // Idle time of a frame reader in seconds, kept across restarts of port 2.
    void setIdleSeconds(std::uint32_t seconds) override;
    std::uint32_t idleSeconds() const;
    // The version of the reader found on port 2; empty without one.
    std::string version() override;

  private:
    RfidLink& link_;
    FrameReaderFlags& flags_;
    rfid::RfidReader::Options options_;
    std::unique_ptr<rfid::RfidReader> reader_;
    std::uint32_t idleSeconds_ = rfid::RfidReader::kDefaultIdleSeconds;  // between readers
};

}  // namespace tessel::rfid
