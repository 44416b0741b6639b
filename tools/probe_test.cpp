#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "platform/device_fs.h"
#include "platform/pty_device.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "tools/probe_core.h"

namespace tessel::tools {
namespace {

using reader::ModelIndex;
using reader::ReaderType;

std::optional<ProbeOptions> parse(std::vector<std::string> args, std::string& error) {
    return parseProbeArguments(args, error);
}

TEST(Probe, ArgumentsAreCheckedBeforeAnythingIsOpened) {
    std::string error;
    const auto options = parse({"--device", "/dev/ttyS0", "--model", "5", "--request", "8",
                                "--trigger", "2", "--timeout", "500"},
                               error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->device, "/dev/ttyS0");
    EXPECT_EQ(options->model, ModelIndex::K210);
    EXPECT_EQ(options->request, ReaderType::Imager2D4507);
    EXPECT_EQ(options->triggers, 2);
    EXPECT_EQ(options->decodeTimeoutMs, 500u);

    EXPECT_FALSE(parse({"--request", "5"}, error));  // an RFID kind
    EXPECT_FALSE(parse({"--model", "6"}, error));
    EXPECT_FALSE(parse({"--trigger", "x"}, error));
    EXPECT_FALSE(parse({"--timeout", "0"}, error));
    EXPECT_FALSE(parse({"--trigger"}, error));
    EXPECT_FALSE(parse({"--colour", "blue"}, error));
}

TEST(Probe, DecodeLinesEscapeControlAndHighBytes) {
    const reader::ScanResult result{3, "Code \"128\"", {'A', '\\', 0x01, 0x7F, 0xE9, 'z'}};
    EXPECT_EQ(decodeJson(result, 42),
              "{\"codeType\":3,\"codeTypeName\":\"Code \\\"128\\\"\","
              "\"data\":\"A\\\\\\u0001\\u007f\\u00e9z\",\"ms\":42}");
}

// A simulated engine on a pseudo-terminal, probed as an administrator would.
class ProbeOnPty : public ::testing::Test {
  protected:
    // Runs the engine on a pseudo-terminal until the test ends.
    void start(std::unique_ptr<sim::EngineModel> engine) {
        engine_ = std::move(engine);
        int error = 0;
        platform::PtyDevice::Options options;
        options.paced = false;  // pacing matters only for timing, which benchmarks measure
        pty_ = platform::PtyDevice::start(*engine_, options, error);
        ASSERT_NE(pty_, nullptr) << error;
    }

    int probe(ReaderType request, int triggers) {
        ProbeOptions options;
        options.device = pty_->slavePath().string();
        options.model = ModelIndex::Unknown;
        options.request = request;
        options.triggers = triggers;
        options.decodeTimeoutMs = 1000;
        return runProbe(options, clock_, out_, err_);
    }

