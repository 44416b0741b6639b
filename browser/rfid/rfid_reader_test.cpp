// The RFID reader kinds against their simulators: detection, initialisation, power, idle
// power-off and version texts.

#include <gtest/gtest.h>

#include "browser/rfid/rfid_test_support.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"

namespace tessel::rfid {
namespace {

using reader::ModelIndex;
using test::countOf;
using test::RfidRig;
using Fault = sim::RfidReaderModel::Fault;
using namespace std::chrono_literals;

TEST(RfidDetectionOrder, PerModelAndRequest) {
    using enum ReaderType;
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::K220), std::vector{RfidFrame});
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::K230), std::vector{RfidText});
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::PocketPc), std::vector{RfidText});
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::K240), std::vector{RfidModule});
    const std::vector all{RfidModule, RfidText, RfidFrame};
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::K210), all);
    EXPECT_EQ(RfidReader::detectionOrder(Auto, ModelIndex::Unknown), all);
    EXPECT_EQ(RfidReader::detectionOrder(RfidModule, ModelIndex::K220),
              (std::vector{RfidModule, RfidText}));
    EXPECT_EQ(RfidReader::detectionOrder(RfidFrame, ModelIndex::K230), std::vector{RfidFrame});
}

TEST(RfidTextDetection, FoundAtWorkingSpeedOrSwitchedFrom9600) {
    sim::RfidTextReader fast(1, 57600);
    RfidRig rigFast(fast, ModelIndex::K230);
    ASSERT_TRUE(rigFast.port.openPort());
    EXPECT_TRUE(rigFast.rfid.detect(ReaderType::Auto));
    EXPECT_EQ(rigFast.rfid.kind(), ReaderType::RfidText);
    EXPECT_EQ(rigFast.rfid.firmwareVariant, 1);
    EXPECT_EQ(rigFast.port.speed(), 57600u);

    sim::RfidTextReader slow(0, 9600);
    RfidRig rig(slow, ModelIndex::K230);
    ASSERT_TRUE(rig.port.openPort());
    EXPECT_TRUE(rig.rfid.detect(ReaderType::Auto));
    EXPECT_EQ(rig.rfid.firmwareVariant, 0);
    EXPECT_EQ(slow.baud(), 57600u);
    EXPECT_EQ(rig.port.speed(), 57600u);
    EXPECT_EQ(countOf(slow.commands(), "wp0C03"), 1);
}

TEST(RfidTextDetection, RefusedSwitchStaysAt9600WithTheErrorKept) {
    sim::RfidTextReader reader(1, 9600);
    reader.refuseSpeedSwitch('F');
    RfidRig rig(reader, ModelIndex::K230);
    ASSERT_TRUE(rig.port.openPort());
    EXPECT_TRUE(rig.rfid.detect(ReaderType::RfidText));
    EXPECT_EQ(rig.port.speed(), 9600u);
    EXPECT_EQ(rig.rfid.lastError(), kRfidFailed);
}

TEST(RfidTextDetection, UnknownVersionLineIsNotATextReader) {
    sim::RfidTextReader reader(1, 57600);
    reader.setVersion("ISO 1.0 something");
    RfidRig rig(reader, ModelIndex::K230);
    ASSERT_TRUE(rig.port.openPort());
    EXPECT_FALSE(rig.rfid.detect(ReaderType::Auto));
    EXPECT_EQ(rig.rfid.kind(), ReaderType::None);
}

TEST(RfidDetection, UnknownTerminalTriesModuleTextThenFrame) {
    sim::RfidFrameReader reader;
    RfidRig rig(reader, ModelIndex::K210);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    EXPECT_EQ(rig.rfid.kind(), ReaderType::RfidFrame);
    EXPECT_EQ(rig.rfid.firmwareVariant, 2);
    EXPECT_EQ(rig.port.speed(), 115200u);
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_TRUE(rig.rfid.idleThreadStarted());
    EXPECT_EQ(reader.commands(),
              (std::vector<std::string>{"0108000304FE0000", "0109000304F0000000",
                                        "0109000304F1FF0000"}));
}

