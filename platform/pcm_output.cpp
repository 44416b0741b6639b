#include "platform/pcm_output.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <mutex>

namespace tessel::platform {
namespace {

// ALSA prints its own diagnostics to stderr (a missing card on every open); failures are
// reported through the return values instead.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::string defaultSoundDevice() {
    const char* named = std::getenv("TESSEL_SOUND_DEVICE");
    return named != nullptr && *named != '\0' ? named : "default";
}

std::unique_ptr<PcmOutput> PcmOutput::open(const std::string& device, unsigned rate,
                                           unsigned channels, std::string& error) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(quietAlsaErrors); });

    constexpr unsigned kLatencyUs = 100'000;
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (rc == 0) {
        rc = snd_pcm_nonblock(pcm, 0);
    }
    if (rc == 0) {
        rc = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, channels,
                                rate, 1, kLatencyUs);
    }
    if (rc < 0) {
        error = "sound device " + device + ": " + snd_strerror(rc);
        if (pcm != nullptr) {
            snd_pcm_close(pcm);
        }
        return nullptr;
    }
    return std::unique_ptr<PcmOutput>(new PcmOutput(pcm, rate, channels));
}

PcmOutput::~PcmOutput() {
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
}

bool PcmOutput::write(std::span<const std::int16_t> samples) {
    const std::int16_t* next = samples.data();
    auto frames = static_cast<snd_pcm_uframes_t>(samples.size() / channels_);
    int recoveries = 0;
    while (frames > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(pcm_, next, frames);
        if (written < 0) {
            // An underrun or a suspend is recovered from; a device that keeps failing, or any
            // other error, ends the output.
            constexpr int kMaxRecoveries = 3;
            if (++recoveries > kMaxRecoveries ||
                snd_pcm_recover(pcm_, static_cast<int>(written), 1) < 0) {
                return false;
            }
            continue;
        }
        recoveries = 0;
        next += written * channels_;
        frames -= static_cast<snd_pcm_uframes_t>(written);
    }
    return true;
}

void PcmOutput::drain() { snd_pcm_drain(pcm_); }

}  // namespace tessel::platform
