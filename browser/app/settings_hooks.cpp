#include "browser/app/settings_hooks.h"

#include <cassert>

#include "browser/app/about_dialog.h"

namespace tessel::app {

SettingsHooks::SettingsHooks(SettingsHooksParts parts) : parts_(parts) {}

SettingsHooks::~SettingsHooks() = default;

settings::DialogScreen SettingsHooks::screen() const {
    return {main_->screen().sizeClass, main_->screen().kp30};
}

void SettingsHooks::createPages(platform::ui::Window& mainWindow) {
    assert(main_ && "attach the main window before it is created");
    readerPage_ = std::make_unique<settings::ScannerSettingDialog>(settings::ReaderPagesParts{
        parts_.toolkit, main_->options(), parts_.store, parts_.readers, parts_.symbologies, *this,
        parts_.reading, screen()});
    readerPage_->create(mainWindow);
    parts_.symbologies.create(mainWindow);
}

void SettingsHooks::showSymbologyPage(bool visible) { parts_.symbologies.show(visible); }

void SettingsHooks::showReaderPage(bool visible) {
    if (readerPage_) readerPage_->show(visible);
}

void SettingsHooks::setBarcodeCheck(bool checked) {
    if (readerPage_) readerPage_->setBarcodeCheck(checked);
}

void SettingsHooks::setRfidCheck(bool checked) {
    if (readerPage_) readerPage_->setRfidCheck(checked);
}

void SettingsHooks::destroyPages() {
    parts_.symbologies.destroy();
    readerPage_.reset();
}

void SettingsHooks::openBrowserSettings() {
    if (!readerPage_) return;
    settings::COptionDialog& dialog = readerPage_->optionDialog();
    dialog.setPage(settings::ReaderOptionPages::kBrowserPage);
    dialog.doModal();
}

void SettingsHooks::openAbout() { AboutDialog(parts_.toolkit, parts_.readers, screen()).doModal(); }

void SettingsHooks::unlockNow() { main_->unlockNow(); }

void SettingsHooks::tickTrayItem(int item, bool ticked) {
    if (platform::ui::Menu* tray = main_->trayMenu()) tray->setTick(item, ticked);
}

void SettingsHooks::sendToMain(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    main_->onMessage(message, wParam, lParam);
}

}  // namespace tessel::app
