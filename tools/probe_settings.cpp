#include "tools/probe_settings.h"

#include <cassert>
#include <string>

#include "browser/settings/options_catalogue.h"
#include "browser/settings/section_access.h"

namespace tessel::tools {
namespace {

using reader::KeyValues;
using reader::ReaderType;
using enum reader::ReaderType;

// Where a key of a reader section lives in the engine, and the file's unit of it.
struct Route {
    std::string_view key;
    std::string_view operation;
    int scale = 1;  // engine value = file value × scale
};

// Reader sections hold a few engine values among host options; the other sections are their
// operation's keys one to one.
std::vector<Route> readerRoutes(std::string_view section) {
    if (section == "Barcode Reader CCD/Laser") {
        return {{"redundancy", section}, {"laserOnTime", section}, {"scanMode", section}};
    }
    if (section == "Barcode Reader 2D") {
        return {{"laserOnTime", section, 10},
                {"decodingIllumination", "Image 2D"},
                {"decodeAimingPattern", "Image 2D"},
                {"imgFocus", "Image 2D"}};
    }
    if (section == "Barcode Reader 1D_LR") {
        return {{"laserOnTime", section},
                {"scanAngle", section},
                {"linearCodeTypeSecurityLevels", section},
                {"aimDurtion", section},
                {"scanMode", section}};
    }
    return {};
}

// The presence key an export sets in the reader section of a kind.
std::string_view presenceKey(ReaderType type) {
    switch (type) {
        case CcdLaser:
            return "hasCCD";
        case Imager2D:
            return "has2D";
        case Imager2D4507:
            return "has2D_4507";
        case LongRange1D:
            return "has1DLR";
        default:
            return "has1D_955";
    }
}

// Sections in export order.
std::vector<std::string_view> exportSections(ReaderType type) {
    switch (type) {
        case CcdLaser:
            return {
                "Barcode Reader CCD/Laser", "CodaBar CCD/Laser",      "ISBT128 CCD/Laser",
                "Code128 CCD/Laser",        "Ean128 CCD/Laser",       "Code39 CCD/Laser",
                "Code93 CCD/Laser",         "EAN-13,UPC-A CCD/Laser", "EAN-8 CCD/Laser",
                "GTIN CCD/Laser",           "Industrial25 CCD/Laser", "Interleaved25 CCD/Laser",
                "Matrix25 CCD/Laser",       "MSI CCD/Laser",          "Negative barcode CCD/Laser",
                "Pharmacode CCD/Laser",     "Plessey CCD/Laser",      "RSS CCD/Laser",
                "Telepen CCD/Laser",        "UPC-E CCD/Laser"};
        case Imager2D:
        case Imager2D4507: {
            std::vector<std::string_view> all{
                "Barcode Reader 2D",      "Codabar 2D/1D_LR",      "Code11 2D",
                "Code128 2D/1D_LR",       "Code39 2D/1D_LR",       "Code93 2D/1D_LR",
                "Composite 2D",           "Industrial25 2D/1D_LR", "EAN,JAN 2D/1D_LR",
                "Interleaved25 2D/1D_LR", "MacroPDF 2D",           "Miscellaneous Option 2D/1D_LR",
                "MSI 2D/1D_LR",           "PostalCode 2D",         "RSS 2D/1D_LR"};
            if (type == Imager2D) {
                all.insert(all.end(), {"2D Symbologies", "UPC 2D/1D_LR",
                                       "Symbology security level, 2D", "Image 2D"});
            } else {
                all.insert(all.end(), {"UPC 2D/1D_LR", "Image 2D", "Chinese25", "Matrix25 2D",
                                       "2D Symbologies"});
            }
            return all;
        }
        case LongRange1D:
        case LongRange1D955: {
            std::vector<std::string_view> all{
                "Barcode Reader 1D_LR", "Codabar 2D/1D_LR",       "Code128 2D/1D_LR",
                "Code39 2D/1D_LR",      "Code93 2D/1D_LR",        "Industrial25 2D/1D_LR",
                "EAN,JAN 2D/1D_LR",     "Interleaved25 2D/1D_LR", "Miscellaneous Option 2D/1D_LR",
                "MSI 2D/1D_LR",         "RSS 2D/1D_LR",           "UPC 2D/1D_LR"};
            if (type == LongRange1D955) all.insert(all.end(), {"Code11 2D", "Chinese25"});
            return all;
        }
        default:
            return {};
    }
}

// Keys of a symbology section that an export leaves out (host options, no file unit).
bool leftOut(std::string_view section, std::string_view key, ReaderType type) {
    return section == "Image 2D" && (key == "enable" || key == "snapshotModeTimeout" ||
                                     (key == "exposureTime" && type == Imager2D4507));
}

// The engine values of a reader section, in the file's units; false when the engine read fails.
bool readReaderSection(reader::SymbologyConfig& config, std::string_view section, KeyValues& file) {
    for (const Route& route : readerRoutes(section)) {
        KeyValues engine;
        if (!config.configure(route.operation, 'r', engine)) return false;
        if (auto found = engine.find(route.key); found != engine.end()) {
            file[std::string(route.key)] = found->second / route.scale;
        }
    }
    return true;
}

void writeSection(settings::IniStore& store, const settings::SectionSpec& spec, KeyValues& values) {
    std::vector<settings::KeyRef> refs(spec.keys.size(), nullptr);
    for (std::size_t i = 0; i < spec.keys.size(); ++i) {
        if (auto found = values.find(spec.keys[i].name); found != values.end()) {
            refs[i] = &found->second;
        }
    }
    settings::accessSection(store, 'w', spec, refs);
}

}  // namespace

void exportEngineSettings(reader::SymbologyConfig& config, ReaderType type,
                          settings::IniStore& store) {
    for (std::string_view section : exportSections(type)) {
        const settings::SectionSpec* spec = settings::findSectionSpec(section, int(type));
        if (!spec) continue;
        KeyValues values;
        if (!readerRoutes(section).empty()) {
            if (!readReaderSection(config, section, values)) continue;
            values[std::string(presenceKey(type))] = 1;
            values["enableBarcode"] = 1;
        } else {
            if (!config.configure(section, 'r', values)) continue;
            std::erase_if(values, [&](const auto& kv) { return leftOut(section, kv.first, type); });
        }
        writeSection(store, *spec, values);
    }
}

int importEngineSettings(reader::SymbologyConfig& config, ReaderType type,
                         settings::IniStore& store) {
    int refused = 0;
    for (std::string_view section : exportSections(type)) {
        const settings::SectionSpec* spec = settings::findSectionSpec(section, int(type));
        const settings::IniSection* held = store.findSection(section);
        if (!spec || !held) continue;
        KeyValues present;
        for (const settings::KeySpec& key : spec->keys) {
            int value = 0;
            if (store.getInt(held, key.name, value)) present[std::string(key.name)] = value;
        }
        const auto routes = readerRoutes(section);
        if (routes.empty()) {
            std::erase_if(present,
                          [&](const auto& kv) { return leftOut(section, kv.first, type); });
            refused += config.configure(section, 'w', present) ? 0 : 1;
            continue;
        }
        for (const Route& route : routes) {
            auto found = present.find(route.key);
            if (found == present.end()) continue;
            KeyValues one{{std::string(route.key), found->second * route.scale}};
            refused += config.configure(route.operation, 'w', one) ? 0 : 1;
        }
    }
    return refused;
}

int runSettings(const ProbeOptions& options, reader::ReaderPort& port, std::ostream& out,
                std::ostream& err) {
    reader::SymbologyConfig config(port);
    config.readAll();
    if (!options.applyFile.empty()) {
        settings::IniStore file;
        if (!file.load(options.applyFile, settings::CaseMode::Folded)) {
            err << "Cannot read " << options.applyFile.string() << ".\n";
            return kProbeUsage;
        }
        const int refused = importEngineSettings(config, port.type, file);
        if (refused > 0) {
            err << "The engine refused " << refused << " section(s).\n";
            return kProbeSettingsFailed;
        }
    }
    if (options.settings) {
        settings::IniStore store;
        exportEngineSettings(config, port.type, store);
        out << store.text();
    }
    return kProbeOk;
}

}  // namespace tessel::tools
