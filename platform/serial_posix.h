#pragma once
// The serial port on a host device, through termios, and the opener that finds the host device
// of "COM1:" and "COM2:" in the device registry's port map.
//
// The port is opened non-blocking and exclusive (TIOCEXCL, plus an flock because TIOCEXCL does
// not stop root), in raw mode, 8N1 at 9600 baud, without hardware flow control. Reads are served
// from a buffer filled in chunks; every time-out runs against a deadline, so a poll() that wakes
// early or late never stretches or shortens it. Where the device has no modem lines (a
// pseudo-terminal answers TIOCMGET with ENOTTY) cts() reports nullopt and RTS/DTR changes are
// accepted as no-ops, so the line handshake of the engines proceeds without them.

#include <filesystem>
#include <vector>

#include "platform/serial_port.h"

namespace tessel::platform {

class Registry;

// The termios speed code of a standard baud rate, and back (0 for an unknown code).
std::optional<unsigned> termiosSpeed(std::uint32_t baud);
std::uint32_t baudOfTermiosSpeed(unsigned code);

class TermiosSerialPort final : public SerialPort {
public:
    // Opens device for reading and writing. Null on failure, with an errno value in error
    // (EBUSY when another holder has it open).
    static std::unique_ptr<TermiosSerialPort> open(const std::filesystem::path& device, int& error);
    ~TermiosSerialPort() override;

    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    // Standard rates only (EINVAL otherwise); 5-8 data bits, 1 or 2 stop bits.
    bool configure(const LineSettings& line) override;
    // As the driver holds them.
    LineSettings settings() const override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    std::optional<bool> cts() override;
    bool purge() override;
    bool readByte(std::uint8_t& out, Millis timeout) override;
    std::size_t write(std::span<const std::uint8_t> bytes, Millis timeout) override;
    bool drain(Millis timeout) override;
    int lastError() const override { return lastError_; }

    // Whether the device has modem lines (found at open).
    bool hasModemLines() const { return modemLines_; }

private:
    explicit TermiosSerialPort(int fd) : fd_(fd) {}
    bool setModemLine(int line, bool on);
    // Bytes written but not yet sent by the driver (TIOCOUTQ); nullopt on failure.
    std::optional<int> queuedOutput();
    bool fail();
    // Waits until fd is ready for events or deadline passes; false on time-out or failure.
    bool waitReady(short events, std::chrono::steady_clock::time_point deadline);

    int fd_;
    bool modemLines_ = false;
    LineSettings settings_;
    std::vector<std::uint8_t> buffer_;
    std::size_t next_ = 0;
    int lastError_ = 0;
};

// The registry key and values that map port names to host devices.
inline constexpr const char* kPortMapKey = "Software\\Tessel\\Ports";

// Opens "COMn:" on the host device named by the REG_SZ value "COMn" under
// HKEY_LOCAL_MACHINE\Software\Tessel\Ports. An absolute value is a host path (/dev/ttyUSB0, a
// pseudo-terminal); a relative one is taken under the device root and may not leave it.
// Unknown names and missing values give ENOENT, a relative path leaving the root EACCES.
class PortMapOpener final : public SerialPortOpener {
public:
    PortMapOpener(Registry& registry, std::filesystem::path deviceRoot)
        : registry_(registry), root_(std::move(deviceRoot)) {}

    std::unique_ptr<SerialPort> open(std::string_view name, int& error) override;

    // The host device of a port name, without opening it; nullopt with error set as open().
    std::optional<std::filesystem::path> resolve(std::string_view name, int& error) const;

private:
    Registry& registry_;
    std::filesystem::path root_;
};

}  // namespace tessel::platform
