#pragma once
// Where each symbology option lives in the scan engine, as data: the text engine's options as
// bits and bit ranges of its configuration block, the packet engines' options as parameter
// numbers. One operation per settings section; its values are positional, one per slot.
//
//   const PacketOperation* op = findPacketOperation("Code39 2D/1D_LR", ReaderType::Imager2D);
//   op->slots[7].key == "length1", op->slots[7].param == Bytes{0x12}

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "browser/reader/engine_codec.h"
#include "browser/reader/reader_types.h"

namespace tessel::reader {

// How a value is held. Flags go to the engine as 0 or 1; numbers as they are.
enum class SlotKind { Flag, Number };

// ---- Text engine (CcdLaser) ----

// Where a text-engine slot's value lives.
enum class CcdPlace {
    Bits,         // bits lo..hi of block[byte]
    InvertedBit,  // bit lo of block[byte], 1 when clear
    Host,         // a host option (HostOptions); writing 1 also sets bit lo of block[byte]
};

// Which host option a Host slot holds.
enum class HostField {
    None,
    TransmitEan13CheckDigit,
    ConvertToEAN13,
    TransmitUpcACheckDigit,
    Ean128Separator
};

struct CcdSlot {
    std::string_view key;
    CcdPlace place = CcdPlace::Bits;
    std::uint8_t byte = 0;
    std::uint8_t lo = 0;
    std::uint8_t hi = 0;
    HostField host = HostField::None;
};

// Code 128 and EAN-128 share one engine bit; each operation knows its partner's enable bit.
struct SharedBit {
    std::uint8_t byte, bit;                // the shared bit
    std::uint8_t partnerByte, partnerBit;  // the other symbology's enable bit
    std::size_t enableSlot;                // this operation's enable value
};

struct CcdOperation {
    std::string_view section;
    std::vector<CcdSlot> slots;
    std::optional<SharedBit> shared;
};

inline constexpr std::size_t kMinConfigBlock = 30;
// The block bits behind the three host-held EAN-13/UPC-A options, and the scan mode.
inline constexpr CcdSlot kTransmitEan13CheckDigitBit{"", CcdPlace::Bits, 10, 2, 2};
inline constexpr CcdSlot kConvertToEAN13Bit{"", CcdPlace::Bits, 9, 0, 0};
inline constexpr CcdSlot kTransmitUpcACheckDigitBit{"", CcdPlace::Bits, 10, 4, 4};
inline constexpr CcdSlot kScanModeBits{"scanMode", CcdPlace::Bits, 20, 4, 7};

const std::vector<CcdOperation>& ccdOperations();
const CcdOperation* findCcdOperation(std::string_view section);

// ---- Packet engines ----

// How a parameter's value travels.
enum class ParamCoding {
    Byte,          // one byte
    Wide,          // two bytes, high first
    ExposureCode,  // two bytes, a code for 5-30 ms (Imager2D exposure time)
    AimTime,       // no parameter: the port's aim time
};

// A parameter as one family of engines knows it.
struct ParamWire {
    Bytes param;  // the number as it appears on the wire, prefixes included
    ParamCoding coding = ParamCoding::Byte;
    std::uint32_t engines = ~0u;  // bit per ReaderType
};

struct PacketSlot {
    std::string_view key;  // empty: a value that no settings key carries
    SlotKind kind;
    std::vector<ParamWire> wires;  // the first one for the engine applies; none: not on it

    // The parameter on an engine of type, or null when the engine lacks it.
    const ParamWire* wire(ReaderType type) const;
};

struct PacketOperation {
    std::string_view section;
    std::uint32_t engines;                  // bit per ReaderType
    std::vector<PacketSlot> slots;          // the operation's values, in key order
    std::vector<std::size_t> requestOrder;  // slot indices in the order they are requested

    bool on(ReaderType type) const { return (engines >> static_cast<int>(type)) & 1u; }
};

constexpr std::uint32_t engineBit(ReaderType type) { return 1u << static_cast<int>(type); }

const std::vector<PacketOperation>& packetOperations();
// The operation of that section for the engine type (picks the form of "2D Symbologies").
const PacketOperation* findPacketOperation(std::string_view section, ReaderType type);

// Imager2D exposure time in ms and its two-byte code; unlisted times are sent as 10 ms.
std::uint16_t exposureCode(int ms);
int exposureFromCode(std::uint16_t code);

// ---- Start-up values ----

struct StartupValue {
    std::string_view key;
    int value;
};
struct StartupSection {
    std::string_view section;
    std::vector<StartupValue> values;
};
// The values the manager writes when it has configured an engine of type, in writing order.
std::vector<StartupSection> startupValues(ReaderType type);

}  // namespace tessel::reader
