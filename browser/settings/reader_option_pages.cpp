#include "browser/settings/reader_option_pages.h"

#include <algorithm>
#include <climits>

#include "browser/settings/barcode_reader_page.h"
#include "browser/settings/page_rows.h"

namespace tessel::settings {

namespace ui = platform::ui;
using namespace pages;
using O = BrowserOptions;

namespace {

constexpr char16_t kReadNote[] = u"(-1: byte 0 of the default page)";
constexpr int kTitleOffset = 20;
constexpr int kMaxBuzzerDuration = 255;

std::vector<std::u16string> sounds() {
    auto entries = formatted("sound %d", 1, 1, 9);
    entries.insert(entries.begin(), u"mute");
    return entries;
}
std::vector<std::u16string> vibrations() {
    return {u"0 sec",   u"0.5 sec", u"1.0 sec", u"1.5 sec", u"2.0 sec", u"2.5 sec",
            u"3.0 sec", u"3.5 sec", u"4.0 sec", u"4.5 sec", u"5.0 sec"};
}
std::vector<std::u16string> frequencies() { return formatted("%dHz", 500, 500, 10, 0, "*%dHz"); }
std::vector<std::u16string> autoEnters() {
    return {u"None", u"Scan + Enter_char", u"Enter_char + Scan"};
}
std::vector<std::u16string> enterChars() {
    return {u"None", u"Carriage return", u"Tab", u"Space", u"Comma", u"Semicolon"};
}
// The position is the character code: none, the control characters, then the printable ones.
std::vector<std::u16string> delimiters() {
    std::vector<std::u16string> entries{u"None"};
    for (const auto& e : formatted("0x%02X", 1, 1, 31)) entries.push_back(e);
    for (const auto& e : formatted("'%c'", 32, 1, 95)) entries.push_back(e);
    return entries;
}
std::vector<std::u16string> keyTypes() { return {u"Key A", u"Key B"}; }
std::vector<std::u16string> idleTimes() { return formatted("%d sec", 10, 10, 60); }

const Row kBrowserRows[] = {
    {kLockBox, {5, 5, 230, 18}, Ctl::Check, u"Lock the screen at the next start"},
    {kHomeLabel, {5, 27, 70, 18}, Ctl::Label, u"Home page:"},
    {kHomeEdit, {75, 27, 160, 18}, Ctl::Edit, {}, &O::homeUrl},
    {kPasswordLabel, {5, 49, 70, 18}, Ctl::Label, u"Password:"},
    {kPasswordEdit, {75, 49, 100, 18}, Ctl::Password, {}, &O::password},
    {kWifiBox, {5, 71, 230, 18}, Ctl::Check, u"Show wireless signal strength", {}, nullptr, Only::NotKp30},
    {kBatteryBox, {5, 93, 230, 18}, Ctl::Check, u"Show battery status", {}, nullptr, Only::NotKp30},
    {kImportBox, {5, 115, 230, 18}, Ctl::Check, u"Import INI file at the next start", &O::loadIniWhenStart},
    {kExportBox, {5, 137, 230, 18}, Ctl::Check, u"Export INI file on exit", &O::updateIniWhenExit},
    {kPicturesBox, {5, 159, 230, 18}, Ctl::Check, u"Disable pictures", &O::disablePictures},
};

const Row kNotificationRows[] = {
    {kSpeakerGroup, {2, 2, 236, 70}, Ctl::Group, u"Good read via speaker"},
    {kSoundLabel, {10, 20, 136, 18}, Ctl::Label, u"Select a sound:"},
    {kSoundChoice, {148, 20, 85, 18}, Ctl::Choice, {}, &O::goodReadBeepFileIdx, sounds},
    {kVibrationLabel, {10, 44, 136, 18}, Ctl::Label, u"Vibration duration:"},
    {kVibrationChoice, {148, 44, 85, 18}, Ctl::Choice, {}, &O::vibrationTime, vibrations},
    {kBuzzerGroup, {2, 78, 236, 94}, Ctl::Group, u"Good read via buzzer", {}, nullptr, Only::BuzzerModels},
    {kLedBox, {10, 96, 200, 18}, Ctl::Check, u"Enable LED when good read", &O::enableLed, nullptr,
     Only::BuzzerModels},
    {kDurationLabel, {10, 118, 136, 18}, Ctl::Label, u"Select duration(0.1 sec):", {}, nullptr,
     Only::BuzzerModels},
    {kDurationEdit, {148, 118, 60, 18}, Ctl::SpinNumber, {}, &O::buzzerDuration, nullptr,
     Only::BuzzerModels},
    {kFrequencyLabel, {10, 142, 136, 18}, Ctl::Label, u"Select a frequency:", {}, nullptr,
     Only::BuzzerModels},
    {kFrequencyChoice, {148, 142, 85, 18}, Ctl::Choice, {}, &O::buzzerFreq, frequencies,
     Only::BuzzerModels, 1},
};

const Row kDataOutputRows[] = {
    {kAutoEnterLabel, {5, 5, 100, 18}, Ctl::Label, u"Auto Enter:"},
    {kAutoEnterChoice, {105, 5, 130, 18}, Ctl::Choice, {}, &O::autoEnter, autoEnters},
    {kEnterCharLabel, {5, 29, 100, 18}, Ctl::Label, u"Auto Enter Char:"},
    {kEnterCharChoice, {105, 29, 130, 18}, Ctl::Choice, {}, &O::autoEnterChar, enterChars},
    {kPrefixLabel, {5, 53, 100, 18}, Ctl::Label, u"Prefix string:"},
    {kPrefixEdit, {105, 53, 130, 18}, Ctl::Edit, {}, &O::prefixStr},
    {kSuffixLabel, {5, 77, 100, 18}, Ctl::Label, u"Suffix string:"},
    {kSuffixEdit, {105, 77, 130, 18}, Ctl::Edit, {}, &O::suffixStr},
    {kCodeTypeBox, {5, 101, 230, 18}, Ctl::Check, u"Display code type", &O::displayCodeType},
    {kCodeLengthBox, {5, 123, 230, 18}, Ctl::Check, u"Display code length", &O::displayCodeLength},
    {kUidBox, {5, 145, 230, 18}, Ctl::Check, u"Display RFID UID", &O::displayUid, nullptr, Only::NotK210},
    {kUserDataBox, {5, 167, 230, 18}, Ctl::Check, u"Display RFID user data", &O::displayUserData,
     nullptr, Only::NotK210},
    {kDelimiterLabel, {5, 191, 100, 18}, Ctl::Label, u"Field delimiter:"},
    {kDelimiterChoice, {105, 191, 130, 18}, Ctl::Choice, {}, &O::delimiter, delimiters},
};

// The read group (start position to idle time) and the write group share their places.
const Row kRfidRows[] = {
    {kReadBlocksBox, {5, 5, 230, 18}, Ctl::Check, u"Read blocks"},
    {kKeyLabel, {5, 27, 60, 18}, Ctl::Label, u"Login Key:"},
    {kKeyChoice, {65, 27, 60, 18}, Ctl::Choice, {}, &O::m_rfidSecurityKeyType, keyTypes},
    {kKeyEdit, {130, 27, 105, 18}, Ctl::Edit, {}, &O::mifareLoginKeyA, nullptr, Only::All, 0, 0, 12},
    {kStartLabel, {5, 51, 125, 18}, Ctl::Label, u"Start position:"},
    {kStartEdit, {130, 51, 50, 18}, Ctl::Number, {}, &O::rfidReadStartByte, nullptr, Only::All, 0, -1},
    {kStartNote, {5, 71, 230, 16}, Ctl::Label, kReadNote},
    {kLengthLabel, {5, 89, 125, 18}, Ctl::Label, u"Reading length (byte):"},
    {kLengthEdit, {130, 89, 50, 18}, Ctl::Number, {}, &O::rfidReadLength, nullptr, Only::All, 0, -1},
    {kHexBox, {5, 111, 230, 18}, Ctl::Check, u"Display hex values", &O::displayUserDataByHex},
    {kIdleLabel, {5, 133, 160, 18}, Ctl::Label, u"Turn off RFID power if idle for:", {}, nullptr,
     Only::FrameReader},
    {kIdleChoice, {165, 133, 70, 18}, Ctl::Choice, {}, {}, idleTimes, Only::FrameReader},
    {kWriteStartLabel, {5, 51, 125, 18}, Ctl::Label, u"Start byte to write:"},
    {kWriteStartEdit, {130, 51, 50, 18}, Ctl::Number, {}, &O::rfidWriteStartByte, nullptr,
     Only::All, 0, -1},
    {kWriteNote, {5, 71, 230, 16}, Ctl::Label, kReadNote},
    {kUseHexBox, {5, 89, 230, 18}, Ctl::Check, u"Use hex values", &O::isHexContent},
    {kContentLabel, {5, 111, 230, 18}, Ctl::Label, u"Input string to write:"},
    {kContentEdit, {5, 131, 230, 60}, Ctl::MultiLine, {}, &O::rfidWriteContent},
};

constexpr int kReadGroup[] = {kStartLabel, kStartEdit, kStartNote, kLengthLabel,
                              kLengthEdit, kHexBox,    kIdleLabel, kIdleChoice};
constexpr int kWriteGroup[] = {kWriteStartLabel, kWriteStartEdit, kWriteNote,
                               kUseHexBox,       kContentLabel,   kContentEdit};

void showGroup(ui::Window& dialog, std::span<const int> ids, bool shown) {
    for (int id : ids) dialog.showControl(id, shown);
}
void enableGroup(ui::Window& dialog, std::span<const int> ids, bool enabled) {
    for (int id : ids) dialog.enable(id, enabled);
}

PageContext contextOf(const ReaderPagesParts& parts) {
    return {parts.screen, parts.readers.model(), parts.readers.scannerType(1),
            parts.readers.scannerType(2)};
}

std::span<const Row> rowsOf(int page) {
    switch (page) {
        case ReaderOptionPages::kBrowserPage: return kBrowserRows;
        case ReaderOptionPages::kNotificationsPage: return kNotificationRows;
        case ReaderOptionPages::kDataOutputPage: return kDataOutputRows;
        case ReaderOptionPages::kRfidPage: return kRfidRows;
        default: return {};
    }
}

}  // namespace

int typedNumber(std::u16string_view text, int whenEmpty) {
    if (text.empty()) return whenEmpty;
    const bool negative = text.front() == u'-';
    long long value = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - u'0'), 1LL + INT_MAX);
    }
    return static_cast<int>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

