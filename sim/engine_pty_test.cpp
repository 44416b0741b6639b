// The engines in real time on a pseudo-terminal, through the termios port.

#include <gtest/gtest.h>

#include "platform/pty_device.h"
#include "platform/serial_posix.h"
#include "sim/ccd_laser_engine.h"
#include "sim/engine_test_support.h"
#include "sim/packet_engine.h"

namespace tessel::sim {
namespace {

using platform::PtyDevice;
using platform::TermiosSerialPort;

class EngineOnPty {
public:
    explicit EngineOnPty(EngineModel& engine) {
        int error = 0;
        device = PtyDevice::start(engine, {.paced = true, .link = {}}, error);
        EXPECT_TRUE(device) << error;
        if (device) port = TermiosSerialPort::open(device->slavePath(), error);
        EXPECT_TRUE(port) << error;
    }

    void setBaud(std::uint32_t baud) {
        platform::LineSettings line;
        line.baud = baud;
        ASSERT_TRUE(port->configure(line));
    }

    Bytes exchange(std::span<const std::uint8_t> bytes) {
        EXPECT_EQ(port->write(bytes, Millis(1000)), bytes.size());
        Bytes out;
        std::uint8_t byte = 0;
        for (Millis wait(1000); port->readByte(byte, wait); wait = Millis(20)) out.push_back(byte);
        return out;
    }

    std::unique_ptr<PtyDevice> device;
    std::unique_ptr<TermiosSerialPort> port;
};

TEST(EngineOnPty, PacketEngineSwitchesSpeedAndDecodes) {
    PacketEngine engine(PacketKind::LongRange1D955);
    EngineOnPty rig(engine);
    ASSERT_TRUE(rig.port);
    rig.setBaud(9600);

    const Bytes revision = rig.exchange(packet::hostPacket(packet::kRevisionRequest, 0));
    ASSERT_TRUE(packet::checksumOk(revision));
    EXPECT_EQ(Bytes(revision.begin() + 4, revision.end() - 2), engine.revision());

    const std::uint8_t to38400[] = {packet::kNoBeep, 0x9C, 0x08};
    const Bytes ack = packet::makePacket(packet::kAck, packet::kEngineSource, 0, {});
    EXPECT_EQ(rig.exchange(packet::hostPacket(packet::kParamSend, 8, to38400)), ack);
    rig.setBaud(38400);

    rig.device->withModel([](platform::DeviceModel& model) {
        static_cast<PacketEngine&>(model).queueDecode({3, bytesOf("TESSEL-0001")});
    });
    EXPECT_EQ(rig.exchange(packet::hostPacket(packet::kStartDecode, 0)), ack);
    const Bytes decode = rig.exchange({});
    ASSERT_TRUE(packet::checksumOk(decode));
    EXPECT_EQ(Bytes(decode.begin() + 5, decode.end() - 2), bytesOf("TESSEL-0001"));
}

TEST(EngineOnPty, TextEngineAnswersAtItsSpeedOnly) {
    CcdLaserEngine engine;
    EngineOnPty rig(engine);
    ASSERT_TRUE(rig.port);
    rig.setBaud(9600);
    EXPECT_TRUE(rig.exchange(ccd::frameCommand("VER")).empty());
    rig.setBaud(115200);
    const Bytes version = rig.exchange(ccd::frameCommand("VER"));
    EXPECT_EQ(std::string(version.begin(), version.end()), engine.version() + "\r");
}

}  // namespace
}  // namespace tessel::sim
