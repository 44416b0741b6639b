#include "browser/reader/engine_interpret.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace tessel::reader {

namespace {

bool hasBit(ByteView block, std::size_t byte, int bit) {
    return byte < block.size() && (block[byte] >> bit & 1) != 0;
}

std::size_t findByte(ByteView bytes, std::uint8_t value, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i) {
        if (bytes[i] == value) return i;
    }
    return bytes.size();
}

}  // namespace

ReaderType identifyRevision(ReaderType probed, ByteView reply) {
    switch (probed) {
        case ReaderType::Imager2D:
        case ReaderType::LongRange1D: {
            std::size_t space = 0;
            for (int n = 0; n < 3; ++n) {
                space = findByte(reply, ' ', space + 1);
                if (space >= reply.size()) return ReaderType::None;
            }
            const std::uint8_t c = reply[space - 1];
            if (c == 0x00 || c == 0x07 || c == 'G') return ReaderType::LongRange1D;
            return c == 'P' ? ReaderType::Imager2D : ReaderType::None;
        }
        case ReaderType::Imager2D4507: {
            constexpr std::string_view marker = "PAAAA";
            if (reply.size() < 4 + marker.size()) return ReaderType::None;
            const auto found =
                std::search(reply.begin() + 4, reply.end(), marker.begin(), marker.end());
            return found != reply.end() ? ReaderType::Imager2D4507 : ReaderType::None;
        }
        case ReaderType::LongRange1D955:
            return reply.size() >= 17 && (reply[15] == 0x98 || reply[15] == 0x99)
                       ? ReaderType::LongRange1D955
                       : ReaderType::None;
        default:
            return ReaderType::None;
    }
}

std::string versionFromRevision(ReaderType type, ByteView reply) {
    std::size_t begin = std::min<std::size_t>(4, reply.size());
    std::size_t end = reply.size();
    if (type == ReaderType::Imager2D || type == ReaderType::LongRange1D) {
        end = findByte(reply, ' ', begin);
    } else if (type == ReaderType::Imager2D4507) {
        end = std::min<std::size_t>(20, reply.size());
    } else if (type == ReaderType::LongRange1D955) {
        end = std::min<std::size_t>(12, reply.size());
    }
    return std::string(reply.begin() + begin, reply.begin() + std::max(begin, end));
}

namespace {

std::uint8_t hexDigit(char c) {
    const auto u = static_cast<std::uint8_t>(c);
    if (c <= '9') return static_cast<std::uint8_t>(u - '0');
    if (c > 'F') return static_cast<std::uint8_t>(u - 'a' + 10);
    return static_cast<std::uint8_t>(u - 'A' + 10);
}

}  // namespace

Bytes parseHexBlock(std::string_view text) {
    Bytes block;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::uint8_t high = hexDigit(text[i]);
        const std::uint8_t low = i + 1 < text.size() ? hexDigit(text[i + 1]) : 0;
        block.push_back(static_cast<std::uint8_t>(high << 4 | (low & 0x0F)));
    }
    return block;
}

