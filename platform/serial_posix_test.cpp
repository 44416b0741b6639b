#include "platform/serial_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/pty_device.h"
#include "platform/pty_test_support.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class TermiosPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        int error = 0;
        device_ = PtyDevice::start(echo_, {.paced = false, .link = {}}, error);
        ASSERT_TRUE(device_) << error;
        port_ = TermiosSerialPort::open(device_->slavePath(), error);
        ASSERT_TRUE(port_) << error;
    }

    // Writes bytes and waits (briefly, for real) until the echo has left the device.
    void writeAndLetEchoArrive(std::span<const std::uint8_t> bytes) {
        const Micros before = device_->lastWrite();
        ASSERT_EQ(port_->write(bytes, 100ms), bytes.size());
        const auto deadline = Steady::now() + 2s;
        while (device_->lastWrite() == before || !device_->outputIdle()) {
            ASSERT_LT(Steady::now(), deadline);
            std::this_thread::sleep_for(1ms);
        }
    }

    EchoModel echo_;
    std::unique_ptr<PtyDevice> device_;
    std::unique_ptr<TermiosSerialPort> port_;
};

TEST_F(TermiosPortTest, SpeedIsSetReadBackAndSeenByTheDevice) {
    LineSettings line;
    line.baud = 115200;
    ASSERT_TRUE(port_->configure(line));
    EXPECT_EQ(port_->settings(), line);

    const std::uint8_t ping[] = {0x42};
    ASSERT_EQ(port_->write(ping, 100ms), 1u);
    std::uint8_t back = 0;
    ASSERT_TRUE(port_->readByte(back, 1000ms));
    EXPECT_EQ(back, 0x42);
    device_->withModel([&](DeviceModel&) { EXPECT_EQ(echo_.heardAtBaud.back(), 115200u); });
}

TEST_F(TermiosPortTest, NonStandardSpeedIsRefusedAndKeepsTheOldOne) {
    LineSettings odd;
    odd.baud = 12345;
    EXPECT_FALSE(port_->configure(odd));
    EXPECT_EQ(port_->lastError(), EINVAL);
    EXPECT_EQ(port_->settings().baud, 9600u);
}

TEST_F(TermiosPortTest, ReadTimesOutNoEarlierThanAsked) {
    std::uint8_t byte = 0;
    const auto start = Steady::now();
    EXPECT_FALSE(port_->readByte(byte, 30ms));
    EXPECT_GE(Steady::now() - start, 30ms);
    EXPECT_EQ(port_->lastError(), ETIMEDOUT);
}

TEST_F(TermiosPortTest, BytesAreReadOneByOneFromAChunk) {
    const std::uint8_t text[] = {'a', 'b', 'c'};
    writeAndLetEchoArrive(text);
    for (auto expected : text) {
        std::uint8_t byte = 0;
        ASSERT_TRUE(port_->readByte(byte, 0ms));
        EXPECT_EQ(byte, expected);
    }
}

TEST_F(TermiosPortTest, PurgeDropsArrivedAndBufferedBytes) {
    const std::uint8_t first[] = {'a', 'b'};
    writeAndLetEchoArrive(first);
    std::uint8_t byte = 0;
    ASSERT_TRUE(port_->readByte(byte, 100ms));  // 'b' now waits in the port's own buffer
    const std::uint8_t second[] = {'c'};
    writeAndLetEchoArrive(second);  // 'c' waits in the driver

    ASSERT_TRUE(port_->purge());
    EXPECT_FALSE(port_->readByte(byte, 20ms));
}

TEST_F(TermiosPortTest, ASecondOpenIsRefusedWhileTheFirstHoldsThePort) {
    int error = 0;
    EXPECT_FALSE(TermiosSerialPort::open(device_->slavePath(), error));
    EXPECT_EQ(error, EBUSY);
    port_.reset();
    EXPECT_TRUE(TermiosSerialPort::open(device_->slavePath(), error)) << error;
}

TEST_F(TermiosPortTest, ClosingGivesUpTheTerminalsExclusiveFlag) {
    // The runner keeps the pty open, so the flag would outlive the port and refuse every
    // later open by an ordinary user.
    auto exclusive = [this] {
        const int fd = ::open(device_->slavePath().c_str(), O_RDWR | O_NOCTTY);
        int flag = -1;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &flag), 0);
        ::close(fd);
        return flag;
    };
    EXPECT_EQ(exclusive(), 1);
    port_.reset();
    EXPECT_EQ(exclusive(), 0);
}

