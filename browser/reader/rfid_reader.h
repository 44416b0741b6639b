#pragma once
// What the reader manager needs of the RFID reader on port 2. The RFID protocols implement it;
// the manager only starts, stops and closes through it.

#include <cstdint>
#include <string>

#include "browser/reader/reader_port.h"
#include "browser/reader/reader_types.h"

namespace tessel::reader {

class RfidReader {
  public:
    virtual ~RfidReader() = default;

    // Starts the reader on port (port 2, its model set) for request (Auto or one RFID type):
    // opens the port (on model K240 through the RFID module's link), finds the reader and brings
    // it to work; a frame reader gets its idle-close thread. False leaves port.type None and the
    // reason in port.lastError. The port must outlive the reader until close().
    virtual bool start(ReaderPort& port, ReaderType request) = 0;
    // Switches the reader off only when port 2's lock is free at once; a busy port is a failure.
    virtual bool stopIfFree() = 0;
    // Ends the idle-close thread and closes what start() opened.
    virtual void close() = 0;
    // Seconds of idleness after which a frame reader is switched off; kept across restarts.
    virtual void setIdleSeconds(std::uint32_t) {}
    // The reader's firmware version for the About box; empty when unknown.
    virtual std::string version() { return {}; }
};

}  // namespace tessel::reader
