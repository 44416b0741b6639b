#pragma once
// 16-bit PCM output to a host sound device (ALSA). Used by the sound player and by the
// substitute system-services library's buzzer.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct _snd_pcm;

namespace tessel::platform {

// ALSA device used when none is named: TESSEL_SOUND_DEVICE, else "default".
std::string defaultSoundDevice();

class PcmOutput {
  public:
    // Opens an ALSA device ("default", "hw:0") for interleaved signed 16-bit samples. Null, with
    // the reason in error, when there is no such device or it refuses the format; never waits
    // for a busy device.
    static std::unique_ptr<PcmOutput> open(const std::string& device, unsigned rate,
                                           unsigned channels, std::string& error);
    // Drops what has not been played yet.
    ~PcmOutput();
    PcmOutput(const PcmOutput&) = delete;
    PcmOutput& operator=(const PcmOutput&) = delete;

    // Queues interleaved samples, waiting while the device's buffer is full; false when the
    // device fails.
    bool write(std::span<const std::int16_t> samples);
    // Waits until everything queued has been played.
    void drain();

    unsigned rate() const { return rate_; }
    unsigned channels() const { return channels_; }

  private:
    PcmOutput(_snd_pcm* pcm, unsigned rate, unsigned channels)
        : pcm_(pcm), rate_(rate), channels_(channels) {}
    _snd_pcm* pcm_;
    unsigned rate_;
    unsigned channels_;
};

}  // namespace tessel::platform
