#pragma once
// DeviceHost: what the page's device object (window.external) reaches in the program. The reader
// kinds and switches go to the reader manager; the switches' ticks to the tray menu and the
// reader page; vibration and built-in sounds to the good-read notifier; the page's own sound
// files to the sound player; the system information to the terminal library; the signal and
// battery values to the main window.
//
//   DeviceHost host({readers, hooks, [&] { return app.mainDialog(); }, notifier, sounds,
//                    [&] { return app.statusBinding(); }, oemSerialNumber});
//   bridge::DeviceScriptObject device(host);
//   bridge::DispatchExternal external(device);   // the page's window.external
//
// Called on the window thread only, as the page's script is.

#include <functional>
#include <optional>
#include <string>

#include "browser/app/main_dialog.h"
#include "browser/app/reader_access.h"
#include "browser/app/shell_hooks.h"
#include "browser/bridge/device_script_object.h"
#include "browser/reader/device_identity.h"
#include "browser/reader/system_services.h"
#include "platform/sound.h"

namespace tessel::app {

// The device object's view of the terminal library's system information: unbound without a
// library or GetSysInfo, failed when GetSysInfo reports failure.
bridge::SystemInformation systemInformationOf(const reader::StatusBinding* status);

class DeviceHost final : public bridge::DeviceHost {
  public:
    // Everything must outlive the host. mainDialog and status may answer null (before the window
    // exists, after it is gone; no library bound).
    struct Parts {
        ReaderAccess& readers;
        ShellHooks& hooks;
        std::function<MainDialog*()> mainDialog;
        reader::Notifier& notifier;
        platform::SoundPlayer& sounds;
        std::function<const reader::StatusBinding*()> status;
        // The platform's device information text (the serial number); nullopt when it has none.
        std::function<std::optional<std::string>()> deviceInfo;
    };

    explicit DeviceHost(Parts parts) : parts_(std::move(parts)) {}

    reader::ReaderType readerType(int port) const override;
    void setBarcodeEnabled(bool on) override { parts_.readers.setBarcodeEnabled(on); }
    void setRfidEnabled(bool on) override { parts_.readers.setRfidEnabled(on); }
    void setCheckBox(int controlId, bool checked) override;
    void enableControl(int controlId, bool enabled) override;
    void tickTrayMenuItem(int itemId, bool ticked) override;
    void vibrate(std::uint32_t units) override { parts_.notifier.vibrate(units); }
    void stopSound() override { parts_.sounds.stop(); }
    void playSoundFile(std::u16string_view path, std::uint32_t flags) override;
    void playSound(int index) override { parts_.notifier.playSound(index); }
    bridge::SystemInformation systemInformation() override {
        return systemInformationOf(parts_.status());
    }
    std::optional<std::string> oemDeviceInfo() override { return parts_.deviceInfo(); }
    std::int32_t signalLevel() const override;
    void setSignalLevel(std::int32_t level) override;
    std::int32_t batteryLevel() const override;

  private:
    Parts parts_;
};

}  // namespace tessel::app
