#include "tools/probe_core.h"

#include <charconv>
#include <cstdio>

#include "browser/reader/device_identity.h"
#include "browser/reader/engine.h"
#include "browser/reader/engine_interpret.h"
#include "browser/reader/reader_port.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "tools/probe_settings.h"

namespace tessel::tools {
namespace {

using reader::ModelIndex;
using reader::ReaderType;

constexpr std::uint32_t kPortSettleMs = 500;

// Opens one host device, whatever port name it is asked for.
class DeviceOpener final : public platform::SerialPortOpener {
  public:
    explicit DeviceOpener(std::filesystem::path device) : device_(std::move(device)) {}
    std::unique_ptr<platform::SerialPort> open(std::string_view, int& error) override {
        return platform::TermiosSerialPort::open(device_, error);
    }

  private:
    std::filesystem::path device_;
};

const char* typeName(ReaderType type) {
    switch (type) {
        case ReaderType::CcdLaser:
            return "CcdLaser";
        case ReaderType::Imager2D:
            return "Imager2D";
        case ReaderType::LongRange1D:
            return "LongRange1D";
        case ReaderType::Imager2D4507:
            return "Imager2D4507";
        case ReaderType::LongRange1D955:
            return "LongRange1D955";
        default:
            return "none";
    }
}

bool isEngineRequest(int request) {
    return request == 1 || request == 2 || request == 3 || request == 4 || request == 8 ||
           request == 9;
}

}  // namespace

bool readOnce(reader::ReaderPort& port, reader::AimToggle& toggle, std::ostream& out) {
    const auto start = port.clock().now();
    bool decoded = false;
    if (reader::trigger(port, true, toggle)) {
        decoded = reader::receiveDecode(port, reader::HostOptions{});
        // The trigger release may leave its own error; the decode's reason is the one to report.
        const int decodeError = port.lastError;
        reader::trigger(port, false, toggle);
        port.lastError = decodeError;
    }
    const auto ms =
        std::chrono::duration_cast<platform::Millis>(port.clock().now() - start).count();
    if (decoded) {
        out << decodeJson(port.result, ms) << '\n';
    } else {
        const std::string reason = reader::errorToString(port.lastError);
        out << "{\"error\":"
            << jsonString({reinterpret_cast<const std::uint8_t*>(reason.data()), reason.size()})
            << ",\"lastError\":" << port.lastError << ",\"ms\":" << ms << "}\n";
    }
    return decoded;
}

std::optional<int> parseNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::unique_ptr<platform::SerialPortOpener> deviceOpener(std::filesystem::path device) {
    return std::make_unique<DeviceOpener>(std::move(device));
}

std::string jsonString(std::span<const std::uint8_t> bytes) {
    std::string out = "\"";
    for (const std::uint8_t byte : bytes) {
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out + "\"";
}

std::string decodeJson(const reader::ScanResult& result, std::int64_t ms) {
    const auto& name = result.codeTypeName;
    return "{\"codeType\":" + std::to_string(result.codeType) + ",\"codeTypeName\":" +
           jsonString({reinterpret_cast<const std::uint8_t*>(name.data()), name.size()}) +
           ",\"data\":" + jsonString(result.data) + ",\"ms\":" + std::to_string(ms) + "}";
}

std::optional<ProbeOptions> parseProbeArguments(std::span<const std::string> args,
                                                std::string& error) {
    ProbeOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "--settings") {
            options.settings = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + flag;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        const auto number = parseNumber(value);
        if (flag == "--device") {
            options.device = value;
        } else if (flag == "--device-root") {
            options.deviceRoot = value;
        } else if (flag == "--model" && number && *number >= 0 && *number <= 5) {
            options.model = static_cast<ModelIndex>(*number);
        } else if (flag == "--request" && number && isEngineRequest(*number)) {
            options.request = static_cast<ReaderType>(*number);
        } else if (flag == "--trigger" && number && *number >= 0) {
            options.triggers = *number;
        } else if (flag == "--apply") {
            options.applyFile = value;
        } else if (flag == "--timeout" && number && *number > 0) {
            options.decodeTimeoutMs = static_cast<std::uint32_t>(*number);
        } else {
            error = "bad option " + flag + " " + value;
            return std::nullopt;
        }
    }
    return options;
}

int runProbe(const ProbeOptions& options, platform::Clock& clock, std::ostream& out,
             std::ostream& err) {
    const auto fs = platform::DeviceFs::fromEnvironment(options.deviceRoot.string());
    std::optional<platform::Registry> registry;
    if (fs) {
        registry.emplace(platform::Registry::fileOf(*fs));
    }
    std::unique_ptr<platform::SerialPortOpener> opener;
    if (!options.device.empty()) {
        opener = deviceOpener(options.device);
    } else if (registry) {
        opener = std::make_unique<platform::PortMapOpener>(*registry, fs->root());
    } else {
        err << "No device given and no device root (--device-root or TESSEL_DEVICE_ROOT).\n";
        return kProbeUsage;
    }

    reader::ReaderPort port(1, *opener, clock);
    const std::string name = options.device.empty() ? port.deviceName() : options.device;
    port.model =
        options.model.value_or(registry ? reader::detectModel(*registry) : ModelIndex::Unknown);
    if (!port.openPort()) {
        err << "Cannot open " << name << " (" << reader::errorToString(port.lastError) << ").\n";
        return kProbePortFailed;
    }
    clock.sleepMs(kPortSettleMs);
    if (!reader::detectEngine(port, options.request, port.model)) {
        err << "No scan engine answers on " << name << " (model " << static_cast<int>(port.model)
            << ", request " << static_cast<int>(options.request) << ").\n";
        return kProbeNoEngine;
    }
    const bool settings = options.settings || !options.applyFile.empty();
    std::ostream& identity = options.settings ? err : out;
    identity << "model: " << static_cast<int>(port.model) << "\n"
        << "kind: " << typeName(port.type) << " (" << static_cast<int>(port.type) << ")\n"
        << "speed: " << port.speed() << "\n"
        << "version: " << reader::versionText(port) << "\n";
    if (options.triggers == 0 && !settings) {
        return kProbeOk;
    }

    // The set-up start-up sends before the engine is used: the text engine's configuration
    // block (decodes are interpreted with it), the packet engines' link parameters.
    if (port.type == ReaderType::CcdLaser) {
        reader::readConfiguration(port);
    } else {
        reader::linkSetup(port);
    }
    if (settings) return runSettings(options, port, out, err);
    port.decodeTimeout = options.decodeTimeoutMs;
    reader::AimToggle toggle;
    bool everyDecode = true;
    for (int i = 0; i < options.triggers; ++i) {
        everyDecode = readOnce(port, toggle, out) && everyDecode;
    }
    return everyDecode ? kProbeOk : kProbeNoDecode;
}

}  // namespace tessel::tools
