#pragma once
// The RFID readers' wire formats as pure functions over text and bytes: the frame reader's
// fixed frames, its block frames and the results it returns in square brackets, the text
// reader's single-character error replies, hexadecimal, and the version texts.
//
// Nothing here does I/O; RfidReader sends what these functions build and hands them what came.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::rfid {

using Bytes = std::vector<std::uint8_t>;

// The air protocols the frame reader and the module switch between; 0 at reset.
enum RfidProtocol : int {
    kProtocolNone = 0,
    kProtocol14443A = 3,
    kProtocol14443B = 5,
    kProtocolTagit = 8,
    kProtocol15693 = 16,
};

// Reader codes left in the port's last error.
inline constexpr int kRfidNoTag = 30002;       // "N", an empty select line, no tag in a reply
inline constexpr int kRfidFailed = 30003;      // "F"
inline constexpr int kRfidOperation = 30004;   // "O"
inline constexpr int kRfidRejected = 30005;    // "R"
inline constexpr int kRfidUnknownReply = 30011;  // "?" or another single character

// The code of a single-character reply to a block read or write: "?", "F", "N", "O", "R";
// 0 for any other character (data for a read, success for a write).
int blockReplyError(char c);
// The code of a single-character reply to the select command: as above, any other 30011.
int selectReplyError(char c);

// The frame reader's fixed frames.
inline constexpr std::string_view kIdentifyFrame = "0108000304FE0000";
inline constexpr std::string_view kGainControlFrame = "0109000304F0000000";
inline constexpr std::string_view kInputSelectionFrame = "0109000304F1FF0000";
// Protocol selection and inventory request of a protocol; empty for a protocol without one.
std::string_view selectFrame(int protocol);
std::string_view inventoryFrame(int protocol);

// Block command flags and opcodes of the frame reader.
inline constexpr std::uint8_t kFrameOptionFlag = 0x40;
inline constexpr std::uint8_t kFrameRead15693 = 0x20;
inline constexpr std::uint8_t kFrameReadTagit = 0x08;
inline constexpr std::uint8_t kFrameWrite15693 = 0x21;
inline constexpr std::uint8_t kFrameWriteTagit = 0x28;
// 01 LL 00 03 04 18 flags opcode block data 00 00 as upper-case hexadecimal, LL the frame's
// length in bytes.
std::string blockFrame(std::uint8_t flags, std::uint8_t opcode, std::uint8_t block,
                       std::span<const std::uint8_t> data = {});

// The result text of a frame reader reply for a protocol: 3 the first group less its last two
// characters; 5 and 8 the first non-empty group; 16 the field after the first "[" that is not
// followed by "," up to the next "," or "]" (or the end). nullopt when there is none or it is
// empty.
std::optional<std::string> frameResult(int protocol, std::string_view reply);
// The UID of a frame reply: the result, for protocol 16 with its bytes in reverse order (most
// significant first), upper-case hexadecimal.
std::optional<std::string> frameUid(int protocol, std::string_view reply);
// Block data of a protocol-16 reply: the field's bytes without the first (the response flags).
std::optional<Bytes> frame15693Data(std::string_view reply);
// Whether a frame reply ends with "[00]" (before any CR LF): the tag took the write.
bool frameWriteAccepted(std::string_view reply);

// Tag-it block data from a group text: characters 6 to 15 as five bytes, the 40 bits shifted
// left by two and cut to the first 32. nullopt for a text shorter than 16 characters.
std::optional<Bytes> decodeTagitGroup(std::string_view group);

// Pairs of hexadecimal digits (either case) from the start of text, up to the first pair that
// is not one; an odd last digit is ignored.
Bytes decodeHex(std::string_view text);
// "%02X" per byte.
std::string encodeHex(std::span<const std::uint8_t> bytes);
// "%02x" of value.
std::string hex2(unsigned value);

// Text of a reply's bytes (each byte a character) and back.
std::string_view asText(const Bytes& bytes);

// Text reader version for the About box: what follows the reply's first space; empty without one.
std::string textReaderVersion(std::string_view reply);
// Frame reader version: the reply trimmed of characters 0-32 at both ends, then the text after
// its last space (all of it without one).
std::string frameReaderVersion(std::string_view reply);

}  // namespace tessel::rfid
