#include "platform/virtual_serial.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace tessel::platform {
namespace {

// Records what the host sent and when; answers each reception with `reply`.
class RecordingModel final : public DeviceModel {
public:
    struct Reception {
        std::vector<std::uint8_t> bytes;
        Micros at;
        bool operator==(const Reception&) const = default;
    };

    void attach(DeviceLink& link) override { link_ = &link; }
    void receive(std::span<const std::uint8_t> bytes, Micros t) override {
        received.push_back({{bytes.begin(), bytes.end()}, t});
        if (!reply.empty()) link_->send(reply, t);
    }
    void lineChanged(const LineState& state, Micros) override { lines.push_back(state); }

    void send(std::vector<std::uint8_t> bytes, Micros at) { link_->send(bytes, at); }

    std::vector<Reception> received;
    std::vector<LineState> lines;
    std::vector<std::uint8_t> reply;

private:
    DeviceLink* link_ = nullptr;
};

class VirtualSerialTest : public ::testing::Test {
protected:
    VirtualClock clock_;
    RecordingModel model_;
    VirtualSerialPort port_{clock_, model_};
};

TEST_F(VirtualSerialTest, AByteAt9600BaudTakes1042Microseconds) {
    EXPECT_EQ(characterTime(LineSettings{}), Micros(1042));
    const std::uint8_t command[] = {0x16, 0x4D, 0x0D};
    ASSERT_EQ(port_.write(command, Millis(100)), 3u);
    ASSERT_EQ(port_.write(command, Millis(100)), 3u);  // queued behind the first
    EXPECT_EQ(clock_.now(), Micros(0));                // the output queue took them at once
    EXPECT_EQ(port_.pendingOutput(), 6u);
    EXPECT_TRUE(model_.received.empty());
    ASSERT_TRUE(port_.drain(Millis(100)));
    ASSERT_EQ(model_.received.size(), 2u);
    EXPECT_EQ(model_.received[0].at, Micros(3125));  // 30 bits at 9600 baud, rounded up
    EXPECT_EQ(model_.received[1].at, Micros(6250));
    EXPECT_EQ(clock_.now(), Micros(6250));
    EXPECT_EQ(port_.pendingOutput(), 0u);
}

// A purge discards what has not left the port: the device hears only the characters that were
// already on their way.
TEST_F(VirtualSerialTest, PurgeDropsOutputThatHasNotLeft) {
    const std::uint8_t frame[] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(port_.write(frame, Millis(100)), 6u);
    clock_.advance(Micros(2100));  // two characters have left at 9600 baud
    ASSERT_TRUE(port_.purge());
    EXPECT_EQ(port_.pendingOutput(), 0u);
    ASSERT_EQ(model_.received.size(), 1u);
    EXPECT_EQ(model_.received[0], (RecordingModel::Reception{{1, 2}, Micros(2084)}));

    // The next write starts on a free line; a purge right after it drops it whole.
    ASSERT_EQ(port_.write(frame, Millis(100)), 6u);
    ASSERT_TRUE(port_.purge());
    EXPECT_EQ(model_.received.size(), 1u);
}

TEST_F(VirtualSerialTest, DrainWaitsAtMostItsTimeOut) {
    const std::uint8_t frame[] = {1, 2, 3, 4, 5, 6};  // 6250 us at 9600 baud
    ASSERT_EQ(port_.write(frame, Millis(100)), 6u);
    EXPECT_FALSE(port_.drain(Millis(5)));
    EXPECT_EQ(port_.lastError(), ETIMEDOUT);
    EXPECT_EQ(clock_.now(), Millis(5));
    EXPECT_EQ(port_.pendingOutput(), 2u);
    EXPECT_TRUE(port_.drain(Millis(5)));
    EXPECT_EQ(clock_.now(), Micros(6250));
    ASSERT_EQ(model_.received.size(), 1u);
    EXPECT_TRUE(port_.drain(Millis(0)));  // nothing queued
}

// A read that waits lets queued output reach the device, which may answer within the wait.
TEST_F(VirtualSerialTest, AReadWaitsForTheAnswerToQueuedOutput) {
    model_.reply = {'O', 'K'};
    const std::uint8_t command[] = {'?'};
    ASSERT_EQ(port_.write(command, Millis(100)), 1u);
    std::uint8_t byte = 0;
    ASSERT_TRUE(port_.readByte(byte, Millis(10)));
    EXPECT_EQ(byte, 'O');
    EXPECT_EQ(clock_.now(), Micros(1042 + 1042));
}

TEST_F(VirtualSerialTest, RepliesArriveOneCharacterTimeApartAtTheHostsSpeed) {
    LineSettings fast;
    fast.baud = 115200;
    ASSERT_TRUE(port_.configure(fast));
    EXPECT_EQ(model_.lines.back().settings, fast);
    model_.reply = {'O', 'K'};
    const std::uint8_t ping = '?';
    port_.write({&ping, 1}, Millis(10));

    std::uint8_t byte = 0;
    ASSERT_TRUE(port_.readByte(byte, Millis(10)));
    EXPECT_EQ(byte, 'O');
    EXPECT_EQ(clock_.now(), characterTime(fast, 2));
    ASSERT_TRUE(port_.readByte(byte, Millis(10)));
    EXPECT_EQ(byte, 'K');
    EXPECT_EQ(clock_.now(), characterTime(fast, 1) + characterTime(fast, 2));
}

TEST_F(VirtualSerialTest, AReadWaitingPastItsTimeOutAdvancesExactlyTheTimeOut) {
    std::uint8_t byte = 0;
    EXPECT_FALSE(port_.readByte(byte, Millis(50)));
    EXPECT_EQ(port_.lastError(), ETIMEDOUT);
    EXPECT_EQ(clock_.now(), Millis(50));

    model_.send({0x06}, Millis(200));  // arrives 1042 µs after 200 ms
    EXPECT_FALSE(port_.readByte(byte, Millis(100)));
    EXPECT_EQ(clock_.now(), Millis(150));
    ASSERT_TRUE(port_.readByte(byte, Millis(100)));
    EXPECT_EQ(byte, 0x06);
    EXPECT_EQ(clock_.now(), Millis(200) + Micros(1042));
}

TEST_F(VirtualSerialTest, PurgeDropsOnlyBytesThatHaveArrived) {
    model_.send({1, 2, 3}, Micros(0));
    clock_.advance(Micros(2100));  // two of three have crossed the wire
    ASSERT_TRUE(port_.purge());
    EXPECT_EQ(port_.pendingInput(), 1u);
    std::uint8_t byte = 0;
    ASSERT_TRUE(port_.readByte(byte, Millis(5)));
    EXPECT_EQ(byte, 3);
    EXPECT_EQ(clock_.now(), Micros(3125));
}

TEST_F(VirtualSerialTest, ModemLinesReachTheModelAndCtsIsUnsupportedWithoutThem) {
    ASSERT_TRUE(port_.setRts(true));
    ASSERT_TRUE(port_.setDtr(true));
    EXPECT_TRUE(model_.lines.back().rts);
    EXPECT_TRUE(model_.lines.back().dtr);
    EXPECT_EQ(port_.cts(), std::nullopt);
    EXPECT_EQ(port_.lastError(), ENOTTY);
}

TEST(VirtualPortOpenerTest, OpensPluggedNamesOnly) {
    VirtualClock clock;
    RecordingModel model;
    VirtualPortOpener opener(clock);
    opener.plug("COM1:", model);
    int error = -1;
    EXPECT_NE(opener.open("COM1:", error), nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(opener.open("COM2:", error), nullptr);
    EXPECT_EQ(error, ENOENT);
    opener.unplug("COM1:");
    EXPECT_EQ(opener.open("COM1:", error), nullptr);
    EXPECT_EQ(error, ENOENT);
}


// A device model and its port may end in either order; a port whose device is gone hears
// nothing and delivers its writes nowhere, as with a pulled cable.
TEST(VirtualSerialLifetime, EitherEndMayGoFirst) {
    VirtualClock clock;
    auto model = std::make_unique<RecordingModel>();
    auto port = std::make_unique<VirtualSerialPort>(clock, *model);
    const std::uint8_t command[] = {0x16};
    model.reset();
    EXPECT_EQ(port->write(command, Millis(100)), 1u);
    EXPECT_TRUE(port->drain(Millis(100)));
    std::uint8_t byte = 0;
    EXPECT_FALSE(port->readByte(byte, Millis(10)));
    port.reset();

    RecordingModel kept;
    port = std::make_unique<VirtualSerialPort>(clock, kept);
    port.reset();  // the model forgets the port; a later port works as before
    VirtualSerialPort next(clock, kept);
    ASSERT_EQ(next.write(command, Millis(100)), 1u);
    ASSERT_TRUE(next.drain(Millis(100)));
    EXPECT_EQ(kept.received.size(), 1u);
}

}  // namespace
}  // namespace tessel::platform
