#include "browser/reader/reader_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "browser/reader/test_device.h"

namespace tessel::reader {
namespace {

using platform::Micros;
using platform::Millis;
using testing::Answer;
using testing::backToBack;
using testing::ScriptedDevice;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class PortTest : public ::testing::Test {
  protected:
    PortTest() { opener.plug("COM1:", device); }

    void open(ReaderType type, ModelIndex model = ModelIndex::Unknown) {
        port.type = type;
        port.model = model;
        ASSERT_TRUE(port.openPort());
        ASSERT_TRUE(port.setSpeed(9600));
        clock.clearWaits();
    }

    platform::VirtualClock clock;
    ScriptedDevice device;
    platform::VirtualPortOpener opener{clock};
    ReaderPort port{1, opener, clock};
};

TEST_F(PortTest, OpenSetsEightNoneOneWithRtsOff) {
    ReaderPort second(2, opener, clock);
    EXPECT_FALSE(second.openPort());
    EXPECT_EQ(second.lastError, ENOENT);
    EXPECT_FALSE(second.isOpen());

    open(ReaderType::CcdLaser);
    ASSERT_TRUE(port.setSpeed(115200));
    EXPECT_EQ(port.speed(), 115200u);
    EXPECT_EQ(device.line().settings,
              (platform::LineSettings{115200, 8, platform::Parity::None, 1, false}));
    EXPECT_FALSE(device.line().rts);
    port.closePort();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.setSpeed(9600));
}

TEST_F(PortTest, SetTimeoutReportsOnlyChanges) {
    open(ReaderType::CcdLaser);
    EXPECT_TRUE(port.setTimeout(1000, 'r'));
    EXPECT_FALSE(port.setTimeout(1000, 'r'));
    EXPECT_TRUE(port.setTimeout(1000, 'w'));
    EXPECT_TRUE(port.setTimeout(20, 'r'));
    EXPECT_EQ(port.readTimeoutMs(), 20u);
    EXPECT_EQ(port.writeTimeoutMs(), 1000u);
}

TEST_F(PortTest, DecodeWaitGoesInSlicesAndEndsOnceInterrupted) {
    open(ReaderType::CcdLaser);
    port.setTimeout(1000, 'w');
    port.setTimeout(3000, 'r');
    std::uint8_t byte = 0;
    // How long one read takes, with a byte 1234 ms after the host's write or none at all.
    const auto timedRead = [&](bool decodeWait, bool answered) {
        device.answerInTurn({answered ? Answer{{'A', Millis(1234)}} : Answer{}});
        EXPECT_TRUE(port.writeFrame(bytesOf("x")));
        const Micros start = clock.now();
        std::optional<ReaderPort::DecodeWait> wait;
        if (decodeWait) wait.emplace(port);
        byte = 0;
        const bool got = port.readByte(byte);
        return std::pair{got, clock.now() - start};
    };
    // Slices change nothing on the line: the late byte comes at the same time, silence lasts the
    // whole time-out.
    EXPECT_EQ(timedRead(true, true), timedRead(false, true));
    EXPECT_EQ(byte, 'A');
    EXPECT_EQ(timedRead(true, false), (std::pair{false, Micros(Millis(3000))}));
    EXPECT_EQ(port.lastError, ETIMEDOUT);

    // Interrupted: a decode wait gives up at once; a command reply is still awaited.
    port.interruptDecodeWait();
    EXPECT_EQ(timedRead(true, true), (std::pair{false, Micros(0)}));
    EXPECT_EQ(port.lastError, ECANCELED);
    EXPECT_EQ(timedRead(false, true).first, true);
    port.clearDecodeInterrupt();
    EXPECT_EQ(timedRead(true, true).first, true);
}

TEST_F(PortTest, TextEngineRetriesRefusalsAndDropsALeadingEsc) {
    open(ReaderType::CcdLaser);
    device.answerInTurn({backToBack(bytesOf("NG\r")), backToBack(bytesOf("\x1bV1.2\r"))});
    Bytes reply;
    EXPECT_TRUE(port.transact("VER", 5000, &reply, 3));
    EXPECT_EQ(reply, bytesOf("V1.2"));
    EXPECT_EQ(device.writes(),
              (std::vector<Bytes>{frameCcdCommand("VER"), frameCcdCommand("VER")}));
    EXPECT_EQ(port.writeTimeoutMs(), 5000u);

    device.answerInTurn({backToBack(bytesOf("NG\r")), backToBack(bytesOf("NG\r"))});
    EXPECT_FALSE(port.transact("SAVE00", 1000, &reply, 2));
    EXPECT_EQ(device.writes().size(), 4u);

    EXPECT_FALSE(port.transact("VER", 1000, &reply, 0));
    EXPECT_EQ(device.writes().size(), 4u);

    EXPECT_TRUE(port.transact("ON", 1000, nullptr, 0));
    EXPECT_EQ(device.writes().back(), frameCcdCommand("ON"));
}

TEST_F(PortTest, PacketEngineRetriesNegativeAcknowledgements) {
    open(ReaderType::Imager2D);
    const Answer nak = backToBack(withChecksum(Bytes{0x05, 0xD1, 0x00, 0x00, 0x01}));
    const Answer ack = backToBack(withChecksum(Bytes{0x04, 0xD0, 0x00, 0x00}));
    device.answerInTurn({nak, ack});
    Bytes reply;
    EXPECT_TRUE(port.transact(kStartDecode, 200, &reply, 5));
    EXPECT_EQ(reply, (Bytes{0x04, 0xD0, 0x00, 0x00}));
    EXPECT_EQ(device.writes(), (std::vector<Bytes>(2, withChecksum(kStartDecode))));

    device.answerInTurn({nak, nak, nak});
    EXPECT_FALSE(port.transact(kStartDecode, 200, &reply, 3));
    EXPECT_EQ(device.writes().size(), 5u);

    EXPECT_FALSE(port.transact(kStartDecode, 200, &reply, 0));
    EXPECT_EQ(device.writes().size(), 5u);

    // Silence is a failed attempt too; the first byte is awaited for the given time-out.
    device.answerInTurn({});
    const Micros before = clock.now();
    EXPECT_FALSE(port.transact(kStartDecode, 700, &reply, 2));
    EXPECT_GE(clock.now() - before, Millis(1400));
    EXPECT_EQ(port.lastError, ETIMEDOUT);
}

TEST_F(PortTest, RfidCommandsGoOutUnchanged) {
    open(ReaderType::RfidText);
    device.answerInTurn({backToBack(bytesOf("OK\r\n"))});
    Bytes reply;
    EXPECT_TRUE(port.transact("r\r", 1000, &reply, 1));
    EXPECT_EQ(reply, bytesOf("OK"));
    EXPECT_EQ(device.writes().back(), bytesOf("r\r"));

    port.type = ReaderType::None;
    EXPECT_FALSE(port.transact("r\r", 1000, &reply, 1));
    EXPECT_EQ(device.writes().size(), 1u);
}

// A reply "AB" then CR, whose second byte arrives gap after the first.
Answer splitReply(Micros gap) { return {{'A', {}}, {'B', gap}, {'\r', {}}}; }

TEST_F(PortTest, InterByteTimeOutIsExact) {
    open(ReaderType::CcdLaser);
    Bytes reply;
    device.answerInTurn({splitReply(Micros(20000))});
    EXPECT_TRUE(port.transact("VER", 1000, &reply, 1));
    EXPECT_EQ(reply, bytesOf("AB"));

    device.answerInTurn({splitReply(Micros(20001))});
    EXPECT_FALSE(port.transact("VER", 1000, &reply, 1));
    EXPECT_EQ(reply, bytesOf("A"));
    EXPECT_EQ(port.lastError, ETIMEDOUT);
}

TEST_F(PortTest, FirstByteTimeOutIsExact) {
    open(ReaderType::CcdLaser);
    Bytes reply;
    // A write is done once the frame has left the port; the time-out runs from then.
    device.answerInTurn({{{'X', Millis(1000)}, {'\r', {}}}});
    EXPECT_TRUE(port.transact("VER", 1000, &reply, 1));
    device.answerInTurn({{{'X', Millis(1000) + Micros(1)}, {'\r', {}}}});
    EXPECT_FALSE(port.transact("VER", 1000, &reply, 1));
}

TEST_F(PortTest, FrameReaderEndsAfterFortyMillisecondsOfSilence) {
    open(ReaderType::RfidFrame);
    Bytes reply;
    device.answerInTurn({{{1, {}}, {2, Micros(40000)}, {3, Micros(40001)}}});
    EXPECT_TRUE(port.transact("q", 1000, &reply, 1));
    EXPECT_EQ(reply, (Bytes{1, 2}));
}

TEST_F(PortTest, WriteDropsInputLeftFromTheLastExchange) {
    open(ReaderType::CcdLaser);
    device.answerInTurn({backToBack(bytesOf("A\rstale")), backToBack(bytesOf("B\r"))});
    Bytes reply;
    ASSERT_TRUE(port.transact("VER", 1000, &reply, 1));
    clock.advance(Millis(20));  // the rest of the first answer arrives
    ASSERT_TRUE(port.transact("VER", 1000, &reply, 1));
    EXPECT_EQ(reply, bytesOf("B"));
}

TEST_F(PortTest, PacketRepliesStayInStepWithoutHandshakeWaits) {
    open(ReaderType::LongRange1D);
    const Bytes ack = withChecksum(Bytes{0x04, 0xD0, 0x00, 0x00});
    const Bytes revision = withChecksum(Bytes{0x07, 0xA4, 0x00, 0x00, 'R', '1', ' '});
    device.answerInTurn({backToBack(ack), backToBack(revision)});
    Bytes reply;
    ASSERT_TRUE(port.transact(kAimOn, 1000, &reply, 1));
    ASSERT_TRUE(port.transact(kRevisionRequest, 1000, &reply, 1));
    EXPECT_EQ(reply, Bytes(revision.begin(), revision.end() - 2));
    EXPECT_TRUE(clock.waits().empty());  // no modem lines: nothing to wait for
}

struct HandshakeCase {
    ModelIndex model;
    std::optional<bool> cts;  // nullopt: no modem lines; true: follows RTS
    std::vector<Micros> waits;
};

TEST_F(PortTest, HandshakeWaitsPerModelPath) {
    const std::vector<Micros> tenPolls(10, Millis(10));
    std::vector<Micros> neverAsserted = tenPolls;
    neverAsserted.push_back(Millis(10));
    const HandshakeCase cases[] = {
        {ModelIndex::K220, true, {Millis(10), Millis(10)}},
        {ModelIndex::K230, std::nullopt, {Millis(100), Millis(50)}},
        {ModelIndex::K240, false, neverAsserted},
        {ModelIndex::K210, true, {Millis(10), Millis(10)}},
        {ModelIndex::Unknown, false, neverAsserted},
        {ModelIndex::PocketPc, std::nullopt, {}},
    };
    for (const HandshakeCase& c : cases) {
        ScriptedDevice engine;
        if (c.cts == true) {
            engine.ctsFollowsRts();
        } else {
            engine.setCts(c.cts);
        }
        opener.plug("COM1:", engine);
        port.closePort();
        open(ReaderType::Imager2D, c.model);
        EXPECT_TRUE(port.transact(kAimOn, 1000, nullptr, 1));
        EXPECT_EQ(clock.waits(), c.waits) << "model " << static_cast<int>(c.model);
        EXPECT_FALSE(engine.line().rts);
        EXPECT_FALSE(engine.line().dtr);
        EXPECT_EQ(engine.writes().size(), 1u);
    }
}

// A port whose writes take at most `chunk` bytes per call.
class ChunkedPort final : public platform::SerialPort {
  public:
    ChunkedPort(std::size_t chunk, std::size_t total) : chunk_(chunk), room_(total) {}
    bool configure(const platform::LineSettings&) override { return true; }
    platform::LineSettings settings() const override { return {}; }
    bool setRts(bool) override { return true; }
    bool setDtr(bool) override { return true; }
    std::optional<bool> cts() override { return std::nullopt; }
    bool purge() override { return true; }
    bool readByte(std::uint8_t&, Millis) override { return false; }
    std::size_t write(std::span<const std::uint8_t> bytes, Millis) override {
        const std::size_t n = std::min({chunk_, room_, bytes.size()});
        room_ -= n;
        written.insert(written.end(), bytes.begin(), bytes.begin() + n);
        return n;
    }
    bool drain(Millis) override { return true; }
    int lastError() const override { return 0; }

