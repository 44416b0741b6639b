#pragma once
// DeviceScriptObject: the page's window.external, a Dispatch object with twelve fixed methods
// (getVendor … getBatteryStatus) whose identifiers are their positions in the method table.
//
//   DeviceScriptObject device(host);
//   DispId id;
//   device.getIDsOfNames(names, {&id, 1}, kSystemDefaultLocale);   // "getVendor" → 0
//   device.invoke(id, kSystemDefaultLocale, {}, &result);           // Bstr "MORVALENT"
//
// Every argument or result problem answers DISP_E_EXCEPTION, which the page sees as a script
// error. Arguments are taken as they come: no conversion between types.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "browser/bridge/automation.h"
#include "browser/reader/reader_types.h"
#include "platform/sound.h"

namespace tessel::bridge {

// The terminal's system information, from the status binding of the system-services library.
struct SystemInformation {
    enum class Status {
        Unbound,  // the library has no GetSysInfo
        Failed,   // GetSysInfo returned non-zero
        Ok,
    };
    Status status = Status::Unbound;
    std::string serialNumber;
    std::string manufactureDate;
    std::string osVersion;
};

// What the device object needs from the rest of the program.
class DeviceHost {
public:
    virtual ~DeviceHost() = default;
    // The kind of reader on port 1 (scan engine) or 2 (RFID).
    virtual reader::ReaderType readerType(int port) const = 0;
    // The reader manager's barcode- and RFID-enabled flags.
    virtual void setBarcodeEnabled(bool on) = 0;
    virtual void setRfidEnabled(bool on) = 0;
    // Controls of the reader settings page, and the tick of a tray-menu item.
    virtual void setCheckBox(int controlId, bool checked) = 0;
    virtual void enableControl(int controlId, bool enabled) = 0;
    virtual void tickTrayMenuItem(int itemId, bool ticked) = 0;
    // Runs the vibrator for units × 500 ms; returns when it has stopped.
    virtual void vibrate(std::uint32_t units) = 0;
    virtual void stopSound() = 0;
    // Plays the sound file at a device path with play-sound flags.
    virtual void playSoundFile(std::u16string_view path, std::uint32_t flags) = 0;
    // Plays built-in sound index (1 to 9; others silent).
    virtual void playSound(int index) = 0;
    virtual SystemInformation systemInformation() = 0;
    // The platform's OEM device information text (the serial number); nullopt when unavailable.
    virtual std::optional<std::string> oemDeviceInfo() = 0;
    // The last Wi-Fi level and battery value received (0 before the first).
    virtual std::int32_t signalLevel() const = 0;
    virtual void setSignalLevel(std::int32_t level) = 0;
    virtual std::int32_t batteryLevel() const = 0;
};

// Controls and menu items the reader switches change.
inline constexpr int kBarcodeCheckBox = 15;
inline constexpr int kRfidCheckBox = 18;
inline constexpr int kRfidReaderButton = 74;
inline constexpr int kMenuCcdLaser = 404;
inline constexpr int kMenuLongRange = 405;
inline constexpr int kMenu2D = 406;
inline constexpr int kMenuRfid = 407;

// Play-sound flags of a page's sound file: asynchronous, a file name, no wait when the device is
// busy, no default sound when the file is missing.
inline constexpr std::uint32_t kSoundAsync = 0x1;
inline constexpr std::uint32_t kSoundNoDefault = 0x2;
inline constexpr std::uint32_t kPageSoundFlags =
    platform::kSoundFileName | platform::kSoundNoWait | kSoundNoDefault | kSoundAsync;

class DeviceScriptObject final : public Dispatch {
public:
    // host must outlive the object.
    explicit DeviceScriptObject(DeviceHost& host) : host_(host) {}

    // Each name is compared with the table (case matters, character width does not). The first
    // match gets its position and S_OK at once; names before it that matched nothing get -1.
    HResult getIDsOfNames(std::span<const std::u16string> names, std::span<DispId> ids,
                          Lcid locale) override;
    // An identifier outside the table does nothing and answers S_OK.
    HResult invoke(DispId id, Lcid locale, std::span<const Variant> args,
                   Variant* result) override;

private:
    using Method = HResult (DeviceScriptObject::*)(std::span<const Variant>, Variant*);
    struct Entry {
        std::u16string_view name;
        Method method;
        bool needsResult;  // answers a value, so the caller must supply a result
    };
    static const Entry kMethods[12];

    HResult getVendor(std::span<const Variant>, Variant* result);
    HResult getSerialNumber(std::span<const Variant>, Variant* result);
    HResult getManufactureDate(std::span<const Variant>, Variant* result);
    HResult getOsVersion(std::span<const Variant>, Variant* result);
    HResult getScannerTypeOnCom1(std::span<const Variant>, Variant* result);
    HResult getScannerTypeOnCom2(std::span<const Variant>, Variant* result);
    HResult enableBarcodeScanner(std::span<const Variant> args, Variant*);
    HResult enableRfidScanner(std::span<const Variant> args, Variant*);
    HResult startVibration(std::span<const Variant> args, Variant*);
    HResult playSound(std::span<const Variant> args, Variant*);
    HResult getSignalStrength(std::span<const Variant>, Variant* result);
    HResult getBatteryStatus(std::span<const Variant>, Variant* result);

    HResult systemText(std::string SystemInformation::*field, Variant* result);
    HResult readerKind(int port, Variant* result);

    DeviceHost& host_;
};

}  // namespace tessel::bridge
