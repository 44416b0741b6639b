// The values the reader manager writes once it has found and configured an engine.

#include "browser/reader/symbology_tables.h"

namespace tessel::reader {
namespace {

using enum ReaderType;

std::vector<StartupSection> ccdStartup() {
    const auto twoOfFive = [](std::string_view section, int pattern) {
        return StartupSection{section,
                              {{"enable", 1},
                               {"checkDigitVerification", 0},
                               {"transmitCheckDigit", 1},
                               {"startStopPattern", pattern},
                               {"isMaxMinLengthFormat", 1},
                               {"length1", 127},
                               {"length2", 4}}};
    };
    return {
        {"CodaBar CCD/Laser", {{"enable", 1}, {"startStopChar", 0}, {"transmitStartStopChar", 0}}},
        twoOfFive("Industrial25 CCD/Laser", 0),
        twoOfFive("Interleaved25 CCD/Laser", 1),
        twoOfFive("Matrix25 CCD/Laser", 2),
        {"Code39 CCD/Laser",
         {{"enable", 1},
          {"checkDigitVerification", 0},
          {"transmitCheckDigit", 1},
          {"fullASCII", 0},
          {"transmitStartStopChar", 0}}},
        {"Code93 CCD/Laser", {{"enable", 1}}},
        {"Code128 CCD/Laser", {{"enable", 1}}},
        {"Ean128 CCD/Laser", {{"enable", 1}, {"wantCodeId", 0}, {"ean128Separator", 0}}},
        {"Pharmacode CCD/Laser",
         {{"enable", 0},
          {"enableCIP39", 0},
          {"transmitCheckDigit", 1},
          {"transmitCIP39CheckDigit", 1}}},
        {"MSI CCD/Laser",
         {{"enable", 0},
          {"checkDigitVerification", 0},
          {"transmitCheckDigit", 1},
          {"isMaxMinLengthFormat", 1},
          {"length1", 127},
          {"length2", 4}}},
        {"Negative barcode CCD/Laser", {{"enable", 0}}},
        {"Plessey CCD/Laser",
         {{"enable", 0}, {"transmitCheckDigit", 1}, {"convertToUKplessey", 0}}},
        {"RSS CCD/Laser",
         {{"enableLimited", 0},
          {"enableExpanded", 0},
          {"enableRSS14", 0},
          {"transmitRSS14CodeID", 1},
          {"transmitRSS14ApplicationID", 1},
          {"transmitRSS14CheckDigit", 1},
          {"transmitRSSCodeID", 1},
          {"transmitRSSApplicationID", 1},
          {"transmitRSSCheckDigit", 1},
          {"transmitRSSExpandedCodeID", 1}}},
        {"Telepen CCD/Laser", {{"enable", 0}, {"enableAIM", 1}}},
        {"EAN-8 CCD/Laser",
         {{"enable", 1},
          {"enableAddon2", 0},
          {"enableAddon5", 0},
          {"transmitCheckDigit", 1},
          {"convertToEAN13", 0}}},
        {"EAN-13,UPC-A CCD/Laser",
         {{"enable", 1},
          {"enableAddon2", 0},
          {"enableAddon5", 0},
          {"enableISBN", 0},
          {"enableISSN", 0},
          {"transmitEan13CheckDigit", 1},
          {"convertToEAN13", 1},
          {"transmitUpcACheckDigit", 1},
          {"transmitSystemNumber", 1}}},
        {"GTIN CCD/Laser", {{"enable", 0}}},
        {"UPC-E CCD/Laser",
         {{"enable", 1},
          {"enableAddon2", 0},
          {"enableAddon5", 0},
          {"enableUpcE1", 0},
          {"convertToUpcA", 0},
          {"transmitCheckDigit", 1},
          {"transmitSystemNumber", 0},
          {"upcE1TripleCheck", 0}}},
        {"ISBT128 CCD/Laser", {{"enable", 1}}},
        {"Barcode Reader CCD/Laser", {{"scanMode", 6}, {"redundancy", 0}, {"laserOnTime", 3}}},
    };
}

// enable 1, length1 4, length2 55, then any further values.
StartupSection lengths(std::string_view section, std::vector<StartupValue> more = {}) {
    StartupSection s{section, {{"enable", 1}, {"length1", 4}, {"length2", 55}}};
    s.values.insert(s.values.end(), more.begin(), more.end());
    return s;
}

StartupSection rss() {
    return {"RSS 2D/1D_LR",
            {{"rss14", 1}, {"rssUmited", 1}, {"rssExpanded", 1}, {"convertToUPC_EAN", 0}}};
}

std::vector<StartupSection> longRangeStartup(ReaderType type) {
    const bool newer = type == LongRange1D955;
    std::vector<StartupSection> all{
        lengths("Code39 2D/1D_LR"),
        lengths("Code93 2D/1D_LR"),
        lengths("Code11 2D"),
        lengths("Industrial25 2D/1D_LR"),
        lengths("Interleaved25 2D/1D_LR", {{"convertToEAN13", 0}}),
        lengths("Codabar 2D/1D_LR"),
        {"Code128 2D/1D_LR", {{"enable", 1}}},
        lengths("MSI 2D/1D_LR"),
        {"EAN,JAN 2D/1D_LR",
         {{"enableEAN8_JAN8", 1},
          {"enableEAN13_JAN13", 1},
          {"enableBooklandEAN", 1},
          {"upcEanSecurityLevel", newer ? 2 : 1}}},
    };
    if (newer) {
        all.push_back({"Chinese25", {{"enable", 1}}});
        all.push_back(rss());
    }
    StartupSection reader{"Barcode Reader 1D_LR",
                          {{"laserOnTime", 30},
                           {"linearCodeTypeSecurityLevels", newer ? 1 : 2},
                           {"bidirectionalRedundancy", 1}}};
    if (newer) reader.values.push_back({"scanMode", 8});
    all.push_back(reader);
    return all;
}

std::vector<StartupSection> imagerCommonStartup() {
    return {
        lengths("Code39 2D/1D_LR", {{"trioptic", 0},
                                    {"code39ToCode32", 0},
                                    {"code32Prefix", 0},
                                    {"checkDigitVerification", 0},
                                    {"transmitCheckDigit", 0},
                                    {"fullASCII", 0}}),
        lengths("Code93 2D/1D_LR"),
        lengths("Code11 2D", {{"checkDigitVerification", 0}, {"transmitCheckDigit", 0}}),
        lengths("Industrial25 2D/1D_LR"),
        lengths("Interleaved25 2D/1D_LR", {{"convertToEAN13", 0}}),
        lengths("Codabar 2D/1D_LR", {{"clsiEditing", 0}, {"notisEditing", 0}}),
        {"Code128 2D/1D_LR",
         {{"enable", 1},
          {"uccEan128", 1},
          {"isbt128", 1},
          {"enableIsbtConcatenation", 0},
          {"isbtConcatenationRedundancy", 10}}},
        lengths(
            "MSI 2D/1D_LR",
            {{"checkDigitVerification", 0}, {"transmitCheckDigit", 0}, {"checkDigitAlgorithm", 1}}),
        {"EAN,JAN 2D/1D_LR",
         {{"enableEAN8_JAN8", 1},
          {"enableEAN13_JAN13", 1},
          {"enableBooklandEAN", 1},
          {"UPC_EAN_JAN_decodeSupplementals", 0},
          {"UPC_EAN_JAN_supplementalsRedundancy", 10},
          {"EAN8_JAN8_extend", 0},
          {"uccCouponExtendedCode", 0}}},
        {"UPC 2D/1D_LR",
         {{"enableUPC_A", 1},
          {"enableUPC_E", 1},
          {"enableUPC_E1", 0},
          {"transmitUPC_AcheckDigit", 1},
          {"transmitUPC_EcheckDigit", 1},
          {"transmitUPC_E1checkDigit", 1},
          {"preambleUPC_A", 1},
          {"preambleUPC_E", 1},
          {"preambleUPC_E1", 1},
          {"convertUPC_EtoA", 0},
          {"convertUPC_E1ToA", 0}}},
        {"Composite 2D",
         {{"cc_c", 1},
          {"cc_ab", 0},
          {"tlc39", 0},
          {"upcMode", 1},
          {"beepMode", 1},
          {"uccEAN128EmulationMode", 0}}},
        {"PostalCode 2D",
         {{"usPostnet", 1},
          {"usPlanet", 1},
          {"ukPostal", 1},
          {"transmitUKcheckDigit", 1},
          {"japanPostal", 1},
          {"australianPostal", 1},
          {"dutchPostal", 1},
          {"transmitUScheckDigit", 1}}},
        // The imaging section keeps the engine's own defaults: nothing is written for it.
    };
}

std::vector<StartupSection> imagerModelStartup(ReaderType type) {
    if (type == Imager2D) {
        return {{"2D Symbologies",
                 {{"pdf417", 1},
                  {"microPDF417", 0},
                  {"code128Emulation", 0},
                  {"dataMatrix", 1},
                  {"maxiCode", 1},
                  {"qrCode", 1}}}};
    }
    return {
        lengths("Matrix25 2D",
                {{"redundancy", 0}, {"checkDigitVerification", 0}, {"transmitCheckDigit", 0}}),
        {"2D Symbologies",
         {{"pdf417", 1},
          {"microPDF417", 0},
          {"code128Emulation", 0},
          {"dataMatrix", 1},
          {"dataMatrixInverse", 0},
          {"decodeMirrorImage", 0},
          {"maxiCode", 1},
          {"qrCode", 1},
          {"qrCodeInverse", 0},
          {"microQR", 1},
          {"azTech", 1},
          {"azTechInverse", 0}}},
        {"Chinese25", {{"enable", 1}}},
    };
}

std::vector<StartupSection> imagerStartup(ReaderType type) {
    std::vector<StartupSection> all = imagerCommonStartup();
    for (auto& s : imagerModelStartup(type)) all.push_back(std::move(s));
    const std::vector<StartupSection> tail{
        {"MacroPDF 2D", {{"macroPDFTransmit", 4}, {"controlHeader", 0}, {"escapeChar", 0}}},
        rss(),
        {"Symbology security level, 2D", {{"redundancy", 1}, {"securityLevel", 0}}},
        {"Miscellaneous Option 2D/1D_LR",
         {{"transmitCodeIdChar", 0}, {"scanDataFormat", 0}, {"sendNoReadMessage", 0}}},
        {"Barcode Reader 2D",
         {{"laserOnTime", 30}, {"timeoutBetweenSameSymbol", 6}, {"scanMode", 8}}},
    };
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

}  // namespace

std::vector<StartupSection> startupValues(ReaderType type) {
    switch (type) {
        case CcdLaser:
            return ccdStartup();
        case LongRange1D:
        case LongRange1D955:
            return longRangeStartup(type);
        case Imager2D:
        case Imager2D4507:
            return imagerStartup(type);
        default:
            return {};
    }
}

}  // namespace tessel::reader