    platform::VirtualClock clock_;
    std::unique_ptr<sim::EngineModel> engine_;  // outlives the runner
    std::unique_ptr<platform::PtyDevice> pty_;
    std::ostringstream out_;
    std::ostringstream err_;
};

struct KindCase {
    ReaderType request;
    std::optional<sim::PacketKind> packetKind;  // nullopt: the text engine
    std::uint32_t baud;
    const char* expectedKind;
};

class ProbeEachKind : public ProbeOnPty, public ::testing::WithParamInterface<KindCase> {};

TEST_P(ProbeEachKind, IdentifiesTheEngineAndPrintsADecode) {
    const KindCase& c = GetParam();
    const sim::Bytes data{'T', 0xE9, 's', 0x01, '9'};
    std::unique_ptr<sim::EngineModel> engine;
    if (c.packetKind) {
        engine = std::make_unique<sim::PacketEngine>(*c.packetKind, c.baud);
        engine->queueDecode({1, data});  // Code 39
    } else {
        engine = std::make_unique<sim::CcdLaserEngine>(c.baud);
        engine->queueDecode({'A', data});  // Code 39
    }
    start(std::move(engine));

    EXPECT_EQ(probe(c.request, 1), kProbeOk) << err_.str();
    std::istringstream lines(out_.str());
    std::string model, kind, speed, version, decode;
    std::getline(lines, model);
    std::getline(lines, kind);
    std::getline(lines, speed);
    std::getline(lines, version);
    std::getline(lines, decode);
    EXPECT_EQ(model, "model: 0");
    EXPECT_EQ(kind, c.expectedKind);
    EXPECT_EQ(speed, "speed: " + std::to_string(c.baud));
    EXPECT_GT(version.size(), std::string("version: ").size()) << version;
    // Code 39 is 'A' (65) to the text engine and 1 to the packet engines.
    const std::string codeType = c.packetKind ? "1" : "65";
    EXPECT_EQ(
        decode.substr(0, decode.find(",\"ms\":")),
        "{\"codeType\":" + codeType + R"(,"codeTypeName":"Code 39","data":"T\u00e9s\u00019")");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ProbeEachKind,
    ::testing::Values(
        KindCase{ReaderType::CcdLaser, std::nullopt, 115200, "kind: CcdLaser (2)"},
        KindCase{ReaderType::Imager2D, sim::PacketKind::Imager2D, 115200, "kind: Imager2D (3)"},
        // A long-range engine answers the imager's probe and is recognised by its revision.
        KindCase{ReaderType::Imager2D, sim::PacketKind::LongRange1D, 115200,
                 "kind: LongRange1D (4)"},
        KindCase{ReaderType::LongRange1D, sim::PacketKind::LongRange1D, 38400,
                 "kind: LongRange1D (4)"},
        KindCase{ReaderType::Imager2D4507, sim::PacketKind::Imager2D4507, 115200,
                 "kind: Imager2D4507 (8)"},
        KindCase{ReaderType::LongRange1D955, sim::PacketKind::LongRange1D955, 38400,
                 "kind: LongRange1D955 (9)"}));

TEST_F(ProbeOnPty, FindsCom1AndTheModelInTheDeviceRegistry) {
    start(std::make_unique<sim::CcdLaserEngine>());
    const auto root =
        std::filesystem::temp_directory_path() / ("probe_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    platform::Registry registry(platform::Registry::fileOf(platform::DeviceFs(root)));
    registry.create(platform::Hive::LocalMachine, "Ident")
        ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
    registry.create(platform::Hive::LocalMachine, platform::kPortMapKey)
        ->set("COM1", platform::RegValue::sz(pty_->slavePath().string()));

    // The K220 tries the text engine first, so nothing else is probed.
    ProbeOptions options;
    options.deviceRoot = root;
    EXPECT_EQ(runProbe(options, clock_, out_, err_), kProbeOk) << err_.str();
    EXPECT_EQ(out_.str().substr(0, out_.str().find("speed")), "model: 1\nkind: CcdLaser (2)\n");
    std::filesystem::remove_all(root);
}

TEST_F(ProbeOnPty, SilentEngineGivesAClearMessageAndFailure) {
    auto engine = std::make_unique<sim::CcdLaserEngine>();
    engine->unplug();
    start(std::move(engine));

    EXPECT_EQ(probe(ReaderType::CcdLaser, 1), kProbeNoEngine);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("No scan engine answers on " + pty_->slavePath().string()),
              std::string::npos)
        << err_.str();
}

TEST_F(ProbeOnPty, NoReadIsReportedAsAnErrorLine) {
    start(std::make_unique<sim::PacketEngine>(sim::PacketKind::Imager2D, 115200));
    EXPECT_EQ(probe(ReaderType::Imager2D, 1), kProbeNoDecode) << err_.str();
    EXPECT_NE(out_.str().find("\n{\"error\":"), std::string::npos) << out_.str();
}

TEST_F(ProbeOnPty, SettingsGoToStandardOutputAsIniSections) {
    start(std::make_unique<sim::PacketEngine>(sim::PacketKind::Imager2D4507, 115200));
    ProbeOptions options;
    options.device = pty_->slavePath().string();
    options.model = ModelIndex::Unknown;
    options.request = ReaderType::Imager2D4507;
    options.settings = true;
    EXPECT_EQ(runProbe(options, clock_, out_, err_), kProbeOk) << err_.str();
    EXPECT_NE(err_.str().find("kind: Imager2D4507 (8)"), std::string::npos) << err_.str();
    EXPECT_NE(out_.str().find("[Barcode Reader 2D]\r\nhas2d_4507=1\r\n"), std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("[Matrix25 2D]"), std::string::npos);
}

// A refused decode followed by a trigger release that gets no answer: the line reports the
// decode's reason, not the release's time-out.
TEST(Probe, AFailedDecodeReportsItsOwnReason) {
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener(clock);
    sim::PacketEngine engine(sim::PacketKind::Imager2D, 115200);
    opener.plug("COM1:", engine);
    reader::ReaderPort port(1, opener, clock);
    port.type = ReaderType::Imager2D;
    ASSERT_TRUE(port.openPort());
    ASSERT_TRUE(port.setSpeed(115200));
    reader::AimToggle toggle;
    ASSERT_TRUE(reader::trigger(port, true, toggle));

    engine.misbehave(sim::Fault::Nak);
    engine.queueDecode({1, {'X'}});
    engine.misbehave(sim::Fault::Silence, sim::kForever);
    std::ostringstream out;
    EXPECT_FALSE(readOnce(port, toggle, out));
    EXPECT_NE(out.str().find(",\"lastError\":" + std::to_string(reader::kNoDecode) + ","),
              std::string::npos)
        << out.str();
}

// Frames that await no reply (a packet engine's decode acknowledgement, the text engine's "OFF")
// reach the engine although the next command follows at once and purges the port first.
TEST_F(ProbeOnPty, EveryFrameWithoutReplyReachesTheEngine) {
    constexpr int kPulls = 10;
    const auto countHeard = [&](const sim::Bytes& frame) {
        // The runner may still be taking the last bytes off the line.
        long heard = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        do {
            pty_->withModel([&](platform::DeviceModel& model) {
                const auto& commands = static_cast<sim::EngineModel&>(model).commands();
                heard = std::count_if(commands.begin(), commands.end(), [&](const sim::Bytes& c) {
                    return std::search(c.begin(), c.end(), frame.begin(), frame.end()) != c.end();
                });
            });
        } while (heard < kPulls && std::chrono::steady_clock::now() < deadline);
        return heard;
    };

    auto packet = std::make_unique<sim::PacketEngine>(sim::PacketKind::Imager2D, 115200);
    for (int i = 0; i < kPulls; ++i) packet->queueDecode({1, {'1'}});
    start(std::move(packet));
    EXPECT_EQ(probe(ReaderType::Imager2D, kPulls), kProbeOk) << err_.str();
    EXPECT_EQ(countHeard(sim::Bytes(reader::kAckDecode.begin(), reader::kAckDecode.end())), kPulls);

    pty_.reset();
    auto text = std::make_unique<sim::CcdLaserEngine>(115200);
    for (int i = 0; i < kPulls; ++i) text->queueDecode({'A', {'1'}});
    start(std::move(text));
    EXPECT_EQ(probe(ReaderType::CcdLaser, kPulls), kProbeOk) << err_.str();
    EXPECT_EQ(countHeard(sim::Bytes{'O', 'F', 'F'}), kPulls);
}

TEST(Probe, MissingDeviceFailsAtOpen) {
    ProbeOptions options;
    options.device = "/nonexistent/tty";
    platform::VirtualClock clock;
    std::ostringstream out, err;
    EXPECT_EQ(runProbe(options, clock, out, err), kProbePortFailed);
    EXPECT_NE(err.str().find("Cannot open /nonexistent/tty"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace tessel::tools
