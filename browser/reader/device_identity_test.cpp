#include "browser/reader/device_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/temp_dir.h"

namespace tessel::reader {
namespace {

using platform::Micros;
using platform::Millis;

// Calls of the library's entry points, in order.
std::vector<std::string> calls;

extern "C" int32_t buzzerOn(uint32_t f, uint32_t d) {
    calls.push_back("on " + std::to_string(f) + " " + std::to_string(d));
    return 0;
}
extern "C" int32_t buzzerOff() {
    calls.push_back("off");
    return 0;
}
extern "C" int32_t ledLight(uint32_t led, uint32_t on) {
    calls.push_back("led " + std::to_string(led) + " " + std::to_string(on));
    return 0;
}
extern "C" int32_t vibrator(uint32_t on) {
    calls.push_back("vib " + std::to_string(on));
    return 0;
}

class NotifierTest : public ::testing::Test {
  protected:
    NotifierTest() {
        calls.clear();
        loader.add("\\Windows\\K220CE_SYS.dll",
                   {{"SetBuzzerON", reinterpret_cast<void*>(&buzzerOn)},
                    {"SetBuzzerOFF", reinterpret_cast<void*>(&buzzerOff)},
                    {"SetLEDLight", reinterpret_cast<void*>(&ledLight)},
                    {"SetVibratorPower", reinterpret_cast<void*>(&vibrator)}});
    }

    std::vector<Micros> waits() const { return clock.waits(); }

    platform::TableLibraryLoader loader;
    platform::VirtualClock clock;
    platform::RecordingSoundPlayer sounds;
};

TEST_F(NotifierTest, BuzzerLongerThan255UnitsIsCutButTheLibraryGetsTheDuration) {
    const auto binding = NotificationBinding::bind(loader, ModelIndex::K220);
    Notifier notifier(binding, sounds, clock, ModelIndex::K220);
    notifier.buzz(300, 2700);
    notifier.buzz(0, 2700);
    EXPECT_EQ(calls, (std::vector<std::string>{"on 2700 300", "off"}));
    EXPECT_EQ(waits(), (std::vector<Micros>{Millis(25500)}));
}

TEST_F(NotifierTest, LedLastsAtLeast400MsOnTheK240) {
    const auto binding = NotificationBinding::bind(loader, ModelIndex::K220);
    Notifier notifier(binding, sounds, clock, ModelIndex::K240);
    notifier.flashLed(100);
    notifier.setModel(ModelIndex::K220);
    notifier.flashLed(100);
    notifier.flashLed(0);
    EXPECT_EQ(waits(), (std::vector<Micros>{Millis(400), Millis(100)}));
    EXPECT_EQ(calls, (std::vector<std::string>{"led 2 1", "led 2 0", "led 2 1", "led 2 0"}));
}

TEST_F(NotifierTest, MissingLibraryKeepsTheTiming) {
    const auto binding = NotificationBinding::bind(loader, ModelIndex::K210);  // not there
    EXPECT_FALSE(binding.loaded());
    Notifier notifier(binding, sounds, clock, ModelIndex::K210);
    notifier.vibrate(3);
    notifier.goodRead({true, 2, 100, 5});
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(waits(), (std::vector<Micros>{Millis(1500), Millis(100), Millis(200)}));
    EXPECT_EQ(
        sounds.requests(),
        (std::vector<platform::RecordingSoundPlayer::Request>{{"\\Windows\\Notify", 0x22000}}));
}

TEST_F(NotifierTest, InterruptEndsAWaitEarly) {
    const auto binding = NotificationBinding::bind(loader, ModelIndex::K220);
    Notifier notifier(binding, sounds, clock, ModelIndex::K220);
    notifier.interrupt();
    notifier.vibrate(100);
    EXPECT_TRUE(waits().empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"vib 1", "vib 0"}));
}

TEST(Sounds, OnlyTheNineListedIndicesPlay) {
    EXPECT_EQ(soundFile(1), "\\Windows\\Default");
    EXPECT_EQ(soundFile(6), "\\Windows\\VoicBeep");
    EXPECT_EQ(soundFile(9), "\\Windows\\LowBatt");
    EXPECT_EQ(soundFile(0), std::nullopt);
    EXPECT_EQ(soundFile(10), std::nullopt);
}

TEST(Model, IdentTextsInOrder) {
    EXPECT_EQ(modelFromIdent("DEVK220CE"), ModelIndex::K220);
    EXPECT_EQ(modelFromIdent("DEVK230CE"), ModelIndex::K230);
    EXPECT_EQ(modelFromIdent("DEVK240CE"), ModelIndex::K240);
    EXPECT_EQ(modelFromIdent("DEVK210CE"), ModelIndex::K210);
    EXPECT_EQ(modelFromIdent("Pocket_PC"), ModelIndex::PocketPc);
    EXPECT_EQ(modelFromIdent("devk220ce"), ModelIndex::Unknown);  // exact comparison
    EXPECT_EQ(modelFromIdent(""), ModelIndex::Unknown);
}

TEST(Model, DeviceModelFirstThenName) {
    platform::TempDir dir;
    platform::Registry registry(dir.path() / "registry.txt");
    EXPECT_EQ(detectModel(registry), ModelIndex::Unknown);  // no Ident key

    auto key = registry.create(platform::Hive::LocalMachine, "Ident");
    ASSERT_TRUE(key);
    key->set("Name", platform::RegValue::sz("Pocket_PC"));
    key->set("DeviceModel", platform::RegValue::sz("DEVK240CE"));
    EXPECT_EQ(detectModel(registry), ModelIndex::K240);
    key->set("DeviceModel", platform::RegValue::sz(""));
    EXPECT_EQ(detectModel(registry), ModelIndex::PocketPc);
    key->set("DeviceModel", platform::RegValue::sz("DEVK999CE"));
    EXPECT_EQ(detectModel(registry), ModelIndex::Unknown);
}

}  // namespace
}  // namespace tessel::reader
