#include "browser/bridge/device_script_object.h"

#include <gtest/gtest.h>

#include <vector>

#include "browser/bridge/dispatch_external.h"

namespace tessel::platform {
// Found by argument lookup from the assertions below.
bool operator==(const ExternalReply& a, const ExternalReply& b) {
    return a.status == b.status && a.value == b.value;
}
}  // namespace tessel::platform

namespace tessel::bridge {
namespace {

using platform::ExternalReply;
using platform::ScriptValue;
using reader::ReaderType;
using Status = ExternalReply::Status;

// The rest of the program as the device object sees it; every change is logged in order.
class FakeHost final : public DeviceHost {
public:
    ReaderType com1 = ReaderType::None;
    ReaderType com2 = ReaderType::None;
    SystemInformation info;
    std::optional<std::string> oem;
    std::int32_t signal = 0;
    std::int32_t battery = 0;
    std::vector<std::string> log;

    ReaderType readerType(int port) const override { return port == 1 ? com1 : com2; }
    void setBarcodeEnabled(bool on) override { note("barcode", on); }
    void setRfidEnabled(bool on) override { note("rfid", on); }
    void setCheckBox(int id, bool on) override { note("box " + std::to_string(id), on); }
    void enableControl(int id, bool on) override { note("enable " + std::to_string(id), on); }
    void tickTrayMenuItem(int id, bool on) override { note("menu " + std::to_string(id), on); }
    void vibrate(std::uint32_t units) override { log.push_back("vibrate " + std::to_string(units)); }
    void stopSound() override { log.push_back("stop sound"); }
    void playSoundFile(std::u16string_view path, std::uint32_t flags) override {
        log.push_back("file " + std::string(path.begin(), path.end()) + " " +
                      std::to_string(flags));
    }
    void playSound(int index) override { log.push_back("sound " + std::to_string(index)); }
    SystemInformation systemInformation() override { return info; }
    std::optional<std::string> oemDeviceInfo() override { return oem; }
    std::int32_t signalLevel() const override { return signal; }
    void setSignalLevel(std::int32_t level) override { signal = level; }
    std::int32_t batteryLevel() const override { return battery; }

private:
    void note(const std::string& what, bool on) { log.push_back(what + (on ? " on" : " off")); }
};

class DeviceObject : public ::testing::Test {
protected:
    ExternalReply call(std::u16string_view method, std::vector<ScriptValue> args = {}) {
        return external.call(method, args);
    }

