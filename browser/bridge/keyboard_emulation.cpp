#include "browser/bridge/keyboard_emulation.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tessel::bridge {
namespace {

constexpr std::uint8_t kVkShift = 16;
constexpr std::uint8_t kVkControl = 17;
constexpr std::uint8_t kShiftScanCode = 0x58;
// The scan code sent with the key-up of a capital letter.
constexpr std::uint8_t kCapitalUpScanCode = 2;
constexpr std::uint32_t kPauseMs = 10;
// In key-stroke mode this character holds the control key down over the next one.
constexpr char16_t kControlMarker = 17;

std::uint8_t low8(char16_t c) { return static_cast<std::uint8_t>(c & 0xFF); }

bool isKeyCharacter(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r'; }

struct KeyEntry {
    char16_t character;
    std::uint8_t vk;
    bool shift;  // typed with the shift key held
};

// Characters that are neither letters nor digits, as a US keyboard produces them.
constexpr std::array<KeyEntry, 35> kKeyTable{{
    {u'\t', 9, false},  {u'\r', 13, false}, {u'*', 106, false}, {u'+', 107, false},
    {u';', 186, false}, {u'=', 187, false}, {u',', 188, false}, {u'-', 189, false},
    {u'.', 190, false}, {u'/', 191, false}, {u'\\', 220, false}, {u'[', 219, false},
    {u']', 221, false}, {u' ', 32, false},  {u'`', 192, false}, {u'\'', 222, false},
    {u'!', 49, true},   {u'@', 50, true},   {u'#', 51, true},   {u'$', 52, true},
    {u'%', 53, true},   {u'^', 54, true},   {u'&', 55, true},   {u'(', 57, true},
    {u')', 48, true},   {u'~', 192, true},  {u'{', 219, true},  {u'}', 221, true},
    {u'|', 220, true},  {u':', 186, true},  {u'"', 222, true},  {u'<', 188, true},
    {u'>', 190, true},  {u'?', 191, true},  {u'_', 189, true},
}};

const KeyEntry* findKey(char16_t c) {
    const auto found = std::find_if(kKeyTable.begin(), kKeyTable.end(),
                                    [c](const KeyEntry& e) { return e.character == c; });
    return found == kKeyTable.end() ? nullptr : &*found;
}

}  // namespace

void KeyboardEmulation::type(std::u16string_view text, bool keyStrokes) {
    if (typed_ && !text.empty()) typed_(text);
    if (keyStrokes) {
        typeKeyStrokes(text);
    } else {
        typeCharacters(text);
    }
}

void KeyboardEmulation::typeCharacters(std::u16string_view text) {
    std::vector<std::uint32_t> run;
    const auto flush = [&] {
        if (run.empty()) return;
        const std::vector<std::uint32_t> states(run.size(), platform::kKeyStateDown);
        keyboard_.postKeybdMessage(platform::kFocusWindow, 0, platform::kKeyStateDown, states,
                                   run);
        run.clear();
    };
    for (const char16_t c : text) {
        if (isKeyCharacter(c)) {
            flush();
            press(low8(c));
        } else {
            run.push_back(c);
        }
    }
    flush();
}

void KeyboardEmulation::typeKeyStrokes(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kControlMarker) {
            strokeFor(text[i]);
        } else if (i + 1 < text.size()) {
            controlChord(text[++i]);
        }
    }
}

void KeyboardEmulation::strokeFor(char16_t c) {
    if (c >= u'a' && c <= u'z') {
        shiftUp();
        press(low8(c - 32));
    } else if (c >= u'0' && c <= u'9') {
        shiftUp();
        press(low8(c));
    } else if (c >= u'A' && c <= u'Z') {
        capitalLetter(low8(c));
    } else if (const KeyEntry* key = findKey(c)) {
        key->shift ? shifted(key->vk) : press(key->vk);
    } else if (c >= 127) {
        press(low8(c));
    }
    // Line feed, NUL and the other control characters type nothing.
}

void KeyboardEmulation::controlChord(char16_t c) {
    keyboard_.keybdEvent(kVkControl, 0, 0);
    pause();
    press(low8(c));
    keyboard_.keybdEvent(kVkControl, 0, platform::kKeyEventKeyUp);
}

void KeyboardEmulation::capitalLetter(std::uint8_t vk) {
    shiftDown();
    keyboard_.keybdEvent(vk, 0, 0);
    keyboard_.keybdEvent(vk, kCapitalUpScanCode, platform::kKeyEventKeyUp);
    shiftUp();
}

void KeyboardEmulation::shifted(std::uint8_t vk) {
    shiftDown();
    press(vk);
    shiftUp();
}

void KeyboardEmulation::press(std::uint8_t vk) {
    keyboard_.keybdEvent(vk, 0, 0);
    keyboard_.keybdEvent(vk, 0, platform::kKeyEventKeyUp);
}

// Each shift change is followed by a 10 ms pause.
void KeyboardEmulation::shiftDown() {
    keyboard_.keybdEvent(kVkShift, kShiftScanCode, platform::kKeyEventSilent);
    pause();
}

void KeyboardEmulation::shiftUp() {
    keyboard_.keybdEvent(kVkShift, kShiftScanCode,
                         platform::kKeyEventKeyUp | platform::kKeyEventSilent);
    pause();
}

void KeyboardEmulation::pause() { clock_.sleepMs(kPauseMs); }

}  // namespace tessel::bridge
