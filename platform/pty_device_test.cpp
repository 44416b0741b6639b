#include "platform/pty_device.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/pty_test_support.h"
#include "platform/serial_posix.h"
#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

struct Rig {
    explicit Rig(PtyDevice::Options options) {
        int error = 0;
        device = PtyDevice::start(echo, options, error);
        EXPECT_TRUE(device) << error;
        if (device) port = TermiosSerialPort::open(device->slavePath(), error);
        EXPECT_TRUE(port) << error;
    }
    EchoModel echo;
    std::unique_ptr<PtyDevice> device;
    std::unique_ptr<TermiosSerialPort> port;
};

// Reads n bytes and returns how long the last one took to come.
Steady::duration readAll(TermiosSerialPort& port, std::size_t n) {
    const auto start = Steady::now();
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t byte = 0;
        EXPECT_TRUE(port.readByte(byte, 2000ms)) << "byte " << i;
    }
    return Steady::now() - start;
}

TEST(PtyDevice, PacedOutputTakesTheLineTimeAtTheHostsSpeed) {
    Rig rig({.paced = true, .link = {}});
    ASSERT_TRUE(rig.port);
    const std::vector<std::uint8_t> block(96, 0x5A);  // 100 ms at 9600 baud
    rig.device->withModel([&](DeviceModel&) { rig.echo.say(block, rig.echo.now()); });
    EXPECT_GE(readAll(*rig.port, block.size()), 95ms);
}

TEST(PtyDevice, OutputWaitsForTheTimeTheModelAsked) {
    Rig rig({.paced = false, .link = {}});
    ASSERT_TRUE(rig.port);
    const std::uint8_t one[] = {0x01};
    rig.device->withModel([&](DeviceModel&) { rig.echo.say(one, rig.echo.now() + Micros(60000)); });
    EXPECT_GE(readAll(*rig.port, 1), 55ms);
}

TEST(PtyDevice, TheSlavePathIsPublishedWhileTheDeviceRuns) {
    TempDir root;
    const auto link = root.path() / "dev" / "engine1";
    {
        Rig rig({.paced = false, .link = link});
        ASSERT_TRUE(rig.device);
        EXPECT_EQ(std::filesystem::read_symlink(link), rig.device->slavePath());
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace tessel::platform
