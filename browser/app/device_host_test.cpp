// The page's window.external through the real host, on a headless main window: every method,
// what it changes in the shell, and the calls it refuses.

#include "browser/app/device_host.h"

#include <gtest/gtest.h>

#include "browser/app/app_test_support.h"
#include "browser/bridge/dispatch_external.h"

namespace tessel::app::test {
namespace {

using platform::ExternalReply;
using platform::ScriptValue;
using Status = ExternalReply::Status;

extern "C" int32_t sysInfo(void* record) {
    std::span<std::uint8_t, TESSEL_SYSINFO_RECORD_SIZE> r(static_cast<std::uint8_t*>(record),
                                                          TESSEL_SYSINFO_RECORD_SIZE);
    reader::abi::writeText(r, TESSEL_SYSINFO_SERIAL_OFFSET, "SN-0042");
    reader::abi::writeText(r, TESSEL_SYSINFO_DATE_OFFSET, "2026-12-01");
    reader::abi::writeText(r, TESSEL_SYSINFO_OS_OFFSET, "CE 5.0");
    return 0;
}
extern "C" int32_t failingSysInfo(void*) { return 1; }

// A terminal library of the K240 with or without GetSysInfo, or one whose GetSysInfo fails.
std::optional<reader::StatusBinding> bindLibrary(void* getSysInfo) {
    platform::TableLibraryLoader loader;
    platform::TableLibraryLoader::Table table;
    if (getSysInfo) table["GetSysInfo"] = getSysInfo;
    loader.add("K240CE_SYS.DLL", table);
    return reader::StatusBinding::bind(loader);
}

class DeviceHostTest : public ShellTest {
  protected:
    DeviceHostTest() { start(); }

    ExternalReply call(std::u16string_view method, std::vector<ScriptValue> args = {}) {
        ExternalReply reply;
        ui([&] { reply = external_.call(method, args); });
        return reply;
    }
    void signalMessage(std::uintptr_t level) {
        ui([&] { main_->onMessage(main_->messages()[Msg::WifiStrength], level, 0); });
    }
    bool ticked(int item) { return trayMenu().item(item).ticked; }
    std::vector<std::string> hookEvents() {
        std::vector<std::string> out;
        for (const auto& e : log_.events())
            if (e.find("check") != std::string::npos) out.push_back(e);
        return out;
    }

    platform::VirtualClock notifyClock_;
    platform::RecordingSoundPlayer sounds_;
    reader::NotificationBinding binding_;
    reader::Notifier notifier_{binding_, sounds_, notifyClock_, reader::ModelIndex::K220};
    std::optional<reader::StatusBinding> status_ = bindLibrary(reinterpret_cast<void*>(&sysInfo));
    std::optional<std::string> deviceInfo_;
    DeviceHost host_{{readers_, hooks_, [this] { return main_.get(); }, notifier_, sounds_,
                      [this] { return status_ ? &*status_ : nullptr; },
                      [this] { return deviceInfo_; }}};
    bridge::DeviceScriptObject device_{host_};
    bridge::DispatchExternal external_{device_};
};

TEST_F(DeviceHostTest, IdentityFromTheTerminalLibrary) {
    EXPECT_EQ(call(u"getVendor").value, ScriptValue(u"MORVALENT"));
    EXPECT_EQ(call(u"getSerialNumber").value, ScriptValue(u"SN-0042"));
    EXPECT_EQ(call(u"getManufactureDate").value, ScriptValue(u"2026-12-01"));
    EXPECT_EQ(call(u"getOsVersion").value, ScriptValue(u"CE 5.0"));

    // GetSysInfo failing: each of the three raises a script error.
    status_ = bindLibrary(reinterpret_cast<void*>(&failingSysInfo));
    EXPECT_EQ(call(u"getSerialNumber").status, Status::Error);
    EXPECT_EQ(call(u"getOsVersion").status, Status::Error);

    // No GetSysInfo: empty date and version, the serial number from the device information.
    status_ = bindLibrary(nullptr);
    EXPECT_EQ(call(u"getManufactureDate").value, ScriptValue(u""));
    EXPECT_EQ(call(u"getSerialNumber").status, Status::Error);
    deviceInfo_ = std::string("HOST-7\0junk", 11);
    EXPECT_EQ(call(u"getSerialNumber").value, ScriptValue(u"HOST-7"));
    EXPECT_EQ(call(u"GetVendor").status, Status::UnknownMethod);
}

TEST_F(DeviceHostTest, ReaderKindsAndBarcodeSwitchTickTheMenuAndThePage) {
    readers_.barcode = ReaderType::CcdLaser;
    readers_.rfid = ReaderType::None;
    EXPECT_EQ(call(u"getScannerTypeOnCom1").value, ScriptValue(2));
    EXPECT_EQ(call(u"getScannerTypeOnCom2").value, ScriptValue(0));

    EXPECT_EQ(call(u"enableBarcodeScanner", {0}).status, Status::Ok);
    EXPECT_FALSE(readers_.barcodeOn);
    EXPECT_FALSE(ticked(kCmdCcdLaser));
    EXPECT_EQ(call(u"enableBarcodeScanner", {1}).status, Status::Ok);
    EXPECT_TRUE(readers_.barcodeOn);
    EXPECT_TRUE(ticked(kCmdCcdLaser));
    EXPECT_EQ(call(u"enableBarcodeScanner", {2}).status, Status::Ok);  // anything but 1 is off
    EXPECT_FALSE(readers_.barcodeOn);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"barcode check off", "barcode check on",
                                                      "barcode check off"}));
    EXPECT_EQ(call(u"enableBarcodeScanner", {u"1"}).status, Status::Error);
    EXPECT_EQ(call(u"enableBarcodeScanner").status, Status::Error);
    EXPECT_FALSE(readers_.barcodeOn);
}

