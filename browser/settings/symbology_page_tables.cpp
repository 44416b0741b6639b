// The symbology option pages as data: per engine family, each page's caption, section and
// controls. A leading "*" in a choice marks the engine's factory setting.

#include <algorithm>
#include <initializer_list>
#include <string>

#include "browser/settings/symbology_option_pages.h"

namespace tessel::settings {
namespace {

using Labels = std::vector<std::u16string>;

const EngineKinds kImagers{3, 8};
const EngineKinds kLasers{4, 9};

Field check(std::u16string label, std::string key) {
    return {FieldType::Check, std::move(label), std::move(key)};
}

Field choice(std::u16string label, std::string key, Labels choices, std::vector<int> values = {}) {
    Field field{FieldType::Choice, std::move(label), std::move(key), std::move(choices)};
    field.values = std::move(values);
    return field;
}

Field number(std::u16string label, std::string key, int low, int high) {
    Field field{FieldType::Number, std::move(label), std::move(key)};
    field.low = low;
    field.high = high;
    return field;
}

Field note(std::u16string text) { return {FieldType::Note, std::move(text), ""}; }

Field onKinds(Field field, EngineKinds kinds) {
    field.kinds = kinds;
    return field;
}

Field inSection(Field field, std::string section) {
    field.section = std::move(section);
    return field;
}

// The preamble lists open with a heading entry that stands for 0.
Field preamble(std::u16string heading, std::string key) {
    Field field =
        choice(u"", std::move(key),
               {u"no preamble", u"*system character", u"system character & country code"});
    field.heading = std::move(heading);
    return field;
}

std::vector<Field> join(std::initializer_list<std::vector<Field>> parts) {
    std::vector<Field> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Length boxes; lengthOneHigh is the widest value the engine holds for the first one.
std::vector<Field> lengths(int lengthOneHigh = 255) {
    return {number(u"Length 1:", "length1", 0, lengthOneHigh),
            number(u"Length 2:", "length2", 0, 255)};
}

// The length mode of an imager page: no key of its own (the name only finds the control), it
// orders the page's two lengths for the engine.
Field lengthMode() {
    return onKinds({FieldType::LengthMode, u"Length mode:", "lengthMode", {u"discrete", u"*min/max"}},
                   kImagers);
}

Labels numbered(int first, int last) {
    Labels labels;
    for (int n = first; n <= last; ++n) {
        const std::string text = std::to_string(n);
        labels.emplace_back(text.begin(), text.end());
    }
    return labels;
}

std::vector<int> range(int first, int last, int step = 1) {
    std::vector<int> values;
    for (int v = first; v <= last; v += step) values.push_back(v);
    return values;
}

// ---- CCD/laser engine (kind 2) ----

std::vector<Field> ccdTwoOfFive(int own) {
    Labels patterns{u"use Industrial 25", u"use Interleaved 25", u"use Matrix 25"};
    patterns[static_cast<std::size_t>(own)].insert(0, u"*");
    return join({{check(u"Verify check digit", "checkDigitVerification"),
                  check(u"Transmit check digit", "transmitCheckDigit"),
                  choice(u"Start/stop pattern:", "startStopPattern", patterns),
                  choice(u"Length mode:", "isMaxMinLengthFormat", {u"discrete", u"*min/max"})},
                 lengths(127)});
}

std::vector<PageSpec> ccdPages() {
    const EngineKinds ccd{2};
    return {
        {0,
         ccd,
         u"Codabar",
         "CodaBar CCD/Laser",
         {choice(u"Start/stop character:", "startStopChar",
                 {u"abcd/abcd", u"abcd/tn*e", u"ABCD/ABCD", u"ABCD/TN*E"}),
          check(u"Transmit start/stop character", "transmitStartStopChar")}},
        {1,
         ccd,
         u"GS1-128",
         "Ean128 CCD/Laser",
         {check(u"Transmit code ID", "wantCodeId"),
          {FieldType::Character, u"Replace Field Separator:", "ean128Separator"}}},
        {2,
         ccd,
         u"Code 39",
         "Code39 CCD/Laser",
         {check(u"Verify check digit", "checkDigitVerification"),
          check(u"Transmit check digit", "transmitCheckDigit"), check(u"Full ASCII", "fullASCII"),
          check(u"Transmit start/stop character", "transmitStartStopChar")}},
        {4,
         ccd,
         u"EAN-13/UPC-A",
         "EAN-13,UPC-A CCD/Laser",
         {check(u"EAN-13/UPC-A addon 2", "enableAddon2"),
          check(u"EAN-13/UPC-A addon 5", "enableAddon5"), check(u"ISBN conversion", "enableISBN"),
          check(u"ISSN conversion", "enableISSN"),
          check(u"Transmit EAN-13 check digit", "transmitEan13CheckDigit"),
          check(u"Convert UPC-A to EAN-13", "convertToEAN13"),
          check(u"Transmit UPC-A check digit", "transmitUpcACheckDigit"),
          check(u"Transmit system number", "transmitSystemNumber"),
          inSection(check(u"Enable GTIN for EAN-13", "enable"), "GTIN CCD/Laser")}},
        {5,
         ccd,
         u"EAN-8",
         "EAN-8 CCD/Laser",
         {check(u"EAN-8 Addon 2", "enableAddon2"), check(u"EAN-8 Addon 5", "enableAddon5"),
          check(u"Transmit check digit", "transmitCheckDigit"),
          check(u"Convert to EAN-13", "convertToEAN13")}},
        {6, ccd, u"Industrial 25", "Industrial25 CCD/Laser", ccdTwoOfFive(0)},
        {7, ccd, u"Interleaved 25", "Interleaved25 CCD/Laser", ccdTwoOfFive(1)},
        {8, ccd, u"Matrix 25", "Matrix25 CCD/Laser", ccdTwoOfFive(2)},
        {9, ccd, u"MSI", "MSI CCD/Laser",
         join(
             {{choice(u"Verify check digit:", "checkDigitVerification",
                      {u"single modulo 10", u"double modulo 10", u"modulo 11 and modulo 10"}),
               choice(u"Transmit check digit:", "transmitCheckDigit",
                      {u"last check digit is NOT transmitted", u"both check digits are transmitted",
                       u"both check digits are NOT transmitted"}),
               choice(u"Length mode:", "isMaxMinLengthFormat", {u"discrete", u"*min/max"})},
              lengths(127)})},
        {11,
         ccd,
         u"I/F Phama.",
         "Pharmacode CCD/Laser",
         {check(u"Enable Italian Pharmacode", "enable"),
          check(u"Transmit check digit", "transmitCheckDigit"),
          check(u"Enable French Pharmacode", "enableCIP39"),
          check(u"Transmit check digit", "transmitCIP39CheckDigit")}},
        {12,
         ccd,
         u"Plessey",
         "Plessey CCD/Laser",
         {check(u"Transmit check digit", "transmitCheckDigit"),
          check(u"Convert to UK Plessey", "convertToUKplessey")}},
        {13,
         ccd,
         u"GS1 DataBar",
         "RSS CCD/Laser",
         {check(u"GS1 DataBar-14", "enableRSS14"),
          check(u"Transmit code ID", "transmitRSS14CodeID"),
          check(u"Transmit Application ID", "transmitRSS14ApplicationID"),
          check(u"Transmit check digit", "transmitRSS14CheckDigit"),
          check(u"GS1 DataBar Limited", "enableLimited"),
          check(u"Transmit code ID", "transmitRSSCodeID"),
          check(u"Transmit Application ID", "transmitRSSApplicationID"),
          check(u"Transmit check digit", "transmitRSSCheckDigit"),
          check(u"GS1 DataBar Expanded", "enableExpanded"),
          check(u"Transmit code ID", "transmitRSSExpandedCodeID")}},
        {14,
         ccd,
         u"Telepen",
         "Telepen CCD/Laser",
         {check(u"Enable original Telepen(Numeric)", "enableAIM")}},
        {15,
         ccd,
         u"UPC-E",
         "UPC-E CCD/Laser",
         {choice(u"UPC-E mode:", "enableUpcE1", {u"*enable UPC-E0", u"enable UPC-E1/UPC-E0"}),
          check(u"Addon 2", "enableAddon2"), check(u"Addon 5", "enableAddon5"),
          check(u"Convert to UPC-A", "convertToUpcA"),
          check(u"Transmit check digit", "transmitCheckDigit"),
          check(u"Transmit system number", "transmitSystemNumber")}},
    };
}

// ---- Packet engines: 2D imagers (3, 8) and long-range lasers (4, 9) ----

// The intercharacter gap lives in the security section of the 2D imagers.
Field interCharGap() {
    return onKinds(
        inSection(choice(u"Intercharacter gap size:", "interCharGapSize",
                         {u"*Normal intercharacter gaps", u"Large intercharacter gaps"}, {6, 10}),
                  "Symbology security level, 2D"),
        kImagers);
}

Labels addonChoices() {
    return {u"*Ignore Addons", u"Decode only with Addons", u"Auto-discriminate"};
}

std::vector<Field> addons() {
    return {choice(u"Addons:", "UPC_EAN_JAN_decodeSupplementals", addonChoices()),
            number(u"Addons Redundancy", "UPC_EAN_JAN_supplementalsRedundancy", 0, 255)};
}

// Tenths of a millisecond: 1 ms, then 10 ms to 100 ms.
std::vector<int> kind8Exposures() {
    std::vector<int> values = range(100, 1000, 100);
    values.insert(values.begin(), 10);
    return values;
}

std::vector<Field> imageCaptureFields() {
    const EngineKinds k3{3}, k8{8};
    return {
        check(u"Image capture autoexposure", "imageAutoexposure"),
        check(u"Image capture illumination", "imageIllumination"),
        onKinds(number(u"Select gain:", "gain", 79, 127), k3),
        onKinds(number(u"Select gain:", "gain", 100, 100), k8),
        onKinds(
            choice(u"Exposure time:", "exposureTime",
                   {u"5 ms", u"*10 ms", u"15 ms", u"20 ms", u"25 ms", u"30 ms"}, range(5, 30, 5)),
            k3),
        onKinds(choice(u"Exposure time:", "exposureTime",
                       {u"*1 ms", u"10 ms", u"20 ms", u"30 ms", u"40 ms", u"50 ms", u"60 ms",
                        u"70 ms", u"80 ms", u"90 ms", u"100 ms"},
                       kind8Exposures()),
                k8),
        check(u"Snapshot mode aim pattern", "snapshotAimPattern"),
        onKinds(choice(u"Image resolution:", "imageResolution",
                       {u"*640_480", u"320_240", u"212_160", u"160_120"}),
                k3),
        onKinds(choice(u"Image resolution:", "imageResolution",
                       {u"*752_480", u"376_240", u"188_120"}, {0, 1, 3}),
                k8),
        check(u"Optimized for JPEG quality", "jpgImageOptions"),
        number(u"Select JPEG quality:", "qualityValue", 5, 100),
        number(u"Select JPEG size:", "jpgSizeValue", 5, 150),
        choice(u"Image format:", "imageFileFormat", {u"*JPEG", u"BMP"}, {1, 3}),
        choice(u"Bits per pixel:", "bitsPerPixel", {u"1 bit", u"4 bits", u"*8 bits"}),
    };
}

std::vector<Field> twoDSymbologies8() {
    const Labels inverse{u"*Regular Only", u"Inverse Only", u"Autodetect"};
    return {check(u"PDF417", "pdf417"),
            check(u"MicroPDF417", "microPDF417"),
            check(u"Code 128 emulation", "code128Emulation"),
            check(u"Data Matrix", "dataMatrix"),
            check(u"MaxiCode", "maxiCode"),
            check(u"QR Code", "qrCode"),
            check(u"MicroQR", "microQR"),
            check(u"Aztec", "azTech"),
            note(u"Inverse options:"),
            choice(u"Data Matrix:", "dataMatrixInverse", inverse),
            choice(u"QR Code:", "qrCodeInverse", inverse),
            choice(u"Aztec:", "azTechInverse", inverse)};
}

// A page that both families show, under two page numbers.
void addBoth(std::vector<PageSpec>& pages, PageSpec imagerPage, int laserPage) {
    PageSpec laser = imagerPage;
    imagerPage.kinds = kImagers;
    laser.kinds = kLasers;
    laser.page = laserPage;
    pages.push_back(std::move(imagerPage));
    pages.push_back(std::move(laser));
}

std::vector<PageSpec> packetPages() {
    std::vector<PageSpec> pages;
    addBoth(pages,
            {0,
             {},
             u"Codabar",
             "Codabar 2D/1D_LR",
             join({{check(u"CLSI editing", "clsiEditing"), check(u"NOTIS editing", "notisEditing"),
                    lengthMode()},
                   lengths(),
                   {interCharGap()}})},
            0);
    addBoth(pages,
            {2,
             {},
             u"Code 128",
             "Code128 2D/1D_LR",
             {check(u"GS1-128", "uccEan128"), check(u"ISBT 128", "isbt128"),
              onKinds(choice(u"Concatenation:", "enableIsbtConcatenation",
                             {u"*Disable", u"Enable", u"Auto-discriminate"}),
                      kImagers),
              onKinds(choice(u"Concatenation Redundancy:", "isbtConcatenationRedundancy",
                             numbered(2, 20), range(2, 20)),
                      kImagers)}},
            1);
    addBoth(pages,
            {3,
             {},
             u"Code 39",
             "Code39 2D/1D_LR",
             join({{check(u"Trioptic", "trioptic"),
                    check(u"Convert Code 39 to Code 32", "code39ToCode32"),
                    onKinds(check(u"Code 32 prefix", "code32Prefix"), kImagers),
                    check(u"Check digit verification", "checkDigitVerification"),
                    check(u"Transmit check digit", "transmitCheckDigit"),
                    check(u"Full ASCII conversion", "fullASCII"), lengthMode()},
                   lengths(),
                   {interCharGap()}})},
            2);
    addBoth(pages, {4, {}, u"Code 93", "Code93 2D/1D_LR", lengths()}, 3);
    addBoth(pages, {6, {}, u"Industrial 25", "Industrial25 2D/1D_LR", lengths()}, 4);
    addBoth(pages,
            {7,
             {},
             u"EAN/JAN",
             "EAN,JAN 2D/1D_LR",
             join({{check(u"Enable EAN-8/JAN-8", "enableEAN8_JAN8"),
                    check(u"Enable EAN-13/JAN-13", "enableEAN13_JAN13"),
                    check(u"Enable Bookland EAN", "enableBooklandEAN")},
                   addons(),
                   {check(u"EAN-8/JAN-8 extend", "EAN8_JAN8_extend"),
                    check(u"UCC coupon extended code", "uccCouponExtendedCode"),
                    onKinds(choice(u"EAN security level:", "upcEanSecurityLevel",
                                   {u"1", u"*2", u"3"}, {1, 2, 3}),
                            kLasers)}})},
            5);
    addBoth(pages,
            {8,
             {},
             u"Interleaved 25",
             "Interleaved25 2D/1D_LR",
             join({lengths(),
                   {choice(u"Check digit verification:", "checkDigitVerification",
                           {u"*disable", u"USS check digit", u"OPCC check digit"}),
                    check(u"Transmit check digit", "transmitCheckDigit"),
                    check(u"Convert to EAN-13", "convertToEAN13")}})},
            6);
    addBoth(pages,
            {10,
             {},
             u"Miscellaneous Options",
             "Miscellaneous Option 2D/1D_LR",
             {choice(u"Transmit code ID character:", "transmitCodeIdChar",
                     {u"*none", u"AIM code ID character"})}},
            7);
    addBoth(pages,
            {11,
             {},
             u"MSI",
             "MSI 2D/1D_LR",
             join({lengths(),
                   {choice(u"Check digit verification:", "checkDigitVerification",
                           {u"*one MSI check digit", u"two MSI check digit"}),
                    check(u"Transmit check digit", "transmitCheckDigit"),
                    choice(u"Check digit algorithm:", "checkDigitAlgorithm",
                           {u"MOD 10/MOD 11", u"*MOD 10/MOD 10"})}})},
            8);
    addBoth(pages,
            {13,
             {},
             u"GS1 DataBar",
             "RSS 2D/1D_LR",
             {check(u"GS1 DataBar-14", "rss14"), check(u"GS1 DataBar Limited", "rssUmited"),
              check(u"GS1 DataBar Expanded", "rssExpanded"),
              check(u"Convert GS1 DataBar to UPC/EAN", "convertToUPC_EAN")}},
            9);
    addBoth(pages,
            {15,
             {},
             u"UPC",
             "UPC 2D/1D_LR",
             join({{check(u"Enable UPC-A", "enableUPC_A"), check(u"Enable UPC-E", "enableUPC_E"),
                    check(u"Enable UPC-E1", "enableUPC_E1")},
                   addons(),
                   {check(u"Transmit UPC-A check digit", "transmitUPC_AcheckDigit"),
                    check(u"Transmit UPC-E check digit", "transmitUPC_EcheckDigit"),
                    check(u"Transmit UPC-E1 check digit", "transmitUPC_E1checkDigit"),
                    preamble(u"=== Select UPC-A preamble ====", "preambleUPC_A"),
                    preamble(u"=== Select UPC-E preamble ====", "preambleUPC_E"),
                    preamble(u"=== Select UPC-E1 preamble ====", "preambleUPC_E1"),
                    check(u"Convert UPC-E to UPC-A", "convertUPC_EtoA"),
                    check(u"Convert UPC-E1 to UPC-A", "convertUPC_E1ToA"),
                    check(u"UCC coupon extended code", "uccCouponExtendedCode"),
                    onKinds(choice(u"UPC security level:", "upcEanSecurityLevel",
                                   {u"0", u"1", u"*2", u"3"}),
                            kLasers)}})},
            10);
    const PageSpec code11{1, EngineKinds{3, 8}, u"Code 11", "Code11 2D",
                          join({{choice(u"Check digit verification:", "checkDigitVerification",
                                        {u"*disable", u"one check digit", u"two check digits"}),
                                 check(u"Transmit check digit", "transmitCheckDigit")},
                                lengths()})};
    pages.push_back(code11);
    PageSpec laserCode11 = code11;
    laserCode11.page = 11;
    laserCode11.kinds = EngineKinds{9};
    pages.push_back(std::move(laserCode11));

    const std::vector<PageSpec> imagerOnly{
        {5,
         kImagers,
         u"Composite Code",
         "Composite 2D",
         {check(u"Enable CC-C", "cc_c"), check(u"Enable CC-A/B", "cc_ab"),
          check(u"Enable TLC-39", "tlc39"),
          choice(u"UPC mode:", "upcMode",
                 {u"UPC never linked", u"*UPC always linked", u"autodiscriminate UPC composites"}),
          check(u"UCC/EAN-128 emulation mode", "uccEAN128EmulationMode")}},
        {9,
         kImagers,
         u"Macro PDF",
         "MacroPDF 2D",
         {choice(u"Macro PDF Transmit/Decode Mode:", "macroPDFTransmit",
                 {u"buffer all & transmit when complete", u"transmit any symbol in set",
                  u"*passthrough all symbols"},
                 {0, 1, 4}),
          check(u"Transmit control header", "controlHeader"),
          choice(u"Escape characters:", "escapeChar", {u"*none", u"GLI protocol"}, {0, 2}),
          note(u"(CAUTION: When printing, keep each Macro PDF sequence separate, each sequence "
               u"with its own control header.)")}},
        {12,
         kImagers,
         u"Postal Code",
         "PostalCode 2D",
         {check(u"US Postnet", "usPostnet"), check(u"US Planet", "usPlanet"),
          check(u"UK Postal", "ukPostal"),
          check(u"Transmit UK postal check digit", "transmitUKcheckDigit"),
          check(u"Japan Postal", "japanPostal"), check(u"Australian Postal", "australianPostal"),
          check(u"Dutch Postal", "dutchPostal"),
          check(u"Transmit US postal check digit", "transmitUScheckDigit")}},
        {14,
         EngineKinds{3},
         u"2D Symbologies",
         "2D Symbologies",
         {check(u"PDF417", "pdf417"), check(u"MicroPDF417", "microPDF417"),
          check(u"Code 128 emulation", "code128Emulation"), check(u"Data Matrix", "dataMatrix"),
          check(u"MaxiCode", "maxiCode"), check(u"QR Code", "qrCode")}},
        {16, kImagers, u"Image Capture", "Image 2D", imageCaptureFields()},
        {17, EngineKinds{8}, u"Matrix 25", "Matrix25 2D",
         join({lengths(),
               {check(u"Redundency", "redundancy"),
                check(u"Check digit verification:", "checkDigitVerification"),
                check(u"Transmit check digit", "transmitCheckDigit")}})},
        {18, EngineKinds{8}, u"2D Symbologies", "2D Symbologies", twoDSymbologies8()},
    };
    pages.insert(pages.end(), imagerOnly.begin(), imagerOnly.end());
    return pages;
}

}  // namespace

std::vector<PageSpec> symbologyPages(int engineKind) {
    std::vector<PageSpec> pages;
    for (PageSpec& page : engineKind == 2 ? ccdPages() : packetPages()) {
        if (!page.kinds.contains(engineKind)) continue;
        std::erase_if(page.fields, [&](const Field& f) { return !f.kinds.contains(engineKind); });
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace tessel::settings
