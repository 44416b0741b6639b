#pragma once
// Settings persistence: when browserINI.txt is read and written, and how its values travel
// between the file, BrowserOptions, the reader manager and the scan engine.
//
//   SettingsPersistence settings({store, options, manager, fs, u"\\Program Files\\Tessel\\browser.exe"});
//   settings.loadSettingsAtStart(startReaderThreads);    // main window start-up
//   ...
//   settings.writeThrough("RFID", refs);                // a settings page applied its values
//   if (auto failure = settings.saveSettingsAtExit()) warn(*failure);   // quit, export on
//
// The file is imported at start only when its "General" says loadIniWhenStart=1; its presence
// keys then decide which readers detection looks for. The export refreshes the sections of the
// engine that is fitted (a 2D engine only adds the sections the store lacks, "UPC 2D/1D_LR"
// apart); sections and keys the program does not know stay as they were loaded. Everything runs
// on the window thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/reader/reader_manager.h"
#include "browser/reader/symbology_config.h"
#include "browser/settings/browser_options.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/section_access.h"
#include "platform/device_fs.h"

namespace tessel::settings {

inline constexpr std::u16string_view kSettingsFileName = u"browserINI.txt";

// The settings file beside the program: the module path up to and including its last "\"
// (the whole path and a "\" when it has none), then browserINI.txt.
std::u16string settingsPathFor(std::u16string_view modulePath);

// What start-up asks reader detection for, and whether it imports the file.
struct DetectionRequests {
    reader::ReaderType barcode = reader::ReaderType::Auto;
    reader::ReaderType rfid = reader::ReaderType::Auto;
    bool import = false;
};

// The requests of a loaded store: any reader and no import while the store is empty or its
// "General" lacks loadIniWhenStart=1; otherwise the engine of the first presence key set
// (hasCCD, has2D, has2D_4507, has1DLR, has1D_955; none: no engine) and the RFID kind of hasRfid
// (missing: none).
DetectionRequests detectionRequests(IniStore& store);

// The RFID frame reader's idle time before its power goes off (timeOfPowerOn), in seconds.
class RfidIdleTime {
  public:
    virtual ~RfidIdleTime() = default;
    virtual std::uint32_t seconds() const = 0;
    virtual void setSeconds(std::uint32_t seconds) = 0;
};

struct PersistenceParts {
    IniStore& store;
    BrowserOptions& options;
    reader::ReaderManager& readers;
    platform::DeviceFs fs;
    std::u16string modulePath;  // the running program's device path
    RfidIdleTime* rfidIdle = nullptr;  // null: timeOfPowerOn is neither imported nor exported
};

class SettingsPersistence {
  public:
    explicit SettingsPersistence(PersistenceParts parts);

    // Start-up, once: loads the file into an empty store, runs reader detection with the
    // requests of the file, calls startReaderThreads when a reader was found, then imports when
    // the file asks for it. The caller makes the start-up pause and shows the wait cursor.
    void loadSettingsAtStart(const std::function<void()>& startReaderThreads);
    // Copies the store into BrowserOptions, the reader manager's switches and the engine.
    // Engine operations that fail are passed over; keys the file lacks are not sent.
    void importSettings();
    // Copies BrowserOptions (all of "General" but lockScreen), the reader switches and the
    // engine's values into the store.
    void exportSettings();
    // The quit's settings step: export, then save to the settings file. The failure text to
    // show when the file cannot be written; the program keeps running either way.
    std::optional<std::u16string> saveSettingsAtExit();

    // Write-through of a settings page: writes the referenced keys of section (references as
    // for accessSection) into the store, only while updateIniWhenExit is 1. True when written.
    bool writeThrough(std::string_view section, std::span<const KeyRef> refs);
    bool writeThrough(std::string_view section, std::initializer_list<KeyRef> refs);
    // The same for engine values by key name (keys outside the section are ignored).
    bool writeThrough(std::string_view section, const reader::KeyValues& values);
    // Writes whatever updateIniWhenExit says (Restore Defaults, the lock box under the page's
    // own export box).
    void writeSection(std::string_view section, std::span<const KeyRef> refs);
    void writeSection(std::string_view section, const reader::KeyValues& values);

    // The settings file as a device path.
    std::u16string settingsPath() const { return settingsPathFor(parts_.modulePath); }
    IniStore& store() { return parts_.store; }

  private:
    void loadFile();
    std::optional<std::filesystem::path> hostPath() const;
    reader::ReaderType engineKind() const { return parts_.readers.scannerType(1); }
    const SectionSpec* spec(std::string_view section) const;

    std::optional<reader::KeyValues> storedValues(std::string_view section);
    void sendToEngine(std::string_view operation, reader::KeyValues values);
    void importSection(std::string_view section);
    void importBarcodeSwitch(reader::KeyValues& values);
    void importReader2D(reader::KeyValues values);
    void importImage(reader::KeyValues values);
    void importRfid();
    // References to the "RFID" keys that a reader of kind uses, hasRfid apart.
    std::vector<KeyRef> rfidRefs(reader::ReaderType kind, int& enable, int& idle);

    void exportSection(std::string_view section, bool onlyWhenMissing);
    void refresh(std::string_view section);
    void exportCcdReader();
    void exportReader2D();
    void exportLongRangeReader();
    void exportImage();
    void exportRfid();
    int barcodeSwitch() const { return parts_.readers.barcodeAvailable() ? 1 : 0; }

    PersistenceParts parts_;
    reader::SymbologyConfig& engine_;
    bool fileUnread_ = false;  // a file is there that could not be read: never replace it
};

}  // namespace tessel::settings
