#include "browser/settings/options_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "browser/settings/browser_options.h"
#include "browser/settings/section_access.h"
#include "browser/settings/text8.h"

namespace tessel::settings {
namespace {

std::vector<std::string_view> keyNames(const SectionSpec& section) {
    std::vector<std::string_view> names;
    for (const KeySpec& key : section.keys) names.push_back(key.name);
    return names;
}

TEST(OptionsCatalogue, HoldsEverySectionOnceForEachEngineKind) {
    const std::vector<std::string_view> all = {"General",
                                               "RFID",
                                               "Barcode Reader CCD/Laser",
                                               "CodaBar CCD/Laser",
                                               "Industrial25 CCD/Laser",
                                               "Interleaved25 CCD/Laser",
                                               "Matrix25 CCD/Laser",
                                               "Code39 CCD/Laser",
                                               "Code93 CCD/Laser",
                                               "ISBT128 CCD/Laser",
                                               "Code128 CCD/Laser",
                                               "Ean128 CCD/Laser",
                                               "Pharmacode CCD/Laser",
                                               "MSI CCD/Laser",
                                               "Negative barcode CCD/Laser",
                                               "Plessey CCD/Laser",
                                               "RSS CCD/Laser",
                                               "Telepen CCD/Laser",
                                               "EAN-8 CCD/Laser",
                                               "EAN-13,UPC-A CCD/Laser",
                                               "GTIN CCD/Laser",
                                               "UPC-E CCD/Laser",
                                               "Barcode Reader 2D",
                                               "Composite 2D",
                                               "MacroPDF 2D",
                                               "PostalCode 2D",
                                               "Symbology security level, 2D",
                                               "2D Symbologies",
                                               "Image 2D",
                                               "Barcode Reader 1D_LR",
                                               "Codabar 2D/1D_LR",
                                               "Code128 2D/1D_LR",
                                               "Code39 2D/1D_LR",
                                               "Code93 2D/1D_LR",
                                               "Industrial25 2D/1D_LR",
                                               "EAN,JAN 2D/1D_LR",
                                               "Interleaved25 2D/1D_LR",
                                               "Miscellaneous Option 2D/1D_LR",
                                               "MSI 2D/1D_LR",
                                               "RSS 2D/1D_LR",
                                               "UPC 2D/1D_LR",
                                               "Code11 2D",
                                               "Chinese25",
                                               "Matrix25 2D"};
    std::set<std::string_view> names;
    for (const SectionSpec& section : optionsCatalogue()) names.insert(section.name);
    EXPECT_EQ(names, std::set<std::string_view>(all.begin(), all.end()));

    // No section appears twice for one kind, and no key twice in a section.
    for (int kind = 0; kind < 10; ++kind) {
        std::set<std::string_view> seen;
        for (const SectionSpec& section : optionsCatalogue()) {
            if (section.kinds.contains(kind)) {
                EXPECT_TRUE(seen.insert(section.name).second) << section.name << " kind " << kind;
            }
        }
    }
    for (const SectionSpec& section : optionsCatalogue()) {
        const auto keys = keyNames(section);
        EXPECT_EQ(std::set(keys.begin(), keys.end()).size(), keys.size()) << section.name;
    }
}

TEST(OptionsCatalogue, SectionsBelongToTheirEngineKinds) {
    auto kindsOf = [](std::string_view name) {
        std::set<int> kinds;
        for (int kind = 0; kind < 10; ++kind) {
            if (findSectionSpec(name, kind)) kinds.insert(kind);
        }
        return kinds;
    };
    EXPECT_EQ(kindsOf("General").size(), 10u);
    EXPECT_EQ(kindsOf("UPC-E CCD/Laser"), (std::set{2}));
    EXPECT_EQ(kindsOf("Image 2D"), (std::set{3, 8}));
    EXPECT_EQ(kindsOf("Barcode Reader 1D_LR"), (std::set{4, 9}));
    EXPECT_EQ(kindsOf("UPC 2D/1D_LR"), (std::set{3, 4, 8, 9}));
    EXPECT_EQ(kindsOf("Code11 2D"), (std::set{3, 8, 9}));
    EXPECT_EQ(kindsOf("Chinese25"), (std::set{8, 9}));
    EXPECT_EQ(kindsOf("Matrix25 2D"), (std::set{8}));
    EXPECT_EQ(catalogueSection("2D Symbologies", 3).keys.size(), 6u);
    EXPECT_EQ(catalogueSection("2D Symbologies", 8).keys.size(), 12u);
    EXPECT_EQ(findSectionSpec("2D Symbologies", 9), nullptr);
}

TEST(OptionsCatalogue, KeysAreInFileOrder) {
    EXPECT_EQ(keyNames(catalogueSection("Barcode Reader 2D")),
              (std::vector<std::string_view>{"has2D", "has2D_4507", "enableBarcode", "laserOnTime",
                                             "timeoutBetweenSameSymbol", "decodingAutoexposure",
                                             "decodingIllumination", "decodeAimingPattern",
                                             "imgFocus", "ledIllumination", "scanMode"}));
    EXPECT_EQ(
        keyNames(catalogueSection("Interleaved25 2D/1D_LR")),
        (std::vector<std::string_view>{"enable", "length1", "length2", "checkDigitVerification",
                                       "transmitCheckDigit", "convertToEAN13"}));
    EXPECT_EQ(keyNames(catalogueSection("2D Symbologies", 8)),
              (std::vector<std::string_view>{"pdf417", "microPDF417", "code128Emulation",
                                             "dataMatrix", "dataMatrixInverse", "decodeMirrorImage",
                                             "maxiCode", "qrCode", "qrCodeInverse", "microQR",
                                             "azTech", "azTechInverse"}));
    const SectionSpec& rfid = catalogueSection("RFID");
    EXPECT_EQ(rfid.keys.front().name, "hasRfid");
    EXPECT_EQ(rfid.keys.back().name, "timeOfPowerOn");
    EXPECT_EQ(rfid.keys[*rfid.indexOf("mifareLoginKeyA")].kind, KeyKind::Text);
}

// Writing a fresh BrowserOptions must give exactly the catalogue's defaults.
TEST(OptionsCatalogue, BrowserOptionsStartAtTheCatalogueDefaults) {
    BrowserOptions o;
    IniStore store;
    accessSection(store, 'w', catalogueSection("General"), generalRefs(o));
    accessSection(store, 'w', catalogueSection("RFID"),
                  {nullptr, nullptr, &o.rfidRW, &o.rfidReadStartByte, &o.rfidReadLength,
                   &o.displayUserDataByHex, &o.rfidWriteStartByte, &o.rfidWriteContent,
                   &o.isHexContent, &o.mifareLoginKeyA, &o.m_rfidSecurityKeyType, nullptr});
    accessSection(store, 'w', catalogueSection("Image 2D", 3),
                  {&o.imageCapture, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr, nullptr});

    for (const char* name : {"General", "RFID", "Image 2D"}) {
        const IniSection* section = store.findSection(name);
        const SectionSpec& spec = *findSectionSpec(name);
        std::size_t withDefault = 0;
        for (const KeySpec& key : spec.keys) {
            // timeOfPowerOn's default belongs to the reader manager, not to BrowserOptions.
            if (!key.defaultValue || key.name == "timeOfPowerOn") continue;
            ++withDefault;
            std::u16string value;
            EXPECT_TRUE(store.getString(section, key.name, value)) << name << " " << key.name;
            EXPECT_EQ(toEightBit(value), *key.defaultValue) << name << " " << key.name;
        }
        EXPECT_EQ(section->entries().size(), withDefault) << name;
    }
    EXPECT_EQ(o.imageFileFormat, 0);
}

}  // namespace
}  // namespace tessel::settings
