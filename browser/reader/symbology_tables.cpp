#include "browser/reader/symbology_tables.h"

#include <array>
#include <cassert>
#include <utility>

namespace tessel::reader {
namespace {

using enum ReaderType;

// ---- Text engine ----

CcdSlot bit(std::string_view key, std::uint8_t byte, std::uint8_t b) {
    return {key, CcdPlace::Bits, byte, b, b};
}
CcdSlot bits(std::string_view key, std::uint8_t byte, std::uint8_t lo, std::uint8_t hi) {
    return {key, CcdPlace::Bits, byte, lo, hi};
}
CcdSlot host(std::string_view key, HostField field, const CcdSlot& engineBit) {
    return {key, CcdPlace::Host, engineBit.byte, engineBit.lo, engineBit.lo, field};
}

// The three 2 of 5 layouts differ only in where they sit.
CcdOperation twoOfFive(std::string_view section, std::array<std::uint8_t, 4> checks,
                       std::uint8_t patternByte, std::uint8_t patternLo, std::uint8_t lengths) {
    return {section,
            {bit("enable", 0, checks[0]), bit("checkDigitVerification", checks[1], checks[2]),
             bit("transmitCheckDigit", checks[1], checks[3]),
             bits("startStopPattern", patternByte, patternLo, patternLo + 1),
             bit("isMaxMinLengthFormat", lengths, 7), bits("length1", lengths, 0, 6),
             bits("length2", lengths + 1, 0, 7)},
            std::nullopt};
}

std::vector<CcdOperation> buildCcdOperations() {
    return {
        {"Barcode Reader CCD/Laser",
         {kScanModeBits, bits("redundancy", 11, 2, 3), bits("laserOnTime", 21, 0, 7)},
         std::nullopt},
        {"Code39 CCD/Laser",
         {bit("enable", 0, 7), bit("checkDigitVerification", 5, 6), bit("transmitCheckDigit", 5, 5),
          bit("fullASCII", 5, 4), bit("transmitStartStopChar", 5, 7)},
         std::nullopt},
        {"EAN-8 CCD/Laser",
         {bit("enable", 1, 3), bit("enableAddon2", 1, 2), bit("enableAddon5", 1, 1),
          bit("transmitCheckDigit", 10, 3), bit("convertToEAN13", 11, 7)},
         std::nullopt},
        {"GTIN CCD/Laser", {bit("enable", 11, 5)}, std::nullopt},
        {"EAN-13,UPC-A CCD/Laser",
         {bit("enable", 1, 0), bit("enableAddon2", 2, 7), bit("enableAddon5", 2, 6),
          bit("enableISBN", 10, 7), bit("enableISSN", 10, 6),
          host("transmitEan13CheckDigit", HostField::TransmitEan13CheckDigit,
               kTransmitEan13CheckDigitBit),
          host("convertToEAN13", HostField::ConvertToEAN13, kConvertToEAN13Bit),
          host("transmitUpcACheckDigit", HostField::TransmitUpcACheckDigit,
               kTransmitUpcACheckDigitBit),
          bit("transmitSystemNumber", 10, 0)},
         std::nullopt},
        {"UPC-E CCD/Laser",
         {bit("enable", 1, 6), bit("enableAddon2", 1, 5), bit("enableAddon5", 1, 4),
          bit("enableUpcE1", 4, 6), bit("convertToUpcA", 9, 1), bit("transmitCheckDigit", 10, 5),
          bit("transmitSystemNumber", 10, 1), bit("upcE1TripleCheck", 11, 1)},
         std::nullopt},
        {"CodaBar CCD/Laser",
         {bit("enable", 0, 1), bits("startStopChar", 7, 4, 5), bit("transmitStartStopChar", 7, 3)},
         std::nullopt},
        twoOfFive("Industrial25 CCD/Laser", {4, 6, 7, 6}, 6, 0, 12),
        twoOfFive("Interleaved25 CCD/Laser", {3, 5, 1, 0}, 6, 2, 14),
        twoOfFive("Matrix25 CCD/Laser", {2, 6, 5, 4}, 7, 6, 16),
        {"Code93 CCD/Laser", {bit("enable", 0, 0)}, std::nullopt},
        {"Ean128 CCD/Laser",
         {bit("enable", 22, 6),
          {"wantCodeId", CcdPlace::InvertedBit, 22, 5, 5},
          {"ean128Separator", CcdPlace::Host, 0, 0, 0, HostField::Ean128Separator}},
         SharedBit{1, 7, 22, 7, 0}},
        {"ISBT128 CCD/Laser", {bit("enable", 22, 4)}, std::nullopt},
        {"Code128 CCD/Laser", {bit("enable", 22, 7)}, SharedBit{1, 7, 22, 6, 0}},
        {"Pharmacode CCD/Laser",
         {bit("enable", 0, 6), bit("enableCIP39", 0, 5), bit("transmitCheckDigit", 5, 3),
          bit("transmitCIP39CheckDigit", 5, 2)},
         std::nullopt},
        {"MSI CCD/Laser",
         {bit("enable", 2, 5), bits("checkDigitVerification", 9, 6, 7),
          bits("transmitCheckDigit", 9, 4, 5), bit("isMaxMinLengthFormat", 18, 7),
          bits("length1", 18, 0, 6), bits("length2", 19, 0, 7)},
         std::nullopt},
        {"Negative barcode CCD/Laser", {bit("enable", 11, 4)}, std::nullopt},
        {"Plessey CCD/Laser",
         {bit("enable", 2, 4), bit("transmitCheckDigit", 9, 3), bit("convertToUKplessey", 9, 2)},
         std::nullopt},
        {"RSS CCD/Laser",
         {bit("enableLimited", 2, 0), bit("enableExpanded", 3, 6), bit("enableRSS14", 3, 6),
          bit("transmitRSS14CodeID", 3, 5), bit("transmitRSS14ApplicationID", 3, 4),
          bit("transmitRSS14CheckDigit", 3, 3), bit("transmitRSSCodeID", 3, 2),
          bit("transmitRSSApplicationID", 3, 1), bit("transmitRSSCheckDigit", 3, 0),
          bit("transmitRSSExpandedCodeID", 4, 7)},
         std::nullopt},
        {"Telepen CCD/Laser", {bit("enable", 2, 2), bit("enableAIM", 2, 1)}, std::nullopt},
    };
}

// ---- Packet engines ----

constexpr std::uint32_t kAllPacket = engineBit(Imager2D) | engineBit(LongRange1D) |
                                     engineBit(Imager2D4507) | engineBit(LongRange1D955);
constexpr std::uint32_t kImagers = engineBit(Imager2D) | engineBit(Imager2D4507);
constexpr std::uint32_t kLasers = engineBit(LongRange1D) | engineBit(LongRange1D955);

// "F0 52" → {0xF0, 0x52}.
Bytes hex(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
        auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
        out.push_back(static_cast<std::uint8_t>(digit(text[i]) << 4 | digit(text[i + 1])));
    }
    return out;
}

PacketSlot flag(std::string_view key, std::string_view param, std::uint32_t engines = ~0u) {
    return {key, SlotKind::Flag, {{hex(param), ParamCoding::Byte, engines}}};
}
PacketSlot num(std::string_view key, std::string_view param, std::uint32_t engines = ~0u) {
    return {key, SlotKind::Number, {{hex(param), ParamCoding::Byte, engines}}};
}
// A number whose parameter or coding differs between the two imagers.
PacketSlot perImager(std::string_view key, ParamWire imager2D, ParamWire imager4507) {
    imager2D.engines = engineBit(Imager2D);
    imager4507.engines = engineBit(Imager2D4507);
    return {key, SlotKind::Number, {std::move(imager2D), std::move(imager4507)}};
}

// An operation whose parameters are requested in slot order.
PacketOperation op(std::string_view section, std::uint32_t engines, std::vector<PacketSlot> slots) {
    std::vector<std::size_t> order(slots.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    return {section, engines, std::move(slots), std::move(order)};
}

PacketOperation withRequestOrder(PacketOperation operation, std::vector<std::size_t> order) {
    operation.requestOrder = std::move(order);
    return operation;
}

// The last value of the UPC and EAN sections depends on the engine family.
std::vector<PacketSlot> upcEanTail() {
    return {num("linearDecode", "44", kImagers), num("upcEanSecurityLevel", "4D", kLasers)};
}

std::vector<PacketSlot> concat(std::vector<PacketSlot> a, std::vector<PacketSlot> b) {
    a.insert(a.end(), std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()));
    return a;
}

std::vector<PacketOperation> symbologyOperations() {
    const std::uint32_t k3 = engineBit(Imager2D), k8 = engineBit(Imager2D4507);
    const std::uint32_t k9 = engineBit(LongRange1D955);
    return {
        op("Code39 2D/1D_LR", kAllPacket,
           {flag("enable", "00"), flag("trioptic", "0D"), flag("code39ToCode32", "56"),
            flag("code32Prefix", "E7"), flag("checkDigitVerification", "30"),
            flag("transmitCheckDigit", "2B"), flag("fullASCII", "11"), num("length1", "12"),
            num("length2", "13")}),
        op("UPC 2D/1D_LR", kAllPacket,
           concat({flag("enableUPC_A", "01"), flag("enableUPC_E", "02"), flag("enableUPC_E1", "0C"),
                   num("UPC_EAN_JAN_decodeSupplementals", "10"),
                   num("UPC_EAN_JAN_supplementalsRedundancy", "50"),
                   flag("transmitUPC_AcheckDigit", "28"), flag("transmitUPC_EcheckDigit", "29"),
                   flag("transmitUPC_E1checkDigit", "2A"), num("preambleUPC_A", "22"),
                   num("preambleUPC_E", "23"), num("preambleUPC_E1", "24"),
                   flag("convertUPC_EtoA", "25"), flag("convertUPC_E1ToA", "26"),
                   flag("uccCouponExtendedCode", "55")},
                  upcEanTail())),
        op("EAN,JAN 2D/1D_LR", kAllPacket,
           concat({flag("enableEAN8_JAN8", "04"), flag("enableEAN13_JAN13", "03"),
                   flag("enableBooklandEAN", "53"), num("UPC_EAN_JAN_decodeSupplementals", "10"),
                   num("UPC_EAN_JAN_supplementalsRedundancy", "50"), flag("EAN8_JAN8_extend", "27"),
                   flag("uccCouponExtendedCode", "55")},
                  upcEanTail())),
        op("Code128 2D/1D_LR", kAllPacket,
           {flag("enable", "08"), flag("uccEan128", "0E"), flag("isbt128", "54"),
            num("enableIsbtConcatenation", "F1 41"), num("isbtConcatenationRedundancy", "DF")}),
        op("Code93 2D/1D_LR", kAllPacket,
           {flag("enable", "09"), num("length1", "1A"), num("length2", "1B")}),
        withRequestOrder(
            op("Code11 2D", k3 | k9,
               {flag("enable", "0A"), num("checkDigitVerification", "34"),
                flag("transmitCheckDigit", "2F"), num("length1", "1C"), num("length2", "1D")}),
            {0, 3, 4, 1, 2}),
        op("Interleaved25 2D/1D_LR", kAllPacket,
           {flag("enable", "06"), num("length1", "16"), num("length2", "17"),
            num("checkDigitVerification", "31"), flag("transmitCheckDigit", "2C"),
            flag("convertToEAN13", "52")}),
        op("Industrial25 2D/1D_LR", kAllPacket,
           {flag("enable", "05"), num("length1", "14"), num("length2", "15")}),
        op("Codabar 2D/1D_LR", kAllPacket,
           {flag("enable", "07"), num("length1", "18"), num("length2", "19"),
            flag("clsiEditing", "36"), flag("notisEditing", "37")}),
        op("MSI 2D/1D_LR", kAllPacket,
           {flag("enable", "0B"), num("length1", "1E"), num("length2", "1F"),
            flag("checkDigitVerification", "32"), flag("transmitCheckDigit", "2E"),
            flag("checkDigitAlgorithm", "33")}),
        op("PostalCode 2D", kImagers,
           {flag("usPostnet", "59"), flag("usPlanet", "5A"), flag("ukPostal", "5B"),
            flag("transmitUKcheckDigit", "60"), flag("japanPostal", "F0 22"),
            flag("australianPostal", "F0 23"), flag("dutchPostal", "F0 46"),
            flag("transmitUScheckDigit", "5F")}),
        op("RSS 2D/1D_LR", kAllPacket,
           {flag("rss14", "F0 52"), flag("rssUmited", "F0 53"), flag("rssExpanded", "F0 54"),
            flag("convertToUPC_EAN", "F0 8D")}),
        op("Composite 2D", kImagers,
           {flag("cc_c", "F0 55"), flag("cc_ab", "F0 56"), flag("tlc39", "F0 73"),
            num("upcMode", "F0 58"), num("beepMode", "F0 8E"),
            flag("uccEAN128EmulationMode", "F0 AB")}),
        op("2D Symbologies", k3,
           {flag("pdf417", "0F"), flag("microPDF417", "E3"), flag("code128Emulation", "7B"),
            flag("dataMatrix", "F0 24"), flag("maxiCode", "F0 26"), flag("qrCode", "F0 25")}),
        op("Symbology security level, 2D", kImagers,
           {num("redundancy", "4E"), num("securityLevel", "4D"), num("interCharGapSize", "F0 7D")}),
        op("MacroPDF 2D", kImagers,
           {num("macroPDFTransmit", "BC"), flag("controlHeader", "B8"), num("escapeChar", "E9")}),
        op("Matrix25 2D", k8,
           {flag("enable", "F1 6A"), num("length1", "F1 6B"), num("length2", "F1 6C"),
            flag("redundancy", "F1 6D"), flag("checkDigitVerification", "F1 6E"),
            flag("transmitCheckDigit", "F1 6F")}),
        op("Chinese25", k8 | k9, {flag("enable", "F0 98")}),
        op("2D Symbologies", k8,
           {flag("pdf417", "0F"), flag("microPDF417", "E3"), flag("code128Emulation", "7B"),
            flag("dataMatrix", "F0 24"), num("dataMatrixInverse", "F1 4C"),
            flag("decodeMirrorImage", "F1 19"), flag("maxiCode", "F0 26"), flag("qrCode", "F0 25"),
            num("qrCodeInverse", "F1 4B"), flag("microQR", "F1 3D"), flag("azTech", "F1 3E"),
            num("azTechInverse", "F1 4D")}),
    };
}

// The imaging operation: four decoding keys of "Barcode Reader 2D", a fifth decoding value
// without a key, then the image keys. Gain and exposure time are requested last.
PacketOperation imageOperation() {
    const std::uint32_t k3 = engineBit(Imager2D);
    return withRequestOrder(
        op("Image 2D", kImagers,
           {flag("decodingAutoexposure", "F0 29"),
            flag("decodingIllumination", "F0 2A"),
            flag("decodeAimingPattern", "F0 32"),
            num("imgFocus", "F0 A6", k3),
            num("", "F0 AD"),
            flag("imageAutoexposure", "F0 68"),
            flag("imageIllumination", "F0 69"),
            {"gain", SlotKind::Number, {{hex("F4 F0 A7"), ParamCoding::Wide}}},
            perImager("exposureTime", {hex("F4 F0 38"), ParamCoding::ExposureCode},
                      {hex("F4 F1 37"), ParamCoding::Wide}),
            num("snapshotModeTimeout", "F0 43"),
            flag("snapshotAimPattern", "F0 2C"),
            num("imageResolution", "F0 2E"),
            flag("jpgImageOptions", "F0 2B"),
            num("qualityValue", "F0 31"),
            perImager("jpgSizeValue", {hex("F0 33")}, {hex("F1 31")}),
            num("imageFileFormat", "F0 30"),
            num("bitsPerPixel", "F0 2F")}),
        {0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 7, 8});
}

std::vector<PacketOperation> readerOperations() {
    return {
        op("Miscellaneous Option 2D/1D_LR", kAllPacket,
           {flag("transmitCodeIdChar", "2D"), num("prefixValue", "69"), num("suffixValue1", "68"),
            num("suffixValue2", "6A"), num("scanDataFormat", "EB"),
            num("sendNoReadMessage", "5E")}),
        op("Barcode Reader 2D", kImagers,
           {num("laserOnTime", "88"), num("timeoutBetweenSameSymbol", "89"),
            num("scanMode", "8A")}),
        op("Barcode Reader 1D_LR", kLasers,
           {num("laserOnTime", "88"),
            num("scanAngle", "BF"),
            num("timeoutBetweenSameSymbol", "89"),
            num("linearCodeTypeSecurityLevels", "4E"),
            num("bidirectionalRedundancy", "43"),
            {"aimDurtion", SlotKind::Number, {{{}, ParamCoding::AimTime}}},
            num("scanMode", "8A")}),
    };
}

std::vector<PacketOperation> buildPacketOperations() {
    auto all = symbologyOperations();
    all.push_back(imageOperation());
    for (auto& reader : readerOperations()) all.push_back(std::move(reader));
    return all;
}

constexpr std::array<std::pair<int, std::uint16_t>, 6> kExposureCodes{
    {{5, 0x004F}, {10, 0x009D}, {15, 0x00EC}, {20, 0x013B}, {25, 0x018A}, {30, 0x01D8}}};

}  // namespace

