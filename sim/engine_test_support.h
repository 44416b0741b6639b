#pragma once
// Test support for the engine simulators: a host on a virtual line that sends raw bytes and
// reads what comes back.

#include <gtest/gtest.h>

#include "platform/virtual_serial.h"
#include "sim/engine_model.h"

namespace tessel::sim {

using platform::Millis;

class VirtualHost {
public:
    VirtualHost(EngineModel& engine, std::uint32_t baud) : port(clock, engine) { setBaud(baud); }

    void setBaud(std::uint32_t baud) {
        platform::LineSettings line;
        line.baud = baud;
        port.configure(line);
    }

    void send(std::span<const std::uint8_t> bytes) {
        ASSERT_EQ(port.write(bytes, Millis(1000)), bytes.size());
    }

    // Everything that arrives, the first byte within `first`, each later one within 20 ms.
    Bytes readAll(Millis first = Millis(1000)) {
        Bytes out;
        std::uint8_t byte = 0;
        for (Millis wait = first; port.readByte(byte, wait); wait = Millis(20)) out.push_back(byte);
        return out;
    }

    // Sends, then reads the whole answer.
    Bytes exchange(std::span<const std::uint8_t> bytes, Millis first = Millis(1000)) {
        send(bytes);
        return readAll(first);
    }

    platform::VirtualClock clock;
    platform::VirtualSerialPort port;
};

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace tessel::sim
