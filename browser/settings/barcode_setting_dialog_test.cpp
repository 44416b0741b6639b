#include "browser/settings/barcode_setting_dialog.h"

#include <gtest/gtest.h>

#include "browser/settings/symbology_settings_fixture.h"

namespace tessel::settings {
namespace {

using testing::HeadlessWindow;
namespace packet = sim::packet;

class SymbologyListTest : public testing::SymbologySettingsTest {
  protected:
    // Creates the list of the fitted engine on a shown main window and shows it.
    BarcodeSettingDialog& openList(int scale = 1, bool kp30 = false) {
        context->scale = scale;
        list.reset();
        main = toolkit.createWindow(mainHandler, nullptr);
        main->show(true);
        list = std::make_unique<BarcodeSettingDialog>(
            BarcodeSettingParts{toolkit,
                                *context,
                                kp30,
                                {1, 26, 240, 294},
                                [this](int page) { opened.push_back(page); },
                                [this](bool shown) { imageControl.push_back(shown); }});
        list->create(*main);
        list->show(true);
        clearCommands();
        return *list;
    }

    HeadlessWindow& page() { return static_cast<HeadlessWindow&>(*list->window()); }

    std::size_t row(std::u16string_view label) const {
        const auto& rows = list->rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].label == label) return i;
        }
        ADD_FAILURE() << "no row";
        return 0;
    }
    int box(std::u16string_view label) const {
        return BarcodeSettingDialog::checkBoxId(row(label));
    }
    int button(std::u16string_view label) const {
        return BarcodeSettingDialog::buttonId(row(label));
    }

    // What the rows show: the button's text, or the check box's for a row without a button.
    std::vector<std::u16string> shownLabels() {
        std::vector<std::u16string> labels;
        for (std::size_t i = 0; i < list->rows().size(); ++i) {
            const int id = page().hasControl(BarcodeSettingDialog::buttonId(i))
                               ? BarcodeSettingDialog::buttonId(i)
                               : BarcodeSettingDialog::checkBoxId(i);
            labels.push_back(page().text(id));
        }
        return labels;
    }

    struct NoHandler final : platform::ui::WindowHandler {
        void onCommand(int, platform::ui::Notify) override {}
        void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    } mainHandler;
    std::unique_ptr<platform::ui::Window> main;
    std::unique_ptr<BarcodeSettingDialog> list;
    std::vector<int> opened;
    std::vector<bool> imageControl;
};

using Labels = std::vector<std::u16string>;

TEST_F(SymbologyListTest, TheListIsThatOfTheFittedEngineKind) {
    const Labels ccd{u"Codabar",        u"Code 128", u"Code 39",          u"Code 93",
                     u"EAN-13/UPC-A",   u"EAN-8",    u"Industrial 25",    u"Matrix 25",
                     u"Interleaved 25", u"MSI",      u"Negative barcode", u"I/F Pharma.",
                     u"Plessy",         u"GS1-128",  u"Telepen",          u"UPC-E",
                     u"GS1 DataBar",    u"ISBT 128"};
    const Labels imager{u"Codabar",        u"Code 128", u"Code 39",     u"Code 93",
                        u"Industrial 25",  u"EAN/JAN",  u"UPC",         u"Code 11",
                        u"Interleaved 25", u"MSI",      u"GS1 DataBar", u"Composite",
                        u"2D symbologies", u"Postal",   u"Macro PDF",   u"Misc."};
    Labels imager3 = imager, imager8 = imager;
    imager3.push_back(u"Image Capture");
    imager8.insert(imager8.end(), {u"Matrix 25", u"Chinese 25", u"Image Capture"});
    const Labels laser{u"Codabar",        u"Code 128", u"Code 39",    u"Code 93",
                       u"Industrial 25",  u"EAN/JAN",  u"UPC",        u"MSI",
                       u"Interleaved 25", u"Misc.",    u"GS1 DataBar"};
    Labels laser9 = laser;
    laser9.insert(laser9.end(), {u"Code 11", u"Chinese 25"});

    for (auto [kind, expected] :
         {std::pair{2, ccd}, {3, imager3}, {8, imager8}, {4, laser}, {9, laser9}}) {
        fit(kind);
        openList();
        EXPECT_EQ(shownLabels(), expected) << "kind " << kind;
    }
    // The long CCD/laser list in one column on larger screens names Plessey in full.
    fit(2);
    openList(1, true);
    EXPECT_EQ(page().text(button(u"Plessey")), u"Plessey");
    openList(2);
    EXPECT_EQ(page().text(button(u"Plessey")), u"Plessey");
    EXPECT_EQ(page().controlRect(button(u"Plessey")).width, 2 * 150);  // design size, doubled
    EXPECT_TRUE(page().hasControl(box(u"Code 93")));
    EXPECT_FALSE(page().hasControl(button(u"Code 93")));
    EXPECT_FALSE(page().hasControl(box(u"GS1 DataBar")));
}

