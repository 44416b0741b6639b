#pragma once
// A port-2 test rig: the RFID reader under test on a virtual line and clock, joined to a reader
// simulator (or to the module simulator through the link), with no idle thread.

#include <algorithm>
#include <string>
#include <vector>

#include "browser/rfid/rfid_reader.h"
#include "platform/virtual_serial.h"

namespace tessel::rfid::test {

struct RfidRig {
    explicit RfidRig(platform::DeviceModel& device,
                     reader::ModelIndex model = reader::ModelIndex::Unknown)
        : opener(clock), port(2, opener, clock), link(opener, clock),
          rfid(port, link, flags, {.idleThread = false}) {
        opener.plug("COM2:", device);
        port.model = model;
    }

    platform::VirtualClock clock;
    platform::VirtualPortOpener opener;
    reader::ReaderPort port;
    RfidLink link;
    FrameReaderFlags flags;
    RfidReader rfid;
};

// The transport key of a new Mifare tag, as the settings give it.
inline constexpr std::string_view kTransportKey = "FFFFFFFFFFFF";

inline TagRequest tagRequest(int start, int length, std::string_view key = kTransportKey,
                             int keyType = 0) {
    return TagRequest{start, length, std::string(key), keyType};
}

inline std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

inline long countOf(const std::vector<std::string>& commands, std::string_view command) {
    return std::count(commands.begin(), commands.end(), command);
}

}  // namespace tessel::rfid::test
