#pragma once
// What the reader manager needs of the RFID reader on port 2. The RFID protocols implement it;
// the manager only opens, detects, starts, stops and closes through it.

#include "browser/reader/reader_port.h"
#include "browser/reader/reader_types.h"

namespace tessel::reader {

class RfidReader {
  public:
    virtual ~RfidReader() = default;

    // Opens port 2 the way the terminal needs: the serial port, or on model K240 the RFID
    // module's link (with its own retry). False leaves port.lastError set.
    virtual bool open(ReaderPort& port, ModelIndex model) = 0;
    // Finds the reader on the open port for request (Auto, RfidText, RfidFrame or RfidModule)
    // and leaves its kind in port.type (None when nothing answered).
    virtual bool detect(ReaderPort& port, ReaderType request, ModelIndex model) = 0;
    // Brings a detected RfidText or RfidFrame reader to its working settings.
    virtual bool configure(ReaderPort& port) = 0;
    // Switches the reader's trigger off. Called with port 2's lock already held: must not take
    // it again.
    virtual bool triggerOff(ReaderPort& port) = 0;
    // Closes what open() opened: the RFID module's link on model K240, otherwise the port.
    virtual void close(ReaderPort& port, ModelIndex model) = 0;
};

}  // namespace tessel::reader
