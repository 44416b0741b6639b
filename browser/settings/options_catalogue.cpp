#include "browser/settings/options_catalogue.h"

#include <algorithm>

#include "browser/settings/caller_check.h"

namespace tessel::settings {
namespace {

KeySpec flag(std::string_view name, std::optional<std::string_view> defaultValue = {}) {
    return {name, KeyKind::Flag, defaultValue};
}
KeySpec number(std::string_view name, std::optional<std::string_view> defaultValue = {}) {
    return {name, KeyKind::Number, defaultValue};
}
KeySpec text(std::string_view name, std::optional<std::string_view> defaultValue = {}) {
    return {name, KeyKind::Text, defaultValue};
}

// A section whose keys are all flags.
SectionSpec flags(std::string_view name, EngineKinds kinds,
                  std::initializer_list<std::string_view> keys) {
    SectionSpec section{name, kinds, {}};
    for (std::string_view key : keys) section.keys.push_back(flag(key));
    return section;
}

const EngineKinds kCcd{2};
const EngineKinds k2d{3, 8};
const EngineKinds kLongRange{4, 9};
const EngineKinds k2dAndLongRange{3, 8, 4, 9};

std::vector<SectionSpec> browserSections() {
    return {
        {"General",
         EngineKinds::all(),
         {flag("lockScreen", "0"),
          text("password", ""),
          text("homeUrl", ""),
          flag("loadIniWhenStart", "1"),
          flag("updateIniWhenExit", "0"),
          number("goodReadBeepFileIdx", "1"),
          number("warningBeepFileIdx", "2"),
          number("vibrationTime", "0"),
          number("keyboardEmu", "1"),
          flag("enableLed", "0"),
          number("buzzerDuration", "0"),
          number("buzzerFreq", "1"),
          flag("showWifiSignal", "0"),
          flag("showBattery", "0"),
          flag("disablePictures", "0"),
          number("autoEnter", "1"),
          number("autoEnterChar", "1"),
          text("prefixStr", ""),
          text("suffixStr", ""),
          flag("displayCodeType", "0"),
          flag("displayCodeLength", "0"),
          flag("displayUid", "1"),
          flag("displayUserData", "0"),
          number("delimiter", "44")}},
        {"RFID",
         EngineKinds::all(),
         {number("hasRfid"), flag("enableRfid"), flag("rfidRW", "0"),
          number("rfidReadStartByte", "-1"), number("rfidReadLength", "10"),
          flag("displayUserDataByHex", "0"), number("rfidWriteStartByte", "-1"),
          text("rfidWriteContent", ""), flag("isHexContent", "0"),
          text("mifareLoginKeyA", "A1B2C3D4E5F6"), number("m_rfidSecurityKeyType", "0"),
          number("timeOfPowerOn", "20")}},
    };
}

std::vector<SectionSpec> readerSections() {
    return {
        {"Barcode Reader CCD/Laser",
         kCcd,
         {flag("hasCCD"), flag("enableBarcode"), number("redundancy"), number("laserOnTime"),
          number("scanMode")}},
        {"Barcode Reader 2D",
         k2d,
         {flag("has2D"), flag("has2D_4507"), flag("enableBarcode"), number("laserOnTime"),
          number("timeoutBetweenSameSymbol"), flag("decodingAutoexposure"),
          flag("decodingIllumination"), flag("decodeAimingPattern"), number("imgFocus"),
          number("ledIllumination"), number("scanMode")}},
        {"Barcode Reader 1D_LR",
         kLongRange,
         {flag("has1D_955"), flag("has1DLR"), flag("enableBarcode"), number("laserOnTime"),
          number("scanAngle"), number("timeoutBetweenSameSymbol"),
          number("linearCodeTypeSecurityLevels"), number("bidirectionalRedundancy"),
          number("aimDurtion"), number("scanMode")}},
    };
}

// The three 2 of 5 sections of the CCD/laser engine share one layout.
SectionSpec ccdTwoOfFive(std::string_view name) {
    return {name,
            kCcd,
            {flag("enable"), flag("checkDigitVerification"), flag("transmitCheckDigit"),
             number("startStopPattern"), flag("isMaxMinLengthFormat"), number("length1"),
             number("length2")}};
}

std::vector<SectionSpec> ccdSymbologySections() {
    return {
        {"CodaBar CCD/Laser",
         kCcd,
         {flag("enable"), number("startStopChar"), flag("transmitStartStopChar")}},
        ccdTwoOfFive("Industrial25 CCD/Laser"),
        ccdTwoOfFive("Interleaved25 CCD/Laser"),
        ccdTwoOfFive("Matrix25 CCD/Laser"),
        flags("Code39 CCD/Laser", kCcd,
              {"enable", "checkDigitVerification", "transmitCheckDigit", "fullASCII",
               "transmitStartStopChar"}),
        flags("Code93 CCD/Laser", kCcd, {"enable"}),
        flags("ISBT128 CCD/Laser", kCcd, {"enable"}),
        flags("Code128 CCD/Laser", kCcd, {"enable"}),
        flags("Ean128 CCD/Laser", kCcd, {"enable", "wantCodeId"}),
        flags("Pharmacode CCD/Laser", kCcd,
              {"enable", "enableCIP39", "transmitCheckDigit", "transmitCIP39CheckDigit"}),
        {"MSI CCD/Laser",
         kCcd,
         {flag("enable"), number("checkDigitVerification"), number("transmitCheckDigit"),
          flag("isMaxMinLengthFormat"), number("length1"), number("length2")}},
        flags("Negative barcode CCD/Laser", kCcd, {"enable"}),
        flags("Plessey CCD/Laser", kCcd, {"enable", "transmitCheckDigit", "convertToUKplessey"}),
        flags("RSS CCD/Laser", kCcd,
              {"enableLimited", "enableExpanded", "enableRSS14", "transmitRSS14CodeID",
               "transmitRSS14ApplicationID", "transmitRSS14CheckDigit", "transmitRSSCodeID",
               "transmitRSSApplicationID", "transmitRSSCheckDigit", "transmitRSSExpandedCodeID"}),
        flags("Telepen CCD/Laser", kCcd, {"enable", "enableAIM"}),
        flags("EAN-8 CCD/Laser", kCcd,
              {"enable", "enableAddon2", "enableAddon5", "transmitCheckDigit", "convertToEAN13"}),
        flags("EAN-13,UPC-A CCD/Laser", kCcd,
              {"enable", "enableAddon2", "enableAddon5", "enableISBN", "enableISSN",
               "transmitEan13CheckDigit", "convertToEAN13", "transmitUpcACheckDigit",
               "transmitSystemNumber"}),
        flags("GTIN CCD/Laser", kCcd, {"enable"}),
        flags("UPC-E CCD/Laser", kCcd,
              {"enable", "enableAddon2", "enableAddon5", "enableUpcE1", "convertToUpcA",
               "transmitCheckDigit", "transmitSystemNumber", "upcE1TripleCheck"}),
    };
}

// The sections of the packet engines: 2D imagers (3, 8) and long-range lasers (4, 9).
std::vector<SectionSpec> packetSymbologySections() {
    return {
        {"Composite 2D",
         k2d,
         {flag("cc_c"), flag("cc_ab"), flag("tlc39"), number("upcMode"), number("beepMode"),
          flag("uccEAN128EmulationMode")}},
        {"MacroPDF 2D",
         k2d,
         {number("macroPDFTransmit"), flag("controlHeader"), number("escapeChar")}},
        flags("PostalCode 2D", k2d,
              {"usPostnet", "usPlanet", "ukPostal", "transmitUKcheckDigit", "japanPostal",
               "australianPostal", "dutchPostal", "transmitUScheckDigit"}),
        {"Symbology security level, 2D",
         k2d,
         {number("redundancy"), number("securityLevel"), number("interCharGapSize")}},
        flags("2D Symbologies", EngineKinds{3},
              {"pdf417", "microPDF417", "code128Emulation", "dataMatrix", "maxiCode", "qrCode"}),
        {"2D Symbologies",
         EngineKinds{8},
         {flag("pdf417"), flag("microPDF417"), flag("code128Emulation"), flag("dataMatrix"),
          number("dataMatrixInverse"), flag("decodeMirrorImage"), flag("maxiCode"), flag("qrCode"),
          number("qrCodeInverse"), flag("microQR"), flag("azTech"), number("azTechInverse")}},
        {"Codabar 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), number("length1"), number("length2"), flag("clsiEditing"),
          flag("notisEditing")}},
        {"Code128 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), flag("uccEan128"), flag("isbt128"), number("enableIsbtConcatenation"),
          number("isbtConcatenationRedundancy")}},
        {"Code39 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), flag("trioptic"), flag("code39ToCode32"), flag("code32Prefix"),
          flag("checkDigitVerification"), flag("transmitCheckDigit"), flag("fullASCII"),
          number("length1"), number("length2")}},
        {"Code93 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), number("length1"), number("length2")}},
        {"Industrial25 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), number("length1"), number("length2")}},
        {"EAN,JAN 2D/1D_LR",
         k2dAndLongRange,
         {flag("enableEAN8_JAN8"), flag("enableEAN13_JAN13"), flag("enableBooklandEAN"),
          number("UPC_EAN_JAN_decodeSupplementals"), number("UPC_EAN_JAN_supplementalsRedundancy"),
          flag("EAN8_JAN8_extend"), flag("uccCouponExtendedCode"), number("linearDecode"),
          number("upcEanSecurityLevel")}},
        {"Interleaved25 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), number("length1"), number("length2"), number("checkDigitVerification"),
          flag("transmitCheckDigit"), flag("convertToEAN13")}},
        {"Miscellaneous Option 2D/1D_LR",
         k2dAndLongRange,
         {flag("transmitCodeIdChar"), number("prefixValue"), number("suffixValue1"),
          number("suffixValue2"), number("scanDataFormat"), number("sendNoReadMessage")}},
        {"MSI 2D/1D_LR",
         k2dAndLongRange,
         {flag("enable"), number("length1"), number("length2"), flag("checkDigitVerification"),
          flag("transmitCheckDigit"), flag("checkDigitAlgorithm")}},
        flags("RSS 2D/1D_LR", k2dAndLongRange,
              {"rss14", "rssUmited", "rssExpanded", "convertToUPC_EAN"}),
        {"UPC 2D/1D_LR",
         k2dAndLongRange,
         {flag("enableUPC_A"), flag("enableUPC_E"), flag("enableUPC_E1"),
          number("UPC_EAN_JAN_decodeSupplementals"), number("UPC_EAN_JAN_supplementalsRedundancy"),
          flag("transmitUPC_AcheckDigit"), flag("transmitUPC_EcheckDigit"),
          flag("transmitUPC_E1checkDigit"), number("preambleUPC_A"), number("preambleUPC_E"),
          number("preambleUPC_E1"), flag("convertUPC_EtoA"), flag("convertUPC_E1ToA"),
          flag("uccCouponExtendedCode"), number("linearDecode"), number("upcEanSecurityLevel")}},
        {"Code11 2D",
         EngineKinds{3, 8, 9},
         {flag("enable"), number("checkDigitVerification"), flag("transmitCheckDigit"),
          number("length1"), number("length2")}},
        flags("Chinese25", EngineKinds{8, 9}, {"enable"}),
        {"Matrix25 2D",
         EngineKinds{8},
         {flag("enable"), number("length1"), number("length2"), flag("redundancy"),
          flag("checkDigitVerification"), flag("transmitCheckDigit")}},
        {"Image 2D",
         k2d,
         {flag("enable", "0"), flag("imageAutoexposure"), flag("imageIllumination"), number("gain"),
          number("exposureTime"), number("snapshotModeTimeout"), flag("snapshotAimPattern"),
          number("imageResolution"), flag("jpgImageOptions"), number("qualityValue"),
          number("jpgSizeValue"), number("imageFileFormat"), number("bitsPerPixel")}},
    };
}

