#pragma once
// Tag types, block ranges and the classification of a tag from what a reader returned.
// Pure functions: no port, no reader state.
//
//   auto range = blockRange(3, 16, -1, 50);  // Mifare S50: blocks 4..8 (7 is a trailer), 2 bytes
//                                            // of block 8

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::rfid {

using TagCode = std::int32_t;

inline constexpr TagCode kTagUnknown = 0;
inline constexpr TagCode kTagUltralight = 2;
inline constexpr TagCode kTagMifare = 3;
inline constexpr TagCode kTagSr176 = 6;
inline constexpr TagCode kTagSrix4k = 7;
inline constexpr TagCode kTagTagit = 8;
inline constexpr TagCode kTagTexas = 13;
inline constexpr TagCode kTag15693 = 16;

// The last tag read, copied out of the RFID port after a successful scan.
struct RfidTagResult {
    TagCode code = kTagUnknown;
    std::string typeName;             // "" when nothing was classified
    std::string uid;                  // hexadecimal; a module UID before classification carries
                                      // its code byte first
    std::vector<std::uint8_t> userData;
    int blockSize = 0;

    bool operator==(const RfidTagResult&) const = default;
};

struct TagType {
    TagCode code;
    std::string_view name;
    char family;  // the letter the page receives; 0 for an unknown tag
    int defaultFirstBlock;
    int highestBlock;
};

// The row of code; codes outside the table get the unknown row (first block 0, highest 255).
const TagType& tagType(TagCode code);
inline constexpr std::string_view kUnknownName = "unkonwn";

// Blocks that hold `length` bytes from `start` (-1: the type's default first page; Mifare
// tags then also step over sector trailers). nullopt when blockSize or length is below 1. The
// last block is capped at the type's highest block, whose last byte then ends the range.
struct BlockRange {
    int first = 0;
    int last = 0;
    int firstOffset = 0;
    int lastOffset = 0;
    bool operator==(const BlockRange&) const = default;
};
std::optional<BlockRange> blockRange(TagCode code, int blockSize, int start, int length);

// A Mifare sector trailer: the last block of each 4-block sector.
constexpr bool isSectorTrailer(int block) { return block % 4 == 3; }

struct Classification {
    TagCode code = kTagUnknown;
    std::string name;
    std::string uid;  // the UID left once the family letter or code byte is removed
};

// Text reader: a select line of family letter and hexadecimal UID.
Classification classifyTextLine(std::string_view line);
// Frame reader: the code is the current protocol.
Classification classifyFrameTag(int protocol, std::string_view uid);
// Module: a UID text whose first character is the module's code byte.
Classification classifyModuleTag(int protocol, std::string_view uidText);

}  // namespace tessel::rfid
