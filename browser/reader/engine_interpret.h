#pragma once
// Meaning of engine replies: identification by revision text, version texts, the text engine's
// configuration block, and turning a raw decode into code type, code-type name and data.

#include <cstdint>
#include <string>
#include <string_view>

#include "browser/reader/engine_codec.h"
#include "browser/reader/reader_types.h"

namespace tessel::reader {

// The type that a revision reply identifies when probing for `probed`, or None:
//   Imager2D/LongRange1D: the character before the third space ('P' → Imager2D; 0x00, 0x07 or
//                         'G' → LongRange1D, whichever was probed);
//   Imager2D4507:         "PAAAA" at index 4 or later;
//   LongRange1D955:       at least 17 bytes with byte 15 being 0x98 or 0x99.
ReaderType identifyRevision(ReaderType probed, ByteView reply);

// The About-box version text in a revision reply of a packet engine of type.
std::string versionFromRevision(ReaderType type, ByteView reply);

// A text of hexadecimal digit pairs as bytes; a lone last digit is a high nibble.
Bytes parseHexBlock(std::string_view text);
// Two uppercase hexadecimal digits per byte.
std::string formatHexBlock(ByteView bytes);

// Code-type names of the two engine families; "unknown" and "unkonwn" for unlisted codes.
std::string ccdCodeTypeName(int code);
std::string packetCodeTypeName(int code);

// A text-engine decode: the code letter, then (when at least 4 bytes came) a 4-byte header
// before the data. UPC-A/EAN-13 and EAN-128 data is shaped by the host options and the engine's
// configuration block.
ScanResult interpretCcd(ByteView decode, const HostOptions& options, ByteView configBlock);

// The text engine's code types that the host passes on only when enabled in the configuration
// block (Code 128 and EAN-128). A refused result loses its data and name.
bool applyHostFilter(ScanResult& result, ByteView configBlock);

// A packet-engine decode: the barcode type byte, then the data.
ScanResult interpretPacket(ByteView decode);

}  // namespace tessel::reader