TEST_F(DeviceHostTest, RfidSwitchWithoutReaderOnlySetsTheFlag) {
    readers_.rfid = ReaderType::None;
    readers_.rfidOn = false;
    EXPECT_EQ(call(u"enableRFIDScanner", {1}).status, Status::Ok);
    EXPECT_TRUE(readers_.rfidOn);
    EXPECT_FALSE(ticked(kCmdRfid));
    EXPECT_TRUE(hookEvents().empty());

    readers_.rfid = ReaderType::RfidText;
    EXPECT_EQ(call(u"enableRFIDScanner", {1}).status, Status::Ok);
    EXPECT_TRUE(ticked(kCmdRfid));
    EXPECT_EQ(call(u"enableRFIDScanner", {0}).status, Status::Ok);
    EXPECT_FALSE(ticked(kCmdRfid));
    EXPECT_FALSE(readers_.rfidOn);
    EXPECT_EQ(hookEvents(), (std::vector<std::string>{"rfid check on", "rfid check off"}));
    EXPECT_EQ(call(u"enableRFIDScanner", {true}).status, Status::Error);
}

TEST_F(DeviceHostTest, VibrationWaitsOnTheNotifierAndNegativeCountsRunNothing) {
    EXPECT_EQ(call(u"startVibration", {3}).status, Status::Ok);
    EXPECT_EQ(call(u"startVibration", {0}).status, Status::Ok);
    EXPECT_EQ(call(u"startVibration", {-2}).status, Status::Ok);
    EXPECT_EQ(notifyClock_.waits(), (std::vector<platform::Micros>{platform::Millis(1500)}));
    EXPECT_EQ(call(u"startVibration", {1.5}).status, Status::Error);
}

TEST_F(DeviceHostTest, SoundsStopTheLastThenPlayAFileOrABuiltInSound) {
    using Request = platform::RecordingSoundPlayer::Request;
    EXPECT_EQ(call(u"playSound", {-1, u"\\Windows\\Alarm2.wav"}).status, Status::Ok);
    EXPECT_EQ(call(u"playSound", {5, 0}).status, Status::Ok);
    EXPECT_EQ(call(u"playSound", {12, u""}).status, Status::Ok);  // silent, but stops
    EXPECT_EQ(sounds_.requests(),
              (std::vector<Request>{{"", 0},
                                    {"\\Windows\\Alarm2.wav", bridge::kPageSoundFlags},
                                    {"", 0},
                                    {"\\Windows\\Notify", reader::kSoundFlags},
                                    {"", 0}}));
    EXPECT_EQ(call(u"playSound", {-1, 5}).status, Status::Error);
    EXPECT_EQ(call(u"playSound", {3}).status, Status::Error);
    EXPECT_EQ(call(u"playSound", {u"3", u"x"}).status, Status::Error);
    EXPECT_EQ(sounds_.requests().size(), 5u);
}

TEST_F(DeviceHostTest, SignalAndBatteryFromTheMainWindow) {
    EXPECT_EQ(call(u"getSignalStrength").value, ScriptValue(0));
    EXPECT_EQ(call(u"getBatteryStatus").value, ScriptValue(0));
    signalMessage(3);
    EXPECT_EQ(call(u"getSignalStrength").value, ScriptValue(3));
    signalMessage(255);
    EXPECT_EQ(call(u"getSignalStrength").value, ScriptValue(100));
    std::uintptr_t kept = 0;
    ui([&] { kept = main_->lastSignal(); });
    EXPECT_EQ(kept, 100u);
    ui([&] { main_->onMessage(main_->messages()[Msg::BatteryState], 0, 80); });
    EXPECT_EQ(call(u"getBatteryStatus").value, ScriptValue(80));
}

}  // namespace
}  // namespace tessel::app::test
