#pragma once
// Types shared by the transport, the engine protocols and their callers.

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::reader {

// The reader on a port. The numbers are those of the settings file and the page's queries.
enum class ReaderType : int {
    None = 0,
    Auto = 1,  // only as a detection request
    CcdLaser = 2,
    Imager2D = 3,
    LongRange1D = 4,
    RfidText = 5,
    RfidFrame = 6,
    RfidModule = 7,
    Imager2D4507 = 8,
    LongRange1D955 = 9,
};

// The engines of port 1 that speak the binary packet protocol.
constexpr bool isPacketType(ReaderType type) {
    return type == ReaderType::Imager2D || type == ReaderType::LongRange1D ||
           type == ReaderType::Imager2D4507 || type == ReaderType::LongRange1D955;
}

// The terminal model, as found in the registry.
enum class ModelIndex : int {
    Unknown = 0,
    K220 = 1,
    K230 = 2,
    PocketPc = 3,
    K240 = 4,
    K210 = 5,
};

// Reader codes left in a port's last error beside operating-system (errno) values.
inline constexpr int kNoDecode = 30001;

// Text for a port's last error: a reader code or an errno value.
std::string errorToString(int code);

// One barcode read.
struct ScanResult {
    int codeType = 0;  // 0 = none or unknown
    std::string codeTypeName;
    std::vector<std::uint8_t> data;

    bool operator==(const ScanResult&) const = default;
};

// Options kept on the host that change how a text-engine decode is reported.
struct HostOptions {
    bool convertToEAN13 = false;
    bool transmitEan13CheckDigit = false;
    bool transmitUpcACheckDigit = false;
    std::uint8_t ean128Separator = 0;  // 0: group separators stay
};

}  // namespace tessel::reader
