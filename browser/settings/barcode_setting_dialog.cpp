#include "browser/settings/barcode_setting_dialog.h"

#include <algorithm>

namespace tessel::settings {

namespace ui = platform::ui;
using reader::KeyValues;

namespace {

constexpr int kCheckBase = 600;
constexpr int kButtonBase = 650;
constexpr std::size_t kMostRows = kButtonBase - kCheckBase;

// Layout in the 240-pixel design, multiplied by the screen scale: one column, or on small
// screens two columns for the long CCD/laser list.
constexpr int kLeft = 5;
constexpr int kTop = 4;
constexpr int kCheckWidth = 20;
constexpr int kOneColumnPitch = 15;
constexpr int kOneColumnButton = 150;
constexpr int kTwoColumnPitch = 20;
constexpr int kColumnWidth = 112;
constexpr int kDesignWidth = 240;
constexpr int kTwoColumnButton = 90;
constexpr int kRowHeight = 15;

constexpr std::string_view kEnable = "enable";
constexpr std::string_view kImageSection = "Image 2D";
constexpr int kContinuousScan = 1;
constexpr int kTestScan = 7;

using K = RowKind;

std::vector<SymbologyRow> ccdRows() {
    return {
        {u"Codabar", K::CheckAndButton, "CodaBar CCD/Laser", 0},
        {u"Code 128", K::NamedCheck, "Code128 CCD/Laser"},
        {u"Code 39", K::CheckAndButton, "Code39 CCD/Laser", 2},
        {u"Code 93", K::NamedCheck, "Code93 CCD/Laser"},
        {u"EAN-13/UPC-A", K::CheckAndButton, "EAN-13,UPC-A CCD/Laser", 4},
        {u"EAN-8", K::CheckAndButton, "EAN-8 CCD/Laser", 5},
        {u"Industrial 25", K::CheckAndButton, "Industrial25 CCD/Laser", 6},
        {u"Matrix 25", K::CheckAndButton, "Matrix25 CCD/Laser", 8},
        {u"Interleaved 25", K::CheckAndButton, "Interleaved25 CCD/Laser", 7},
        {u"MSI", K::CheckAndButton, "MSI CCD/Laser", 9},
        {u"Negative barcode", K::NamedCheck, "Negative barcode CCD/Laser"},
        {u"I/F Pharma.", K::ButtonOnly, "", 11},
        {u"Plessey", K::CheckAndButton, "Plessey CCD/Laser", 12, EngineKinds::all(), u"Plessy"},
        {u"GS1-128", K::CheckAndButton, "Ean128 CCD/Laser", 1},
        {u"Telepen", K::CheckAndButton, "Telepen CCD/Laser", 14},
        {u"UPC-E", K::CheckAndButton, "UPC-E CCD/Laser", 15},
        {u"GS1 DataBar", K::ButtonOnly, "", 13},
        {u"ISBT 128", K::NamedCheck, "ISBT128 CCD/Laser"},
    };
}

std::vector<SymbologyRow> imagerRows() {
    const EngineKinds k3{3}, k8{8};
    return {
        {u"Codabar", K::CheckAndButton, "Codabar 2D/1D_LR", 0},
        {u"Code 128", K::CheckAndButton, "Code128 2D/1D_LR", 2},
        {u"Code 39", K::CheckAndButton, "Code39 2D/1D_LR", 3},
        {u"Code 93", K::CheckAndButton, "Code93 2D/1D_LR", 4},
        {u"Industrial 25", K::CheckAndButton, "Industrial25 2D/1D_LR", 6},
        {u"EAN/JAN", K::ButtonOnly, "", 7},
        {u"UPC", K::ButtonOnly, "", 15},
        {u"Code 11", K::CheckAndButton, "Code11 2D", 1},
        {u"Interleaved 25", K::CheckAndButton, "Interleaved25 2D/1D_LR", 8},
        {u"MSI", K::CheckAndButton, "MSI 2D/1D_LR", 11},
        {u"GS1 DataBar", K::ButtonOnly, "", 13},
        {u"Composite", K::ButtonOnly, "", 5},
        {u"2D symbologies", K::ButtonOnly, "", 14, k3},
        {u"2D symbologies", K::ButtonOnly, "", 18, k8},
        {u"Postal", K::ButtonOnly, "", 12},
        {u"Macro PDF", K::ButtonOnly, "", 9},
        {u"Misc.", K::ButtonOnly, "", 10},
        {u"Matrix 25", K::CheckAndButton, "Matrix25 2D", 17, k8},
        {u"Chinese 25", K::NamedCheck, "Chinese25", -1, k8},
        {u"Image Capture", K::ImageCapture, std::string(kImageSection), 16},
    };
}

std::vector<SymbologyRow> laserRows() {
    const EngineKinds k9{9};
    return {
        {u"Codabar", K::CheckAndButton, "Codabar 2D/1D_LR", 0},
        {u"Code 128", K::CheckAndButton, "Code128 2D/1D_LR", 1},
        {u"Code 39", K::CheckAndButton, "Code39 2D/1D_LR", 2},
        {u"Code 93", K::CheckAndButton, "Code93 2D/1D_LR", 3},
        {u"Industrial 25", K::CheckAndButton, "Industrial25 2D/1D_LR", 4},
        {u"EAN/JAN", K::ButtonOnly, "", 5},
        {u"UPC", K::ButtonOnly, "", 10},
        {u"MSI", K::CheckAndButton, "MSI 2D/1D_LR", 8},
        {u"Interleaved 25", K::CheckAndButton, "Interleaved25 2D/1D_LR", 6},
        {u"Misc.", K::ButtonOnly, "", 7},
        {u"GS1 DataBar", K::ButtonOnly, "", 9},
        {u"Code 11", K::CheckAndButton, "Code11 2D", 11, k9},
        {u"Chinese 25", K::NamedCheck, "Chinese25", -1, k9},
    };
}

std::vector<ResetEntry> entries(std::initializer_list<std::string_view> sections) {
    std::vector<ResetEntry> out;
    for (std::string_view section : sections) out.push_back({std::string(section)});
    return out;
}

bool hasCheck(const SymbologyRow& row) { return row.kind != RowKind::ButtonOnly; }

}  // namespace

std::vector<SymbologyRow> symbologyRows(int engineKind) {
    std::vector<SymbologyRow> rows;
    switch (engineKind) {
        case 2:
            rows = ccdRows();
            break;
        case 3:
        case 8:
            rows = imagerRows();
            break;
        case 4:
        case 9:
            rows = laserRows();
            break;
        default:
            return rows;
    }
    std::erase_if(rows, [&](const SymbologyRow& row) { return !row.kinds.contains(engineKind); });
    return rows;
}

std::vector<ResetEntry> resetEntries(int engineKind) {
    switch (engineKind) {
        case 2: {
            auto out =
                entries({"CodaBar CCD/Laser", "Code128 CCD/Laser", "Ean128 CCD/Laser",
                         "Code39 CCD/Laser", "Code93 CCD/Laser", "EAN-13,UPC-A CCD/Laser",
                         "EAN-8 CCD/Laser", "Industrial25 CCD/Laser", "Matrix25 CCD/Laser",
                         "Interleaved25 CCD/Laser", "MSI CCD/Laser", "Negative barcode CCD/Laser",
                         "Plessey CCD/Laser", "Telepen CCD/Laser"});
            out.push_back({"UPC-E CCD/Laser", true});
            return out;
        }
        case 3:
        case 8: {
            auto out = entries({"Codabar 2D/1D_LR", "Code128 2D/1D_LR", "Code39 2D/1D_LR",
                                "Code93 2D/1D_LR", "Industrial25 2D/1D_LR", "Code11 2D",
                                "Interleaved25 2D/1D_LR", "MSI 2D/1D_LR"});
            if (engineKind == 8) {
                out.push_back({"Matrix25 2D"});
                out.push_back({"Chinese25"});
            }
            return out;
        }
        case 4:
        case 9: {
            auto out = entries({"Codabar 2D/1D_LR", "Code128 2D/1D_LR", "Code39 2D/1D_LR",
                                "Code93 2D/1D_LR", "Industrial25 2D/1D_LR",
                                "Interleaved25 2D/1D_LR", "MSI 2D/1D_LR"});
            if (engineKind == 9) {
                out.push_back({"Code11 2D"});
                out.push_back({"Chinese25"});
            }
            return out;
        }
        default:
            return {};
    }
}

BarcodeSettingDialog::BarcodeSettingDialog(BarcodeSettingParts parts)
    : parts_(std::move(parts)), rows_(symbologyRows(parts_.context.engineKind)) {
    if (rows_.size() > kMostRows) rows_.resize(kMostRows);
}

BarcodeSettingDialog::~BarcodeSettingDialog() = default;

int BarcodeSettingDialog::checkBoxId(std::size_t row) { return kCheckBase + static_cast<int>(row); }
int BarcodeSettingDialog::buttonId(std::size_t row) { return kButtonBase + static_cast<int>(row); }

bool BarcodeSettingDialog::smallScreen() const { return parts_.context.scale == 1 && !parts_.kp30; }

void BarcodeSettingDialog::create(ui::Window& mainWindow) {
    window_ = parts_.toolkit.createWindow(*this, &mainWindow);
    window_->setRect(parts_.place);
    window_->show(false);
    for (std::size_t i = 0; i < rows_.size(); ++i) addRowControls(i);
    loadRows();
}

void BarcodeSettingDialog::show(bool visible) {
    if (window_) window_->show(visible);
}

void BarcodeSettingDialog::destroy() { window_.reset(); }

void BarcodeSettingDialog::addRowControls(std::size_t i) {
    const SymbologyRow& row = rows_[i];
    const bool twoColumns = parts_.context.engineKind == 2 && smallScreen();
    const std::size_t perColumn = twoColumns ? (rows_.size() + 1) / 2 : rows_.size();
    const int column = static_cast<int>(i / perColumn);
    const int line = static_cast<int>(i % perColumn);
    const int x = kLeft + column * kColumnWidth;
    const int y = kTop + line * (twoColumns ? kTwoColumnPitch : kOneColumnPitch);
    const int buttonWidth = twoColumns ? kTwoColumnButton : kOneColumnButton;
    const int scale = parts_.context.scale;
    using CK = ui::ControlKind;
    if (row.kind == RowKind::NamedCheck) {
        // A name without a button may take the rest of the line.
        const int width = std::max(kCheckWidth + buttonWidth, kDesignWidth - kLeft - x);
        window_->addControl(designControl(CK::CheckBox, checkBoxId(i), {x, y, width, kRowHeight},
                                          row.label, scale));
        return;
    }
    if (hasCheck(row)) {
        window_->addControl(designControl(CK::CheckBox, checkBoxId(i),
                                          {x, y, kCheckWidth, kRowHeight}, u"", scale));
    }
    const std::u16string& text = twoColumns && !row.smallLabel.empty() ? row.smallLabel : row.label;
    window_->addControl(designControl(CK::Button, buttonId(i),
                                      {x + kCheckWidth, y, buttonWidth, kRowHeight}, text, scale));
}

// Each row's switch as the engine (or, for image capture, the options) holds it; a CCD/laser
// engine scanning continuously or in test mode gets its rows disabled.
void BarcodeSettingDialog::loadRows() {
    SymbologyContext& context = parts_.context;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const SymbologyRow& row = rows_[i];
        if (!hasCheck(row)) continue;
        if (row.kind == RowKind::ImageCapture) {
            setRowState(i, context.options.imageCapture != 0);
            continue;
        }
        KeyValues values;
        const std::string_view keys[] = {kEnable};
        readEngineKeys(context.config, row.section, keys, values);
        setRowState(i, values[std::string(kEnable)] != 0);
    }
    if (context.engineKind == 2) {
        KeyValues reader;
        const std::string_view keys[] = {"scanMode"};
        if (readEngineKeys(context.config, "Barcode Reader CCD/Laser", keys, reader)) {
            const int mode = reader["scanMode"];
            if (mode == kContinuousScan || mode == kTestScan) setRowsEnabled(false);
        }
    }
}