const ParamWire* PacketSlot::wire(ReaderType type) const {
    for (const ParamWire& w : wires) {
        if (w.engines & engineBit(type)) return &w;
    }
    return nullptr;
}

const std::vector<CcdOperation>& ccdOperations() {
    static const std::vector<CcdOperation> table = buildCcdOperations();
    return table;
}

const CcdOperation* findCcdOperation(std::string_view section) {
    for (const CcdOperation& operation : ccdOperations()) {
        if (operation.section == section) return &operation;
    }
    return nullptr;
}

const std::vector<PacketOperation>& packetOperations() {
    static const std::vector<PacketOperation> table = buildPacketOperations();
    return table;
}

const PacketOperation* findPacketOperation(std::string_view section, ReaderType type) {
    for (const PacketOperation& operation : packetOperations()) {
        if (operation.section == section && operation.on(type)) return &operation;
    }
    return nullptr;
}

std::uint16_t exposureCode(int ms) {
    for (const auto& [time, code] : kExposureCodes) {
        if (time == ms) return code;
    }
    return kExposureCodes[1].second;
}

int exposureFromCode(std::uint16_t code) {
    // Only the low byte tells the codes apart.
    for (const auto& [time, known] : kExposureCodes) {
        if ((known & 0xFF) == (code & 0xFF)) return time;
    }
    return 10;
}

}  // namespace tessel::reader
