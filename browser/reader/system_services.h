#pragma once
// Bindings to the terminal's system-services library, loaded by file name at run time.
//
// An entry point that the library lacks stays null and every call through it is skipped, so the
// rest of the system works unchanged without it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "browser/reader/reader_types.h"
#include "browser/reader/system_services_abi.h"
#include "platform/library_loader.h"

namespace tessel::reader {

// The message shown when no system-services library loads; the program then does not start.
inline constexpr const char* kMissingSystemLibraryMessage = "Can't find XXXXXX_SYS.dll.";

// The terminal whose library the status binding found.
enum class Terminal { K210, K220, K230, K240, KP30 };

// Library file of a model for the notification binding ("K220CE_SYS.dll"); empty for models
// without one (unknown and the generic handheld).
std::string notificationLibraryFile(ModelIndex model);

// The buzzer, LED and vibrator entry points of the detected model's library.
class NotificationBinding {
  public:
    // Nothing bound: every call is skipped.
    NotificationBinding() = default;

    // Loads "\Windows\" followed by the library file of model (models 1, 2, 4 and 5; others load
    // nothing) and resolves SetBuzzerOFF, SetBuzzerON, SetLEDLight, SetVibratorPower, GetSysInfo
    // and, on the K240 only, Set2D5V. A library that does not load leaves everything null.
    static NotificationBinding bind(platform::LibraryLoader& loader, ModelIndex model);

    bool loaded() const { return library_ != nullptr; }

    void setBuzzerOn(std::uint32_t frequency, std::uint32_t duration) const;
    void setBuzzerOff() const;
    void setLedLight(std::uint32_t led, bool on) const;
    void setVibratorPower(bool on) const;

  private:
    std::shared_ptr<platform::Library> library_;
    TesselSetBuzzerOffFn buzzerOff_ = nullptr;
    TesselSetBuzzerOnFn buzzerOn_ = nullptr;
    TesselSetLedLightFn ledLight_ = nullptr;
    TesselSetVibratorPowerFn vibratorPower_ = nullptr;
    TesselGetSysInfoFn sysInfo_ = nullptr;
    TesselSet2D5VFn set2D5V_ = nullptr;
};

struct SysInfo {
    std::string serialNumber;
    std::string manufactureDate;
    std::string osVersion;
};

// The status entry points, bound once at start-up; the library found fixes the terminal.
class StatusBinding {
  public:
    // Tries "K210CE_SYS.dll", "K220CE_SYS.dll", "K230CE_SYS.dll", "K240CE_SYS.DLL" and
    // "KP30SystemAPI.dll" in that order; the first that loads wins. For K210, K240 and KP30 it
    // resolves GetCurrentStatus, then GetSysInfo; for K220 and K230 neither. Nullopt when no file
    // loads (the caller shows kMissingSystemLibraryMessage and stops).
    static std::optional<StatusBinding> bind(platform::LibraryLoader& loader);

    Terminal terminal() const { return terminal_; }

    // The wireless signal in dBm; nullopt when the entry point is missing or reports failure.
    std::optional<std::int32_t> signalDbm() const;
    // Serial number, manufacture date and OS version; nullopt as above.
    std::optional<SysInfo> sysInfo() const;
    // Whether the library has GetSysInfo at all.
    bool hasSysInfo() const { return sysInfo_ != nullptr; }

  private:
    std::shared_ptr<platform::Library> library_;
    Terminal terminal_ = Terminal::K210;
    TesselGetCurrentStatusFn currentStatus_ = nullptr;
    TesselGetSysInfoFn sysInfo_ = nullptr;
};

}  // namespace tessel::reader