void BarcodeSettingDialog::setRowState(std::size_t i, bool on) {
    window_->setChecked(checkBoxId(i), on);
    window_->enable(buttonId(i), rowsEnabled_ && on);
}

void BarcodeSettingDialog::setRowsEnabled(bool enabled) {
    rowsEnabled_ = enabled;
    if (!window_) return;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const bool boxOn = !hasCheck(rows_[i]) || window_->isChecked(checkBoxId(i));
        window_->enable(checkBoxId(i), enabled);
        window_->enable(buttonId(i), enabled && boxOn);
    }
}

void BarcodeSettingDialog::refreshAfterReset() {
    if (!window_) return;
    SymbologyContext& context = parts_.context;
    for (const ResetEntry& entry : resetEntries(context.engineKind)) {
        KeyValues values;
        const std::string_view keys[] = {kEnable};
        // A section the engine cannot read is left as it is rather than written as off.
        if (!readEngineKeys(context.config, entry.section, keys, values)) continue;
        const bool on = values[std::string(kEnable)] != 0;
        const auto row = std::find_if(rows_.begin(), rows_.end(), [&](const SymbologyRow& r) {
            return r.section == entry.section;
        });
        if (row != rows_.end()) {
            const auto i = static_cast<std::size_t>(row - rows_.begin());
            window_->setChecked(checkBoxId(i), on);
            window_->enable(buttonId(i), rowsEnabled_ && (on || entry.buttonStaysEnabled));
        }
        writeSectionKeys(context.store, entry.section, context.engineKind, values);
    }
}

