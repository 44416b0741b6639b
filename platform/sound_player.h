#pragma once
// The host's sound player: sound files under the device root, read with libsndfile and played
// through ALSA.

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/device_fs.h"
#include "platform/pcm_output.h"
#include "platform/sound.h"

namespace tessel::platform {

// The host file of a sound named by device path: the file itself when it exists, else the
// first file (by name) in its folder whose name without extension matches, case-insensitively,
// as the terminal finds "\Windows\Default" for "Default.wav". Nullopt when there is none.
std::optional<std::filesystem::path> findSoundFile(const DeviceFs& fs, std::string_view devicePath);

class HostSoundPlayer final : public SoundPlayer {
  public:
    explicit HostSoundPlayer(DeviceFs fs, std::string soundDevice = defaultSoundDevice());
    // Cuts short a sound still playing.
    ~HostSoundPlayer() override;

    // Plays the file to its end, or with kSoundNoWait starts it and returns. A new sound cuts
    // short the one playing. False when the file is missing or unreadable or no sound device
    // takes it; that is found out before anything waits.
    bool play(const std::string& devicePath, std::uint32_t flags) override;
    // Cuts short a sound started without waiting.
    void stop() override;

  private:
    void stopPlaying();

    DeviceFs fs_;
    std::string soundDevice_;
    std::mutex mutex_;
    std::jthread playing_;
};

}  // namespace tessel::platform