ReaderOptionPages::ReaderOptionPages(ReaderPagesParts parts)
    : parts_(parts), showIconMessage_(parts.toolkit.registerMessage("WM_BROWSER_SHOWICON")) {}

std::u16string ReaderOptionPages::caption(int page) const {
    switch (page) {
        case kBrowserPage: return u"Browser Settings";
        case kBarcodePage: return u"Barcode Reader Settings";
        case kNotificationsPage: return u"Notifications";
        case kDataOutputPage: return u"Data output";
        case kRfidPage: return u"RFID Reader Settings";
        default: return {};
    }
}

void ReaderOptionPages::build(ui::Window& dialog, int page) {
    const PageContext context = contextOf(parts_);
    const BrowserOptions& options = parts_.options;
    DialogBuilder builder(dialog, parts_.screen);
    if (page == kBarcodePage) buildBarcodePage(builder, dialog, context, parts_.readers);
    buildRows(builder, dialog, rowsOf(page), context, options);
    switch (page) {
        case kBrowserPage:
            dialog.setChecked(kLockBox, options.lockScreen == 1 || lockRequested_);
            dialog.setChecked(kWifiBox, options.showWifiSignal != 0);
            dialog.setChecked(kBatteryBox, options.showBattery != 0);
            break;
        case kDataOutputPage:
            dialog.enable(kUidBox, isRfidKind(context.rfid));
            dialog.enable(kUserDataBox, isRfidKind(context.rfid));
            break;
        case kRfidPage: {
            const bool reading = options.rfidRW == 0;
            selectClamped(dialog, kIdleChoice, static_cast<int>(parts_.readers.timeOfPowerOn() / 10) - 1);
            dialog.setChecked(kReadBlocksBox, reading);
            showGroup(dialog, kReadGroup, reading);
            showGroup(dialog, kWriteGroup, !reading);
            break;
        }
        default: break;
    }
    builder.addTitleLine(caption(page), kTitleOffset);
}

