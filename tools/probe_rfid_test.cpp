#include "tools/probe_rfid.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/pty_device.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"
#include "tools/probe_core.h"

namespace tessel::tools {
namespace {

using reader::ModelIndex;
using reader::ReaderType;

TEST(RfidProbe, ArgumentsAreCheckedBeforeAnythingIsOpened) {
    const std::vector<std::string> args{"--port", "2",   "--model", "4",     "--request", "7",
                                        "--scan", "3",   "--start", "-1",    "--write",   "--hex",
                                        "1",      "--content", "0A0B", "--key-type", "1"};
    EXPECT_TRUE(wantsRfidPort(args));
    std::string error;
    const auto options = parseRfidProbeArguments(args, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->model, ModelIndex::K240);
    EXPECT_EQ(options->request, ReaderType::RfidModule);
    EXPECT_EQ(options->scans, 3);
    EXPECT_TRUE(options->write);
    EXPECT_EQ(options->keyType, 1);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--port", "2", "--request", "2"},
          {"--port", "2", "--scan", "-1"},
          {"--port", "3"},
          {"--port", "2", "--key-type", "2"},
          {"--port", "2", "--scan"}}) {
        EXPECT_FALSE(parseRfidProbeArguments(bad, error)) << bad.back();
    }
    EXPECT_FALSE(wantsRfidPort(std::vector<std::string>{"--trigger", "2"}));
}

TEST(RfidProbe, WriteBytesFromTextOrHex) {
    RfidProbeSettings s;
    s.writeContent = "0a1B";
    EXPECT_EQ(writeBytes(s), (std::vector<std::uint8_t>{'0', 'a', '1', 'B'}));
    s.hexContent = true;
    EXPECT_EQ(writeBytes(s), (std::vector<std::uint8_t>{0x0A, 0x1B}));
}

// A simulated reader on a pseudo-terminal, probed as an administrator would.
class RfidProbeOnPty : public ::testing::Test {
  protected:
    void start(platform::DeviceModel& model) {
        int error = 0;
        platform::PtyDevice::Options options;
        options.paced = false;
        pty_ = platform::PtyDevice::start(model, options, error);
        ASSERT_NE(pty_, nullptr) << error;
    }

    int probe(ModelIndex model, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--port", "2", "--device", pty_->slavePath().string(),
                                      "--model", std::to_string(int(model))};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        const auto options = parseRfidProbeArguments(args, error);
        EXPECT_TRUE(options) << error;
        return runRfidProbe(*options, clock_, out_, err_);
    }

    std::vector<std::string> lines() const {
        std::istringstream in(out_.str());
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    static std::string withoutMs(const std::string& line) {
        return line.substr(0, line.find(",\"ms\":"));
    }

    platform::VirtualClock clock_;
    std::unique_ptr<platform::PtyDevice> pty_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(RfidProbeOnPty, TextReaderScanAndWrite) {
    sim::RfidTextReader reader(1, 57600);
    reader.insert(sim::Iso15693Tag(sim::Iso15693Tag::kMakerPhilips, 0x123456, 64));
    start(reader);
    EXPECT_EQ(probe(ModelIndex::K230, {"--scan", "1", "--start", "0", "--length", "4", "--write",
                                       "--write-start", "1", "--content", "AB"}),
              kProbeOk)
        << err_.str();
    const auto out = lines();
    ASSERT_EQ(out.size(), 7u) << out_.str();
    EXPECT_EQ(out[0], "model: 2");
    EXPECT_EQ(out[1], "kind: RfidText (5)");
    EXPECT_EQ(out[2], "speed: 57600");
    EXPECT_EQ(out[3], "version: 1.2.7");
    EXPECT_EQ(withoutMs(out[4]),
              R"({"tagCode":10,"tagType":"ISO15693, Philips Semiconductors",)"
              R"("uid":"E004000000123456","userData":"\u0000\u0000\u0000\u0000","blockSize":4)");
    EXPECT_EQ(out[5], R"({"written":2})");
    EXPECT_NE(out[6].find(R"("userData":"AB\u0000)"), std::string::npos) << out[6];
}

TEST_F(RfidProbeOnPty, FrameReaderScan) {
    sim::RfidFrameReader reader;
    reader.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, {1, 2, 3, 4}));
    start(reader);
    EXPECT_EQ(probe(ModelIndex::K220, {"--scan", "1"}), kProbeOk) << err_.str();
    const auto out = lines();
    ASSERT_EQ(out.size(), 5u) << out_.str();
    EXPECT_EQ(out[1], "kind: RfidFrame (6)");
    EXPECT_EQ(out[2], "speed: 115200");
    EXPECT_EQ(out[3], "version: V2.14");
    EXPECT_EQ(withoutMs(out[4]),
              R"({"tagCode":3,"tagType":"ISO14443 Type A, Mifare family","uid":"01020304",)"
              R"("userData":"","blockSize":16)");
}

TEST_F(RfidProbeOnPty, ModuleScan) {
    sim::RfidModuleSim::Config config;
    config.key = {0x5A, 0xC3, 0x3C, 0xA5};
    sim::RfidModuleSim module(config);
    module.insert(sim::SrTag(sim::SrTag::Kind::SR176, 0x11, 0x0102030405060708));
    start(module);
    // The UID is the SR176 blocks 3, 2, 1 and 0 in this order.
    EXPECT_EQ(probe(ModelIndex::K240, {"--scan", "1", "--start", "8", "--length", "2"}), kProbeOk)
        << err_.str();
    const auto out = lines();
    ASSERT_EQ(out.size(), 5u) << out_.str();
    EXPECT_EQ(out[1], "kind: RfidModule (7)");
    EXPECT_EQ(out[2], "speed: 19200");
    EXPECT_EQ(out[3], "version: V3.1|2.225");
    EXPECT_EQ(withoutMs(out[4]),
              R"({"tagCode":6,"tagType":"ISO14443 Type B, SR176","uid":"0201040306050807",)"
              R"("userData":"\u0000\u0000","blockSize":2)");
}

TEST_F(RfidProbeOnPty, SilentReaderGivesAClearMessage) {
    sim::RfidFrameReader reader;
    reader.unplug();
    start(reader);
    EXPECT_EQ(probe(ModelIndex::K220), kProbeNoEngine);
    EXPECT_NE(err_.str().find("No RFID reader answers on"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace tessel::tools