TEST_F(SymbologyListTest, BoxesShowTheEnginesSwitchesAndButtonsFollowThem) {
    fit(2);
    setCcdBit(0, 7, false);  // Code 39 off
    setCcdBit(0, 1, true);   // Codabar on
    openList();
    EXPECT_FALSE(page().isChecked(box(u"Code 39")));
    EXPECT_FALSE(page().isEnabled(button(u"Code 39")));
    EXPECT_TRUE(page().isChecked(box(u"Codabar")));
    EXPECT_TRUE(page().isEnabled(button(u"Codabar")));
    EXPECT_TRUE(page().isEnabled(button(u"I/F Pharma.")));

    fit(4);
    engine->setParameter(packet::param(0x0B), 0);  // MSI off
    engine->setParameter(packet::param(0x07), 1);  // Codabar on
    openList();
    EXPECT_FALSE(page().isChecked(box(u"MSI")));
    EXPECT_FALSE(page().isEnabled(button(u"MSI")));
    EXPECT_TRUE(page().isChecked(box(u"Codabar")));
}

TEST_F(SymbologyListTest, ClearingCode39SendsEnableAloneAndWritesEnableAlone) {
    fit(2);
    setCcdBit(0, 7, true);
    loadStore(
        "[Code39 CCD/Laser]\r\nenable=1\r\ncheckDigitVerification=1\r\ntransmitCheckDigit=0\r\n"
        "fullASCII=1\r\ntransmitStartStopChar=0\r\n");
    options.updateIniWhenExit = 1;
    openList();
    reader::Bytes expected = ccd.configBlock();
    expected[0] = static_cast<std::uint8_t>(expected[0] & ~0x80);

    page().click(box(u"Code 39"));
    EXPECT_FALSE(page().isEnabled(button(u"Code 39")));
    ASSERT_EQ(commands().size(), 1u);
    const std::string save = "SAVE" + sim::ccd::toHex(expected);
    EXPECT_EQ(commands()[0], reader::Bytes(save.begin(), save.end()));
    EXPECT_EQ(ccd.configBlock(), expected);
    // Names are kept folded, as the store loads them; only enable changed.
    EXPECT_EQ(store.text(),
              "\r\n[code39 ccd/laser]\r\nenable=0\r\ncheckdigitverification=1\r\n"
              "transmitcheckdigit=0\r\nfullascii=1\r\ntransmitstartstopchar=0\r\n");

    // With exporting off the engine still follows, the store does not.
    options.updateIniWhenExit = 0;
    page().click(box(u"Code 39"));
    EXPECT_TRUE(page().isEnabled(button(u"Code 39")));
    EXPECT_TRUE(ccd.configBlock()[0] & 0x80);
    EXPECT_EQ(stored("Code39 CCD/Laser", "enable"), 0);
}

TEST_F(SymbologyListTest, LongRangeMsiBoxSendsAndWritesItsEnable) {
    fit(4);
    engine->setParameter(packet::param(0x0B), 1);
    options.updateIniWhenExit = 1;
    openList();
    page().click(box(u"MSI"));
    ASSERT_EQ(commands().size(), 1u);
    const std::uint8_t pair[] = {0xFF, 0x0B, 0x00};
    EXPECT_EQ(commands()[0], packet::hostPacket(packet::kParamSend, 0x08, pair));
    EXPECT_EQ(engineValue(packet::param(0x0B)), 0);
    EXPECT_EQ(store.text(), "\r\n[MSI 2D/1D_LR]\r\nenable=0\r\n");
}

