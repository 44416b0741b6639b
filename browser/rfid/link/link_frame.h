#pragma once
// The RFID module's wire format, as pure functions over bytes.
//
// Format A (modes 0 and 1): 0x02, body (LEN CMD params), [link bytes], CHK, 0x03. In mode 1 the
// body of a secured command is rotated left by S1 mod LEN and followed by S1 S2.
// Format B (modes 2 to 4): 0x01, LEN_HI LEN_LO ADDR MODE CMD params [S1 S2], CHK, 0x03.
// CHK is the sum of the bytes it follows (after the start byte) modulo 256. Special bytes between
// the start and end bytes are sent behind a 0x10.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tessel::rfid {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kStartA = 0x02;
inline constexpr std::uint8_t kStartB = 0x01;
inline constexpr std::uint8_t kEnd = 0x03;
inline constexpr std::uint8_t kEscape = 0x10;

// Commands that never carry link bytes.
inline constexpr std::uint8_t kCmdHandshake = 0x17;
inline constexpr std::uint8_t kCmdUnlinked = 0xF6;

// Largest frame the receiver accepts, stuffing included.
inline constexpr std::size_t kMaxFrame = 2048;

enum class Format : std::uint8_t { A, B };

inline Format formatOf(int mode) { return mode <= 1 ? Format::A : Format::B; }
// Modes whose commands carry link bytes.
inline bool isSecured(int mode) { return mode == 1 || mode == 3 || mode == 4; }
inline bool carriesLinkBytes(std::uint8_t command) {
    return command != kCmdHandshake && command != kCmdUnlinked;
}

std::uint8_t checksum(ByteSpan bytes);

// Puts a 0x10 before every special byte of the format (0x02 0x03 0x10, and 0x01 in format B).
Bytes stuff(ByteSpan bytes, Format format);

// Left rotation: bytes from position k (mod size) to the end first, then the bytes before it.
Bytes rotateLeft(ByteSpan bytes, std::size_t k);
Bytes rotateRight(ByteSpan bytes, std::size_t k);

using LinkKey = std::array<std::uint8_t, 4>;

// The key built into the library for key texts too short to hold one.
inline constexpr LinkKey kDefaultKey{0x5A, 0xC3, 0x3C, 0xA5};

// The first four pairs of hexadecimal digits of an 8-character or longer key text; a pair with
// another character gives 0. Shorter texts give the default key.
LinkKey parseKeyText(std::string_view text);

struct LinkBytes {
    std::uint8_t s1 = 0;
    std::uint8_t s2 = 0;
    bool operator==(const LinkBytes&) const = default;
};

// Link words A and B (little-endian bytes) and the link bytes derived from B.
struct LinkState {
    std::array<std::uint8_t, 4> a{};
    std::array<std::uint8_t, 4> b{};
    LinkBytes bytes;
};

// Link words from the eight random bytes r1..r8 of the handshake reply and the key.
LinkState deriveLink(std::span<const std::uint8_t, 8> r, const LinkKey& key);
// B = B + A (mod 2^32), then fresh link bytes from B.
void advanceLink(LinkState& link);

// A whole request frame. payload is CMD and its parameters. Format A: link bytes (mode 1, secured
// commands) rotate the body and follow it. Format B: the link bytes follow the payload; a
// handshake carries 0x00 0x00 and 0xF6 none, whatever is passed.
Bytes encodeFrameA(ByteSpan payload, std::optional<LinkBytes> link);
Bytes encodeFrameB(ByteSpan payload, std::uint8_t address, std::uint8_t modeByte,
                   std::optional<LinkBytes> link);

// The content between the first unescaped start byte and the following unescaped end byte,
// un-stuffed, with a verified checksum removed. Nullopt when no whole frame is there or the
// checksum is wrong.
std::optional<Bytes> unframe(ByteSpan raw, std::uint8_t start);

struct Reply {
    std::uint8_t command = 0;
    std::uint8_t status = 0;  // format B only; format A has none
    Bytes data;
};

// What a format A reply is checked against.
struct ReplyCheckA {
    bool linked = false;                // mode 1: the reply carries link bytes
    std::optional<LinkBytes> expected;  // the request's link bytes; nullopt for a handshake
};

// Nullopt when the reply fails framing, checksum, length or link-byte checks.
std::optional<Reply> decodeReplyA(ByteSpan raw, const ReplyCheckA& check);
std::optional<Reply> decodeReplyB(ByteSpan raw, std::uint8_t address, bool unlinkedCommand);

// Collects a reply byte by byte until a whole frame has arrived.
class FrameCollector {
  public:
    enum class State { Collecting, Complete, Overflow };

    explicit FrameCollector(std::uint8_t start) : start_(start) {}
    State push(std::uint8_t byte);
    ByteSpan bytes() const { return bytes_; }

  private:
    std::uint8_t start_;
    Bytes bytes_;
    bool started_ = false;
    bool escaped_ = false;
    State state_ = State::Collecting;
};

// Request type A hand-over: the UID followed by the marker "M" in a zero-filled 30-byte buffer.
inline constexpr std::size_t kHandOverSize = 30;
inline constexpr std::uint8_t kUidMarker = 'M';

struct TypeAAnswer {
    Bytes uid;
    std::uint16_t answerToRequest = 0;
    std::uint8_t selectAcknowledge = 0;
    std::array<std::uint8_t, kHandOverSize> handOver{};
};

// Reads the data of a request-type-A reply (the bytes after the command byte). Nullopt when the
// data is too short to hold the answer to request and the select acknowledge.
std::optional<TypeAAnswer> parseTypeA(ByteSpan data);

}  // namespace tessel::rfid
