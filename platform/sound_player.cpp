#include "platform/sound_player.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace tessel::platform {
namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

struct Sound {
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<std::int16_t> samples;  // interleaved
};

// The whole file as 16-bit samples; at most ten minutes are kept, whatever the header claims.
std::optional<Sound> loadSound(const std::filesystem::path& file) {
    SF_INFO info{};
    std::unique_ptr<SNDFILE, decltype(&sf_close)> handle(sf_open(file.c_str(), SFM_READ, &info),
                                                         &sf_close);
    constexpr int kMaxChannels = 8;
    constexpr int kMaxRate = 384'000;
    if (!handle || info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1 ||
        info.samplerate > kMaxRate) {
        return std::nullopt;
    }
    Sound sound{static_cast<unsigned>(info.samplerate), static_cast<unsigned>(info.channels), {}};
    const std::size_t maxFrames = std::size_t{sound.rate} * 600;
    std::vector<std::int16_t> chunk(std::size_t{4096} * sound.channels);
    while (sound.samples.size() / sound.channels < maxFrames) {
        const sf_count_t frames = sf_readf_short(handle.get(), chunk.data(), 4096);
        if (frames <= 0) {
            break;
        }
        sound.samples.insert(sound.samples.end(), chunk.begin(),
                             chunk.begin() + frames * sound.channels);
    }
    if (sound.samples.empty()) {
        return std::nullopt;
    }
    return sound;
}

// Plays in chunks of 50 ms so that a stop request is seen promptly.
bool playSound(PcmOutput& output, const Sound& sound, std::stop_token stop) {
    const std::size_t chunk = std::max<std::size_t>(sound.rate / 20, 1) * sound.channels;
    std::span<const std::int16_t> rest(sound.samples);
    while (!rest.empty()) {
        if (stop.stop_requested()) {
            return true;
        }
        const auto part = rest.first(std::min(chunk, rest.size()));
        if (!output.write(part)) {
            return false;
        }
        rest = rest.subspan(part.size());
    }
    output.drain();
    return true;
}

}  // namespace

std::optional<std::filesystem::path> findSoundFile(const DeviceFs& fs,
                                                   std::string_view devicePath) {
    const auto host = fs.toHost(devicePath);
    std::error_code ec;
    if (!host || host->filename().empty()) {
        return std::nullopt;
    }
    if (std::filesystem::is_regular_file(*host, ec)) {
        return host;
    }
    std::vector<std::filesystem::path> matches;
    const std::string wanted = host->filename().string();
    for (const auto& entry : std::filesystem::directory_iterator(host->parent_path(), ec)) {
        if (entry.is_regular_file(ec) && sameIgnoringCase(entry.path().stem().string(), wanted)) {
            matches.push_back(entry.path());
        }
    }
    if (matches.empty()) {
        return std::nullopt;
    }
    // A name found by listing the folder is checked as any device path is: a symbolic link that
    // leads outside the device root is refused.
    const auto device = fs.toDevice(*std::min_element(matches.begin(), matches.end()));
    return device ? fs.toHost(*device) : std::nullopt;
}

HostSoundPlayer::HostSoundPlayer(DeviceFs fs, std::string soundDevice)
    : fs_(std::move(fs)), soundDevice_(std::move(soundDevice)) {}

HostSoundPlayer::~HostSoundPlayer() {
    std::lock_guard lock(mutex_);
    stopPlaying();
}

bool HostSoundPlayer::play(const std::string& devicePath, std::uint32_t flags) {
    const auto file = findSoundFile(fs_, devicePath);
    if (!file) {
        return false;
    }
    auto sound = loadSound(*file);
    if (!sound) {
        return false;
    }
    std::lock_guard lock(mutex_);
    stopPlaying();
    std::string error;
    auto output = PcmOutput::open(soundDevice_, sound->rate, sound->channels, error);
    if (!output) {
        return false;
    }
    if ((flags & kSoundNoWait) == 0) {
        return playSound(*output, *sound, {});
    }
    playing_ = std::jthread([output = std::move(output), sound = std::move(*sound)](
                                std::stop_token stop) { playSound(*output, sound, stop); });
    return true;
}

void HostSoundPlayer::stop() {
    std::lock_guard lock(mutex_);
    stopPlaying();
}

void HostSoundPlayer::stopPlaying() {
    if (playing_.joinable()) {
        playing_.request_stop();
        playing_.join();
    }
}

}  // namespace tessel::platform
