// window.external calls as a page may make them: any method name, any number and kinds of
// arguments. The device object must answer every call without touching memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "browser/bridge/device_script_object.h"
#include "browser/bridge/dispatch_external.h"

using namespace tessel;

namespace {

class QuietHost final : public bridge::DeviceHost {
public:
    reader::ReaderType readerType(int port) const override {
        return port == 1 ? reader::ReaderType::CcdLaser : reader::ReaderType::RfidText;
    }
    void setBarcodeEnabled(bool) override {}
    void setRfidEnabled(bool) override {}
    void setCheckBox(int, bool) override {}
    void enableControl(int, bool) override {}
    void tickTrayMenuItem(int, bool) override {}
    void vibrate(std::uint32_t units) override {
        if (units > 0x7FFFFFFF) std::abort();  // a negative count slipped through
    }
    void stopSound() override {}
    void playSoundFile(std::u16string_view, std::uint32_t) override {}
    void playSound(int) override {}
    bridge::SystemInformation systemInformation() override { return {}; }
    std::optional<std::string> oemDeviceInfo() override { return std::string("SN\0x", 4); }
    std::int32_t signalLevel() const override { return signal_; }
    void setSignalLevel(std::int32_t level) override { signal_ = level; }
    std::int32_t batteryLevel() const override { return 50; }

private:
    std::int32_t signal_ = 255;
};

const char16_t* const kNames[] = {
    u"getVendor",         u"getSerialNumber",      u"getManufactureDate",   u"getOsVersion",
    u"getScannerTypeOnCom1", u"getScannerTypeOnCom2", u"enableBarcodeScanner", u"enableRFIDScanner",
    u"startVibration",    u"playSound",            u"getSignalStrength",    u"getBatteryStatus"};

// One script value from the input: the first byte picks the kind.
platform::ScriptValue nextValue(const std::uint8_t*& p, const std::uint8_t* end) {
    const std::uint8_t kind = *p++;
    const std::int32_t number = p < end ? static_cast<std::int8_t>(*p++) : 0;
    switch (kind % 5) {
        case 0: return std::monostate{};
        case 1: return number != 0;
        case 2: return number;
        case 3: return number / 3.0;
        default: return std::u16string(static_cast<std::size_t>(number & 0x0F), u'\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    QuietHost host;
    bridge::DeviceScriptObject device(host);
    bridge::DispatchExternal external(device);

    const std::uint8_t* p = data + 1;
    const std::uint8_t* end = data + size;
    std::u16string name = kNames[data[0] % 12];
    if (data[0] >= 0xF0) name[0] = static_cast<char16_t>(data[0] << 8);  // a name that fails
    std::vector<platform::ScriptValue> args;
    while (p < end && args.size() < 8) args.push_back(nextValue(p, end));
    external.call(name, args);
    return 0;
}