TEST(RfidDetection, RequestedModuleFallsBackToTheTextReader) {
    sim::RfidTextReader reader(1, 57600);
    RfidRig rig(reader, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::RfidModule));
    EXPECT_EQ(rig.rfid.kind(), ReaderType::RfidText);
    // Started text readers are initialised and left closed.
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(RfidDetection, NothingAnsweringLeavesNoReaderAndAClosedPort) {
    sim::RfidTextReader reader(1, 57600);
    reader.unplug();
    RfidRig rig(reader, ModelIndex::K230);
    EXPECT_FALSE(rig.rfid.start(ReaderType::Auto));
    EXPECT_EQ(rig.rfid.kind(), ReaderType::None);
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(RfidDetection, ModuleTerminalOpensThroughTheLinkTwice) {
    sim::RfidModuleSim::Config config;
    config.key = {0x5A, 0xC3, 0x3C, 0xA5};
    sim::RfidModuleSim module(config);
    module.misbehave(sim::RfidModuleSim::Fault::Silence, 1000);
    RfidRig rig(module, ModelIndex::K240);
    EXPECT_FALSE(rig.rfid.start(ReaderType::Auto));
    const auto waits = rig.clock.waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 2000ms), 1);
    EXPECT_EQ(rig.rfid.lastError(), int(LinkResult::NoReply));
}

