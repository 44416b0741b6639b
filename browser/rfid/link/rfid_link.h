#pragma once
// RfidLink: the link library of the RFID module fitted to the terminal with model index 4.
//
// It opens "COM<handle>:" itself through the injected opener, connects to the module with a key
// handshake and offers one function per module command. Every function returns a LinkResult;
// data comes back in fixed-size arrays (or a caller's span): a reply longer than that is cut,
// a shorter one leaves the rest zero.
//
// Secured modes (1, 3, 4) add rolling link bytes to every command; a command that gets no valid
// reply runs the handshake again so that both ends agree on the link words.
//
// Not thread-safe: the caller serialises all calls (the RFID port lock).

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string_view>

#include "browser/rfid/link/link_frame.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace tessel::rfid {

enum class LinkResult : std::uint8_t {
    Success = 0x00,
    BadReply = 0xEF,           // other command byte, non-zero status, or a failed connect step
    ResyncFailed = 0xEE,       // handshake after a failed protocol selection answered but failed
    NoReply = 0xF0,            // no valid reply
    NotOpen = 0xF1,            // no open connection for the handle
    HandshakeFailed = 0xF8,    // handshake answered but failed
    NoMemory = 0xFC,           // no memory for a context
    DisconnectNoReply = 0xFD,  // a disconnect step got no reply
    PortFailed = 0xFE,         // the serial port cannot be opened
    NotConnected = 0xFF,       // disconnect of a connection that is not connected
};

std::string_view toString(LinkResult result);

struct OpenResult {
    LinkResult result = LinkResult::NoReply;
    std::uint32_t speed = 0;  // bit/s of the connection, 0 when open failed
};

enum class MifareKeyType : std::uint8_t { A = 0, B = 1 };

using SectorKey = std::array<std::uint8_t, 6>;
using IsoUid = std::array<std::uint8_t, 8>;  // least significant byte first

struct ModuleVersion {
    std::array<std::uint8_t, 8> first{};
    std::array<std::uint8_t, 4> second{};
};

struct IsoInventory {
    std::uint8_t first = 0;  // the byte before the UID
    IsoUid uid{};
};

class RfidLink {
  public:
    static constexpr std::string_view kLibraryVersion = "2.225";
    static constexpr platform::Millis kReplyTimeout{250};
    static constexpr platform::Millis kChunkTimeout{50};
    static constexpr std::array<std::uint32_t, 4> kSearchSpeeds{115200, 38400, 19200, 9600};

    RfidLink(platform::SerialPortOpener& opener, platform::Clock& clock);

    // Connects to the module on port `handle`. A non-zero speed is tried first; then (or
    // instead) the search speeds. Each attempt opens the port, waits settleMs and connects.
    OpenResult open(int handle, std::uint32_t speed, std::string_view keyText, int mode,
                    std::uint32_t settleMs);
    // Disconnects, frees the context and closes the port. Handle 0 closes every handle.
    LinkResult close(int handle);

    static std::string_view libraryVersion() { return kLibraryVersion; }

    LinkResult setOption(int handle, std::uint8_t option);
    LinkResult version(int handle, ModuleVersion& out);
    // 'A' ISO 14443 type A, 's' ISO 14443 type B (SR tags), '1' ISO 15693.
    LinkResult selectProtocol(int handle, char letter);
    LinkResult requestTypeA(int handle, std::uint8_t p, TypeAAnswer& out);

    LinkResult mifareRead(int handle, MifareKeyType keyType, std::uint8_t block,
                          const SectorKey& key, std::array<std::uint8_t, 16>& out);
    LinkResult mifareWrite(int handle, MifareKeyType keyType, std::uint8_t block,
                           const SectorKey& key, const std::array<std::uint8_t, 16>& data);
    LinkResult ultralightRead(int handle, std::uint8_t page, std::array<std::uint8_t, 16>& out);
    LinkResult ultralightWrite(int handle, std::uint8_t page,
                               const std::array<std::uint8_t, 4>& data);

    LinkResult srInitiate(int handle, std::uint8_t& chipId);
    LinkResult sr176ReadBlock(int handle, std::uint8_t block, std::array<std::uint8_t, 2>& out);
    LinkResult sr176WriteBlock(int handle, std::uint8_t block,
                               const std::array<std::uint8_t, 2>& data);
    LinkResult srix4kReadBlock(int handle, std::uint8_t block, std::array<std::uint8_t, 4>& out);
    LinkResult srix4kWriteBlock(int handle, std::uint8_t block,
                                const std::array<std::uint8_t, 4>& data);
    LinkResult srix4kGetUid(int handle, std::array<std::uint8_t, 8>& out);

    LinkResult isoInventory(int handle, std::uint8_t flags, std::uint8_t p, std::uint8_t maskLength,
                            const std::array<std::uint8_t, 8>& mask, IsoInventory& out);
    // Copies at most out.size() bytes of the blocks' data (the rest of out is zeroed); length gets
    // the number copied.
    LinkResult isoReadBlocks(int handle, std::uint8_t flags, const IsoUid& uid, std::uint8_t first,
                             std::uint8_t count, std::span<std::uint8_t> out, std::size_t& length);
    LinkResult isoWriteBlock(int handle, std::uint8_t flags, const IsoUid& uid, std::uint8_t block,
                             const std::array<std::uint8_t, 4>& data);

    // Status byte of the last reply on the handle (format B; 0 in format A or without a context).
    std::uint8_t lastStatus(int handle) const;
    // Current mode of the handle's context (the module may change it in the handshake), or -1.
    int mode(int handle) const;

  private:
    struct Node {
        std::uint8_t address = 1;
        int mode = 0;
        bool connected = false;
        LinkKey key{};
        LinkState link;
        std::uint8_t lastStatus = 0;
    };
    struct Connection {
        std::unique_ptr<platform::SerialPort> port;
        Node node;
    };

    bool reopen(int handle, Connection& conn, std::uint32_t speed);
    LinkResult connect(Connection& conn, int mode);
    LinkResult disconnect(Connection& conn);
    LinkResult handshake(Connection& conn);

    // One request and its reply; nullopt when no valid reply came.
    std::optional<Reply> transact(Connection& conn, ByteSpan payload);
    std::optional<Bytes> receive(platform::SerialPort& port, std::uint8_t start);
    // A command with the rules every command function shares; data gets the reply's data.
    LinkResult run(Connection& conn, ByteSpan payload, Bytes* data = nullptr);
    LinkResult command(int handle, ByteSpan payload, Bytes* data = nullptr);
    // A command whose data goes to out, cut to its size and zero-filled; copied gets the count.
    LinkResult commandInto(int handle, ByteSpan payload, std::span<std::uint8_t> out,
                           std::size_t* copied = nullptr);

    platform::SerialPortOpener& opener_;
    platform::Clock& clock_;
    std::map<int, Connection> connections_;
};

}  // namespace tessel::rfid
