#include "browser/bridge/device_script_object.h"

#include <algorithm>

#include "browser/settings/text8.h"

namespace tessel::bridge {
namespace {

constexpr std::int32_t kPlayFileIndex = -1;
constexpr std::int32_t kNoSignal = 100;

// Full-width forms of the ASCII characters compare equal to the characters themselves.
char16_t foldWidth(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFEE0);
    if (c == 0x3000) return u' ';
    return c;
}

bool sameIgnoringWidth(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return foldWidth(x) == foldWidth(y); });
}

// A single-byte text up to its first NUL, as UTF-16.
Variant textResult(const std::string& bytes) {
    return Variant::bstr(settings::fromEightBit(bytes.substr(0, bytes.find('\0'))));
}

// The one integer argument of a switch or count; nullopt when there is not exactly one I4.
std::optional<std::int32_t> singleInteger(std::span<const Variant> args) {
    if (args.size() != 1 || args[0].type() != VarType::I4) return std::nullopt;
    return args[0].integer();
}

}  // namespace

const DeviceScriptObject::Entry DeviceScriptObject::kMethods[12] = {
    {u"getVendor", &DeviceScriptObject::getVendor, true},
    {u"getSerialNumber", &DeviceScriptObject::getSerialNumber, true},
    {u"getManufactureDate", &DeviceScriptObject::getManufactureDate, true},
    {u"getOsVersion", &DeviceScriptObject::getOsVersion, true},
    {u"getScannerTypeOnCom1", &DeviceScriptObject::getScannerTypeOnCom1, true},
    {u"getScannerTypeOnCom2", &DeviceScriptObject::getScannerTypeOnCom2, true},
    {u"enableBarcodeScanner", &DeviceScriptObject::enableBarcodeScanner, false},
    {u"enableRFIDScanner", &DeviceScriptObject::enableRfidScanner, false},
    {u"startVibration", &DeviceScriptObject::startVibration, false},
    {u"playSound", &DeviceScriptObject::playSound, false},
    {u"getSignalStrength", &DeviceScriptObject::getSignalStrength, true},
    {u"getBatteryStatus", &DeviceScriptObject::getBatteryStatus, true},
};

HResult DeviceScriptObject::getIDsOfNames(std::span<const std::u16string> names,
                                          std::span<DispId> ids, Lcid /*locale*/) {
    const std::size_t count = std::min(names.size(), ids.size());
    for (std::size_t i = 0; i < count; ++i) {
        ids[i] = kDispIdUnknown;
        for (std::size_t m = 0; m < std::size(kMethods); ++m) {
            if (sameIgnoringWidth(names[i], kMethods[m].name)) {
                ids[i] = static_cast<DispId>(m);
                return S_OK;
            }
        }
    }
    return count == 0 ? S_OK : DISP_E_UNKNOWNNAME;
}

HResult DeviceScriptObject::invoke(DispId id, Lcid /*locale*/, std::span<const Variant> args,
                                   Variant* result) {
    if (id < 0 || static_cast<std::size_t>(id) >= std::size(kMethods)) return S_OK;
    const Entry& entry = kMethods[id];
    if (entry.needsResult && result == nullptr) return DISP_E_EXCEPTION;
    return (this->*entry.method)(args, result);
}

HResult DeviceScriptObject::getVendor(std::span<const Variant>, Variant* result) {
    *result = Variant::bstr(u"MORVALENT");
    return S_OK;
}

// From GetSysInfo when the library has it, else from the platform's device information.
HResult DeviceScriptObject::getSerialNumber(std::span<const Variant>, Variant* result) {
    const SystemInformation info = host_.systemInformation();
    if (info.status != SystemInformation::Status::Unbound) {
        return systemText(&SystemInformation::serialNumber, result);
    }
    const std::optional<std::string> oem = host_.oemDeviceInfo();
    if (!oem) return DISP_E_EXCEPTION;
    *result = textResult(*oem);
    return S_OK;
}

HResult DeviceScriptObject::getManufactureDate(std::span<const Variant>, Variant* result) {
    return systemText(&SystemInformation::manufactureDate, result);
}

HResult DeviceScriptObject::getOsVersion(std::span<const Variant>, Variant* result) {
    return systemText(&SystemInformation::osVersion, result);
}

