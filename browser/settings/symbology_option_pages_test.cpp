#include "browser/settings/symbology_option_pages.h"

#include <gtest/gtest.h>

#include "browser/settings/dialog_layout.h"
#include "browser/settings/symbology_settings_fixture.h"

namespace tessel::settings {
namespace {

using testing::PageHost;
namespace packet = sim::packet;
using packet::param;
using packet::wideParam;

class SymbologyPagesTest : public testing::SymbologySettingsTest {
  protected:
    PageHost& open(int page) {
        pages = std::make_unique<SymbologyOptionPages>(*context);
        host = std::make_unique<PageHost>(toolkit, *pages, page);
        pageNumber = page;
        return *host;
    }
    int id(std::string_view key) {
        const auto found = pages->controlFor(pageNumber, key);
        EXPECT_TRUE(found) << key;
        return found.value_or(0);
    }
    std::optional<std::size_t> entry(std::string_view key) {
        return host->window().comboSelection(id(key));
    }

    std::unique_ptr<SymbologyOptionPages> pages;
    std::unique_ptr<PageHost> host;
    int pageNumber = 0;
};

TEST_F(SymbologyPagesTest, EveryPageOfEveryKindBuildsAboveTheButtonsAndASecondOkSendsNothing) {
    for (int kind : {2, 3, 8, 4, 9}) {
        fit(kind);
        for (const PageSpec& spec : symbologyPages(kind)) {
            const std::string label =
                "kind " + std::to_string(kind) + " page " + std::to_string(spec.page);
            PageHost& page = open(spec.page);
            EXPECT_EQ(pages->caption(spec.page), spec.caption) << label;
            for (const Field& field : spec.fields) {
                if (field.key.empty()) continue;
                EXPECT_TRUE(page.window().hasControl(id(field.key))) << label;
                const platform::ui::Rect place = page.window().controlRect(id(field.key));
                EXPECT_LE(place.y + place.height, kDialogButtonsTop) << label << " " << field.key;
            }
            page.ok();
            // What the page shows maps back to the same values: the engine hears nothing new.
            PageHost& again = open(spec.page);
            clearCommands();
            again.ok();
            EXPECT_TRUE(commands().empty()) << label;
        }
        if (kind == 2) {
            EXPECT_TRUE(pages->caption(3).empty());  // Code 93 has no options
        }
        EXPECT_TRUE(pages->caption(19).empty());
    }
}

TEST_F(SymbologyPagesTest, PagesShowTheEnginesValuesThroughTheirConversions) {
    fit(3);
    engine->setParameter(param(0xDF), 7);                 // concatenation redundancy
    engine->setParameter(param(0xF1, 0x41), 2);           // concatenation: auto-discriminate
    engine->setParameter(param(0xF0, 0x7D), 10);          // large intercharacter gaps
    engine->setParameter(param(0x23), 2);                 // UPC-E preamble
    engine->setParameter(param(0xBC), 1);                 // Macro PDF mode
    engine->setParameter(param(0xE9), 2);                 // GLI escape characters
    engine->setParameter(wideParam(0xF0, 0x38), 0x013B);  // exposure 20 ms
    engine->setParameter(wideParam(0xF0, 0xA7), 90);      // gain
    engine->setParameter(param(0xF0, 0x30), 3);           // BMP
    engine->setParameter(param(0x12), 9);                 // Code 39 length 1

    open(2);
    EXPECT_EQ(entry("isbtConcatenationRedundancy"), 5u);
    EXPECT_EQ(entry("enableIsbtConcatenation"), 2u);
    open(3);
    EXPECT_EQ(entry("interCharGapSize"), 1u);
    EXPECT_EQ(host->window().text(id("length1")), u"9");
    open(15);
    EXPECT_EQ(entry("preambleUPC_E"), 3u);
    EXPECT_EQ(host->window().comboEntries(id("preambleUPC_A"))[0],
              u"=== Select UPC-A preamble ====");
    open(9);
    EXPECT_EQ(entry("macroPDFTransmit"), 1u);
    EXPECT_EQ(entry("escapeChar"), 1u);
    open(16);
    EXPECT_EQ(entry("exposureTime"), 3u);
    EXPECT_EQ(host->window().text(id("gain")), u"90");
    EXPECT_EQ(entry("imageFileFormat"), 1u);

    fit(8);
    engine->setParameter(wideParam(0xF1, 0x37), 300);
    engine->setParameter(param(0xF0, 0x2E), 3);
    open(16);
    EXPECT_EQ(entry("exposureTime"), 3u);
    EXPECT_EQ(entry("imageResolution"), 2u);
    EXPECT_EQ(host->window().text(id("gain")), u"100");
    EXPECT_FALSE(host->window().isEnabled(id("gain")));
}

TEST_F(SymbologyPagesTest, OkConvertsChoicesIntoTheEnginesValues) {
    fit(3);
    options.updateIniWhenExit = 1;
    PageHost& codabar = open(0);
    codabar.window().select(id("interCharGapSize"), 1);
    codabar.window().type(id("length2"), u"40");
    codabar.ok();
    EXPECT_EQ(engineValue(param(0xF0, 0x7D)), 10);
    EXPECT_EQ(engineValue(param(0x19)), 40);
    // The gap goes alone into the security section; the list owns Codabar's enable.
    EXPECT_EQ(stored("Symbology security level, 2D", "interCharGapSize"), 10);
    EXPECT_FALSE(stored("Symbology security level, 2D", "redundancy"));
    EXPECT_FALSE(stored("Codabar 2D/1D_LR", "enable"));
    EXPECT_EQ(stored("Codabar 2D/1D_LR", "length2"), 40);

    PageHost& code128 = open(2);
    code128.window().select(id("isbtConcatenationRedundancy"), 3);
    code128.ok();
    EXPECT_EQ(engineValue(param(0xDF)), 5);

    PageHost& upc = open(15);
    upc.window().select(id("preambleUPC_A"), 0);  // the heading stands for 0
    upc.window().select(id("preambleUPC_E"), 3);
    upc.ok();
    EXPECT_EQ(engineValue(param(0x22)), 0);
    EXPECT_EQ(engineValue(param(0x23)), 2);

    PageHost& macro = open(9);
    macro.window().select(id("macroPDFTransmit"), 2);
    macro.window().select(id("escapeChar"), 1);
    macro.ok();
    EXPECT_EQ(engineValue(param(0xBC)), 4);
    EXPECT_EQ(engineValue(param(0xE9)), 2);

    PageHost& image = open(16);
    image.window().select(id("exposureTime"), 0);
    image.window().type(id("gain"), u"100");
    image.window().select(id("imageResolution"), 3);
    image.window().select(id("imageFileFormat"), 1);
    image.window().select(id("bitsPerPixel"), 1);
    image.ok();
    EXPECT_EQ(engineValue(wideParam(0xF0, 0x38)), 0x004F);  // 5 ms
    EXPECT_EQ(engineValue(wideParam(0xF0, 0xA7)), 100);
    EXPECT_EQ(engineValue(param(0xF0, 0x2E)), 3);
    EXPECT_EQ(engineValue(param(0xF0, 0x30)), 3);
    EXPECT_EQ(engineValue(param(0xF0, 0x2F)), 1);
    EXPECT_EQ(options.imageFileFormat, 3);
    EXPECT_EQ(stored("Image 2D", "exposureTime"), 5);
    EXPECT_FALSE(stored("Image 2D", "enable"));

    fit(8);
    PageHost& newer = open(16);
    newer.window().select(id("exposureTime"), 0);
    newer.window().select(id("imageResolution"), 2);
    newer.ok();
    EXPECT_EQ(engineValue(wideParam(0xF1, 0x37)), 10);
    EXPECT_EQ(engineValue(param(0xF0, 0x2E)), 3);
    EXPECT_EQ(engineValue(wideParam(0xF0, 0xA7)), 100);  // fixed on this engine
    open(16).window().select(id("exposureTime"), 4);
    host->ok();
    EXPECT_EQ(engineValue(wideParam(0xF1, 0x37)), 400);
}

TEST_F(SymbologyPagesTest, ImagerLengthModeIsTheOrderOfTheTwoLengths) {
    fit(3);
    options.updateIniWhenExit = 1;
    engine->setParameter(param(0x18), 30);
    engine->setParameter(param(0x19), 10);
    PageHost& codabar = open(0);
    EXPECT_EQ(entry("lengthMode"), 0u);  // falling: two discrete lengths
    codabar.window().select(id("lengthMode"), 1);
    codabar.ok();
    EXPECT_EQ(engineValue(param(0x18)), 10);
    EXPECT_EQ(engineValue(param(0x19)), 30);
    EXPECT_EQ(stored("Codabar 2D/1D_LR", "length1"), 10);
    EXPECT_EQ(stored("Codabar 2D/1D_LR", "length2"), 30);
    EXPECT_FALSE(stored("Codabar 2D/1D_LR", "lengthMode"));  // the mode has no key of its own

    engine->setParameter(param(0x12), 4);
    engine->setParameter(param(0x13), 55);
    PageHost& code39 = open(3);
    EXPECT_EQ(entry("lengthMode"), 1u);  // rising: the shortest and the longest
    code39.window().type(id("length1"), u"8");
    code39.window().type(id("length2"), u"12");
    code39.window().select(id("lengthMode"), 0);
    code39.ok();
    EXPECT_EQ(engineValue(param(0x12)), 12);
    EXPECT_EQ(engineValue(param(0x13)), 8);

    fit(4);  // the long-range pages show the keys of their sections only
    open(0);
    EXPECT_FALSE(pages->controlFor(0, "lengthMode"));
}

TEST_F(SymbologyPagesTest, TwoDSymbologiesPageHasTheEnginesForm) {
    fit(3);
    open(14);
    const SectionSpec& six = catalogueSection("2D Symbologies", 3);
    for (const KeySpec& key : six.keys) EXPECT_TRUE(pages->controlFor(14, key.name)) << key.name;
    EXPECT_TRUE(pages->caption(18).empty());

    fit(8);
    engine->setParameter(param(0xF1, 0x4B), 1);
    PageHost& page = open(18);
    const SectionSpec& twelve = catalogueSection("2D Symbologies", 8);
    for (const KeySpec& key : twelve.keys) {
        EXPECT_EQ(pages->controlFor(18, key.name).has_value(), key.name != "decodeMirrorImage");
    }
    EXPECT_EQ(entry("qrCodeInverse"), 1u);
    page.window().select(id("azTechInverse"), 2);
    page.ok();
    EXPECT_EQ(engineValue(param(0xF1, 0x4D)), 2);
    EXPECT_TRUE(pages->caption(14).empty());
}

TEST_F(SymbologyPagesTest, NumberBoxesKeepTheirBoundsWhileTyping) {
    fit(3);
    PageHost& image = open(16);
    auto typed = [&](std::string_view key, std::u16string_view text) {
        image.window().type(id(key), text);
        return image.window().text(id(key));
    };
    EXPECT_EQ(typed("gain", u"5"), u"79");
    EXPECT_EQ(typed("gain", u"300"), u"127");
    EXPECT_EQ(typed("gain", u"99"), u"99");
    EXPECT_EQ(typed("qualityValue", u"2"), u"5");
    EXPECT_EQ(typed("qualityValue", u"101"), u"100");
    EXPECT_EQ(typed("jpgSizeValue", u"151"), u"150");
    EXPECT_EQ(typed("jpgSizeValue", u"99999999999999999999"), u"150");
    EXPECT_EQ(typed("jpgSizeValue", u""), u"");

    fit(8);
    PageHost& newer = open(16);
    newer.window().type(id("gain"), u"5");  // disabled: fixed at 100
    EXPECT_EQ(newer.window().text(id("gain")), u"100");

    fit(2);
    PageHost& msi = open(9);
    msi.window().type(id("length1"), u"200");  // seven bits in the engine's block
    EXPECT_EQ(msi.window().text(id("length1")), u"127");
    msi.window().type(id("length2"), u"");
    msi.ok();  // an emptied box leaves the engine's value alone
    EXPECT_EQ(ccd.configBlock()[18] & 0x7F, 127);
}

TEST_F(SymbologyPagesTest, TextEnginePagesSendTheirKeysAndOwnSwitches) {
    fit(2);
    setCcdBit(11, 5, false);  // GTIN off
    setCcdBit(0, 6, false);   // Italian pharmacode off
    options.updateIniWhenExit = 1;
    PageHost& ean13 = open(4);
    ean13.window().click(id("enable"));  // "Enable GTIN for EAN-13"
    ean13.ok();
    EXPECT_TRUE(ccd.configBlock()[11] & 0x20);
    EXPECT_EQ(stored("GTIN CCD/Laser", "enable"), 1);
    EXPECT_FALSE(stored("EAN-13,UPC-A CCD/Laser", "enable"));
    EXPECT_TRUE(stored("EAN-13,UPC-A CCD/Laser", "transmitSystemNumber"));

    PageHost& pharma = open(11);
    EXPECT_EQ(pages->caption(11), u"I/F Phama.");
    pharma.window().click(id("enable"));
    pharma.ok();
    EXPECT_TRUE(ccd.configBlock()[0] & 0x40);
    EXPECT_EQ(stored("Pharmacode CCD/Laser", "enable"), 1);

    PageHost& gs1 = open(1);
    gs1.window().type(id("ean128Separator"), u"|");
    gs1.ok();
    EXPECT_EQ(config.hostOptions().ean128Separator, '|');
    EXPECT_FALSE(stored("Ean128 CCD/Laser", "ean128Separator"));
    EXPECT_EQ(open(1).window().text(id("ean128Separator")), u"|");
}

TEST_F(SymbologyPagesTest, SharedUpcEanKeysGoIntoBothSections) {
    fit(4);
    options.updateIniWhenExit = 1;
    PageHost& ean = open(5);
    ean.window().select(id("upcEanSecurityLevel"), 2);
    ean.ok();
    EXPECT_EQ(engineValue(param(0x4D)), 3);
    EXPECT_EQ(stored("EAN,JAN 2D/1D_LR", "upcEanSecurityLevel"), 3);
    EXPECT_EQ(stored("UPC 2D/1D_LR", "upcEanSecurityLevel"), 3);
    EXPECT_FALSE(stored("UPC 2D/1D_LR", "enableEAN8_JAN8"));
    EXPECT_FALSE(stored("UPC 2D/1D_LR", "enableUPC_A"));
}

TEST_F(SymbologyPagesTest, ExportingOffLeavesTheStoreAlone) {
    fit(9);
    PageHost& code11 = open(11);
    code11.window().select(id("checkDigitVerification"), 2);
    code11.ok();
    EXPECT_EQ(engineValue(param(0x34)), 2);
    EXPECT_TRUE(store.isEmpty());
}

TEST_F(SymbologyPagesTest, AnUnreadablePageStaysAtItsFirstChoices) {
    fit(3);
    engine->setParameter(param(0xBC), 1);
    engine->misbehave(sim::Fault::Garbage, 5);
    open(9);
    EXPECT_EQ(entry("macroPDFTransmit"), 0u);
    EXPECT_FALSE(host->window().isChecked(id("controlHeader")));
}

}  // namespace
}  // namespace tessel::settings
