#include "tools/probe_rfid.h"

#include "browser/reader/device_identity.h"
#include "browser/reader/reader_port.h"
#include "browser/rfid/rfid_reader.h"
#include "browser/settings/ini_store.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "tools/probe_core.h"

namespace tessel::tools {
namespace {

using reader::ModelIndex;
using reader::ReaderType;

const char* kindName(ReaderType type) {
    switch (type) {
        case ReaderType::RfidText: return "RfidText";
        case ReaderType::RfidFrame: return "RfidFrame";
        case ReaderType::RfidModule: return "RfidModule";
        default: return "none";
    }
}

std::string json(std::string_view text) {
    return jsonString({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(static_cast<char>(c & 0xFF));
    return out;
}

// The "RFID" section of a browserINI.txt, under what the command line already set.
void readIni(const std::filesystem::path& path, RfidProbeSettings& s) {
    settings::IniStore store;
    if (!store.load(path)) return;
    const auto* section = store.findSection("RFID");
    store.getInt(section, "rfidReadStartByte", s.readStart);
    store.getInt(section, "rfidReadLength", s.readLength);
    store.getInt(section, "rfidWriteStartByte", s.writeStart);
    int hex = s.hexContent ? 1 : 0;
    store.getInt(section, "isHexContent", hex);
    s.hexContent = hex != 0;
    store.getInt(section, "m_rfidSecurityKeyType", s.keyType);
    std::u16string text;
    if (store.getString(section, "rfidWriteContent", text)) s.writeContent = narrow(text);
    if (store.getString(section, "mifareLoginKeyA", text)) s.loginKey = narrow(text);
}

RfidProbeSettings settingsOf(const RfidProbeOptions& o) {
    RfidProbeSettings s;
    if (!o.ini.empty()) readIni(o.ini, s);
    s.readStart = o.readStart.value_or(s.readStart);
    s.readLength = o.readLength.value_or(s.readLength);
    s.writeStart = o.writeStart.value_or(s.writeStart);
    s.writeContent = o.writeContent.value_or(s.writeContent);
    s.hexContent = o.hexContent ? *o.hexContent != 0 : s.hexContent;
    s.loginKey = o.loginKey.value_or(s.loginKey);
    s.keyType = o.keyType.value_or(s.keyType);
    return s;
}

bool isRfidRequest(int request) { return request == 1 || (request >= 5 && request <= 7); }

// Applies one "--flag value" pair; false when the flag or value is not one of ours.
bool applyOption(RfidProbeOptions& o, const std::string& flag, const std::string& value) {
    const auto number = parseNumber(value);
    if (flag == "--port") return number == 2;
    if (flag == "--device") return o.device = value, true;
    if (flag == "--device-root") return o.deviceRoot = value, true;
    if (flag == "--ini") return o.ini = value, true;
    if (flag == "--content") return o.writeContent = value, true;
    if (flag == "--key") return o.loginKey = value, true;
    if (!number) return false;
    if (flag == "--model" && *number >= 0 && *number <= 5) {
        o.model = static_cast<ModelIndex>(*number);
    } else if (flag == "--request" && isRfidRequest(*number)) {
        o.request = static_cast<ReaderType>(*number);
    } else if (flag == "--scan" && *number >= 0) {
        o.scans = *number;
    } else if (flag == "--start" && *number >= -1) {
        o.readStart = *number;
    } else if (flag == "--length" && *number >= 0) {
        o.readLength = *number;
    } else if (flag == "--write-start" && *number >= -1) {
        o.writeStart = *number;
    } else if (flag == "--hex" && (*number == 0 || *number == 1)) {
        o.hexContent = *number;
    } else if (flag == "--key-type" && (*number == 0 || *number == 1)) {
        o.keyType = *number;
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<platform::SerialPortOpener> openerFor(const RfidProbeOptions& options,
                                                      std::optional<platform::Registry>& registry,
                                                      std::ostream& err) {
    const auto fs = platform::DeviceFs::fromEnvironment(options.deviceRoot.string());
    if (fs) registry.emplace(platform::Registry::fileOf(*fs));
    if (!options.device.empty()) return deviceOpener(options.device);
    if (registry) return std::make_unique<platform::PortMapOpener>(*registry, fs->root());
    err << "No device given and no device root (--device-root or TESSEL_DEVICE_ROOT).\n";
    return nullptr;
}

std::int64_t msSince(const platform::Clock& clock, platform::Micros start) {
    return std::chrono::duration_cast<platform::Millis>(clock.now() - start).count();
}

bool scanOnce(rfid::RfidReader& reader, const rfid::TagRequest& request,
              platform::Clock& clock, std::ostream& out) {
    const auto start = clock.now();
    rfid::RfidTagResult result;
    if (reader.scan(request, result)) {
        out << tagJson(result, msSince(clock, start)) << '\n';
        return true;
    }
    out << "{\"error\":" << json(reader::errorToString(reader.lastError()))
        << ",\"lastError\":" << reader.lastError() << ",\"ms\":" << msSince(clock, start)
        << "}\n";
    return false;
}

int writeOnce(rfid::RfidReader& reader, const RfidProbeSettings& s, platform::Clock& clock,
              std::ostream& out, std::ostream& err) {
    const auto data = writeBytes(s);
    const int written = reader.write(s.writeStart, data, s.loginKey, s.keyType);
    out << "{\"written\":" << written << "}\n";
    if (written == 0) {
        err << "Cannot write data to tag.\n";
        return kProbeNoDecode;
    }
    const rfid::TagRequest readBack{s.writeStart, int(data.size()) + 10, s.loginKey, s.keyType};
    return scanOnce(reader, readBack, clock, out) ? kProbeOk : kProbeNoDecode;
}

}  // namespace

bool wantsRfidPort(std::span<const std::string> args) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--port" && args[i + 1] == "2") return true;
    }
    return false;
}

std::optional<RfidProbeOptions> parseRfidProbeArguments(std::span<const std::string> args,
                                                        std::string& error) {
    RfidProbeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "--write") {
            options.write = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + flag;
            return std::nullopt;
        }
        if (!applyOption(options, flag, args[++i])) {
            error = "bad option " + flag + " " + args[i];
            return std::nullopt;
        }
    }
    return options;
}

std::string tagJson(const rfid::RfidTagResult& result, std::int64_t ms) {
    return "{\"tagCode\":" + std::to_string(result.code) + ",\"tagType\":" +
           json(result.typeName) + ",\"uid\":" + json(result.uid) +
           ",\"userData\":" + jsonString(result.userData) +
           ",\"blockSize\":" + std::to_string(result.blockSize) + ",\"ms\":" + std::to_string(ms) +
           "}";
}

std::vector<std::uint8_t> writeBytes(const RfidProbeSettings& settings) {
    if (settings.hexContent) return rfid::decodeHex(settings.writeContent);
    return {settings.writeContent.begin(), settings.writeContent.end()};
}

int runRfidProbe(const RfidProbeOptions& options, platform::Clock& clock, std::ostream& out,
                 std::ostream& err) {
    std::optional<platform::Registry> registry;
    const auto opener = openerFor(options, registry, err);
    if (!opener) return kProbeUsage;
    reader::ReaderPort port(rfid::RfidReader::kPortNumber, *opener, clock);
    const std::string name = options.device.empty() ? port.deviceName() : options.device;
    port.model =
        options.model.value_or(registry ? reader::detectModel(*registry) : ModelIndex::Unknown);
    rfid::RfidLink link(*opener, clock);
    rfid::RfidReader reader(port, link, rfid::processFrameReaderFlags(), {.idleThread = false});
    if (!reader.openPort()) {
        err << "Cannot open " << name << " (" << reader::errorToString(port.lastError) << ").\n";
        return kProbePortFailed;
    }
    reader.close();
    if (!reader.start(options.request)) {
        err << "No RFID reader answers on " << name << " (model " << static_cast<int>(port.model)
            << ", request " << static_cast<int>(options.request) << ").\n";
        return kProbeNoEngine;
    }
    const bool module = reader.kind() == ReaderType::RfidModule;
    out << "model: " << static_cast<int>(port.model) << "\n"
        << "kind: " << kindName(reader.kind()) << " (" << static_cast<int>(reader.kind()) << ")\n"
        << "speed: " << (module ? rfid::RfidReader::kModuleSpeed : port.speed()) << "\n"
        << "version: " << reader.version() << "\n";
    const RfidProbeSettings s = settingsOf(options);
    int status = kProbeOk;
    for (int i = 0; i < options.scans; ++i) {
        const rfid::TagRequest request{s.readStart, s.readLength, s.loginKey, s.keyType};
        if (!scanOnce(reader, request, clock, out)) status = kProbeNoDecode;
    }
    if (options.write) {
        const int written = writeOnce(reader, s, clock, out, err);
        if (written != kProbeOk) status = written;
    }
    reader.close();
    return status;
}

}  // namespace tessel::tools