TEST_F(SymbologyListTest, ContinuousOrTestScanModeDisablesTheRows) {
    for (int mode : {1, 7}) {
        fit(2);
        reader::Bytes block = ccd.configBlock();
        block[20] = static_cast<std::uint8_t>(mode << 4 | (block[20] & 0x0F));
        ccd.setConfigBlock(block);
        ASSERT_TRUE(reader::readConfiguration(port));
        setCcdBit(0, 7, true);
        setCcdBit(0, 1, false);
        openList();
        EXPECT_FALSE(page().isEnabled(box(u"Code 39")));
        EXPECT_FALSE(page().isEnabled(button(u"Code 39")));
        EXPECT_FALSE(page().isEnabled(button(u"GS1 DataBar")));
        list->setRowsEnabled(true);
        EXPECT_TRUE(page().isEnabled(box(u"Code 39")));
        EXPECT_TRUE(page().isEnabled(button(u"Code 39")));
        EXPECT_FALSE(page().isEnabled(button(u"Codabar")));  // its box is off
    }
}

TEST_F(SymbologyListTest, ButtonsOpenTheirPagesInTheOptionDialog) {
    fit(3);
    openList();
    page().click(button(u"2D symbologies"));
    page().click(button(u"UPC"));
    fit(8);
    openList();
    page().click(button(u"2D symbologies"));
    page().click(button(u"Image Capture"));  // its switch is off: the button is too
    page().click(box(u"Image Capture"));
    page().click(button(u"Image Capture"));
    EXPECT_EQ(opened, (std::vector<int>{14, 15, 18, 16}));
}

TEST_F(SymbologyListTest, ImageCaptureSwitchIsTheOptionsAndTheMainWindowsControl) {
    fit(8);
    options.updateIniWhenExit = 1;
    openList();
    page().click(box(u"Image Capture"));
    EXPECT_EQ(options.imageCapture, 1);
    EXPECT_EQ(imageControl, std::vector<bool>{true});
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(store.text(), "\r\n[Image 2D]\r\nenable=1\r\n");
    page().click(box(u"Image Capture"));
    EXPECT_EQ(options.imageCapture, 0);
    EXPECT_EQ(stored("Image 2D", "enable"), 0);
}

TEST_F(SymbologyListTest, FactoryResetRefreshesTheListedSwitchesIntoTheStore) {
    fit(2);
    setCcdBit(0, 7, false);  // Code 39 off before the reset
    openList();
    ccd.setConfigBlock(sim::ccd::defaultBlock());
    ASSERT_TRUE(reader::readConfiguration(port));
    const bool code39 = ccd.configBlock()[0] & 0x80;
    const bool code93 = ccd.configBlock()[0] & 0x01;
    setCcdBit(1, 6, false);  // UPC-E off: its button stays enabled after the reset anyway
    clearCommands();
    list->refreshAfterReset();  // exporting is off: the reset writes all the same
    EXPECT_EQ(page().isChecked(box(u"Code 39")), code39);
    EXPECT_EQ(page().isEnabled(button(u"Code 39")), code39);
    EXPECT_EQ(stored("Code39 CCD/Laser", "enable"), code39 ? 1 : 0);
    EXPECT_EQ(stored("Code93 CCD/Laser", "enable"), code93 ? 1 : 0);
    EXPECT_FALSE(page().isChecked(box(u"UPC-E")));
    EXPECT_TRUE(page().isEnabled(button(u"UPC-E")));
    EXPECT_FALSE(store.findSection("ISBT128 CCD/Laser"));
    EXPECT_FALSE(stored("Code39 CCD/Laser", "checkDigitVerification"));
    EXPECT_TRUE(commands().empty());
}

TEST_F(SymbologyListTest, FactoryResetOnTheNewerImagerSkipsWhatTheEngineCannotRead) {
    fit(8);
    engine->setParameter(packet::param(0x00), 0);  // Code 39 off
    openList();
    EXPECT_FALSE(page().isChecked(box(u"Code 39")));
    for (const auto& [id, value] : packet::factoryParameters(sim::PacketKind::Imager2D4507)) {
        engine->setParameter(id, value);
    }
    list->refreshAfterReset();
    EXPECT_TRUE(page().isChecked(box(u"Code 39")));
    EXPECT_EQ(stored("Code39 2D/1D_LR", "enable"), 1);
    EXPECT_TRUE(stored("Chinese25", "enable"));
    EXPECT_TRUE(stored("Matrix25 2D", "enable"));
    // This engine has no Code 11 operation: nothing is invented for it.
    EXPECT_FALSE(store.findSection("Code11 2D"));
}

}  // namespace
}  // namespace tessel::settings
