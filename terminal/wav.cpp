#include "terminal/wav.h"

#include <array>
#include <cmath>
#include <numbers>

namespace tessel::terminal {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

void putSamples(std::vector<std::uint8_t>& out, const Tone& tone) {
    const std::uint32_t count = tone.ms * kWavSampleRate / 1000;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double phase = 2 * std::numbers::pi * tone.frequency * i / kWavSampleRate;
        const auto sample = static_cast<std::int16_t>(std::lround(8191 * std::sin(phase)));
        put16(out, static_cast<std::uint16_t>(sample));
    }
}

constexpr std::array<Tone, 1> kDefault{{{1000, 150}}};
constexpr std::array<Tone, 2> kHwandsw{{{1500, 60}, {2000, 60}}};
constexpr std::array<Tone, 1> kMenuPop{{{2500, 40}}};
constexpr std::array<Tone, 2> kMsgBox{{{800, 120}, {600, 120}}};
constexpr std::array<Tone, 3> kNotify{{{1200, 80}, {0, 40}, {1600, 80}}};
constexpr std::array<Tone, 1> kVoicBeep{{{2700, 100}}};
constexpr std::array<Tone, 4> kAlarm2{{{900, 150}, {0, 50}, {900, 150}, {0, 50}}};
constexpr std::array<Tone, 4> kAlarm3{{{1800, 100}, {1200, 100}, {1800, 100}, {1200, 100}}};
constexpr std::array<Tone, 2> kLowBatt{{{600, 200}, {400, 300}}};

constexpr std::array<BuiltInSound, 9> kSounds{{
    {"Default", kDefault},
    {"Hwandsw", kHwandsw},
    {"MenuPop", kMenuPop},
    {"MsgBox", kMsgBox},
    {"Notify", kNotify},
    {"VoicBeep", kVoicBeep},
    {"Alarm2", kAlarm2},
    {"Alarm3", kAlarm3},
    {"LowBatt", kLowBatt},
}};

}  // namespace

std::vector<std::uint8_t> toneWav(std::span<const Tone> tones) {
    std::vector<std::uint8_t> samples;
    for (const Tone& tone : tones) putSamples(samples, tone);
    const auto dataSize = static_cast<std::uint32_t>(samples.size());

    std::vector<std::uint8_t> out;
    out.reserve(44 + samples.size());
    putTag(out, "RIFF");
    put32(out, 36 + dataSize);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);                   // format chunk size
    put16(out, 1);                    // PCM
    put16(out, 1);                    // channels
    put32(out, kWavSampleRate);       // sample rate
    put32(out, kWavSampleRate * 2);   // byte rate
    put16(out, 2);                    // block align
    put16(out, 16);                   // bits per sample
    putTag(out, "data");
    put32(out, dataSize);
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

std::span<const BuiltInSound> builtInSounds() { return kSounds; }

}  // namespace tessel::terminal
