#include "platform/sound_player.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <fstream>
#include <vector>

namespace tessel::platform {
namespace {

class SoundPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("sound_player_test_" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "Windows");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    // A short mono tone as a WAV file.
    void writeWav(const std::filesystem::path& file) {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
        ASSERT_NE(out, nullptr);
        std::vector<short> samples(800, 1000);
        sf_write_short(out, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(out);
    }

    std::filesystem::path root_;
};

TEST_F(SoundPlayerTest, FindsFilesWithoutExtensionAndIgnoringCase) {
    writeWav(root_ / "Windows" / "default.WAV");
    writeWav(root_ / "Windows" / "Alarm2.wav");
    std::ofstream(root_ / "Windows" / "Alarm3") << "x";
    DeviceFs fs(root_);

    EXPECT_EQ(findSoundFile(fs, "\\Windows\\Default"), root_ / "Windows" / "default.WAV");
    EXPECT_EQ(findSoundFile(fs, "\\WINDOWS\\alarm2.wav"), root_ / "Windows" / "Alarm2.wav");
    // A file whose name is exactly the device name wins over name matching.
    EXPECT_EQ(findSoundFile(fs, "\\Windows\\Alarm3"), root_ / "Windows" / "Alarm3");
    EXPECT_EQ(findSoundFile(fs, "\\Windows\\Alarm"), std::nullopt);
    EXPECT_EQ(findSoundFile(fs, "\\Windows\\MenuPop"), std::nullopt);
    EXPECT_EQ(findSoundFile(fs, "\\Nowhere\\Default"), std::nullopt);
    EXPECT_EQ(findSoundFile(fs, "\\..\\Default"), std::nullopt);
}

TEST_F(SoundPlayerTest, NameMatchingDoesNotFollowLinksOutOfTheRoot) {
    const std::filesystem::path outside = root_.string() + "_outside.wav";
    writeWav(outside);
    std::filesystem::create_symlink(outside, root_ / "Windows" / "Escape.wav");
    DeviceFs fs(root_);

    EXPECT_EQ(findSoundFile(fs, "\\Windows\\Escape"), std::nullopt);
    EXPECT_EQ(findSoundFile(fs, "\\Windows\\Escape.wav"), std::nullopt);
    std::filesystem::remove(outside);
}

TEST_F(SoundPlayerTest, FailsWithoutBlockingWhenNothingCanBePlayed) {
    writeWav(root_ / "Windows" / "Default.wav");
    std::ofstream(root_ / "Windows" / "Notify.wav") << "not a sound";
    HostSoundPlayer player(DeviceFs(root_), "hw:CARD=TesselNoSuchCard");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(player.play("\\Windows\\Missing", kSoundFileName));
    EXPECT_FALSE(player.play("\\Windows\\Notify", kSoundFileName));
    // A readable sound with no device to play it on, waited for or not.
    EXPECT_FALSE(player.play("\\Windows\\Default", kSoundFileName));
    EXPECT_FALSE(player.play("\\Windows\\Default", kSoundFileName | kSoundNoWait));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(SoundPlayerTest, PlaysOnADeviceWaitingOrNot) {
    writeWav(root_ / "Windows" / "VoicBeep.wav");
    // ALSA's null device takes samples as fast as they come, with no sound card.
    HostSoundPlayer player(DeviceFs(root_), "null");

    EXPECT_TRUE(player.play("\\windows\\voicbeep", kSoundFileName));
    EXPECT_TRUE(player.play("\\Windows\\VoicBeep", kSoundFileName | kSoundNoWait));
    // A new sound cuts short the one still playing.
    EXPECT_TRUE(player.play("\\Windows\\VoicBeep.wav", kSoundFileName | kSoundNoWait));
    // A stop ends it; a second finds nothing playing.
    player.stop();
    player.stop();
    EXPECT_TRUE(player.play("\\Windows\\VoicBeep", kSoundFileName));
}

}  // namespace
}  // namespace tessel::platform
