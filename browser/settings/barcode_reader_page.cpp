#include "browser/settings/barcode_reader_page.h"

#include <array>
#include <cstdio>
#include <optional>

namespace tessel::settings::pages {

namespace ui = platform::ui;
using reader::KeyValues;
using reader::ReaderType;

namespace {

constexpr std::string_view kCcdSection = "Barcode Reader CCD/Laser";
constexpr std::string_view k2dSection = "Barcode Reader 2D";
constexpr std::string_view kDecodingSection = "Image 2D";
constexpr std::string_view kSecuritySection = "Symbology security level, 2D";
constexpr std::string_view kLongRangeSection = "Barcode Reader 1D_LR";
constexpr std::uint32_t kTriggerIdleWaitMs = 10;

// The text engine's scan modes, in the order of the choice box.
constexpr std::array<int, 5> kCcdScanModes{0, 1, 3, 6, 7};
constexpr int kContinuousMode = 1;
constexpr int kTestMode = 7;
constexpr int kLongRangeContinuous = 4;
constexpr int kLongRangeLaser = 8;

std::vector<std::u16string> timeouts() { return formatted("%d sec", 1, 1, 9, 2, "*%d sec"); }
std::vector<std::u16string> ccdScanModes() {
    return {u"Auto off", u"Continuous", u"Alternate", u"*Laser", u"Test"};
}
std::vector<std::u16string> fromZero() { return {u"*0", u"1", u"2", u"3"}; }
std::vector<std::u16string> fromOne() { return {u"*1", u"2", u"3", u"4"}; }
std::vector<std::u16string> focusModes() { return {u"*Far focus", u"Near focus", u"Smart focus"}; }
std::vector<std::u16string> narrowFactory() { return {u"wide", u"*narrow"}; }
std::vector<std::u16string> wideFactory() { return {u"*wide", u"narrow"}; }
std::vector<std::u16string> longRangeModes() { return {u"Continuous", u"*Laser"}; }
std::vector<std::u16string> aimTimes() { return formatted("%d sec", 0, 1, 10, 0, "*%d sec"); }
// 0.0 to 9.9 seconds; the factory 1.0 s is marked.
std::vector<std::u16string> symbolTimeouts() {
    std::vector<std::u16string> entries;
    for (int tenths = 0; tenths < 100; ++tenths) {
        char text[16];
        std::snprintf(text, sizeof text, tenths == 10 ? "*%.1f sec" : "%.1f sec", tenths / 10.0);
        entries.push_back(widen(text));
    }
    return entries;
}

constexpr Row kTimeoutRows[] = {
    {kTimeoutLabel, {5, 5, 143, 18}, Ctl::Label, u"Decode Session Timeout:"},
    {kTimeoutChoice, {148, 5, 87, 18}, Ctl::Choice, {}, {}, timeouts},
};

const Row kCcdRows[] = {
    {kScanModeLabel, {5, 29, 143, 18}, Ctl::Label, u"Scan mode:"},
    {kScanModeChoice, {148, 29, 87, 18}, Ctl::Choice, {}, {}, ccdScanModes},
    {kRedundancyLabel, {5, 53, 143, 18}, Ctl::Label, u"Redundancy level:"},
    {kRedundancyChoice, {148, 53, 87, 18}, Ctl::Choice, {}, {}, fromZero},
};

const Row kImagerRows[] = {
    {kIlluminationBox, {5, 29, 230, 18}, Ctl::Check, u"Enable decoding illumination"},
    {kAimingBox, {5, 51, 230, 18}, Ctl::Check, u"Enable decoding aiming pattern"},
    {kRedundancyLabel, {5, 75, 143, 18}, Ctl::Label, u"Redundancy level:"},
    {kRedundancyChoice, {148, 75, 87, 18}, Ctl::Choice, {}, {}, fromOne},
    {kSecurityLabel, {5, 99, 143, 18}, Ctl::Label, u"Security level :"},
    {kSecurityChoice, {148, 99, 87, 18}, Ctl::Choice, {}, {}, fromZero},
    {kFocusLabel, {5, 123, 143, 18}, Ctl::Label, u"Focus mode:", {}, nullptr, Only::Imager2D},
    {kFocusChoice, {148, 123, 87, 18}, Ctl::Choice, {}, {}, focusModes, Only::Imager2D},
};

const Row kLongRangeRows[] = {
    {kRedundancyLabel, {5, 29, 143, 18}, Ctl::Label, u"Redundancy level:"},
    {kRedundancyChoice, {148, 29, 87, 18}, Ctl::Choice, {}, {}, fromOne},
    {kAngleLabel, {5, 53, 143, 18}, Ctl::Label, u"Scan angle:"},
    {kAngleChoice, {148, 53, 87, 18}, Ctl::Choice, {}, {}, narrowFactory, Only::LongRange1D},
    {kAngleChoice, {148, 53, 87, 18}, Ctl::Choice, {}, {}, wideFactory, Only::LongRange1D955},
    {kScanModeLabel, {5, 77, 143, 18}, Ctl::Label, u"Scan mode:"},
    {kScanModeChoice, {148, 77, 87, 18}, Ctl::Choice, {}, {}, longRangeModes},
    {kSymbolTimeoutLabel, {5, 101, 143, 18}, Ctl::Label, u"Timeout between symbols"},
    {kSymbolTimeoutChoice, {148, 101, 87, 18}, Ctl::Choice, {}, {}, symbolTimeouts},
    {kContinuousNote, {5, 123, 230, 18}, Ctl::Label, u"(This is applied only in continuous mode.)"},
    {kAimLabel, {5, 145, 143, 18}, Ctl::Label, u"Aim pattern Duration:", {}, nullptr, Only::LongRange1D},
    {kAimChoice, {148, 145, 87, 18}, Ctl::Choice, {}, {}, aimTimes, Only::LongRange1D},
};

enum class Family { None, Ccd, Imager, LongRange };

Family familyOf(ReaderType engine) {
    switch (engine) {
        case ReaderType::CcdLaser: return Family::Ccd;
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507: return Family::Imager;
        case ReaderType::LongRange1D:
        case ReaderType::LongRange1D955: return Family::LongRange;
        default: return Family::None;
    }
}

// The engine's values of a section; empty when the read fails.
KeyValues readEngine(reader::ReaderManager& readers, std::string_view section) {
    KeyValues values;
    if (!readers.symbology().configure(section, 'r', values)) values.clear();
    return values;
}

std::optional<int> valueOf(const KeyValues& values, std::string_view key) {
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

// Selects the position that f gives for the engine's value; the first choice without a value.
template <class F>
void selectFrom(ui::Window& dialog, int id, std::optional<int> value, F f) {
    selectClamped(dialog, id, value ? f(*value) : 0);
}

// Timeouts in tenths of a second: up to 1 s the first choice, from 9.1 s the last.
int tenthsPosition(int v) { return v < 11 ? 0 : v < 91 ? v / 10 - 1 : 8; }

int ccdModePosition(int mode) {
    switch (mode) {
        case 0: return 0;
        case 1: return 1;
        case 3: return 2;
        case 7: return 4;
        default: return 3;
    }
}

void loadCcd(ui::Window& dialog, reader::ReaderManager& readers) {
    const KeyValues v = readEngine(readers, kCcdSection);
    selectFrom(dialog, kTimeoutChoice, valueOf(v, "laserOnTime"), [](int s) { return s - 1; });
    selectFrom(dialog, kScanModeChoice, valueOf(v, "scanMode"), ccdModePosition);
    selectFrom(dialog, kRedundancyChoice, valueOf(v, "redundancy"), [](int r) { return r; });
    const int mode = valueOf(v, "scanMode").value_or(0);
    if (mode == 1 || mode == 5 || mode == 7) {
        dialog.enable(kTimeoutChoice, false);
        dialog.enable(kRedundancyChoice, false);
    }
}

void loadImager(ui::Window& dialog, reader::ReaderManager& readers) {
    const KeyValues timeout = readEngine(readers, k2dSection);
    const KeyValues decoding = readEngine(readers, kDecodingSection);
    const KeyValues security = readEngine(readers, kSecuritySection);
    selectFrom(dialog, kTimeoutChoice, valueOf(timeout, "laserOnTime"), tenthsPosition);
    dialog.setChecked(kIlluminationBox, valueOf(decoding, "decodingIllumination").value_or(0) != 0);
    dialog.setChecked(kAimingBox, valueOf(decoding, "decodeAimingPattern").value_or(0) != 0);
    selectFrom(dialog, kFocusChoice, valueOf(decoding, "imgFocus"), [](int f) { return f; });
    selectFrom(dialog, kRedundancyChoice, valueOf(security, "redundancy"), [](int r) { return r - 1; });
    selectFrom(dialog, kSecurityChoice, valueOf(security, "securityLevel"), [](int s) { return s; });
}

void loadLongRange(ui::Window& dialog, reader::ReaderManager& readers, ReaderType engine) {
    const KeyValues v = readEngine(readers, kLongRangeSection);
    selectFrom(dialog, kTimeoutChoice, valueOf(v, "laserOnTime"), tenthsPosition);
    selectFrom(dialog, kRedundancyChoice, valueOf(v, "linearCodeTypeSecurityLevels"),
               [](int r) { return r - 1; });
    selectFrom(dialog, kAngleChoice, valueOf(v, "scanAngle"), [engine](int a) {
        return engine == ReaderType::LongRange1D ? (a == 181 ? 0 : 1) : (a == 5 ? 1 : 0);
    });
    selectFrom(dialog, kScanModeChoice, valueOf(v, "scanMode"),
               [](int m) { return m == kLongRangeContinuous ? 0 : 1; });
    selectFrom(dialog, kSymbolTimeoutChoice, valueOf(v, "timeoutBetweenSameSymbol"), [](int t) { return t; });
    selectFrom(dialog, kAimChoice, valueOf(v, "aimDurtion"), [](int a) { return a / 10; });
}

// Continuous reading goes on without the trigger; otherwise the reader settles to its trigger.
void setContinuous(const ReaderPagesParts& parts, bool continuous) {
    if (continuous)
        parts.reading.releaseTriggerWaits();
    else
        parts.reading.awaitTriggerIdle(kTriggerIdleWaitMs);
}

int enabledFlag(const ReaderPagesParts& parts) { return parts.readers.barcodeAvailable() ? 1 : 0; }

void applyCcd(const ui::Window& dialog, const ReaderPagesParts& parts) {
    const int scanMode = kCcdScanModes[static_cast<std::size_t>(selected(dialog, kScanModeChoice)) % kCcdScanModes.size()];
    const int redundancy = selected(dialog, kRedundancyChoice);
    const int seconds = selected(dialog, kTimeoutChoice) + 1;
    parts.reading.setDecodeWaitSeconds(seconds);
    KeyValues values{{"scanMode", scanMode}, {"redundancy", redundancy}, {"laserOnTime", seconds}};
    parts.readers.symbology().configure(kCcdSection, 'w', values);
    const bool continuous = scanMode == kContinuousMode || scanMode == kTestMode;
    parts.symbologies.setRowsEnabled(!continuous);
    setContinuous(parts, continuous);
    if (parts.options.updateIniWhenExit != 1) return;
    writeKeys(parts.store, catalogueSection(kCcdSection),
              {{"hasCCD", 1}, {"enableBarcode", enabledFlag(parts)}, {"redundancy", redundancy},
               {"laserOnTime", seconds}, {"scanMode", scanMode}});
}

void applyImager(const ui::Window& dialog, const ReaderPagesParts& parts, ReaderType engine) {
    const int seconds = selected(dialog, kTimeoutChoice) + 1;
    const int illumination = dialog.isChecked(kIlluminationBox) ? 1 : 0;
    const int aiming = dialog.isChecked(kAimingBox) ? 1 : 0;
    const bool focusable = engine == ReaderType::Imager2D;
    const int focus = focusable ? selected(dialog, kFocusChoice) : 0;
    const int redundancy = selected(dialog, kRedundancyChoice) + 1;
    const int securityLevel = selected(dialog, kSecurityChoice);
    parts.reading.setDecodeWaitSeconds(seconds);
    reader::SymbologyConfig& engineConfig = parts.readers.symbology();
    KeyValues timeout{{"laserOnTime", seconds * 10}};
    engineConfig.configure(k2dSection, 'w', timeout);
    KeyValues decoding{{"decodingAutoexposure", 1},
                       {"decodingIllumination", illumination},
                       {"decodeAimingPattern", aiming}};
    if (focusable) decoding["imgFocus"] = focus;
    engineConfig.configure(kDecodingSection, 'w', decoding);
    KeyValues security{{"redundancy", redundancy}, {"securityLevel", securityLevel}};
    engineConfig.configure(kSecuritySection, 'w', security);
    if (parts.options.updateIniWhenExit != 1) return;
    writeKeys(parts.store, catalogueSection(k2dSection),
              {{focusable ? "has2D" : "has2D_4507", 1},
               {"enableBarcode", enabledFlag(parts)},
               {"laserOnTime", seconds},
               {"timeoutBetweenSameSymbol", 0},
               {"decodingAutoexposure", 1},
               {"decodingIllumination", illumination},
               {"decodeAimingPattern", aiming},
               {"imgFocus", focus}});
    writeKeys(parts.store, catalogueSection(kSecuritySection),
              {{"redundancy", redundancy}, {"securityLevel", securityLevel}});
}

void applyLongRange(const ui::Window& dialog, const ReaderPagesParts& parts, ReaderType engine) {
    const bool first = engine == ReaderType::LongRange1D;
    const int seconds = selected(dialog, kTimeoutChoice) + 1;
    const int symbolTimeout = selected(dialog, kSymbolTimeoutChoice);
    const int levels = selected(dialog, kRedundancyChoice) + 1;
    const bool wide = selected(dialog, kAngleChoice) == 0;
    const int angle = first ? (wide ? 181 : 182) : (wide ? 6 : 5);
    const bool continuous = selected(dialog, kScanModeChoice) == 0;
    const int scanMode = continuous ? kLongRangeContinuous : kLongRangeLaser;
    const int aim = selected(dialog, kAimChoice) * 10;
    parts.reading.setDecodeWaitSeconds(seconds);
    KeyValues values{{"laserOnTime", seconds * 10},
                     {"timeoutBetweenSameSymbol", symbolTimeout},
                     {"linearCodeTypeSecurityLevels", levels},
                     {"scanAngle", angle},
                     {"scanMode", scanMode}};
    if (first) values["aimDurtion"] = aim;
    parts.readers.symbology().configure(kLongRangeSection, 'w', values);
    setContinuous(parts, continuous);
    if (parts.options.updateIniWhenExit != 1) return;
    // The time-out goes into the file too, in tenths as the engine holds it, so that the next
    // start's import does not bring the old one back.
    StoreValues keys{{first ? "has1DLR" : "has1D_955", 1},
                     {"enableBarcode", enabledFlag(parts)},
                     {"laserOnTime", seconds * 10},
                     {"scanAngle", angle},
                     {"timeoutBetweenSameSymbol", symbolTimeout},
                     {"linearCodeTypeSecurityLevels", levels}};
    if (first) keys.emplace_back("aimDurtion", aim);
    keys.emplace_back("scanMode", scanMode);
    writeKeys(parts.store, catalogueSection(kLongRangeSection), keys);
}

}  // namespace

void buildBarcodePage(DialogBuilder& build, ui::Window& dialog, const PageContext& context,
                      reader::ReaderManager& readers) {
    const BrowserOptions none;
    const Family family = familyOf(context.engine);
    if (family == Family::None) return;
    buildRows(build, dialog, kTimeoutRows, context, none);
    switch (family) {
        case Family::Ccd:
            buildRows(build, dialog, kCcdRows, context, none);
            loadCcd(dialog, readers);
            break;
        case Family::Imager:
            buildRows(build, dialog, kImagerRows, context, none);
            loadImager(dialog, readers);
            break;
        case Family::LongRange:
            buildRows(build, dialog, kLongRangeRows, context, none);
            loadLongRange(dialog, readers, context.engine);
            break;
        case Family::None: break;
    }
}

void applyBarcodePage(const ui::Window& dialog, const PageContext& context,
                      const ReaderPagesParts& parts) {
    switch (familyOf(context.engine)) {
        case Family::Ccd: applyCcd(dialog, parts); break;
        case Family::Imager: applyImager(dialog, parts, context.engine); break;
        case Family::LongRange: applyLongRange(dialog, parts, context.engine); break;
        case Family::None: parts.readers.setBarcodeAvailable(false); break;
    }
}

}  // namespace tessel::settings::pages
