#pragma once
// Playing sound files named by device path ("\Windows\Default"), as the terminal's PlaySound.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tessel::platform {

// The terminal's play-sound flags that the system uses.
inline constexpr std::uint32_t kSoundFileName = 0x20000;
inline constexpr std::uint32_t kSoundNoWait = 0x2000;

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the file named by a device path (an extension may be missing, as on the terminal).
    // False when it cannot be played; what a missing file plays is the player's choice.
    virtual bool play(const std::string& devicePath, std::uint32_t flags) = 0;
    // Stops the sound playing, if any.
    virtual void stop() {}
};

// Remembers every request instead of playing it; a stop is remembered as an empty path.
class RecordingSoundPlayer final : public SoundPlayer {
public:
    struct Request {
        std::string devicePath;
        std::uint32_t flags;
        bool operator==(const Request&) const = default;
    };
    bool play(const std::string& devicePath, std::uint32_t flags) override {
        std::lock_guard lock(mutex_);
        requests_.push_back({devicePath, flags});
        return true;
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        requests_.push_back({"", 0});
    }
    std::vector<Request> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
};

}  // namespace tessel::platform