// A field of the system information: empty without GetSysInfo, an exception when it fails.
HResult DeviceScriptObject::systemText(std::string SystemInformation::*field, Variant* result) {
    const SystemInformation info = host_.systemInformation();
    switch (info.status) {
        case SystemInformation::Status::Failed:
            return DISP_E_EXCEPTION;
        case SystemInformation::Status::Unbound:
            *result = Variant::bstr(u"");
            return S_OK;
        case SystemInformation::Status::Ok:
            break;
    }
    *result = textResult(info.*field);
    return S_OK;
}

HResult DeviceScriptObject::getScannerTypeOnCom1(std::span<const Variant>, Variant* result) {
    return readerKind(1, result);
}

HResult DeviceScriptObject::getScannerTypeOnCom2(std::span<const Variant>, Variant* result) {
    return readerKind(2, result);
}

HResult DeviceScriptObject::readerKind(int port, Variant* result) {
    *result = Variant::i4(static_cast<std::int32_t>(host_.readerType(port)));
    return S_OK;
}

// 1 switches barcode reading on, anything else off; the page's box and the tray-menu item of
// the fitted engine follow.
HResult DeviceScriptObject::enableBarcodeScanner(std::span<const Variant> args, Variant*) {
    const std::optional<std::int32_t> flag = singleInteger(args);
    if (!flag) return DISP_E_EXCEPTION;
    const bool on = *flag == 1;
    host_.setCheckBox(kBarcodeCheckBox, on);
    host_.setBarcodeEnabled(on);
    switch (host_.readerType(1)) {
        case reader::ReaderType::CcdLaser:
            host_.tickTrayMenuItem(kMenuCcdLaser, on);
            break;
        case reader::ReaderType::LongRange1D:
            host_.tickTrayMenuItem(kMenuLongRange, on);
            break;
        case reader::ReaderType::Imager2D:
            host_.tickTrayMenuItem(kMenu2D, on);
            break;
        default:
            break;
    }
    return S_OK;
}

// 1 switches RFID reading on, anything else off; the menu item, box and button follow only when
// an RFID reader is fitted.
HResult DeviceScriptObject::enableRfidScanner(std::span<const Variant> args, Variant*) {
    const std::optional<std::int32_t> flag = singleInteger(args);
    if (!flag) return DISP_E_EXCEPTION;
    const bool on = *flag == 1;
    host_.setRfidEnabled(on);
    if (host_.readerType(2) == reader::ReaderType::None) return S_OK;
    host_.tickTrayMenuItem(kMenuRfid, on);
    host_.setCheckBox(kRfidCheckBox, on);
    host_.enableControl(kRfidReaderButton, on);
    return S_OK;
}

// A count of 0 or less runs nothing, so a negative count cannot become a wait of weeks.
HResult DeviceScriptObject::startVibration(std::span<const Variant> args, Variant*) {
    const std::optional<std::int32_t> count = singleInteger(args);
    if (!count) return DISP_E_EXCEPTION;
    if (*count > 0) host_.vibrate(static_cast<std::uint32_t>(*count));
    return S_OK;
}

// args hold the script's (index, path) in automation order: index last.
HResult DeviceScriptObject::playSound(std::span<const Variant> args, Variant*) {
    if (args.size() != 2 || args[1].type() != VarType::I4) return DISP_E_EXCEPTION;
    const std::int32_t index = args[1].integer();
    if (index == kPlayFileIndex && args[0].type() != VarType::Bstr) return DISP_E_EXCEPTION;
    host_.stopSound();
    if (index == kPlayFileIndex) {
        host_.playSoundFile(args[0].text(), kPageSoundFlags);
    } else {
        host_.playSound(index);
    }
    return S_OK;
}

// A level outside 0 to 99 is kept as 100 from then on.
HResult DeviceScriptObject::getSignalStrength(std::span<const Variant>, Variant* result) {
    if (host_.signalLevel() < 0 || host_.signalLevel() > 99) host_.setSignalLevel(kNoSignal);
    *result = Variant::i4(host_.signalLevel());
    return S_OK;
}

HResult DeviceScriptObject::getBatteryStatus(std::span<const Variant>, Variant* result) {
    *result = Variant::i4(host_.batteryLevel());
    return S_OK;
}

}  // namespace tessel::bridge