std::string formatHexBlock(ByteView bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

namespace {

using NameEntry = std::pair<int, std::string_view>;

constexpr std::array<NameEntry, 26> kCcdNames{{
    {64, "ISBT 128"},       {65, "Code 39"},        {66, "Italian Pharma"}, {67, "French Pharma"},
    {68, "Industrial 2/5"}, {69, "Interleave 2/5"}, {70, "Matrix 25"},      {71, "Codabar"},
    {72, "Code 93"},        {73, "Code 128"},       {74, "UPCE"},           {75, "UPCE addon 2"},
    {76, "UPCE addon 5"},   {77, "EAN-8"},          {78, "EAN-8 addon 2"},  {79, "EAN-8 addon 5"},
    {80, "EAN-13"},         {81, "EAN-13 addon 2"}, {82, "EAN-13 addon 5"}, {83, "MSI"},
    {84, "Plessey"},        {85, "EAN-128"},        {90, "Telepen"},        {91, "GS1 DataBar-14"},
    {103, "Code 11"},       {0, "unknown"},
}};

constexpr std::array<NameEntry, 79> kPacketNames{{
    {1, "Code 39"},
    {2, "Codabar"},
    {3, "Code 128"},
    {4, "Discrete 2 of 5"},
    {5, "IATA25"},
    {6, "Interleave 2/5"},
    {7, "Code 93"},
    {8, "UPC-A"},
    {9, "UPC-E0"},
    {10, "EAN8"},
    {11, "EAN13"},
    {12, "Code 11"},
    {14, "MSI"},
    {15, "EAN 128"},
    {16, "UPC-E1"},
    {17, "PDF417"},
    {19, "Code 39 Full ASCII"},
    {21, "Trioptic Code 39"},
    {22, "Bookland"},
    {23, "Coupon Code"},
    {25, "ISBT 128"},
    {26, "Micro PDF"},
    {27, "Data Matrix"},
    {28, "QR Code"},
    {30, "US Postnet"},
    {31, "US Planet"},
    {32, "Code 32"},
    {33, "ISBT-128"},
    {34, "Japan Postal"},
    {35, "Australian Postal"},
    {36, "Dutch Postal"},
    {37, "Maxicode"},
    {38, "Postbar (CA)"},
    {39, "UK Postal"},
    {40, "Macro PDF"},
    {44, "Micro QR Code"},
    {45, "Aztec"},
    {48, "GS1 DataBar-14"},
    {49, "GS1 DataBar Limited"},
    {50, "GS1 DataBar Expanded"},
    {51, "Parameter (FNC3)"},
    {52, "USPS 4CB/One Code/Intelligent Mail"},
    {53, "UPU FICS Postal"},
    {55, "Scanlet Webcode"},
    {56, "Cue CAT Code"},
    {57, "Matrix 2 of 5"},
    {72, "UPC-A with 2 Digits Addenda"},
    {73, "UPC-E0 with 2 Digits Addenda"},
    {74, "EAN8 with 2 Digits Addenda"},
    {75, "EAN13 with 2 Digits Addenda"},
    {80, "UPC-E1 with 2 Digits Addenda"},
    {81, "Composite CC-A + EAN128"},
    {82, "Composite CC-A + EAN13"},
    {83, "Composite CC-A + EAN8"},
    {84, "Composite CC-A + RSS Expanded"},
    {85, "Composite CC-A + RSS Limited"},
    {86, "Composite CC-A + RSS14"},
    {87, "Composite CC-A + UPC-A"},
    {88, "Composite CC-A + UPC-E"},
    {89, "Composite CC-C + EAN128"},
    {90, "TLC-39"},
    {97, "Composite CC-B + EAN128"},
    {98, "Composite CC-B + EAN13"},
    {99, "Composite CC-B + EAN8"},
    {100, "Composite CC-B + RSS Expanded"},
    {101, "Composite CC-B + RSS Limited"},
    {102, "Composite CC-B + RSS14"},
    {103, "Composite CC-B + UPC-A"},
    {104, "Composite CC-B + UPC-E"},
    {114, "Chinese 2 of 5"},
    {136, "UPC-A with 5 Digits Addenda"},
    {137, "UPC-E0 with 5 Digits Addenda"},
    {138, "EAN8 with 5 Digits Addenda"},
    {139, "EAN13 with 5 Digits Addenda"},
    {144, "UPC-E1 with 5 Digits Addenda"},
    {154, "Macro Micro PDF417"},
    {0, "unkonwn"},
}};

// The name of code in a table whose last entry (code 0) names everything else.
template <std::size_t N>
std::string lookUp(const std::array<NameEntry, N>& table, int code) {
    const auto found = std::find_if(table.begin(), table.end() - 1,
                                    [code](const NameEntry& e) { return e.first == code; });
    return std::string(found->second);
}

template <std::size_t N>
bool listed(const std::array<NameEntry, N>& table, int code) {
    return code != 0 && std::any_of(table.begin(), table.end() - 1,
                                    [code](const NameEntry& e) { return e.first == code; });
}

constexpr int kCcdEan13 = 80;
constexpr int kCcdEan13Addon5 = 82;
constexpr int kCcdCode128 = 73;
constexpr int kCcdEan128 = 85;
constexpr std::uint8_t kGroupSeparator = 0x1D;

// Removes the check digit of a UPC-A or EAN-13 symbol: the last byte, or the one before an
// add-on of 2 or 5 digits.
void removeCheckDigit(int code, Bytes& data) {
    if (code == kCcdEan13) {
        if (!data.empty()) data.pop_back();
        return;
    }
    const std::size_t fromEnd = code == kCcdEan13Addon5 ? 6 : 3;
    if (data.size() >= fromEnd + 1) data.erase(data.end() - static_cast<std::ptrdiff_t>(fromEnd));
}

void shapeUpcEan(ScanResult& result, const HostOptions& options, ByteView configBlock) {
    Bytes& data = result.data;
    const std::string addon = result.codeTypeName.substr(std::string_view("EAN-13").size());
    const bool upcA =
        !data.empty() && data[0] == '0' && data.size() >= 11 && !options.convertToEAN13;
    if (upcA) {
        const bool keepSystemNumber = hasBit(configBlock, 10, 0);
        data.erase(data.begin(), data.begin() + (keepSystemNumber ? 1 : 2));
        result.codeTypeName = "UPC-A" + addon;
    }
    const bool transmitCheckDigit =
        upcA ? options.transmitUpcACheckDigit : options.transmitEan13CheckDigit;
    if (!transmitCheckDigit) removeCheckDigit(result.codeType, data);
}

void shapeEan128(ScanResult& result, const HostOptions& options, ByteView configBlock) {
    Bytes& data = result.data;
    if (options.ean128Separator != 0) {
        std::replace(data.begin(), data.end(), kGroupSeparator, options.ean128Separator);
    }
    constexpr std::string_view codeId = "]C1";
    if (hasBit(configBlock, 22, 5) && data.size() >= codeId.size() &&
        std::equal(codeId.begin(), codeId.end(), data.begin())) {
        data.erase(data.begin(), data.begin() + codeId.size());
    }
}

}  // namespace

std::string ccdCodeTypeName(int code) { return lookUp(kCcdNames, code); }
std::string packetCodeTypeName(int code) { return lookUp(kPacketNames, code); }

ScanResult interpretCcd(ByteView decode, const HostOptions& options, ByteView configBlock) {
    ScanResult result;
    result.data.assign(decode.begin(), decode.end());
    const int letter = decode.empty() ? 0 : decode[0];
    if (result.data.size() >= 4) result.data.erase(result.data.begin(), result.data.begin() + 4);
    result.codeType = listed(kCcdNames, letter) ? letter : 0;
    result.codeTypeName = ccdCodeTypeName(result.codeType);
    if (result.codeType >= kCcdEan13 && result.codeType <= kCcdEan13Addon5) {
        shapeUpcEan(result, options, configBlock);
    } else if (result.codeType == kCcdEan128) {
        shapeEan128(result, options, configBlock);
    }
    return result;
}

bool applyHostFilter(ScanResult& result, ByteView configBlock) {
    const bool refused = (result.codeType == kCcdCode128 && !hasBit(configBlock, 22, 7)) ||
                         (result.codeType == kCcdEan128 && !hasBit(configBlock, 22, 6));
    if (refused) {
        result.data.clear();
        result.codeTypeName.clear();
    }
    return !refused;
}

ScanResult interpretPacket(ByteView decode) {
    ScanResult result;
    if (decode.empty()) {
        result.codeTypeName = packetCodeTypeName(0);
        return result;
    }
    const int type = decode[0];
    result.codeType = listed(kPacketNames, type) ? type : 0;
    result.codeTypeName = packetCodeTypeName(result.codeType);
    result.data.assign(decode.begin() + 1, decode.end());
    return result;
}

}  // namespace tessel::reader