void BarcodeSettingDialog::onCommand(int id, ui::Notify notify) {
    if (notify != ui::Notify::Clicked) return;
    const auto checkRow = static_cast<std::size_t>(id - kCheckBase);
    const auto buttonRow = static_cast<std::size_t>(id - kButtonBase);
    if (id >= kCheckBase && checkRow < rows_.size() && id < kButtonBase) {
        checkClicked(checkRow);
    } else if (id >= kButtonBase && buttonRow < rows_.size() && parts_.openPage) {
        parts_.openPage(rows_[buttonRow].page);
    }
}

void BarcodeSettingDialog::checkClicked(std::size_t i) {
    SymbologyContext& context = parts_.context;
    const SymbologyRow& row = rows_[i];
    const bool on = window_->isChecked(checkBoxId(i));
    window_->enable(buttonId(i), on);
    KeyValues values{{std::string(kEnable), on ? 1 : 0}};
    if (row.kind == RowKind::ImageCapture) {
        context.options.imageCapture = on ? 1 : 0;
        if (parts_.showImageCapture) parts_.showImageCapture(on);
    } else {
        context.config.configure(row.section, 'w', values);
    }
    if (context.options.updateIniWhenExit == 1) {
        writeSectionKeys(context.store, row.section, context.engineKind, values);
    }
}

}  // namespace tessel::settings
