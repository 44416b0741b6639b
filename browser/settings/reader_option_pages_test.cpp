// The browser and reader option pages in COptionDialog, on the headless toolkit, against
// simulated engines and RFID readers: what each page shows, what OK sends to the engine and
// writes into the store, and what Cancel leaves alone.

#include "browser/settings/reader_option_pages.h"

#include <climits>

#include "browser/settings/dialog_test_support.h"
#include "browser/settings/option_dialog.h"

namespace tessel::settings::test {
namespace {

namespace ui = platform::ui;
namespace packet = sim::packet;

class PagesTest : public DialogTest {
protected:
    // Opens a page with the user's actions; true when the dialog closed with OK.
    bool open(int page, std::function<void(HeadlessWindow&)> user) {
        return openOn(pages, {}, page, std::move(user));
    }
    bool openOn(ReaderOptionPages& on, DialogScreen screen, int page,
                std::function<void(HeadlessWindow&)> user) {
        toolkit.answerModal(std::move(user));
        bool ok = false;
        ui([&] {
            COptionDialog dialog(toolkit, on, COptionDialog::kReaderPages, screen);
            dialog.setPage(page);
            ok = dialog.doModal();
        });
        return ok;
    }
    ReaderPagesParts partsOn(DialogScreen screen) {
        return {toolkit, options, store, manager, symbologies, shell, reading, screen};
    }

    ReaderOptionPages pages{partsOn({})};
};

std::vector<std::u16string> firstAndLast(const std::vector<std::u16string>& entries) {
    return {entries.front(), entries.back()};
}

// ---- page 0

TEST_F(PagesTest, BrowserPageShowsAndAppliesTheOptions) {
    options.homeUrl = u"http://host/app";
    options.showBattery = 1;
    options.updateIniWhenExit = 0;
    ASSERT_TRUE(open(0, [](HeadlessWindow& w) {
        EXPECT_EQ(w.caption(), u"Browser Settings");
        EXPECT_FALSE(w.isChecked(kLockBox));
        EXPECT_EQ(w.text(kHomeEdit), u"http://host/app");
        EXPECT_TRUE(w.isChecked(kBatteryBox));
        EXPECT_FALSE(w.isChecked(kWifiBox));
        EXPECT_TRUE(w.isChecked(kImportBox));
        EXPECT_EQ(w.controlRect(kHomeEdit), (ui::Rect{75, 27, 160, 18}));
        w.type(kHomeEdit, u"http://other");
        w.type(kPasswordEdit, u"Secret");
        w.click(kWifiBox);
        w.click(kImportBox);
        w.click(kPicturesBox);
        w.pressOk();
    }));
    EXPECT_EQ(options.homeUrl, u"http://other");
    EXPECT_EQ(options.password, u"Secret");
    EXPECT_EQ(options.loadIniWhenStart, 0);
    EXPECT_EQ(options.disablePictures, 1);
    EXPECT_EQ(options.showWifiSignal, 0);  // the main window applies the icons
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].message, toolkit.registerMessage("WM_BROWSER_SHOWICON"));
    EXPECT_EQ(shell.messages[0].wParam, 1u);
    EXPECT_EQ(shell.messages[0].lParam, 1);
    EXPECT_EQ(shell.unlocks, 1);
    EXPECT_TRUE(store.isEmpty());
}

TEST_F(PagesTest, LockWithExportOffIsOnlyRequestedAndWritesNothing) {
    ASSERT_TRUE(open(0, [](HeadlessWindow& w) {
        w.click(kLockBox);
        EXPECT_TRUE(w.isChecked(kImportBox));
        EXPECT_TRUE(w.isChecked(kExportBox));  // checking the lock checks both
        w.click(kExportBox);
        w.pressOk();
    }));
    EXPECT_EQ(options.lockScreen, 0);
    EXPECT_TRUE(pages.lockRequested());
    EXPECT_TRUE(store.isEmpty());
    EXPECT_EQ(shell.unlocks, 0);
    open(0, [](HeadlessWindow& w) { EXPECT_TRUE(w.isChecked(kLockBox)); });  // until the next start
}

TEST_F(PagesTest, LockWritesItsStateByThePagesExportBox) {
    open(0, [](HeadlessWindow& w) {
        w.click(kLockBox);
        w.pressOk();
    });
    EXPECT_EQ(stored("General", "lockScreen"), 1);
    EXPECT_EQ(options.lockScreen, 0);  // from the next start
    EXPECT_EQ(options.updateIniWhenExit, 1);
    EXPECT_EQ(store.text(), "\r\n[General]\r\nlockscreen=1\r\n");

    options.lockScreen = 1;
    open(0, [](HeadlessWindow& w) {
        EXPECT_TRUE(w.isChecked(kLockBox));
        w.click(kLockBox);
        w.pressOk();
    });
    EXPECT_EQ(options.lockScreen, 0);
    EXPECT_EQ(stored("General", "lockScreen"), 0);
    EXPECT_EQ(shell.unlocks, 1);
}

