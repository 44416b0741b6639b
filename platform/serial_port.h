#pragma once
// A serial port as the readers see it: line settings, modem lines, purge, and byte I/O with
// total time-outs. Implementations: the termios port on a host device, and VirtualSerialPort
// joined to a device model on a VirtualClock.
//
// Failures return false (or a short count) and leave an errno value in lastError(); a read that
// times out leaves ETIMEDOUT.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace tessel::platform {

enum class Parity : std::uint8_t { None, Odd, Even };

struct LineSettings {
    std::uint32_t baud = 9600;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    std::uint8_t stopBits = 1;
    bool ctsFlowControl = false;

    bool operator==(const LineSettings&) const = default;
};

// Time one character takes on the wire (start bit, data, parity, stop bits), rounded up.
Micros characterTime(const LineSettings& line, std::size_t characters = 1);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool configure(const LineSettings& line) = 0;
    virtual LineSettings settings() const = 0;

    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    // Clear-to-send from the modem status; nullopt (lastError ENOTTY) where the device has no
    // modem lines.
    virtual std::optional<bool> cts() = 0;

    // Drops unread input and the output that has not left the port yet.
    virtual bool purge() = 0;

    // One byte, waiting at most timeout. False on time-out (ETIMEDOUT) or failure.
    virtual bool readByte(std::uint8_t& out, Millis timeout) = 0;

    // Hands bytes to the port's output queue within a total time-out, retrying short writes;
    // returns how many it took. They may still be waiting to leave when it returns.
    virtual std::size_t write(std::span<const std::uint8_t> bytes, Millis timeout) = 0;

    // Waits until every byte written has left the port, at most timeout. False on time-out
    // (ETIMEDOUT) or failure; what has not left stays queued until a purge.
    virtual bool drain(Millis timeout) = 0;

    virtual int lastError() const = 0;
};

// Opens ports by their device name ("COM1:", "COM2:").
class SerialPortOpener {
public:
    virtual ~SerialPortOpener() = default;
    // Null on failure, with an errno value in error.
    virtual std::unique_ptr<SerialPort> open(std::string_view name, int& error) = 0;
};

}  // namespace tessel::platform