void ReaderOptionPages::onCommand(ui::Window& dialog, int page, int id, ui::Notify notify) {
    if (page == kBrowserPage && id == kLockBox && dialog.isChecked(kLockBox)) {
        dialog.setChecked(kImportBox, true);
        dialog.setChecked(kExportBox, true);
    } else if (page == kNotificationsPage && id == kDurationEdit && notify == ui::Notify::Changed) {
        const int typed = typedNumber(dialog.text(kDurationEdit), 0);
        if (typed > kMaxBuzzerDuration) dialog.setText(kDurationEdit, u"255");
        if (typed < 0) dialog.setText(kDurationEdit, u"0");
    } else if (page == kRfidPage && id == kReadBlocksBox) {
        showGroup(dialog, kReadGroup, true);
        enableGroup(dialog, kReadGroup, dialog.isChecked(kReadBlocksBox));
        showGroup(dialog, kWriteGroup, false);
    }
}

void ReaderOptionPages::apply(ui::Window& dialog, int page) {
    const PageContext context = contextOf(parts_);
    switch (page) {
        case kBrowserPage: applyBrowserPage(dialog); break;
        case kBarcodePage: applyBarcodePage(dialog, context, parts_); break;
        case kNotificationsPage:
            applyRows(dialog, kNotificationRows, context, parts_.options);
            parts_.options.buzzerDuration = std::clamp(parts_.options.buzzerDuration, 0, kMaxBuzzerDuration);
            break;
        case kDataOutputPage: applyRows(dialog, kDataOutputRows, context, parts_.options); break;
        case kRfidPage: applyRfidPage(dialog); break;
        default: break;
    }
}

