#pragma once
// Test support: port 1 on a virtual line and clock, joined to a simulated engine and brought to
// a speed, as detection leaves it.

#include <gtest/gtest.h>

#include "browser/reader/engine.h"
#include "browser/reader/symbology_config.h"
#include "platform/virtual_serial.h"

namespace tessel::reader::testing {

class EnginePortTest : public ::testing::Test {
  protected:
    // Joins port 1 to engine and opens it for an engine of type at baud; a text engine's
    // configuration block is read.
    void connect(platform::DeviceModel& engine, ReaderType type, std::uint32_t baud) {
        opener.plug("COM1:", engine);
        port.type = type;
        ASSERT_TRUE(port.openPort());
        ASSERT_TRUE(port.setSpeed(baud));
        if (type == ReaderType::CcdLaser) {
            ASSERT_TRUE(readConfiguration(port));
        }
    }

    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    ReaderPort port{1, opener, clock};
    SymbologyConfig config{port};
};

}  // namespace tessel::reader::testing