std::vector<SectionSpec> buildCatalogue() {
    std::vector<SectionSpec> all;
    for (auto part :
         {browserSections(), readerSections(), ccdSymbologySections(), packetSymbologySections()}) {
        std::move(part.begin(), part.end(), std::back_inserter(all));
    }
    return all;
}

}  // namespace

EngineKinds::EngineKinds(std::initializer_list<int> kinds) {
    for (int kind : kinds) bits_ |= 1u << kind;
}

std::optional<std::size_t> SectionSpec::indexOf(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].name == key) return i;
    }
    return std::nullopt;
}

const std::vector<SectionSpec>& optionsCatalogue() {
    static const std::vector<SectionSpec> catalogue = buildCatalogue();
    return catalogue;
}

const SectionSpec* findSectionSpec(std::string_view name, std::optional<int> engineKind) {
    for (const SectionSpec& section : optionsCatalogue()) {
        if (section.name == name && (!engineKind || section.kinds.contains(*engineKind))) {
            return &section;
        }
    }
    return nullptr;
}

const SectionSpec& catalogueSection(std::string_view name, std::optional<int> engineKind) {
    const SectionSpec* section = findSectionSpec(name, engineKind);
    expectCaller(section != nullptr, "section not in the catalogue for this engine kind");
    const auto forms = std::count_if(optionsCatalogue().begin(), optionsCatalogue().end(),
                                     [&](const SectionSpec& s) { return s.name == name; });
    expectCaller(engineKind || forms == 1, "a section with two forms needs an engine kind");
    return *section;
}

}  // namespace tessel::settings