void ReaderOptionPages::applyBrowserPage(ui::Window& dialog) {
    BrowserOptions& options = parts_.options;
    const bool lock = dialog.isChecked(kLockBox);
    if (lock) {
        lockRequested_ = true;  // the lock itself comes with the next start
    } else {
        options.lockScreen = 0;
        parts_.shell.unlockNow();
    }
    if (dialog.isChecked(kExportBox)) writeKeys(parts_.store, catalogueSection("General"), {{"lockScreen", lock ? 1 : 0}});
    applyRows(dialog, kBrowserRows, contextOf(parts_), options);
    if (!parts_.screen.kp30) {
        parts_.shell.sendToMain(showIconMessage_, dialog.isChecked(kWifiBox) ? 1 : 0,
                                dialog.isChecked(kBatteryBox) ? 1 : 0);
    }
}

void ReaderOptionPages::applyRfidPage(ui::Window& dialog) {
    reader::ReaderManager& readers = parts_.readers;
    if (!isRfidKind(readers.scannerType(2))) {
        readers.setRfidAvailable(false);
        parts_.shell.tickTrayItem(kTrayRfid, false);
        return;
    }
    BrowserOptions& options = parts_.options;
    const int rfidRW = options.rfidRW;
    applyRows(dialog, kRfidRows, contextOf(parts_), options);
    options.rfidRW = dialog.isChecked(kReadBlocksBox) ? 0 : rfidRW;
    if (readers.scannerType(2) == reader::ReaderType::RfidFrame)
        readers.setTimeOfPowerOn(static_cast<std::uint32_t>(selected(dialog, kIdleChoice) + 1) * 10);
    if (exporting()) writeRfidSection();
}

void ReaderOptionPages::writeRfidSection() {
    const BrowserOptions& o = parts_.options;
    writeKeys(parts_.store, catalogueSection("RFID"),
              {{"hasRfid", 1},
               {"enableRfid", parts_.readers.rfidAvailable() ? 1 : 0},
               {"rfidRW", o.rfidRW},
               {"rfidReadStartByte", o.rfidReadStartByte},
               {"rfidReadLength", o.rfidReadLength},
               {"displayUserDataByHex", o.displayUserDataByHex},
               {"rfidWriteStartByte", o.rfidWriteStartByte},
               {"rfidWriteContent", o.rfidWriteContent},
               {"isHexContent", o.isHexContent},
               {"mifareLoginKeyA", o.mifareLoginKeyA},
               {"m_rfidSecurityKeyType", o.m_rfidSecurityKeyType},
               {"timeOfPowerOn", static_cast<int>(parts_.readers.timeOfPowerOn())}});
}

}  // namespace tessel::settings
