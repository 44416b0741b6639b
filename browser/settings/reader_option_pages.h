#pragma once
// The browser and reader option pages that COptionDialog shows in mode 1:
//   0 "Browser Settings", 1 "Barcode Reader Settings", 2 "Notifications", 3 "Data output",
//   4 "RFID Reader Settings".
// A page fills its controls from BrowserOptions, the reader manager and the scan engine (the
// engine's 'r' operations) and on OK applies them: the options, the engine ('w'), and, when
// updateIniWhenExit is 1, the keys it changed into the store (write-through). Page 0 writes
// lockScreen by the state of its own "Export INI file on exit" box instead.
//
// The pages also hold what outlives one opening: the lock request of page 0 (the lock takes
// effect at the next start, and until then page 0 shows it checked) and the number of the
// "WM_BROWSER_SHOWICON" message that page 0 sends the main window.
//
//   ReaderOptionPages pages({toolkit, options, store, manager, symbologies, shell, reading, screen});
//   COptionDialog dialog(toolkit, pages, COptionDialog::kReaderPages, screen);

#include <cstdint>
#include <string>

#include "browser/reader/reader_manager.h"
#include "browser/settings/browser_options.h"
#include "browser/settings/dialog_layout.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/option_pages.h"
#include "browser/settings/shell_control.h"
#include "browser/settings/symbology_page.h"
#include "platform/ui.h"

namespace tessel::settings {

// Control identifiers of the pages.
enum ReaderPageControl : int {
    // 0 "Browser Settings"
    kLockBox = 1001, kHomeLabel, kHomeEdit, kPasswordLabel, kPasswordEdit, kWifiBox, kBatteryBox,
    kImportBox, kExportBox, kPicturesBox,
    // 1 "Barcode Reader Settings"
    kTimeoutLabel = 1101, kTimeoutChoice, kScanModeLabel, kScanModeChoice, kRedundancyLabel,
    kRedundancyChoice, kIlluminationBox, kAimingBox, kSecurityLabel, kSecurityChoice, kFocusLabel,
    kFocusChoice, kAngleLabel, kAngleChoice, kSymbolTimeoutLabel, kSymbolTimeoutChoice,
    kContinuousNote, kAimLabel, kAimChoice,
    // 2 "Notifications"
    kSoundLabel = 1201, kSoundChoice, kSpeakerGroup, kVibrationLabel, kVibrationChoice, kLedBox,
    kDurationLabel, kDurationEdit, kFrequencyLabel, kFrequencyChoice, kBuzzerGroup,
    // 3 "Data output"
    kAutoEnterLabel = 1301, kAutoEnterChoice, kEnterCharLabel, kEnterCharChoice, kPrefixLabel,
    kPrefixEdit, kSuffixLabel, kSuffixEdit, kCodeTypeBox, kCodeLengthBox, kUidBox, kUserDataBox,
    kDelimiterLabel, kDelimiterChoice,
    // 4 "RFID Reader Settings": the read group (start ... idle) and the write group share places.
    kReadBlocksBox = 1401, kKeyLabel, kKeyChoice, kKeyEdit, kStartLabel, kStartEdit, kStartNote,
    kLengthLabel, kLengthEdit, kHexBox, kIdleLabel, kIdleChoice, kWriteStartLabel,
    kWriteStartEdit, kWriteNote, kUseHexBox, kContentLabel, kContentEdit,
};

struct ReaderPagesParts {
    platform::ui::Toolkit& toolkit;
    BrowserOptions& options;
    IniStore& store;
    reader::ReaderManager& readers;
    SymbologyPage& symbologies;
    ShellControl& shell;
    ReadingControl& reading;
    DialogScreen screen;
};

class ReaderOptionPages final : public OptionPages {
public:
    enum Page { kBrowserPage = 0, kBarcodePage, kNotificationsPage, kDataOutputPage, kRfidPage };

    // Registers "WM_BROWSER_SHOWICON"; everything in parts must outlive the pages.
    explicit ReaderOptionPages(ReaderPagesParts parts);

    std::u16string caption(int page) const override;
    void build(platform::ui::Window& dialog, int page) override;
    void onCommand(platform::ui::Window& dialog, int page, int id,
                   platform::ui::Notify notify) override;
    void apply(platform::ui::Window& dialog, int page) override;

    // Set by page 0 when the user asks for the screen lock; kept until the program ends.
    bool lockRequested() const { return lockRequested_; }
    std::uint32_t showIconMessage() const { return showIconMessage_; }

private:
    void applyBrowserPage(platform::ui::Window& dialog);
    void applyRfidPage(platform::ui::Window& dialog);
    void writeRfidSection();
    bool exporting() const { return parts_.options.updateIniWhenExit == 1; }

    ReaderPagesParts parts_;
    bool lockRequested_ = false;
    std::uint32_t showIconMessage_;
};

// The number in a number box as the system reads it: an optional '-' and the decimal digits
// that follow, saturated to the int range; whenEmpty for an empty box.
int typedNumber(std::u16string_view text, int whenEmpty);

}  // namespace tessel::settings
