#include "browser/settings/scanner_setting_dialog.h"

#include "browser/settings/page_rows.h"

namespace tessel::settings {

namespace ui = platform::ui;
using reader::ReaderType;
using S = ScannerSettingDialog;

namespace {

struct ControlRow {
    ui::ControlKind kind;
    int id;
    ui::Rect at;
    std::u16string_view label;
};

const ControlRow kControls[] = {
    {ui::ControlKind::CheckBox, S::kBarcodeBox, {5, 5, 20, 18}, u""},
    {ui::ControlKind::Button, S::kBarcodeButton, {25, 5, 120, 18}, u"Barcode Reader"},
    {ui::ControlKind::CheckBox, S::kRfidBox, {5, 27, 20, 18}, u""},
    {ui::ControlKind::Button, S::kRfidButton, {25, 27, 120, 18}, u"RFID Reader"},
    {ui::ControlKind::Button, S::kDataOutputButton, {25, 47, 95, 18}, u"Data output"},
    {ui::ControlKind::Button, S::kNotificationsButton, {121, 47, 100, 18}, u"Notifications"},
    {ui::ControlKind::Button, S::kRestoreButton, {25, 68, 120, 18}, u"Restore Defaults"},
    {ui::ControlKind::CheckBox, S::kKeyboardBox, {5, 88, 150, 18}, u"Keyboard Emulation"},
};
constexpr ui::Rect kResultRect{5, 107, 225, 140};

// The option page each button opens.
struct PageButton {
    int id;
    int page;
};
constexpr PageButton kPageButtons[] = {
    {S::kBarcodeButton, ReaderOptionPages::kBarcodePage},
    {S::kNotificationsButton, ReaderOptionPages::kNotificationsPage},
    {S::kDataOutputButton, ReaderOptionPages::kDataOutputPage},
    {S::kRfidButton, ReaderOptionPages::kRfidPage},
    {S::kEmptyPageCommand, ReaderOptionPages::kRfidPage + 1},
};

bool isBarcodeKind(ReaderType kind) {
    return kind == ReaderType::CcdLaser || kind == ReaderType::Imager2D ||
           kind == ReaderType::LongRange1D || kind == ReaderType::Imager2D4507 ||
           kind == ReaderType::LongRange1D955;
}

// The tray item that stands for the engine; 0 for none.
int trayItemOf(ReaderType kind) {
    switch (kind) {
        case ReaderType::CcdLaser:
        case ReaderType::LongRange1D955: return kTrayCcdLaser;
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507: return kTray2D;
        case ReaderType::LongRange1D: return kTrayLongRange;
        default: return 0;
    }
}

}  // namespace

void resetToDefaults(BrowserOptions& o) {
    o.updateIniWhenExit = 1;
    o.displayUserDataByHex = 0;
    o.rfidRW = 0;
    o.isHexContent = 0;
    o.rfidWriteStartByte = -1;
    o.goodReadBeepFileIdx = 1;
    o.warningBeepFileIdx = 2;
    o.vibrationTime = 0;
    o.keyboardEmu = 1;
    o.autoEnter = 1;
    o.autoEnterChar = 1;
    o.displayCodeType = 0;
    o.displayCodeLength = 0;
    o.displayUid = 1;
    o.displayUserData = 0;
    o.delimiter = 44;
    o.imageCapture = 0;
    o.enableLed = 0;
    o.buzzerDuration = 0;
    o.buzzerFreq = 1;
    o.rfidReadStartByte = -1;
    o.rfidReadLength = 0;
    o.mifareLoginKeyA = u"AAA1B2C3D4E5F6";
}

ScannerSettingDialog::ScannerSettingDialog(ReaderPagesParts parts)
    : parts_(parts),
      pages_(parts),
      optionDialog_(parts.toolkit, pages_, COptionDialog::kReaderPages, parts.screen) {}

ScannerSettingDialog::~ScannerSettingDialog() = default;

void ScannerSettingDialog::create(ui::Window& mainWindow) {
    window_ = parts_.toolkit.createWindow(*this, &mainWindow);
    window_->setRect(pageRect(parts_.screen));
    DialogBuilder build(*window_, parts_.screen);
    for (const ControlRow& row : kControls)
        build.add({row.kind, row.id, row.at, std::u16string(row.label), {}, {}});
    ui::ControlSpec result{ui::ControlKind::Edit, kResultBox, kResultRect, {}, {}, {}};
    result.style.multiLine = true;
    result.style.clientEdge = true;
    build.add(result);
    window_->enable(kResultBox, false);
    setInitialStates();
    window_->show(false);
}

void ScannerSettingDialog::setInitialStates() {
    reader::ReaderManager& readers = parts_.readers;
    const ReaderType engine = readers.scannerType(1);
    const ReaderType rfid = readers.scannerType(2);
    const bool hasEngine = isBarcodeKind(engine);
    window_->setChecked(kBarcodeBox, hasEngine && readers.barcodeAvailable());
    window_->enable(kBarcodeBox, hasEngine);
    window_->enable(kBarcodeButton, hasEngine);
    const bool hasRfid = pages::isRfidKind(rfid);
    window_->setChecked(kRfidBox, readers.rfidAvailable());
    window_->enable(kRfidBox, hasRfid);
    window_->enable(kRfidButton, rfid == ReaderType::RfidFrame || (hasRfid && readers.rfidAvailable()));
    window_->setChecked(kKeyboardBox, parts_.options.keyboardEmu == 1);
}

void ScannerSettingDialog::show(bool visible) {
    if (window_) window_->show(visible);
}

void ScannerSettingDialog::destroy() { window_.reset(); }

void ScannerSettingDialog::setBarcodeCheck(bool checked) {
    if (window_) window_->setChecked(kBarcodeBox, checked);
}

void ScannerSettingDialog::setRfidCheck(bool checked) {
    if (window_) window_->setChecked(kRfidBox, checked);
}

void ScannerSettingDialog::enableRfidButton(bool enabled) {
    if (window_) window_->enable(kRfidButton, enabled);
}

void ScannerSettingDialog::setResult(std::u16string_view text) {
    if (window_) window_->setText(kResultBox, text);
}

void ScannerSettingDialog::onCommand(int id, ui::Notify) {
    if (!window_) return;
    for (const PageButton& button : kPageButtons) {
        if (button.id == id) {
            openPage(button.page);
            return;
        }
    }
    switch (id) {
        case kBarcodeBox: barcodeClicked(); break;
        case kRfidBox: rfidClicked(); break;
        case kKeyboardBox: parts_.options.keyboardEmu = window_->isChecked(kKeyboardBox) ? 1 : 0; break;
        case kRestoreButton: restoreDefaults(); break;
        default: break;
    }
}

void ScannerSettingDialog::barcodeClicked() {
    const bool on = window_->isChecked(kBarcodeBox);
    parts_.readers.setBarcodeAvailable(on);
    if (const int item = trayItemOf(parts_.readers.scannerType(1))) parts_.shell.tickTrayItem(item, on);
}

void ScannerSettingDialog::rfidClicked() {
    const bool on = pages::isRfidKind(parts_.readers.scannerType(2)) && window_->isChecked(kRfidBox);
    parts_.readers.setRfidAvailable(on);
    parts_.shell.tickTrayItem(kTrayRfid, on);
    window_->enable(kRfidButton, on);
}

void ScannerSettingDialog::openPage(int page) {
    optionDialog_.setPage(page);
    optionDialog_.doModal();
}

void ScannerSettingDialog::restoreDefaults() {
    parts_.toolkit.setWaitCursor(true);
    parts_.readers.restoreFactorySettings(1);
    parts_.readers.restoreFactorySettings(2);
    resetToDefaults(parts_.options);
    parts_.readers.setTimeOfPowerOn(reader::kDefaultTimeOfPowerOn);
    window_->setChecked(kKeyboardBox, true);  // keyboardEmu is 1 again
    parts_.symbologies.refreshAfterReset();
    parts_.toolkit.setWaitCursor(false);
}

}  // namespace tessel::settings
