// The reader settings page on the headless toolkit against simulated readers: the switches and
// their tray ticks, the page buttons, keyboard emulation, Restore Defaults and the result box.

#include "browser/settings/scanner_setting_dialog.h"

#include "browser/settings/dialog_test_support.h"

namespace tessel::settings::test {
namespace {

namespace ui = platform::ui;
namespace packet = sim::packet;
using S = ScannerSettingDialog;

class ReaderPageTest : public DialogTest {
protected:
    ~ReaderPageTest() override {
        ui([&] {
            page.reset();
            main.reset();
        });
    }
    // Builds the page on the window thread as a child of a main window.
    void create(DialogScreen screen = {}) {
        ui([&] {
            main = toolkit.createWindow(handler, nullptr);
            page = std::make_unique<S>(
                ReaderPagesParts{toolkit, options, store, manager, symbologies, shell, reading, screen});
            page->create(*main);
            page->show(true);
        });
    }
    HeadlessWindow& window() { return static_cast<HeadlessWindow&>(*page->window()); }

    class Inert final : public ui::WindowHandler {
    public:
        void onCommand(int, ui::Notify) override {}
        void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    } handler;
    std::unique_ptr<ui::Window> main;
    std::unique_ptr<S> page;
};

TEST_F(ReaderPageTest, ControlsSitAtTheirPlacesWithTheReadersStates) {
    startReaders(&ccd, ReaderType::CcdLaser, &frameReader);
    options.keyboardEmu = 2;
    create();
    ui([&] {
        EXPECT_EQ(window().rect(), (ui::Rect{1, 26, 240, 320}));
        EXPECT_EQ(window().controlRect(S::kNotificationsButton), (ui::Rect{121, 47, 100, 18}));
        EXPECT_EQ(window().text(S::kRestoreButton), u"Restore Defaults");
        EXPECT_EQ(window().kind(S::kResultBox), ui::ControlKind::Edit);
        EXPECT_FALSE(window().isEnabled(S::kResultBox));
        EXPECT_TRUE(window().isChecked(S::kBarcodeBox));
        EXPECT_TRUE(window().isChecked(S::kRfidBox));
        EXPECT_TRUE(window().isEnabled(S::kRfidButton));
        EXPECT_FALSE(window().isChecked(S::kKeyboardBox));  // only 1 is shown as checked
    });
}

TEST_F(ReaderPageTest, TerminalWithoutReadersDisablesTheirSwitchesAndButtons) {
    startReaders(nullptr, ReaderType::None);
    create({2, false});
    ui([&] {
        EXPECT_EQ(window().rect(), (ui::Rect{1, 26, 480, 616}));
        EXPECT_EQ(window().controlRect(S::kBarcodeButton), (ui::Rect{50, 10, 240, 36}));
        EXPECT_FALSE(window().isChecked(S::kBarcodeBox));
        EXPECT_FALSE(window().isEnabled(S::kBarcodeBox));
        EXPECT_FALSE(window().isEnabled(S::kBarcodeButton));
        EXPECT_FALSE(window().isEnabled(S::kRfidBox));
        EXPECT_FALSE(window().isEnabled(S::kRfidButton));
    });
}

TEST_F(ReaderPageTest, SwitchesFollowTheBoxesAndTickTheTrayItems) {
    setModel("DEVK230CE");  // a text RFID reader
    startReaders(&imager, ReaderType::Imager2D, &textReader);
    create();
    ui([&] {
        window().click(S::kBarcodeBox);
        EXPECT_FALSE(manager.barcodeAvailable());
        window().click(S::kRfidBox);
        EXPECT_FALSE(manager.rfidAvailable());
        EXPECT_FALSE(window().isEnabled(S::kRfidButton));
        window().click(S::kRfidBox);
        EXPECT_TRUE(manager.rfidAvailable());
        EXPECT_TRUE(window().isEnabled(S::kRfidButton));
        window().click(S::kKeyboardBox);
        EXPECT_EQ(options.keyboardEmu, 0);
        page->setBarcodeCheck(true);  // the tray menu switched it back on
        EXPECT_TRUE(window().isChecked(S::kBarcodeBox));
    });
    EXPECT_EQ(shell.ticks, (std::vector<std::pair<int, bool>>{
                               {kTray2D, false}, {kTrayRfid, false}, {kTrayRfid, true}}));
    EXPECT_TRUE(store.isEmpty());
}

TEST_F(ReaderPageTest, ButtonsOpenTheirPages) {
    create();
    std::vector<std::u16string> captions;
    for (int i = 0; i < 5; ++i)
        toolkit.answerModal([&](HeadlessWindow& w) { captions.push_back(w.caption()); });
    ui([&] {
        for (int id : {S::kBarcodeButton, S::kNotificationsButton, S::kDataOutputButton,
                       S::kRfidButton, S::kEmptyPageCommand})
            page->onCommand(id, ui::Notify::Clicked);
    });
    EXPECT_EQ(captions, (std::vector<std::u16string>{u"Barcode Reader Settings", u"Notifications",
                                                     u"Data output", u"RFID Reader Settings",
                                                     u"Options"}));
}

TEST_F(ReaderPageTest, RestoreDefaultsResetsTheTextEngineAndTheOptions) {
    startReaders(&ccd, ReaderType::CcdLaser, &frameReader);
    sim::Bytes block = ccd.configBlock();
    block[0] = 0x00;  // every symbology off
    block[20] = 0x30;
    ccd.setConfigBlock(block);
    options.updateIniWhenExit = 0;
    options.rfidReadLength = 10;
    options.keyboardEmu = 0;
    options.homeUrl = u"http://kept";
    options.prefixStr = u"<";
    manager.setTimeOfPowerOn(300);
    create();
    ui([&] { window().click(S::kRestoreButton); });
    EXPECT_EQ(ccd.configBlock(), sim::ccd::defaultBlock());
    EXPECT_EQ(manager.port(1).configBlock, sim::ccd::defaultBlock());
    EXPECT_EQ(symbologies.refreshes, 1);
    EXPECT_EQ(options.updateIniWhenExit, 1);
    EXPECT_EQ(options.rfidReadLength, 0);
    EXPECT_EQ(options.mifareLoginKeyA, u"AAA1B2C3D4E5F6");
    EXPECT_EQ(options.keyboardEmu, 1);
    EXPECT_EQ(options.delimiter, 44);
    EXPECT_EQ(options.homeUrl, u"http://kept");
    EXPECT_EQ(options.prefixStr, u"<");
    EXPECT_EQ(manager.timeOfPowerOn(), 20u);
    EXPECT_EQ(rfid.idleSeconds(), 20u);
    EXPECT_GE(toolkit.waitCursorShows(), 1);
    EXPECT_FALSE(toolkit.waitCursor());
    ui([&] { EXPECT_TRUE(window().isChecked(S::kKeyboardBox)); });
}

TEST_F(ReaderPageTest, RestoreDefaultsBringsAPacketEngineBackToWork) {
    startReaders(&imager, ReaderType::Imager2D);
    ASSERT_EQ(imager.parameter(packet::param(0x12)), 4);  // a start-up value
    create();
    ui([&] { window().click(S::kRestoreButton); });
    const auto factory = packet::factoryParameters(sim::PacketKind::Imager2D);
    ASSERT_EQ(factory.count(packet::param(0x12)), 1u);
    EXPECT_EQ(imager.parameter(packet::param(0x12)), factory.at(packet::param(0x12)));
    EXPECT_EQ(imager.baud(), 115200u);  // found again at its power-up speed and moved up
    imager.queueDecode({1, {'4', '2'}});
    reader::ScanResult result;
    ASSERT_TRUE(manager.readBarcode(3000, result));
    EXPECT_EQ(result.codeTypeName, "Code 39");
}

TEST_F(ReaderPageTest, ResultBoxShowsWhatTheMainWindowWrites) {
    create();
    ui([&] {
        page->setResult(u"type : Code 39\r\ncode : 42");
        EXPECT_EQ(window().text(S::kResultBox), u"type : Code 39\r\ncode : 42");
    });
}

}  // namespace
}  // namespace tessel::settings::test
