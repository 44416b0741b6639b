#pragma once
// The shell's view of the reader manager: start-up, the kinds fitted on ports 1 and 2, the
// reading switches the tray menu toggles, the start-up failure texts, and close.

#include <string>

#include "browser/reader/reader_types.h"

namespace tessel::app {

using reader::ReaderType;

class ReaderAccess {
public:
    virtual ~ReaderAccess() = default;

    // Detects and opens the readers and starts what they need; failures are kept as texts.
    virtual void startUp() = 0;
    // The texts collected by startUp ("No barcode scanner is installed.\r\n"...); empty when
    // everything started.
    virtual std::u16string startupFailures() const = 0;

    // The kind fitted on port 1 (a scan engine) and port 2 (an RFID reader); None when absent.
    virtual ReaderType barcodeKind() const = 0;
    virtual ReaderType rfidKind() const = 0;

    virtual bool barcodeEnabled() const = 0;
    virtual void setBarcodeEnabled(bool on) = 0;
    virtual bool rfidEnabled() const = 0;
    virtual void setRfidEnabled(bool on) = 0;

    // Closes both ports.
    virtual void close() = 0;
};

// No reader fitted: what the shell runs with until the reader manager is joined to it.
class NoReaders final : public ReaderAccess {
public:
    void startUp() override {}
    std::u16string startupFailures() const override { return {}; }
    ReaderType barcodeKind() const override { return ReaderType::None; }
    ReaderType rfidKind() const override { return ReaderType::None; }
    bool barcodeEnabled() const override { return false; }
    void setBarcodeEnabled(bool) override {}
    bool rfidEnabled() const override { return false; }
    void setRfidEnabled(bool) override {}
    void close() override {}
};

}  // namespace tessel::app