TEST(RfidTextInitialise, ParameterImageHasOneEntryPerParameter) {
    sim::RfidTextReader reader(1, 57600);
    reader.rejectParameter(0x10);
    reader.setParameter(0x11, 0xAB);
    RfidRig rig(reader, ModelIndex::K230);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    ASSERT_EQ(rig.rfid.parameterImage.size(), 22u);
    EXPECT_EQ(rig.rfid.parameterImage[0x10 - 0x0A], 0);
    EXPECT_EQ(rig.rfid.parameterImage[0x11 - 0x0A], 0xAB);
    EXPECT_EQ(reader.parameter(0x0B), 0x08);
    EXPECT_EQ(reader.parameter(0x0E), 0x7F);
    EXPECT_EQ(countOf(reader.commands(), "rp0a"), 1);
    EXPECT_EQ(countOf(reader.commands(), "rp1f"), 1);
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(RfidTextInitialise, ParameterThatNeverTakesDoesNotFail) {
    sim::RfidTextReader reader(1, 57600);
    reader.lockParameter(0x0B);
    RfidRig rig(reader, ModelIndex::K230);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    EXPECT_EQ(countOf(reader.commands(), "wp0B08"), 10);
    EXPECT_EQ(countOf(reader.commands(), "wp0E7F"), 1);
    EXPECT_EQ(rig.rfid.parameterImage.size(), 22u);
}

TEST(RfidFrameInitialise, SecondInitialisationSendsNothing) {
    sim::RfidFrameReader reader;
    RfidRig rig(reader, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    reader.clearCommands();
    rig.rfid.setIdleSeconds(45);
    EXPECT_TRUE(rig.rfid.initialise());
    EXPECT_TRUE(reader.commands().empty());
    EXPECT_EQ(rig.rfid.idleSeconds(), 45u);
}

TEST(RfidFrameInitialise, UnansweredGainControlIsTriedAgainNextTime) {
    sim::RfidFrameReader reader;
    RfidRig rig(reader, ModelIndex::K220);
    ASSERT_TRUE(rig.port.openPort());
    ASSERT_TRUE(rig.rfid.detect(ReaderType::Auto));
    reader.misbehave(Fault::Silence, 3);
    EXPECT_FALSE(rig.rfid.initialise());
    EXPECT_FALSE(rig.flags.gainControlSent);
    EXPECT_TRUE(rig.rfid.initialise());
    EXPECT_TRUE(rig.flags.gainControlSent && rig.flags.inputSelectionSent);
}

TEST(RfidPower, FrameOffSendsNothingTextOffClosesThePort) {
    sim::RfidFrameReader frame;
    RfidRig rig(frame, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    rig.rfid.protocol = kProtocol15693;
    ASSERT_TRUE(rig.rfid.power(true));
    EXPECT_EQ(frame.commands().back(), "010B000304140401000000");
    frame.clearCommands();
    EXPECT_TRUE(rig.rfid.power(true));  // already on: nothing sent
    EXPECT_TRUE(rig.rfid.powerOffIfFree());
    EXPECT_TRUE(frame.commands().empty());
    EXPECT_TRUE(rig.port.isOpen());

    sim::RfidTextReader text(1, 57600);
    RfidRig textRig(text, ModelIndex::K230);
    ASSERT_TRUE(textRig.rfid.start(ReaderType::Auto));
    ASSERT_TRUE(textRig.rfid.power(true));
    EXPECT_EQ(text.commands().back(), "s");
    EXPECT_TRUE(textRig.port.isOpen());
    // A busy port is not powered off, and stopping does not wait for it.
    ASSERT_TRUE(textRig.port.portLock.wait(0));
    EXPECT_FALSE(textRig.rfid.powerOffIfFree());
    textRig.port.portLock.release();
    EXPECT_TRUE(textRig.rfid.powerOffIfFree());
    EXPECT_FALSE(textRig.port.isOpen());
}

TEST(RfidIdle, UnusedFrameReaderIsClosedAndReopenedByTheNextScan) {
    sim::RfidFrameReader reader;
    reader.insert(sim::Iso15693Tag(sim::Iso15693Tag::kMakerPhilips, 0x123456, 8));
    RfidRig rig(reader, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    RfidTagResult result;
    ASSERT_TRUE(rig.rfid.scan(test::tagRequest(-1, 0), result));
    // The scan's activity signal restarts the idle wait once.
    EXPECT_FALSE(rig.rfid.idleOnce());
    rig.clock.clearWaits();
    EXPECT_TRUE(rig.rfid.idleOnce());
    EXPECT_EQ(rig.clock.waits().front(), 20s);
    EXPECT_FALSE(rig.port.isOpen());

    reader.clearCommands();
    ASSERT_TRUE(rig.rfid.scan(test::tagRequest(-1, 0), result));
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_EQ(reader.commands(),
              (std::vector<std::string>{"010C00030410002101000000", "010B000304140401000000"}));
}

TEST(RfidIdle, IdleTimeFromTheSettingsIsKeptInRange) {
    sim::RfidFrameReader reader;
    RfidRig rig(reader, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    rig.clock.clearWaits();
    rig.rfid.setIdleSeconds(0);
    EXPECT_TRUE(rig.rfid.idleOnce());
    rig.rfid.setIdleSeconds(5'000'000);  // more milliseconds than 32 bits hold
    EXPECT_TRUE(rig.rfid.idleOnce());
    EXPECT_EQ(rig.clock.waits(),
              (std::vector<platform::Micros>{1s, platform::Millis(platform::kInfinite - 1)}));
}

TEST(RfidTransport, TextRepliesLoseNulBytesAndTheLineEnd) {
    sim::RfidTextReader reader(1, 57600);
    RfidRig rig(reader, ModelIndex::K230);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    reader.misbehave(Fault::NulBytes);
    EXPECT_EQ(rig.rfid.version(), "1.2.7");
    reader.setVersion("MultiISO1.x");
    EXPECT_EQ(rig.rfid.version(), "");
    // A reply that never ends is refused, not buffered without bound.
    reader.misbehave(Fault::Endless);
    EXPECT_EQ(rig.rfid.version(), "");
}

TEST(RfidVersion, FrameReaderAndModule) {
    sim::RfidFrameReader frame;
    RfidRig rig(frame, ModelIndex::K220);
    ASSERT_TRUE(rig.rfid.start(ReaderType::Auto));
    EXPECT_EQ(rig.rfid.version(), "V2.14");

    sim::RfidModuleSim::Config config;
    config.key = {0x5A, 0xC3, 0x3C, 0xA5};
    sim::RfidModuleSim module(config);
    RfidRig moduleRig(module, ModelIndex::K240);
    ASSERT_TRUE(moduleRig.rfid.start(ReaderType::Auto));
    EXPECT_EQ(moduleRig.rfid.kind(), ReaderType::RfidModule);
    EXPECT_EQ(module.option(), 8);
    EXPECT_EQ(moduleRig.rfid.version(), "V3.1|2.225");
    const auto waits = moduleRig.clock.waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 550ms), 1);  // the link's settling time
    moduleRig.rfid.close();
    EXPECT_EQ(moduleRig.rfid.kind(), ReaderType::None);
    EXPECT_EQ(moduleRig.rfid.version(), "");
}

}  // namespace
}  // namespace tessel::rfid

namespace tessel::rfid {
namespace {

TEST(RfidIdleThread, CloseWakesAndEndsTheThreadAtOnce) {
    platform::VirtualClock lineClock;
    platform::VirtualPortOpener opener(lineClock);
    reader::ReaderPort port(2, opener, platform::realClock());
    RfidLink link(opener, lineClock);
    FrameReaderFlags flags;
    RfidReader rfid(port, link, flags, {.idleThread = true});
    port.type = ReaderType::RfidFrame;
    rfid.initialise();  // no reader on the line: only the thread starts
    EXPECT_TRUE(rfid.idleThreadStarted());
    rfid.close();  // the thread waits 20 s unless woken; close must not wait for that
    EXPECT_FALSE(rfid.idleThreadStarted());
    EXPECT_EQ(rfid.kind(), ReaderType::None);
}

}  // namespace
}  // namespace tessel::rfid
