#include "browser/settings/persistence.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>
#include <vector>

#include "browser/settings/text8.h"

namespace tessel::settings {
namespace {

using reader::KeyValues;
using reader::ReaderType;

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kRfid = "RFID";
constexpr std::string_view kCcdReader = "Barcode Reader CCD/Laser";
constexpr std::string_view kReader2D = "Barcode Reader 2D";
constexpr std::string_view kLongRangeReader = "Barcode Reader 1D_LR";
constexpr std::string_view kImage = "Image 2D";
constexpr std::string_view kUpc = "UPC 2D/1D_LR";

// The engine's 2D decode time-out is a byte in tenths of a second; the file holds seconds.
constexpr int kTenths = 10;
constexpr int kMaxDecodeSeconds = 25;

// The longest idle time whose milliseconds still fit the reader's 32-bit wait.
constexpr std::uint32_t kMaxIdleSeconds = 4294967;

// Presence keys in the order in which they choose the engine to look for.
struct PresenceKey {
    std::string_view section;
    std::string_view key;
    ReaderType kind;
};
constexpr std::array<PresenceKey, 5> kPresenceKeys{{
    {kCcdReader, "hasCCD", ReaderType::CcdLaser},
    {kReader2D, "has2D", ReaderType::Imager2D},
    {kReader2D, "has2D_4507", ReaderType::Imager2D4507},
    {kLongRangeReader, "has1DLR", ReaderType::LongRange1D},
    {kLongRangeReader, "has1D_955", ReaderType::LongRange1D955},
}};

// The presence key an export writes for each engine kind.
std::string_view presenceKey(ReaderType kind) {
    for (const PresenceKey& presence : kPresenceKeys) {
        if (presence.kind == kind) return presence.key;
    }
    return {};
}

bool isRfid(ReaderType kind) {
    return kind == ReaderType::RfidText || kind == ReaderType::RfidFrame ||
           kind == ReaderType::RfidModule;
}

// ---- Section orders, per engine kind ----

const std::vector<std::string_view> kCcdExport{
    kCcdReader,
    "CodaBar CCD/Laser",
    "ISBT128 CCD/Laser",
    "Code128 CCD/Laser",
    "Ean128 CCD/Laser",
    "Code39 CCD/Laser",
    "Code93 CCD/Laser",
    "EAN-13,UPC-A CCD/Laser",
    "EAN-8 CCD/Laser",
    "GTIN CCD/Laser",
    "Industrial25 CCD/Laser",
    "Interleaved25 CCD/Laser",
    "Matrix25 CCD/Laser",
    "MSI CCD/Laser",
    "Negative barcode CCD/Laser",
    "Pharmacode CCD/Laser",
    "Plessey CCD/Laser",
    "RSS CCD/Laser",
    "Telepen CCD/Laser",
    "UPC-E CCD/Laser",
};

// Kinds 3 and 8 import and export the same head; their tails differ.
const std::vector<std::string_view> kImagerHead{
    kReader2D,
    "Codabar 2D/1D_LR",
    "Code11 2D",
    "Code128 2D/1D_LR",
    "Code39 2D/1D_LR",
    "Code93 2D/1D_LR",
    "Composite 2D",
    "Industrial25 2D/1D_LR",
    "EAN,JAN 2D/1D_LR",
    "Interleaved25 2D/1D_LR",
    "MacroPDF 2D",
    "Miscellaneous Option 2D/1D_LR",
    "MSI 2D/1D_LR",
    "PostalCode 2D",
    "RSS 2D/1D_LR",
};
const std::vector<std::string_view> kImagerImportMiddle{"Symbology security level, 2D", kUpc};
const std::vector<std::string_view> kImager2DImportTail{"2D Symbologies", kImage};
const std::vector<std::string_view> kImager4507ImportTail{kImage, "Chinese25", "Matrix25 2D",
                                                          "2D Symbologies"};
// "2D Symbologies" sits before UPC only on kind 3.
const std::vector<std::string_view> kImager2DExportTail{"2D Symbologies", kUpc,
                                                        "Symbology security level, 2D", kImage};
const std::vector<std::string_view> kImager4507ExportTail{kUpc, kImage, "Chinese25",
                                                          "Matrix25 2D", "2D Symbologies"};

const std::vector<std::string_view> kLongRangeSymbologies{
    "Codabar 2D/1D_LR",       "Code128 2D/1D_LR", "Code39 2D/1D_LR",
    "Code93 2D/1D_LR",        "Industrial25 2D/1D_LR", "EAN,JAN 2D/1D_LR",
    "Interleaved25 2D/1D_LR", "Miscellaneous Option 2D/1D_LR", "MSI 2D/1D_LR",
    "RSS 2D/1D_LR",           kUpc,
};
const std::vector<std::string_view> kLongRange955Extra{"Code11 2D", "Chinese25"};

std::vector<std::string_view> joined(std::initializer_list<std::vector<std::string_view>> parts) {
    std::vector<std::string_view> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The text engine's sections in catalogue order.
std::vector<std::string_view> ccdSections() {
    std::vector<std::string_view> sections;
    for (const SectionSpec& spec : optionsCatalogue()) {
        if (spec.name != kGeneral && spec.name != kRfid && spec.kinds.contains(2)) {
            sections.push_back(spec.name);
        }
    }
    return sections;
}

std::vector<std::string_view> importOrder(ReaderType kind) {
    switch (kind) {
        case ReaderType::CcdLaser:
            return ccdSections();
        case ReaderType::Imager2D:
            return joined({kImagerHead, kImagerImportMiddle, kImager2DImportTail});
        case ReaderType::Imager2D4507:
            return joined({kImagerHead, kImagerImportMiddle, kImager4507ImportTail});
        case ReaderType::LongRange1D:
            return joined({{kLongRangeReader}, kLongRangeSymbologies});
        case ReaderType::LongRange1D955:
            return joined({{kLongRangeReader}, kLongRangeSymbologies, kLongRange955Extra});
        default:
            return {};
    }
}

// Which sections an export refreshes, in the order they are appended to a store lacking them.
// A 2D engine only adds what is missing, apart from UPC; a long-range laser refreshes its
// symbologies but adds its reader section and the 955's extras only when missing.
struct ExportStep {
    std::string_view section;
    bool onlyWhenMissing;
};

std::vector<ExportStep> steps(const std::vector<std::string_view>& sections,
                              bool onlyWhenMissing) {
    std::vector<ExportStep> out;
    for (std::string_view section : sections) {
        out.push_back({section, onlyWhenMissing && section != kUpc});
    }
    return out;
}

std::vector<ExportStep> exportOrder(ReaderType kind) {
    std::vector<ExportStep> out;
    switch (kind) {
        case ReaderType::CcdLaser:
            return steps(kCcdExport, false);
        case ReaderType::Imager2D:
            return steps(joined({kImagerHead, kImager2DExportTail}), true);
        case ReaderType::Imager2D4507:
            return steps(joined({kImagerHead, kImager4507ExportTail}), true);
        case ReaderType::LongRange1D:
        case ReaderType::LongRange1D955:
            out = steps({kLongRangeReader}, true);
            for (const ExportStep& step : steps(kLongRangeSymbologies, false)) out.push_back(step);
            if (kind == ReaderType::LongRange1D955) {
                for (const ExportStep& step : steps(kLongRange955Extra, true)) out.push_back(step);
            }
            return out;
        default:
            return {};
    }
}

// Keeps only the given keys of values.
KeyValues only(const KeyValues& values, std::initializer_list<std::string_view> keys) {
    KeyValues out;
    for (std::string_view key : keys) {
        if (auto found = values.find(key); found != values.end()) out.insert(*found);
    }
    return out;
}

// An existing file whose write permission is off: the terminal cannot replace it either.
bool writeProtected(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::is_regular_file(status)) return false;
    return (status.permissions() & std::filesystem::perms::owner_write) ==
           std::filesystem::perms::none;
}

}  // namespace

std::u16string settingsPathFor(std::u16string_view modulePath) {
    const std::size_t slash = modulePath.rfind(u'\\');
    std::u16string path = slash == std::u16string_view::npos
                              ? std::u16string(modulePath) + u'\\'
                              : std::u16string(modulePath.substr(0, slash + 1));
    return path + std::u16string(kSettingsFileName);
}

DetectionRequests detectionRequests(IniStore& store) {
    DetectionRequests requests;
    if (store.isEmpty()) return requests;
    int loadIniWhenStart = 0;
    store.getInt(store.findSection(kGeneral), "loadIniWhenStart", loadIniWhenStart);
    requests.import = loadIniWhenStart == 1;
    if (!requests.import) return requests;

    requests.barcode = ReaderType::None;
    for (const PresenceKey& presence : kPresenceKeys) {
        int present = 0;
        store.getInt(store.findSection(presence.section), presence.key, present);
        if (present != 0) {
            requests.barcode = presence.kind;
            break;
        }
    }
    int hasRfid = 0;
    store.getInt(store.findSection(kRfid), "hasRfid", hasRfid);
    requests.rfid = static_cast<ReaderType>(hasRfid);  // 0 none, 1 any, or one RFID kind
    return requests;
}

SettingsPersistence::SettingsPersistence(PersistenceParts parts)
    : parts_(std::move(parts)), engine_(parts_.readers.symbology()) {}

// ---- Start-up ----

void SettingsPersistence::loadSettingsAtStart(const std::function<void()>& startReaderThreads) {
    if (parts_.store.isEmpty()) loadFile();
    const DetectionRequests requests = detectionRequests(parts_.store);
    if (parts_.readers.start(requests.barcode, requests.rfid) && startReaderThreads) {
        startReaderThreads();
    }
    if (requests.import) importSettings();
}

void SettingsPersistence::loadFile() {
    const auto path = hostPath();
    if (!path || parts_.store.load(*path, CaseMode::Folded)) return;
    // A missing, empty or sectionless file leaves the store empty and may be replaced at exit.
    // A file with bytes that could not be read holds settings the store does not have.
    std::error_code error;
    const auto size = std::filesystem::file_size(*path, error);
    fileUnread_ = parts_.store.lastError().empty() && !error && size > 0;
}

std::optional<std::filesystem::path> SettingsPersistence::hostPath() const {
    return parts_.fs.toHost(toEightBit(settingsPath()));
}

const SectionSpec* SettingsPersistence::spec(std::string_view section) const {
    return findSectionSpec(section, static_cast<int>(engineKind()));
}

// ---- Import ----

void SettingsPersistence::importSettings() {
    accessSection(parts_.store, 'r', catalogueSection(kGeneral), generalRefs(parts_.options));
    const std::vector<std::string_view> sections = importOrder(engineKind());
    if (sections.empty()) parts_.readers.setBarcodeAvailable(false);
    for (std::string_view section : sections) importSection(section);
    importRfid();
}

// The number and flag keys of section that the store holds; nullopt without the section.
std::optional<KeyValues> SettingsPersistence::storedValues(std::string_view section) {
    const SectionSpec* keys = spec(section);
    const IniSection* stored = parts_.store.findSection(section);
    if (!keys || !stored) return std::nullopt;
    KeyValues values;
    for (const KeySpec& key : keys->keys) {
        int value = 0;
        if (key.kind != KeyKind::Text && parts_.store.getInt(stored, key.name, value)) {
            values.emplace(std::string(key.name), value);
        }
    }
    return values;
}

void SettingsPersistence::sendToEngine(std::string_view operation, KeyValues values) {
    // A refused section is passed over: the remaining ones still reach the engine.
    if (!values.empty()) engine_.configure(operation, 'w', values);
}

void SettingsPersistence::importSection(std::string_view section) {
    std::optional<KeyValues> values = storedValues(section);
    if (!values) return;
    if (section == kCcdReader) {
        importBarcodeSwitch(*values);
        sendToEngine(section, only(*values, {"scanMode", "redundancy", "laserOnTime"}));
    } else if (section == kReader2D) {
        importReader2D(std::move(*values));
    } else if (section == kLongRangeReader) {
        importBarcodeSwitch(*values);
        sendToEngine(section, only(*values, {"laserOnTime", "scanAngle",
                                             "linearCodeTypeSecurityLevels", "aimDurtion",
                                             "scanMode"}));
    } else if (section == kImage) {
        importImage(std::move(*values));
    } else {
        // The file has no EAN-128 separator; the engine's operation gets 0.
        if (section == "Ean128 CCD/Laser") values->emplace("ean128Separator", 0);
        sendToEngine(section, std::move(*values));
    }
}

void SettingsPersistence::importBarcodeSwitch(KeyValues& values) {
    if (auto found = values.find("enableBarcode"); found != values.end()) {
        parts_.readers.setBarcodeAvailable(found->second != 0);
    }
}

void SettingsPersistence::importReader2D(KeyValues values) {
    importBarcodeSwitch(values);
    if (auto found = values.find("laserOnTime"); found != values.end()) {
        // Seconds in the file, tenths in the engine's byte.
        const int seconds = std::clamp(found->second, 0, kMaxDecodeSeconds);
        sendToEngine(kReader2D, {{"laserOnTime", seconds * kTenths}});
    }
    sendToEngine(kImage, only(values, {"decodingIllumination", "decodeAimingPattern", "imgFocus"}));
}

void SettingsPersistence::importImage(KeyValues values) {
    if (auto found = values.find("enable"); found != values.end()) {
        parts_.options.imageCapture = found->second;
        values.erase(found);
    }
    values.erase("snapshotModeTimeout");
    sendToEngine(kImage, std::move(values));
}

void SettingsPersistence::importRfid() {
    const ReaderType kind = parts_.readers.scannerType(2);
    if (!isRfid(kind)) {
        parts_.readers.setRfidAvailable(false);
        return;
    }
    int enable = 0, idle = 0;
    if (!accessSection(parts_.store, 'r', catalogueSection(kRfid), rfidRefs(kind, enable, idle))) {
        return;
    }
    parts_.readers.setRfidAvailable(enable != 0);
    // 0 would close the reader's port as soon as it opened, and a negative or huge time would
    // overflow its wait: such values keep the time the reader has.
    if (parts_.rfidIdle && idle > 0 && static_cast<std::uint32_t>(idle) <= kMaxIdleSeconds) {
        parts_.rfidIdle->setSeconds(static_cast<std::uint32_t>(idle));
    }
}

std::vector<KeyRef> SettingsPersistence::rfidRefs(ReaderType kind, int& enable, int& idle) {
    // Kinds 5 and 7 log in with a Mifare key; kind 6 powers off when idle.
    BrowserOptions& o = parts_.options;
    const bool frame = kind == ReaderType::RfidFrame;
    enable = parts_.readers.rfidAvailable() ? 1 : 0;
    idle = parts_.rfidIdle ? static_cast<int>(parts_.rfidIdle->seconds()) : 0;
    const KeyRef none = nullptr;
    return {none,
            &enable,
            &o.rfidRW,
            &o.rfidReadStartByte,
            &o.rfidReadLength,
            &o.displayUserDataByHex,
            &o.rfidWriteStartByte,
            &o.rfidWriteContent,
            &o.isHexContent,
            frame ? none : &o.mifareLoginKeyA,
            frame ? none : &o.m_rfidSecurityKeyType,
            frame && parts_.rfidIdle ? &idle : none};
}

// ---- Export ----

void SettingsPersistence::exportSettings() {
    std::vector<KeyRef> general = generalRefs(parts_.options);
    general.front() = nullptr;  // lockScreen: written only by the Browser Settings page
    accessSection(parts_.store, 'w', catalogueSection(kGeneral), general);
    for (const ExportStep& step : exportOrder(engineKind())) {
        exportSection(step.section, step.onlyWhenMissing);
    }
    exportRfid();
}

void SettingsPersistence::exportSection(std::string_view section, bool onlyWhenMissing) {
    if (onlyWhenMissing && parts_.store.findSection(section)) return;
    if (section == kCcdReader) {
        exportCcdReader();
    } else if (section == kReader2D) {
        exportReader2D();
    } else if (section == kLongRangeReader) {
        exportLongRangeReader();
    } else if (section == kImage) {
        exportImage();
    } else {
        refresh(section);
    }
}

// Reads the section's values from the engine; a failed read leaves the store as it is.
void SettingsPersistence::refresh(std::string_view section) {
    KeyValues values;
    if (engine_.configure(section, 'r', values)) writeSection(section, values);
}

void SettingsPersistence::exportCcdReader() {
    // Written even when the engine cannot be read, with the values that are known.
    KeyValues values;
    engine_.configure(kCcdReader, 'r', values);
    values["hasCCD"] = 1;
    values["enableBarcode"] = barcodeSwitch();
    writeSection(kCcdReader, values);
}

void SettingsPersistence::exportReader2D() {
    KeyValues decoding;
    if (!engine_.configure(kImage, 'r', decoding)) return;
    KeyValues values = only(decoding, {"decodingIllumination", "decodeAimingPattern", "imgFocus"});
    values[std::string(presenceKey(engineKind()))] = 1;
    values["enableBarcode"] = barcodeSwitch();
    KeyValues timeout;
    if (engine_.configure(kReader2D, 'r', timeout) && timeout.contains("laserOnTime")) {
        values["laserOnTime"] = timeout["laserOnTime"] / kTenths;
    }
    writeSection(kReader2D, values);
}

void SettingsPersistence::exportLongRangeReader() {
    KeyValues engine;
    if (!engine_.configure(kLongRangeReader, 'r', engine)) return;
    KeyValues values = only(engine, {"laserOnTime", "scanAngle", "linearCodeTypeSecurityLevels",
                                     "aimDurtion", "scanMode"});
    values[std::string(presenceKey(engineKind()))] = 1;
    values["enableBarcode"] = barcodeSwitch();
    writeSection(kLongRangeReader, values);
}

void SettingsPersistence::exportImage() {
    KeyValues values;
    if (!engine_.configure(kImage, 'r', values)) return;
    values["enable"] = parts_.options.imageCapture;
    values.erase("snapshotModeTimeout");
    if (engineKind() == ReaderType::Imager2D4507) values.erase("exposureTime");
    writeSection(kImage, values);
}

void SettingsPersistence::exportRfid() {
    const ReaderType kind = parts_.readers.scannerType(2);
    if (!isRfid(kind)) return;
    int hasRfid = static_cast<int>(kind), enable = 0, idle = 0;
    std::vector<KeyRef> refs = rfidRefs(kind, enable, idle);
    refs.front() = &hasRfid;
    accessSection(parts_.store, 'w', catalogueSection(kRfid), refs);
}

// ---- Exit ----

std::optional<std::u16string> SettingsPersistence::saveSettingsAtExit() {
    exportSettings();
    const auto path = hostPath();
    if (!path || fileUnread_ || writeProtected(*path)) return std::u16string(kIniWriteError);
    if (!parts_.store.save(*path)) return parts_.store.lastError();
    return std::nullopt;
}

// ---- Write-through ----

bool SettingsPersistence::writeThrough(std::string_view section, std::span<const KeyRef> refs) {
    if (parts_.options.updateIniWhenExit != 1) return false;
    writeSection(section, refs);
    return true;
}

bool SettingsPersistence::writeThrough(std::string_view section,
                                       std::initializer_list<KeyRef> refs) {
    return writeThrough(section, std::span(refs.begin(), refs.size()));
}

bool SettingsPersistence::writeThrough(std::string_view section, const KeyValues& values) {
    if (parts_.options.updateIniWhenExit != 1) return false;
    writeSection(section, values);
    return true;
}

void SettingsPersistence::writeSection(std::string_view section, std::span<const KeyRef> refs) {
    if (const SectionSpec* keys = spec(section)) accessSection(parts_.store, 'w', *keys, refs);
}

void SettingsPersistence::writeSection(std::string_view section, const KeyValues& values) {
    const SectionSpec* keys = spec(section);
    if (!keys) return;
    // The section's keys that values carries, in the section's key order.
    KeyValues copy = values;
    std::vector<KeyRef> refs(keys->keys.size(), nullptr);
    for (std::size_t i = 0; i < refs.size(); ++i) {
        auto found = copy.find(keys->keys[i].name);
        if (found != copy.end() && keys->keys[i].kind != KeyKind::Text) refs[i] = &found->second;
    }
    accessSection(parts_.store, 'w', *keys, refs);
}

}  // namespace tessel::settings
