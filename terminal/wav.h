#pragma once
// Small sound files made from code: the terminal's built-in sounds are short tones, written as
// 16-bit mono PCM WAV files so that no recording needs to be shipped.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tessel::terminal {

// One tone of a built-in sound.
struct Tone {
    std::uint32_t frequency;  // Hz; 0 is silence
    std::uint32_t ms;
};

inline constexpr std::uint32_t kWavSampleRate = 8000;

// A RIFF/WAVE file (PCM, 1 channel, 16 bits, kWavSampleRate) playing the tones one after
// another, each a sine at a quarter of full scale.
std::vector<std::uint8_t> toneWav(std::span<const Tone> tones);

// A built-in sound: its file name in \Windows (without extension) and its tones.
struct BuiltInSound {
    std::string_view name;
    std::span<const Tone> tones;
};

// The nine sounds a page can play by number, in number order (1 "Default" ... 9 "LowBatt").
std::span<const BuiltInSound> builtInSounds();

}  // namespace tessel::terminal