    FakeHost host;
    DeviceScriptObject device{host};
    DispatchExternal external{device};
};

ExternalReply ok(ScriptValue v) { return {Status::Ok, std::move(v)}; }
const ExternalReply kError{Status::Error, {}};
const ExternalReply kDone{Status::Ok, {}};

TEST_F(DeviceObject, NameLookUp) {
    const std::vector<std::u16string> all = {
        u"getVendor", u"getSerialNumber", u"getManufactureDate", u"getOsVersion",
        u"getScannerTypeOnCom1", u"getScannerTypeOnCom2", u"enableBarcodeScanner",
        u"enableRFIDScanner", u"startVibration", u"playSound", u"getSignalStrength",
        u"getBatteryStatus"};
    for (std::size_t i = 0; i < all.size(); ++i) {
        DispId id = -7;
        EXPECT_EQ(device.getIDsOfNames({&all[i], 1}, {&id, 1}, 0), S_OK);
        EXPECT_EQ(id, static_cast<DispId>(i));
    }
    // Case matters, width does not.
    const std::vector<std::u16string> names = {u"GetVendor", u"\uff47etOsVersion", u"getVendor"};
    std::vector<DispId> ids(3, -7);
    EXPECT_EQ(device.getIDsOfNames({names.data(), 1}, {ids.data(), 1}, 0), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], -1);
    // The first match ends the search; later names are not looked at.
    EXPECT_EQ(device.getIDsOfNames(names, ids, 0), S_OK);
    EXPECT_EQ(ids, (std::vector<DispId>{-1, 3, -7}));
    EXPECT_EQ(device.getIDsOfNames({}, {}, 0), S_OK);
    EXPECT_EQ(call(u"GetVendor").status, Status::UnknownMethod);
}

TEST_F(DeviceObject, InvokeRules) {
    for (const DispId needsResult : {0, 1, 2, 3, 4, 5, 10, 11}) {
        EXPECT_EQ(device.invoke(needsResult, 0, {}, nullptr), DISP_E_EXCEPTION) << needsResult;
    }
    Variant result = Variant::bstr(u"kept");
    EXPECT_EQ(device.invoke(12, 0, {}, &result), S_OK);
    EXPECT_EQ(device.invoke(-1, 0, {}, &result), S_OK);
    const Variant one = Variant::i4(1);
    EXPECT_EQ(device.invoke(6, 0, {&one, 1}, &result), S_OK);
    EXPECT_EQ(result, Variant::bstr(u"kept"));  // switches leave the result alone
    EXPECT_EQ(device.invoke(8, 0, {&one, 1}, nullptr), S_OK);
}

TEST_F(DeviceObject, VendorReaderKindsSignalAndBattery) {
    host.com1 = ReaderType::Imager2D4507;
    host.com2 = ReaderType::RfidFrame;
    host.battery = 87;
    EXPECT_EQ(call(u"getVendor"), ok(std::u16string(u"MORVALENT")));
    EXPECT_EQ(call(u"getScannerTypeOnCom1"), ok(8));
    EXPECT_EQ(call(u"getScannerTypeOnCom2"), ok(6));
    EXPECT_EQ(call(u"getBatteryStatus"), ok(87));
    EXPECT_EQ(call(u"getSignalStrength"), ok(0));
    host.signal = 3;
    EXPECT_EQ(call(u"getSignalStrength"), ok(3));
    host.signal = 255;
    EXPECT_EQ(call(u"getSignalStrength"), ok(100));
    EXPECT_EQ(host.signal, 100);
    host.signal = -1;
    EXPECT_EQ(call(u"getSignalStrength"), ok(100));
}

TEST_F(DeviceObject, SystemInformation) {
    host.info = {SystemInformation::Status::Ok, "SN\xE9", "2012/03/03", "5.0"};
    EXPECT_EQ(call(u"getSerialNumber"), ok(std::u16string(u"SN\u00e9")));
    EXPECT_EQ(call(u"getManufactureDate"), ok(std::u16string(u"2012/03/03")));
    EXPECT_EQ(call(u"getOsVersion"), ok(std::u16string(u"5.0")));

    host.info.status = SystemInformation::Status::Failed;
    for (const auto* name : {u"getSerialNumber", u"getManufactureDate", u"getOsVersion"}) {
        EXPECT_EQ(call(name), kError);
    }

    // Without GetSysInfo: empty texts, and the serial number from the device information.
    host.info = {};
    EXPECT_EQ(call(u"getManufactureDate"), ok(std::u16string()));
    EXPECT_EQ(call(u"getOsVersion"), ok(std::u16string()));
    EXPECT_EQ(call(u"getSerialNumber"), kError);
    host.oem = std::string("K240-77\0junk", 12);
    EXPECT_EQ(call(u"getSerialNumber"), ok(std::u16string(u"K240-77")));
}

TEST_F(DeviceObject, BarcodeSwitchTicksTheFittedEnginesItem) {
    const std::pair<ReaderType, std::string> items[] = {
        {ReaderType::CcdLaser, "menu 404"},
        {ReaderType::LongRange1D, "menu 405"},
        {ReaderType::Imager2D, "menu 406"},
    };
    for (const auto& [kind, item] : items) {
        host.com1 = kind;
        host.log.clear();
        EXPECT_EQ(call(u"enableBarcodeScanner", {1}), kDone);
        EXPECT_EQ(host.log, (std::vector<std::string>{"box 15 on", "barcode on", item + " on"}));
        host.log.clear();
        EXPECT_EQ(call(u"enableBarcodeScanner", {2}), kDone);
        EXPECT_EQ(host.log,
                  (std::vector<std::string>{"box 15 off", "barcode off", item + " off"}));
    }
    host.com1 = ReaderType::LongRange1D955;
    host.log.clear();
    call(u"enableBarcodeScanner", {1});
    EXPECT_EQ(host.log, (std::vector<std::string>{"box 15 on", "barcode on"}));
}

TEST_F(DeviceObject, RfidSwitchTouchesTheUiOnlyWithAReader) {
    EXPECT_EQ(call(u"getScannerTypeOnCom2"), ok(0));
    EXPECT_EQ(call(u"enableRFIDScanner", {1}), kDone);
    EXPECT_EQ(host.log, (std::vector<std::string>{"rfid on"}));

    host.com2 = ReaderType::RfidModule;
    host.log.clear();
    call(u"enableRFIDScanner", {1});
    call(u"enableRFIDScanner", {0});
    EXPECT_EQ(host.log, (std::vector<std::string>{"rfid on", "menu 407 on", "box 18 on",
                                                  "enable 74 on", "rfid off", "menu 407 off",
                                                  "box 18 off", "enable 74 off"}));
}

TEST_F(DeviceObject, SwitchesAndVibrationWantOneInteger) {
    for (const auto* name : {u"enableBarcodeScanner", u"enableRFIDScanner", u"startVibration"}) {
        EXPECT_EQ(call(name, {std::u16string(u"1")}), kError);
        EXPECT_EQ(call(name, {1.5}), kError);
        EXPECT_EQ(call(name, {}), kError);
        EXPECT_EQ(call(name, {1, 1}), kError);
    }
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(call(u"startVibration", {3}), kDone);
    EXPECT_EQ(call(u"startVibration", {0}), kDone);
    EXPECT_EQ(call(u"startVibration", {-2}), kDone);  // no endless wait for a negative count
    EXPECT_EQ(host.log, (std::vector<std::string>{"vibrate 3"}));
}

TEST_F(DeviceObject, PlaySound) {
    EXPECT_EQ(call(u"playSound", {-1, std::u16string(u"\\Windows\\Alarm1.wav")}), kDone);
    EXPECT_EQ(call(u"playSound", {3, 5}), kDone);  // the path is not examined
    EXPECT_EQ(host.log, (std::vector<std::string>{"stop sound", "file \\Windows\\Alarm1.wav 139267",
                                                  "stop sound", "sound 3"}));
    host.log.clear();
    EXPECT_EQ(call(u"playSound", {-1, 5}), kError);
    EXPECT_EQ(call(u"playSound", {3}), kError);
    EXPECT_EQ(call(u"playSound", {std::u16string(u"3"), std::u16string(u"x")}), kError);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tessel::bridge
