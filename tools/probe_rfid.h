#pragma once
// The reader probe on port 2: finds the RFID reader the way start-up does (model index and
// request), reports its kind, speed and version, and optionally scans tags (one JSON line per
// scan) or writes the configured content as a trigger does in write mode.
//
// The RFID settings come from options or from the "RFID" section of a browserINI.txt (--ini);
// options given on the command line win over the file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "browser/reader/reader_types.h"
#include "browser/rfid/tag_types.h"
#include "platform/clock.h"

namespace tessel::tools {

struct RfidProbeOptions {
    std::string device;                       // a host device; empty: "COM2:" of the port map
    std::filesystem::path deviceRoot;         // empty: TESSEL_DEVICE_ROOT
    std::optional<reader::ModelIndex> model;  // nullopt: from the device registry
    reader::ReaderType request = reader::ReaderType::Auto;
    int scans = 0;
    bool write = false;
    std::filesystem::path ini;
    // "RFID" settings, each nullopt until given on the command line.
    std::optional<int> readStart, readLength, writeStart, hexContent, keyType;
    std::optional<std::string> writeContent, loginKey;
};

// The settings a scan or write uses, after file and command line.
struct RfidProbeSettings {
    int readStart = -1;
    int readLength = 10;
    int writeStart = -1;
    std::string writeContent;
    bool hexContent = false;
    std::string loginKey = "A1B2C3D4E5F6";
    int keyType = 0;
};

// Whether the arguments ask for port 2 ("--port 2" anywhere).
bool wantsRfidPort(std::span<const std::string> args);

// Options from the command line (without the program name, "--port 2" included); nullopt with a
// reason in error.
std::optional<RfidProbeOptions> parseRfidProbeArguments(std::span<const std::string> args,
                                                        std::string& error);

// {"tagCode":3,"tagType":"…","uid":"…","userData":"…","blockSize":16,"ms":12}
std::string tagJson(const rfid::RfidTagResult& result, std::int64_t ms);

// The bytes a write sends: the content read as hexadecimal when hexContent, else its characters.
std::vector<std::uint8_t> writeBytes(const RfidProbeSettings& settings);

// Runs the probe on port 2 and returns a ProbeExit. Every fixed wait goes through clock.
int runRfidProbe(const RfidProbeOptions& options, platform::Clock& clock, std::ostream& out,
                 std::ostream& err);

inline constexpr const char* kRfidProbeUsageText =
    "usage: tessel-probe --port 2 [--device PATH] [--device-root DIR] [--model N]\n"
    "                    [--request N] [--scan N] [--write] [--ini FILE]\n"
    "                    [--start N] [--length N] [--write-start N] [--content TEXT] [--hex 0|1]\n"
    "                    [--key TEXT] [--key-type 0|1]\n"
    "  --request N        RFID reader kind to look for: 1 any (default), 5, 6 or 7\n"
    "  --scan N           scan N times and print each tag as a JSON line\n"
    "  --write            write the content as the trigger does in write mode, then read it back\n"
    "  --ini FILE         take the RFID settings from this browserINI.txt\n"
    "  --start, --length  rfidReadStartByte, rfidReadLength\n"
    "  --write-start, --content, --hex   rfidWriteStartByte, rfidWriteContent, isHexContent\n"
    "  --key, --key-type  mifareLoginKeyA, m_rfidSecurityKeyType\n";

}  // namespace tessel::tools