    Bytes written;

  private:
    std::size_t chunk_;
    std::size_t room_;
};

class ChunkedOpener final : public platform::SerialPortOpener {
  public:
    ChunkedOpener(std::size_t chunk, std::size_t total) : chunk_(chunk), total_(total) {}
    std::unique_ptr<platform::SerialPort> open(std::string_view, int&) override {
        auto port = std::make_unique<ChunkedPort>(chunk_, total_);
        last = port.get();
        return port;
    }
    ChunkedPort* last = nullptr;

  private:
    std::size_t chunk_;
    std::size_t total_;
};

TEST(WriteFrame, ShortWritesAreRetriedAndAPartialWriteIsAFailure) {
    platform::VirtualClock clock;
    const Bytes frame = frameCcdCommand("SAVE0011");

    ChunkedOpener chunked(7, 1000);
    ReaderPort whole(1, chunked, clock);
    ASSERT_TRUE(whole.openPort());
    whole.setTimeout(1000, 'w');
    EXPECT_TRUE(whole.writeFrame(frame));
    EXPECT_EQ(chunked.last->written, frame);

    ChunkedOpener stuck(7, 10);  // takes 10 bytes, then nothing
    ReaderPort partial(1, stuck, clock);
    ASSERT_TRUE(partial.openPort());
    partial.setTimeout(1000, 'w');
    EXPECT_FALSE(partial.writeFrame(frame));
    EXPECT_EQ(partial.lastError, ETIMEDOUT);
    EXPECT_EQ(stuck.last->written.size(), 10u);
}

}  // namespace
}  // namespace tessel::reader
