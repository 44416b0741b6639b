#pragma once
// The shell's page hooks over the settings dialogs: the reader settings page
// (ScannerSettingDialog) and the symbology page as children of the main window, the Browser
// settings page (page 0 of the reader page's option dialog; MainDialog has checked the
// password first) and the About box. It is also the settings' way back to the main window.
//
//   SettingsHooks settings({toolkit, store, manager, symbologyPage, reading});
//   MainDialog main({context, readers, settings, ...}, options);   // settings composed in
//   settings.attach(main);                                       // before main.create()

#include <memory>

#include "browser/app/main_dialog.h"
#include "browser/app/shell_hooks.h"
#include "browser/reader/reader_manager.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/scanner_setting_dialog.h"
#include "browser/settings/shell_control.h"
#include "browser/settings/symbology_page.h"

namespace tessel::app {

struct SettingsHooksParts {
    platform::ui::Toolkit& toolkit;
    settings::IniStore& store;
    reader::ReaderManager& readers;
    settings::SymbologyPage& symbologies;
    settings::ReadingControl& reading;
};

class SettingsHooks final : public ShellHooks, private settings::ShellControl {
public:
    explicit SettingsHooks(SettingsHooksParts parts);
    ~SettingsHooks() override;

    // The main window whose options the pages edit; before its create().
    void attach(MainDialog& main) { main_ = &main; }
    // The reader settings page; null before createPages and after destroyPages.
    settings::ScannerSettingDialog* readerPage() { return readerPage_.get(); }

    void createPages(platform::ui::Window& mainWindow) override;
    void showSymbologyPage(bool visible) override;
    void showReaderPage(bool visible) override;
    void setBarcodeCheck(bool checked) override;
    void setRfidCheck(bool checked) override;
    void destroyPages() override;
    void openBrowserSettings() override;
    void openAbout() override;

private:
    // settings::ShellControl
    void unlockNow() override;
    void tickTrayItem(int item, bool ticked) override;
    void sendToMain(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    settings::DialogScreen screen() const;

    SettingsHooksParts parts_;
    MainDialog* main_ = nullptr;
    std::unique_ptr<settings::ScannerSettingDialog> readerPage_;
};

}  // namespace tessel::app
