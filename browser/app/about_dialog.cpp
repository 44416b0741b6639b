#include "browser/app/about_dialog.h"

namespace tessel::app {

namespace ui = platform::ui;
using reader::ReaderType;

namespace {

constexpr char16_t kClosingLines[] = u"\r\n\r\nA kiosk browser for data-collection terminals.";
constexpr int kTitleOffset = 20;

std::u16string widen(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string versionPart(std::u16string_view label, const std::optional<std::string>& version) {
    if (!version) return {};
    return u"\r\n" + std::u16string(label) + u" decoder version: " + widen(*version);
}

}  // namespace

std::u16string aboutText(const std::optional<std::string>& barcodeVersion,
                         const std::optional<std::string>& rfidVersion) {
    return u"Tessel Browser\r\n\r\nVersion: 1.72" + versionPart(u"Barcode", barcodeVersion) +
           versionPart(u"RFID", rfidVersion) + kClosingLines;
}

AboutDialog::AboutDialog(ui::Toolkit& toolkit, reader::ReaderManager& readers,
                         settings::DialogScreen screen)
    : toolkit_(toolkit), readers_(readers), screen_(screen) {}

AboutDialog::~AboutDialog() = default;

void AboutDialog::doModal() {
    std::optional<std::string> barcode;
    std::optional<std::string> rfid;
    if (readers_.scannerType(1) != ReaderType::None) barcode = readers_.decoderVersion(1);
    if (readers_.scannerType(2) != ReaderType::None) rfid = readers_.decoderVersion(2);

    window_ = toolkit_.createWindow(*this, nullptr);
    window_->setCaption(kAboutCaption);
    window_->setRect(toolkit_.screen());
    settings::DialogBuilder build(*window_, screen_);
    build.add({ui::ControlKind::Static, kAboutText, {5, 10, 230, 190}, aboutText(barcode, rfid), {}, {}});
    // The picture takes the bitmap's own size; the backend leaves a missing bitmap out.
    build.add({ui::ControlKind::Picture, kAboutLogo, {120, 200, 0, 0}, u"IDB_ABOUT_LOGO", {}, {}});
    build.add({ui::ControlKind::Button, ui::kIdOk, {5, 200, 60, 20}, u"OK", {}, {}});
    build.addTitleLine(kAboutCaption, kTitleOffset);
    toolkit_.runModal(*window_);
    window_.reset();
}

void AboutDialog::onCommand(int id, ui::Notify) {
    if (window_ && id == ui::kIdOk) window_->endModal(true);
}

}  // namespace tessel::app
