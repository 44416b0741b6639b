#pragma once
// Keyboard emulation: types a scan into the focused field through the platform's keyboard input.
//
//   KeyboardEmulation keys(keyboard, clock);
//   keys.type(u"ABC\r", options.keyboardEmu == 2);
//
// Character mode posts runs of characters in one call and presses tab, line feed and carriage
// return as keys. Key-stroke mode plays each character as the virtual keys of a US keyboard, with
// the shift key around capitals and symbols and 10 ms pauses on the clock after shift changes.

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/clock.h"
#include "platform/keyboard.h"

namespace tessel::bridge {

class KeyboardEmulation {
public:
    // Told of each text as it is typed, in either mode (the headless program prints it).
    using Typed = std::function<void(std::u16string_view text)>;

    // keyboard and clock must outlive the object.
    KeyboardEmulation(platform::Keyboard& keyboard, platform::Clock& clock, Typed typed = {})
        : keyboard_(keyboard), clock_(clock), typed_(std::move(typed)) {}

    // Types text; each element is one character. An empty text sends nothing.
    void type(std::u16string_view text, bool keyStrokes);

private:
    void typeCharacters(std::u16string_view text);
    void typeKeyStrokes(std::u16string_view text);
    void strokeFor(char16_t c);
    void controlChord(char16_t c);
    void capitalLetter(std::uint8_t vk);
    void shifted(std::uint8_t vk);
    void press(std::uint8_t vk);
    void shiftDown();
    void shiftUp();
    void pause();

    platform::Keyboard& keyboard_;
    platform::Clock& clock_;
    Typed typed_;
};

}  // namespace tessel::bridge
