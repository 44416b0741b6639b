#pragma once
// SettingsShell: settings persistence joined to the shell. It keeps the settings store for the
// whole run, hands ReaderAccess the start-up procedure that loads the file, detects the readers
// and imports, and answers the quit's settings export.
//
//   SettingsShell settings({manager, &managedRfid, context.fs, context.programFolder + u"browser",
//                           [&]() -> settings::BrowserOptions& { return app.mainDialog()->options(); },
//                           startReaderThreads});
//   ... ReaderAccess over the manager runs settings.startUpProcedure() in startUp()
//   ... ShellHooks::exportSettings() answers with settings.exportSettings()
//
// The options belong to the main window, which exists only once the program runs: they are
// fetched when start-up first needs them, on the window thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "browser/app/shell_hooks.h"
#include "browser/reader/reader_manager.h"
#include "browser/rfid/managed_rfid_reader.h"
#include "browser/settings/persistence.h"
#include "platform/device_fs.h"

namespace tessel::app {

// The frame reader's idle time as the RFID reader of port 2 keeps it across restarts.
class ManagedIdleTime final : public settings::RfidIdleTime {
public:
    explicit ManagedIdleTime(rfid::ManagedRfidReader& rfid) : rfid_(rfid) {}
    std::uint32_t seconds() const override { return rfid_.idleSeconds(); }
    void setSeconds(std::uint32_t seconds) override { rfid_.setIdleSeconds(seconds); }

private:
    rfid::ManagedRfidReader& rfid_;
};

class SettingsShell : public ShellHooks {
public:
    struct Parts {
        reader::ReaderManager& readers;
        rfid::ManagedRfidReader* rfid = nullptr;  // null: no RFID support
        platform::DeviceFs fs;
        std::u16string modulePath;  // the program file's device path
        std::function<settings::BrowserOptions&()> options;
        std::function<void()> startReaderThreads;  // called when detection found a reader
    };

    explicit SettingsShell(Parts parts);

    // What ReaderAccess::startUp() runs: load, detect, start the reader threads, import.
    std::function<void()> startUpProcedure();
    // Export and save; the failure text to show, nullopt when the file was written.
    std::optional<std::u16string> exportSettings() override;

    // Persistence for the settings pages' write-through; on the window thread, once the main
    // window exists.
    settings::SettingsPersistence& persistence();
    settings::IniStore& store() { return store_; }

private:
    Parts parts_;
    settings::IniStore store_;
    std::optional<ManagedIdleTime> idle_;
    std::unique_ptr<settings::SettingsPersistence> persistence_;
};

}  // namespace tessel::app