TEST_F(PagesTest, Kp30BrowserPageHasNoIconBoxesAndATitleLine) {
    ReaderOptionPages kp30(partsOn({1, true}));
    openOn(kp30, {1, true}, 0, [](HeadlessWindow& w) {
        EXPECT_FALSE(w.hasControl(kWifiBox));
        EXPECT_EQ(w.text(kTitleLine), u"Browser Settings");
        EXPECT_EQ(w.controlRect(kHomeEdit), (ui::Rect{75, 47, 160, 18}));
        w.pressOk();
    });
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(PagesTest, WideScreensDoubleThePlaces) {
    ReaderOptionPages wide(partsOn({2, false}));
    openOn(wide, {2, false}, 3, [](HeadlessWindow& w) {
        EXPECT_EQ(w.controlRect(kPrefixEdit), (ui::Rect{210, 106, 260, 36}));
    });
}

// ---- page 1

TEST_F(PagesTest, CcdPageLoadsTheEngineAndWritesItThrough) {
    startReaders(&ccd, ReaderType::CcdLaser);
    options.updateIniWhenExit = 1;
    ASSERT_TRUE(open(1, [](HeadlessWindow& w) {
        EXPECT_EQ(w.caption(), u"Barcode Reader Settings");
        EXPECT_EQ(firstAndLast(w.comboEntries(kTimeoutChoice)),
                  (std::vector<std::u16string>{u"1 sec", u"9 sec"}));
        EXPECT_EQ(w.comboEntries(kTimeoutChoice)[2], u"*3 sec");
        EXPECT_EQ(w.comboSelection(kTimeoutChoice), 2u);   // 3 s
        EXPECT_EQ(w.comboSelection(kScanModeChoice), 3u);  // "*Laser"
        EXPECT_EQ(w.comboSelection(kRedundancyChoice), 0u);
        EXPECT_TRUE(w.isEnabled(kTimeoutChoice));
        w.select(kTimeoutChoice, 4);
        w.select(kRedundancyChoice, 2);
        w.select(kScanModeChoice, 2);  // "Alternate"
        w.pressOk();
    }));
    EXPECT_EQ(ccd.scanMode(), 3);
    EXPECT_EQ(ccd.configBlock()[21], 5);
    EXPECT_EQ((ccd.configBlock()[11] >> 2) & 3, 2);
    EXPECT_EQ(reading.decodeWait, 5);
    EXPECT_EQ(reading.idleWaits, std::vector<std::uint32_t>{10});
    EXPECT_EQ(symbologies.rowsEnabled, true);
    EXPECT_EQ(store.text(),
              "\r\n[Barcode Reader CCD/Laser]\r\nhasccd=1\r\nenablebarcode=1\r\nredundancy=2\r\n"
              "laserontime=5\r\nscanmode=3\r\n");
}

TEST_F(PagesTest, CcdInTestModeOpensWithTimeoutAndRedundancyDisabled) {
    startReaders(&ccd, ReaderType::CcdLaser);
    reader::KeyValues test{{"scanMode", 7}};
    ASSERT_TRUE(manager.symbology().configure("Barcode Reader CCD/Laser", 'w', test));
    open(1, [](HeadlessWindow& w) {
        EXPECT_EQ(w.comboSelection(kScanModeChoice), 4u);
        EXPECT_FALSE(w.isEnabled(kTimeoutChoice));
        EXPECT_FALSE(w.isEnabled(kRedundancyChoice));
        w.pressOk();
    });
    EXPECT_EQ(reading.releases, 1);  // reads on without the trigger
    EXPECT_EQ(symbologies.rowsEnabled, false);
    EXPECT_TRUE(store.isEmpty());  // not exporting
}

TEST_F(PagesTest, ImagerTimeoutGoesToTheEngineInTenthsAndToTheStoreInSeconds) {
    startReaders(&imager, ReaderType::Imager2D);
    imager.setParameter(packet::param(0x4E), 3);  // redundancy
    options.updateIniWhenExit = 1;
    ASSERT_TRUE(open(1, [](HeadlessWindow& w) {
        EXPECT_EQ(w.comboSelection(kTimeoutChoice), 2u);  // the engine's 30
        EXPECT_EQ(w.comboSelection(kRedundancyChoice), 2u);
        EXPECT_TRUE(w.hasControl(kFocusChoice));
        w.select(kTimeoutChoice, 4);  // "5 sec"
        w.click(kIlluminationBox);
        w.select(kFocusChoice, 2);
        w.select(kSecurityChoice, 3);
        w.pressOk();
    }));
    EXPECT_EQ(imager.parameter(packet::param(0x88)), 50);
    EXPECT_EQ(imager.parameter(packet::param(0xF0, 0xA6)), 2);  // focus
    EXPECT_EQ(imager.parameter(packet::param(0xF0, 0x29)), 1);  // automatic exposure
    EXPECT_EQ(imager.parameter(packet::param(0x4D)), 3);
    EXPECT_EQ(reading.decodeWait, 5);
    EXPECT_EQ(stored("Barcode Reader 2D", "laserOnTime"), 5);
    EXPECT_EQ(stored("Barcode Reader 2D", "has2D"), 1);
    EXPECT_EQ(stored("Barcode Reader 2D", "has2D_4507"), std::nullopt);
    EXPECT_EQ(stored("Barcode Reader 2D", "imgFocus"), 2);
    EXPECT_EQ(stored("Symbology security level, 2D", "redundancy"), 3);
    EXPECT_EQ(stored("Symbology security level, 2D", "securityLevel"), 3);
    EXPECT_EQ(stored("Symbology security level, 2D", "interCharGapSize"), std::nullopt);
}

TEST_F(PagesTest, CancelSendsNothingAndKeepsEverything) {
    startReaders(&imager, ReaderType::Imager2D);
    options.updateIniWhenExit = 1;
    const BrowserOptions before = options;
    imager.clearCommands();
    EXPECT_FALSE(open(1, [](HeadlessWindow& w) {
        w.select(kTimeoutChoice, 8);
        w.click(kAimingBox);
        w.pressClose();
    }));
    for (const auto& command : imager.commands()) EXPECT_NE(command[1], packet::kParamSend);
    EXPECT_EQ(imager.parameter(packet::param(0x88)), 30);
    EXPECT_TRUE(store.isEmpty());
    EXPECT_EQ(reading.decodeWait, -1);
    EXPECT_EQ(options.updateIniWhenExit, before.updateIniWhenExit);
}

TEST_F(PagesTest, LongRangePageWritesEveryValueAndKeepsTheTimeoutInTheFile) {
    startReaders(&longRange, ReaderType::LongRange1D);
    longRange.setParameter(packet::param(0x89), 150);  // beyond the list: the last entry
    options.updateIniWhenExit = 1;
    open(1, [](HeadlessWindow& w) {
        EXPECT_EQ(w.comboSelection(kSymbolTimeoutChoice), 99u);
        EXPECT_EQ(w.comboEntries(kSymbolTimeoutChoice).size(), 100u);
        EXPECT_EQ(w.comboEntries(kSymbolTimeoutChoice)[10], u"*1.0 sec");
        EXPECT_EQ(w.comboEntries(kAngleChoice), (std::vector<std::u16string>{u"wide", u"*narrow"}));
        EXPECT_EQ(w.comboSelection(kTimeoutChoice), 2u);
        EXPECT_EQ(w.comboSelection(kRedundancyChoice), 1u);  // start-up level 2
        w.select(kTimeoutChoice, 6);
        w.select(kAngleChoice, 0);
        w.select(kScanModeChoice, 0);  // continuous
        w.select(kSymbolTimeoutChoice, 25);
        w.select(kAimChoice, 3);
        w.pressOk();
    });
    EXPECT_EQ(longRange.parameter(packet::param(0x88)), 70);
    EXPECT_EQ(longRange.parameter(packet::param(0xBF)), 181);
    EXPECT_EQ(longRange.parameter(packet::param(0x89)), 25);
    EXPECT_EQ(longRange.parameter(packet::kScanModeParam), 4);
    EXPECT_EQ(manager.port(1).aimDurtion, 30);
    EXPECT_EQ(reading.releases, 1);
    EXPECT_EQ(store.text(),
              "\r\n[Barcode Reader 1D_LR]\r\nhas1dlr=1\r\nenablebarcode=1\r\nlaserontime=70\r\n"
              "scanangle=181\r\ntimeoutbetweensamesymbol=25\r\nlinearcodetypesecuritylevels=2\r\n"
              "aimdurtion=30\r\nscanmode=4\r\n");
}

TEST_F(PagesTest, WithoutAnEngineThePageIsEmptyAndOkSwitchesReadingOff) {
    manager.setBarcodeAvailable(true);
    open(1, [](HeadlessWindow& w) {
        EXPECT_FALSE(w.hasControl(kTimeoutChoice));
        w.pressOk();
    });
    EXPECT_FALSE(manager.barcodeAvailable());
}

// ---- pages 2 and 3

TEST_F(PagesTest, NotificationsClampTheTypedDurationAndApplyPositions) {
    startReaders(nullptr, ReaderType::None);  // finds the model: a K220 with LED and buzzer
    options.updateIniWhenExit = 1;
    options.vibrationTime = 40;  // beyond the lists: their last entries
    options.buzzerFreq = 11;
    open(2, [](HeadlessWindow& w) {
        EXPECT_EQ(w.comboSelection(kVibrationChoice), 10u);
        EXPECT_EQ(w.comboSelection(kFrequencyChoice), 9u);
        EXPECT_EQ(w.comboEntries(kSoundChoice).front(), u"mute");
        ASSERT_EQ(w.comboEntries(kFrequencyChoice).size(), 10u);
        EXPECT_EQ(w.comboEntries(kFrequencyChoice).front(), u"*500Hz");
        EXPECT_EQ(w.comboEntries(kFrequencyChoice).back(), u"5000Hz");
        w.type(kDurationEdit, u"300");
        EXPECT_EQ(w.text(kDurationEdit), u"255");
        w.select(kFrequencyChoice, 9);
        w.select(kSoundChoice, 0);
        w.click(kLedBox);
        w.pressOk();
    });
    EXPECT_EQ(options.buzzerDuration, 255);
    EXPECT_EQ(options.buzzerFreq, 10);
    EXPECT_EQ(options.goodReadBeepFileIdx, 0);
    EXPECT_EQ(options.vibrationTime, 10);
    EXPECT_EQ(options.enableLed, 1);
    EXPECT_TRUE(store.isEmpty());
}

TEST_F(PagesTest, BuzzerControlsOnlyOnTheirModels) {
    setModel("DEVK230CE");
    startReaders(nullptr, ReaderType::None);
    open(2, [](HeadlessWindow& w) {
        EXPECT_FALSE(w.hasControl(kLedBox));
        EXPECT_FALSE(w.hasControl(kDurationEdit));
        EXPECT_TRUE(w.hasControl(kVibrationChoice));
        w.pressOk();
    });
    EXPECT_EQ(options.buzzerFreq, 1);
}

TEST_F(PagesTest, DataOutputStoresTheDelimiterCodeAndNeedsAnRfidReaderForItsBoxes) {
    open(3, [](HeadlessWindow& w) {
        const auto entries = w.comboEntries(kDelimiterChoice);
        ASSERT_EQ(entries.size(), 127u);
        EXPECT_EQ(entries[1], u"0x01");
        EXPECT_EQ(entries[32], u"' '");
        EXPECT_EQ(entries[126], u"'~'");
        EXPECT_EQ(w.comboSelection(kDelimiterChoice), 44u);
        EXPECT_FALSE(w.isEnabled(kUidBox));
        EXPECT_FALSE(w.isEnabled(kUserDataBox));
        w.select(kDelimiterChoice, 126);
        w.select(kAutoEnterChoice, 2);
        w.type(kPrefixEdit, u"<");
        w.click(kCodeTypeBox);
        w.pressOk();
    });
    EXPECT_EQ(options.delimiter, 126);
    EXPECT_EQ(options.autoEnter, 2);
    EXPECT_EQ(options.prefixStr, u"<");
    EXPECT_EQ(options.displayCodeType, 1);
    EXPECT_EQ(options.displayUid, 1);

    setModel("DEVK210CE");
    startReaders(nullptr, ReaderType::None);
    open(3, [](HeadlessWindow& w) { EXPECT_FALSE(w.hasControl(kUidBox)); });
}

// ---- page 4

TEST_F(PagesTest, RfidPageAppliesTypedNumbersAndWritesTheSection) {
    setModel("DEVK230CE");
    startReaders(nullptr, ReaderType::None, &textReader);
    ASSERT_EQ(manager.scannerType(2), ReaderType::RfidText);
    options.updateIniWhenExit = 1;
    ASSERT_TRUE(open(4, [](HeadlessWindow& w) {
        EXPECT_TRUE(w.isChecked(kReadBlocksBox));
        EXPECT_TRUE(w.isShown(kStartEdit));
        EXPECT_FALSE(w.isShown(kContentEdit));
        EXPECT_FALSE(w.hasControl(kIdleChoice));  // frame readers only
        EXPECT_EQ(w.text(kStartEdit), u"-1");
        EXPECT_EQ(w.text(kLengthEdit), u"10");
        EXPECT_EQ(w.text(kKeyEdit), u"A1B2C3D4E5F6");
        w.type(kStartEdit, u"");
        w.type(kLengthEdit, u"16");
        w.select(kKeyChoice, 1);
        w.type(kKeyEdit, u"FFFFFFFFFFFF00");
        w.click(kHexBox);
        w.pressOk();
    }));
    EXPECT_EQ(options.rfidReadStartByte, -1);
    EXPECT_EQ(options.rfidReadLength, 16);
    EXPECT_EQ(options.m_rfidSecurityKeyType, 1);
    EXPECT_EQ(options.mifareLoginKeyA, u"FFFFFFFFFFFF");
    EXPECT_EQ(options.displayUserDataByHex, 1);
    EXPECT_EQ(store.text(),
              "\r\n[RFID]\r\nhasrfid=1\r\nenablerfid=1\r\nrfidrw=0\r\nrfidreadstartbyte=-1\r\n"
              "rfidreadlength=16\r\ndisplayuserdatabyhex=1\r\nrfidwritestartbyte=-1\r\n"
              "rfidwritecontent=\r\nishexcontent=0\r\nmifareloginkeya=FFFFFFFFFFFF\r\n"
              "m_rfidsecuritykeytype=1\r\ntimeofpoweron=20\r\n");
}

TEST_F(PagesTest, RfidWriteModeShowsTheWriteGroupUntilReadBlocksIsClicked) {
    startReaders(nullptr, ReaderType::None, &frameReader);
    ASSERT_EQ(manager.scannerType(2), ReaderType::RfidFrame);
    options.rfidRW = 1;
    options.rfidWriteStartByte = 4;
    manager.setTimeOfPowerOn(600);
    open(4, [](HeadlessWindow& w) {
        EXPECT_FALSE(w.isChecked(kReadBlocksBox));
        EXPECT_TRUE(w.isShown(kWriteStartEdit));
        EXPECT_EQ(w.text(kWriteStartEdit), u"4");
        EXPECT_FALSE(w.isShown(kStartEdit));
        EXPECT_EQ(w.comboSelection(kIdleChoice), 59u);
        w.type(kContentEdit, u"hello");
        w.pressOk();
    });
    EXPECT_EQ(options.rfidRW, 1);  // unchanged while "Read blocks" is clear
    EXPECT_EQ(options.rfidWriteContent, u"hello");
    EXPECT_EQ(manager.timeOfPowerOn(), 600u);
    EXPECT_TRUE(store.isEmpty());

    open(4, [](HeadlessWindow& w) {
        w.click(kReadBlocksBox);
        EXPECT_TRUE(w.isShown(kStartEdit));
        EXPECT_TRUE(w.isEnabled(kStartEdit));
        EXPECT_FALSE(w.isShown(kWriteStartEdit));
        w.select(kIdleChoice, 2);
        w.pressOk();
    });
    EXPECT_EQ(manager.timeOfPowerOn(), 30u);
    EXPECT_EQ(rfid.idleSeconds(), 30u);
    EXPECT_EQ(options.rfidRW, 0);
}

TEST_F(PagesTest, RfidPageWithoutAReaderSwitchesRfidOff) {
    manager.setRfidAvailable(true);
    options.rfidReadLength = 7;
    open(4, [](HeadlessWindow& w) {
        w.type(kLengthEdit, u"99");
        w.pressOk();
    });
    EXPECT_FALSE(manager.rfidAvailable());
    EXPECT_EQ(shell.ticks, (std::vector<std::pair<int, bool>>{{kTrayRfid, false}}));
    EXPECT_EQ(options.rfidReadLength, 7);
}

TEST_F(PagesTest, PagesBeyondTheLastShowAnEmptyDialog) {
    EXPECT_TRUE(open(5, [](HeadlessWindow& w) {
        EXPECT_EQ(w.caption(), u"Options");
        EXPECT_FALSE(w.hasControl(kLockBox));
        w.pressOk();
    }));
}

TEST(TypedNumber, ReadsSignAndDigitsAndSaturates) {
    EXPECT_EQ(typedNumber(u"", -1), -1);
    EXPECT_EQ(typedNumber(u"-1", 0), -1);
    EXPECT_EQ(typedNumber(u"12a4", 0), 12);
    EXPECT_EQ(typedNumber(u"-", 5), 0);
    EXPECT_EQ(typedNumber(u"99999999999999999999", 0), INT_MAX);
    EXPECT_EQ(typedNumber(u"-99999999999999999999", 0), INT_MIN);
}

}  // namespace
}  // namespace tessel::settings::test