TEST_F(TermiosPortTest, APseudoTerminalHasNoModemLines) {
    EXPECT_FALSE(port_->hasModemLines());
    EXPECT_EQ(port_->cts(), std::nullopt);
    EXPECT_EQ(port_->lastError(), ENOTTY);
    EXPECT_TRUE(port_->setRts(true));
    EXPECT_TRUE(port_->setDtr(false));
}

TEST_F(TermiosPortTest, AnUnpluggedDeviceFailsTheReadAtOnce) {
    device_->unplug();
    device_.reset();
    std::uint8_t byte = 0;
    const auto start = Steady::now();
    EXPECT_FALSE(port_->readByte(byte, 5000ms));
    EXPECT_LT(Steady::now() - start, 2500ms);
    EXPECT_EQ(port_->lastError(), EIO);
}

TEST(TermiosPortWrite, AWriteNobodyDrainsStopsAtItsDeadline) {
    // A pty whose master is never read: the slave's output fills up.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    int error = 0;
    auto port = TermiosSerialPort::open(::ptsname(master), error);
    ASSERT_TRUE(port) << error;

    const std::vector<std::uint8_t> lots(1 << 20, 0x55);
    const auto start = Steady::now();
    const std::size_t written = port->write(lots, 50ms);
    EXPECT_GE(Steady::now() - start, 50ms);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, lots.size());
    EXPECT_EQ(port->lastError(), ETIMEDOUT);
    ::close(master);
}

// On a pseudo-terminal written bytes have reached the other end at once: drain() has nothing to
// wait for, and a purge right after the write must not discard them there (TCOFLUSH on a pty
// drops the other end's input that its reader has not collected).
TEST(TermiosPortWrite, APurgeAfterADrainedWriteLosesNothingOnAPty) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    int error = 0;
    auto port = TermiosSerialPort::open(::ptsname(master), error);
    ASSERT_TRUE(port) << error;

    constexpr int kFrames = 50;
    const std::vector<std::uint8_t> ack{0x04, 0xD0, 0x04, 0x00, 0xFF, 0x28};
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_EQ(port->write(ack, 100ms), ack.size());
        ASSERT_TRUE(port->drain(100ms));
        ASSERT_TRUE(port->purge());
    }
    std::size_t received = 0;
    std::uint8_t buffer[512];
    const auto deadline = Steady::now() + 2s;
    while (received < kFrames * ack.size() && Steady::now() < deadline) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) received += std::size_t(n);
    }
    EXPECT_EQ(received, kFrames * ack.size());
    ::close(master);
}

class PortMapTest : public ::testing::Test {
protected:
    void map(const std::string& name, const std::string& value) {
        auto key = registry_.create(Hive::LocalMachine, kPortMapKey);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->set(name, RegValue::sz(value)));
    }

    TempDir root_;
    Registry registry_{root_.path() / "registry.txt"};
    PortMapOpener opener_{registry_, root_.path()};
};

TEST_F(PortMapTest, NamesResolveThroughTheRegistry) {
    map("COM1", "/dev/ttyUSB0");
    map("COM2", "dev/engine2");
    int error = -1;
    EXPECT_EQ(opener_.resolve("COM1:", error), std::filesystem::path("/dev/ttyUSB0"));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(opener_.resolve("com2:", error), root_.path() / "dev/engine2");
}

TEST_F(PortMapTest, UnknownNamesAndEscapingPathsAreRefused) {
    map("COM1", "../../etc/passwd");
    int error = 0;
    EXPECT_FALSE(opener_.resolve("COM1:", error));
    EXPECT_EQ(error, EACCES);
    for (const char* name : {"COM2:", "COM1", "LPT1:", "COM:", "COMx:", ""}) {
        EXPECT_FALSE(opener_.resolve(name, error)) << name;
        EXPECT_EQ(error, ENOENT) << name;
    }
}

TEST_F(PortMapTest, OpensThePublishedPseudoTerminalUnderTheRoot) {
    EchoModel echo;
    int error = 0;
    auto device =
        PtyDevice::start(echo, {.paced = false, .link = root_.path() / "dev/engine1"}, error);
    ASSERT_TRUE(device) << error;
    map("COM1", "dev/engine1");

    auto port = opener_.open("COM1:", error);
    ASSERT_TRUE(port) << error;
    const std::uint8_t ping[] = {0x7E};
    ASSERT_EQ(port->write(ping, 100ms), 1u);
    std::uint8_t back = 0;
    ASSERT_TRUE(port->readByte(back, 1000ms));
    EXPECT_EQ(back, 0x7E);
}

}  // namespace
}  // namespace tessel::platform
