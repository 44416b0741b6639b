#pragma once
// ScannerSettingDialog: the reader settings page, a hidden child page of the main window that
// the Tools menu's Reader command shows. From it the user switches the readers on and off,
// opens the reader option pages (its own COptionDialog in mode 1), switches keyboard
// emulation, restores the factory settings, and sees the last scan in the result box.
// Nothing here writes into the store except Restore Defaults' symbology refresh.
//
//   ScannerSettingDialog reader(parts);
//   reader.create(mainWindow);          // hidden, at (1, 26)
//   reader.show(true);                  // Tools > Reader
//   reader.setResult(u"type : Code 39\r\ncode : 123");

#include <memory>
#include <string_view>

#include "browser/settings/option_dialog.h"
#include "browser/settings/reader_option_pages.h"
#include "platform/ui.h"

namespace tessel::settings {

class ScannerSettingDialog final : public platform::ui::WindowHandler {
public:
    enum Control : int {
        kResultBox = 2,
        kBarcodeBox = 15,
        kKeyboardBox = 16,
        kRfidBox = 18,
        kBarcodeButton = 71,
        kDataOutputButton = 72,
        kNotificationsButton = 73,
        kRfidButton = 74,
        kEmptyPageCommand = 75,
        kRestoreButton = 124,
    };

    explicit ScannerSettingDialog(ReaderPagesParts parts);
    ~ScannerSettingDialog() override;

    // Builds the page hidden as a child of the main window and sets its controls' states.
    void create(platform::ui::Window& mainWindow);
    void show(bool visible);
    void destroy();
    platform::ui::Window* window() { return window_.get(); }

    // The tray menu switched a reader: the check box follows.
    void setBarcodeCheck(bool checked);
    void setRfidCheck(bool checked);
    void enableRfidButton(bool enabled);
    // The result box, written by scan delivery.
    void setResult(std::u16string_view text);

    // The option dialog of the browser and reader pages; the main window opens page 0 of it.
    COptionDialog& optionDialog() { return optionDialog_; }
    ReaderOptionPages& optionPages() { return pages_; }

    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}

private:
    void setInitialStates();
    void barcodeClicked();
    void rfidClicked();
    void openPage(int page);
    void restoreDefaults();

    ReaderPagesParts parts_;
    ReaderOptionPages pages_;
    COptionDialog optionDialog_;
    std::unique_ptr<platform::ui::Window> window_;
};

// Resets the options that Restore Defaults gives back; the others keep their values.
void resetToDefaults(BrowserOptions& options);

}  // namespace tessel::settings
