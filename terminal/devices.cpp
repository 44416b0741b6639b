#include "terminal/devices.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "platform/pcm_output.h"
#include "terminal/host_info.h"

namespace tessel::terminal {
namespace {

namespace fs = std::filesystem;

// Entries of a host folder, sorted by name; empty when it cannot be read.
std::vector<fs::path> sortedEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        entries.push_back(entry.path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<fs::path> ledFolder(const Host& host) {
    const auto leds = sortedEntries(host.sys / "class/leds");
    if (host.ledName.empty()) {
        return leds.empty() ? std::nullopt : std::optional(leds.front());
    }
    const auto named = std::find_if(
        leds.begin(), leds.end(), [&](const fs::path& p) { return p.filename() == host.ledName; });
    return named == leds.end() ? std::nullopt : std::optional(*named);
}

// The first input event device that can rumble, as a path under the host's /dev.
std::optional<fs::path> rumbleDevice(const Host& host) {
    for (const auto& entry : sortedEntries(host.sys / "class/input")) {
        const auto name = entry.filename().string();
        if (name.rfind("event", 0) != 0) {
            continue;
        }
        const auto mask = readHostFile(entry / "device/capabilities/ff");
        if (mask && capabilityBit(*mask, FF_RUMBLE)) {
            return host.dev / "input" / name;
        }
    }
    return std::nullopt;
}

bool playEffect(int fd, int effect, bool on) {
    input_event event{};
    event.type = EV_FF;
    event.code = static_cast<std::uint16_t>(effect);
    event.value = on ? 1 : 0;
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

// Writes a sine tone in chunks of 20 ms until stopped or `frames` frames have gone out.
void playTone(platform::PcmOutput& output, double frequency, std::size_t frames,
              std::stop_token stop) {
    const std::size_t chunkFrames = output.rate() / 50;
    std::vector<std::int16_t> chunk(chunkFrames);
    const double step = 2 * std::numbers::pi * frequency / output.rate();
    double phase = 0;
    for (std::size_t done = 0; done < frames && !stop.stop_requested(); done += chunkFrames) {
        for (auto& sample : chunk) {
            sample = static_cast<std::int16_t>(12000 * std::sin(phase));
            phase = std::fmod(phase + step, 2 * std::numbers::pi);
        }
        if (!output.write(chunk)) {
            return;
        }
    }
}

}  // namespace

std::string setLed(const Host& host, bool on) {
    const auto led = ledFolder(host);
    if (!led) {
        return {};
    }
    std::string level = "0";
    if (on) {
        const auto max = readHostFile(*led / "max_brightness");
        level = max ? max->substr(0, max->find('\n')) : "1";
    }
    std::ofstream brightness(*led / "brightness");
    brightness << level << '\n';
    brightness.flush();
    return brightness ? led->string() : std::string();
}

Vibrator::~Vibrator() {
    std::lock_guard lock(mutex_);
    stop();
}

std::string Vibrator::set(const Host& host, bool on) {
    std::lock_guard lock(mutex_);
    if (!on) {
        const std::string device = device_;
        stop();
        return device;
    }
    if (fd_ >= 0) {
        return device_;
    }
    const auto device = rumbleDevice(host);
    if (!device) {
        return {};
    }
    fd_ = ::open(device->c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        return {};
    }
    // The longest effect the interface allows; SetVibratorPower(0) ends it earlier.
    ff_effect effect{};
    effect.type = FF_RUMBLE;
    effect.id = -1;
    effect.u.rumble.strong_magnitude = 0xC000;
    effect.u.rumble.weak_magnitude = 0x4000;
    effect.replay.length = 0xFFFF;
    if (::ioctl(fd_, EVIOCSFF, &effect) < 0) {
        stop();
        return {};
    }
    effect_ = effect.id;
    device_ = device->string();
    if (!playEffect(fd_, effect_, true)) {
        stop();
        return {};
    }
    return device_;
}

void Vibrator::stop() {
    if (fd_ < 0) {
        return;
    }
    if (effect_ >= 0) {
        playEffect(fd_, effect_, false);
        ::ioctl(fd_, EVIOCRMFF, effect_);
    }
    ::close(fd_);
    fd_ = -1;
    effect_ = -1;
    device_.clear();
}

Buzzer::~Buzzer() { off(); }

std::string Buzzer::on(const Host& host, std::uint32_t frequency, std::uint32_t duration) {
    std::lock_guard lock(mutex_);
    stop();
    constexpr unsigned kRate = 22050;
    std::string error;
    auto output = platform::PcmOutput::open(host.soundDevice, kRate, 1, error);
    if (!output) {
        return {};
    }
    const double hz = std::clamp<std::uint32_t>(frequency, 100, 8000);
    const std::size_t frames = std::size_t{kRate} * (duration == 0 ? 600 : duration) / 10;
    tone_ = std::jthread([output = std::move(output), hz, frames](std::stop_token stop) {
        playTone(*output, hz, frames, stop);
    });
    device_ = host.soundDevice;
    return device_;
}

std::string Buzzer::off() {
    std::lock_guard lock(mutex_);
    return stop();
}

std::string Buzzer::stop() {
    if (tone_.joinable()) {
        tone_.request_stop();
        tone_.join();
    }
    return std::exchange(device_, {});
}

}  // namespace tessel::terminal
