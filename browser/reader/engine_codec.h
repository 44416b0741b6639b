#pragma once
// Framing of reader commands and assembly of replies and decode messages, over bytes only.
//
// Readers of replies pull bytes from a ByteSource, which waits for each byte with the time-out it
// is given; the serial transport is one such source, a buffer is another (tests, fuzzing).
//
// A packet, in both directions: length L (bytes without the checksum), opcode, source (0x04 from
// the host, 0x00 from the engine), status, L - 4 parameter or data bytes, two checksum bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "browser/reader/reader_types.h"
#include "platform/clock.h"

namespace tessel::reader {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Where reply bytes come from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // One byte, waiting at most timeout; false when none came.
    virtual bool readByte(std::uint8_t& out, platform::Millis timeout) = 0;
};

// A decode message may span packets, each of which the host acknowledges before the next comes.
class DecodeSource : public ByteSource {
  public:
    // Sends the between-packets acknowledgement (04 D0 04 03).
    virtual void acknowledge() = 0;
};

// How a read of a reply ended.
enum class ReplyStatus {
    Complete,
    TimedOut,   // a byte did not come in time
    Malformed,  // bytes came that the framing does not allow
};

// Time-outs of every byte after the first.
inline constexpr platform::Millis kNextByteTimeout{20};
inline constexpr platform::Millis kFrameSilence{40};

// Longest reply or message kept; a device that keeps talking past it is malformed.
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kLf = 0x0A;

// Packet commands of the host.
inline constexpr std::array<std::uint8_t, 4> kRevisionRequest{0x04, 0xA3, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kAimOff{0x04, 0xC4, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kAimOn{0x04, 0xC5, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kParameterDefaults{0x04, 0xC8, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kAckDecode{0x04, 0xD0, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kAckPacket{0x04, 0xD0, 0x04, 0x03};
inline constexpr std::array<std::uint8_t, 5> kResendRequest{0x05, 0xD1, 0x04, 0x00, 0x01};
inline constexpr std::array<std::uint8_t, 4> kStartDecode{0x04, 0xE4, 0x04, 0x00};
inline constexpr std::array<std::uint8_t, 4> kStopDecode{0x04, 0xE5, 0x04, 0x00};

inline constexpr std::uint8_t kOpcodeParameterSend = 0xC6;
inline constexpr std::uint8_t kOpcodeParameterRequest = 0xC7;
inline constexpr std::uint8_t kOpcodeNak = 0xD1;
inline constexpr std::uint8_t kOpcodeDecode = 0xF3;
inline constexpr std::uint8_t kOpcodeImage = 0xB1;
inline constexpr std::uint8_t kMultiPacketType = 0x99;

// Two's complement of the 16-bit sum of all bytes.
std::uint16_t packetChecksum(ByteView packet);
// packet followed by its checksum, high byte first.
Bytes withChecksum(ByteView packet);

// 30 × 0xFF, ESC, the command text, CR.
Bytes frameCcdCommand(std::string_view command);

// A host packet: L, opcode, 0x04, status, params; L is written for the caller.
Bytes encodePacket(std::uint8_t opcode, std::uint8_t status, ByteView params);
// A permanent parameter send without beep: L C6 04 08 FF, then number/value pairs as given.
Bytes encodeParameterSend(ByteView pairs);
// The parameter send that moves the engine to baud (115200, 38400, else 9600).
Bytes encodeSpeedSwitch(std::uint32_t baud);
// Imager mode: 05 F7 00 00 mode.
Bytes encodeImagerMode(std::uint8_t mode);

// A reply of at least 5 bytes beginning 05 D1 00 00: the engine refused.
bool isNegativeAck(ByteView reply);

// One reply in the framing of type, the first byte awaited for firstTimeout:
//   CcdLaser  text up to CR (not stored); a leading ESC is dropped.
//   RfidText  text up to LF (not stored), NULs dropped, a CR before the LF removed.
//   RfidFrame bytes until 40 ms of silence; complete once the first byte came.
//   packet    L, then L - 1 bytes, then the checksum (taken off the line, not kept or checked).
// out is cleared first and holds what was read even when the read fails.
ReplyStatus readReply(ByteSource& source, ReaderType type, platform::Millis firstTimeout,
                      Bytes& out);

// One decode message of a packet engine: barcode type followed by the data, gathered across
// packets (multi-packet records and status-2 continuations), with stray bytes before the length
// tolerated. An engine's negative acknowledgement in place of a decode is returned as its five
// bytes. type selects the multi-packet layout (LongRange1D/LongRange1D955 or the imagers).
ReplyStatus readDecodeMessage(DecodeSource& source, ReaderType type, platform::Millis firstTimeout,
                              Bytes& out);

// The first image packet: bytes are skipped until opcode 0xB1 (the byte before it is the length
// L), then source, status and L - 4 data bytes follow; every byte is awaited for timeout. out
// receives the data bytes.
ReplyStatus readImageFirstPacket(ByteSource& source, platform::Millis timeout, Bytes& out);

// The image size announced by the preamble (first 4 bytes, most significant first); nullopt for a
// first packet of 10 bytes or fewer, which means the capture failed.
inline constexpr std::size_t kImagePreambleBytes = 10;
std::optional<std::uint32_t> imageTotalSize(ByteView firstPacketData);

// A ByteSource over a buffer: each byte is there at once, and a read past the end times out.
class BufferSource : public DecodeSource {
  public:
    explicit BufferSource(ByteView bytes) : bytes_(bytes) {}
    bool readByte(std::uint8_t& out, platform::Millis timeout) override;
    void acknowledge() override { ++acknowledgements_; }
    std::size_t consumed() const { return next_; }
    int acknowledgements() const { return acknowledgements_; }

  private:
    ByteView bytes_;
    std::size_t next_ = 0;
    int acknowledgements_ = 0;
};

}  // namespace tessel::reader
