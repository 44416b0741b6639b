#pragma once
// The reader probe: finds the scan engine on port 1 the way start-up detection does, reports
// the model index it assumed and the engine's kind, speed and version text, and optionally pulls
// the trigger and prints each decode as one JSON line.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "browser/reader/engine.h"
#include "browser/reader/reader_port.h"
#include "browser/reader/reader_types.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace tessel::tools {

struct ProbeOptions {
    std::string device;                       // a host device; empty: "COM1:" of the port map
    std::filesystem::path deviceRoot;         // empty: TESSEL_DEVICE_ROOT
    std::optional<reader::ModelIndex> model;  // nullopt: from the device registry
    reader::ReaderType request = reader::ReaderType::Auto;
    int triggers = 0;
    std::uint32_t decodeTimeoutMs = 3000;
    bool settings = false;             // print the engine's symbology settings as INI sections
    std::filesystem::path applyFile;   // a browserINI.txt whose sections go to the engine
};

// Exit statuses of the probe.
enum ProbeExit : int {
    kProbeOk = 0,
    kProbeNoEngine = 1,
    kProbeUsage = 2,
    kProbePortFailed = 3,
    kProbeNoDecode = 4,
    kProbeSettingsFailed = 5,
};

// A JSON string of 8-bit data: quotes and backslashes escaped, control characters and bytes
// above 127 as \u00XX (each byte is the character of the same value).
std::string jsonString(std::span<const std::uint8_t> bytes);

// {"codeType":3,"codeTypeName":"Code 128","data":"...","ms":12}
std::string decodeJson(const reader::ScanResult& result, std::int64_t ms);

// A whole decimal number, or nullopt.
std::optional<int> parseNumber(const std::string& text);

// An opener that opens the host device, whatever port name it is asked for.
std::unique_ptr<platform::SerialPortOpener> deviceOpener(std::filesystem::path device);

// Options from the command line (without the program name); nullopt with a reason in error.
std::optional<ProbeOptions> parseProbeArguments(std::span<const std::string> args,
                                                std::string& error);

// Pulls the trigger once and prints the decode as a line of JSON, or why there was none:
// {"error":"...","lastError":30001,"ms":1000}, the reason being the decode's own.
bool readOnce(reader::ReaderPort& port, reader::AimToggle& toggle, std::ostream& out);

// Runs the probe: opens the device given, else "COM1:" through the device registry's port map;
// detects; reports on out (failures on err) and returns a ProbeExit. The model, when not given,
// comes from the device registry (unknown without a device root). Every fixed wait goes through
// clock.
int runProbe(const ProbeOptions& options, platform::Clock& clock, std::ostream& out,
             std::ostream& err);

inline constexpr const char* kProbeUsageText =
    "usage: tessel-probe [--device PATH] [--device-root DIR] [--model N] [--request N]\n"
    "                    [--trigger N] [--timeout MS] [--settings] [--apply FILE]\n"
    "  --device PATH      serial device to probe (default: COM1: of the device's port map)\n"
    "  --device-root DIR  the terminal's device root (default: TESSEL_DEVICE_ROOT)\n"
    "  --model N          model index 0-5 (default: from the device registry)\n"
    "  --request N        engine kind to look for: 1 any (default), 2, 3, 4, 8 or 9\n"
    "  --trigger N        pull the trigger N times and print each decode as a JSON line\n"
    "  --timeout MS       time to wait for each decode (default 3000)\n"
    "  --apply FILE       write the symbology sections of a browserINI.txt to the engine,\n"
    "                     sending only what differs\n"
    "  --settings         print the engine's symbology settings as browserINI.txt sections\n"
    "                     (the engine's identity then goes to standard error)\n";

}  // namespace tessel::tools
