#include "browser/bridge/keyboard_emulation.h"

#include <gtest/gtest.h>

namespace tessel::bridge {
namespace {

using Calls = std::vector<platform::RecordingKeyboard::Call>;
using Post = platform::RecordingKeyboard::Post;
using Key = platform::RecordingKeyboard::KeyEvent;

constexpr std::uint8_t kShift = 16;
constexpr std::uint8_t kShiftScan = 0x58;
const Key kShiftDown{kShift, kShiftScan, 4};
const Key kShiftUp{kShift, kShiftScan, 6};

Key down(std::uint8_t vk) { return {vk, 0, 0}; }
Key up(std::uint8_t vk) { return {vk, 0, 2}; }

Post post(std::vector<std::uint32_t> characters) {
    return {-1, 0, 0x80, std::vector<std::uint32_t>(characters.size(), 0x80), characters};
}

struct Typed {
    Calls calls;
    std::vector<platform::Micros> pauses;
};

Typed typeText(std::u16string_view text, bool keyStrokes) {
    platform::RecordingKeyboard keyboard;
    platform::VirtualClock clock;
    KeyboardEmulation(keyboard, clock).type(text, keyStrokes);
    return {keyboard.calls(), clock.waits()};
}

const platform::Micros k10ms = platform::Millis(10);

TEST(KeyboardEmulation, TellsEachTextInBothModesWholeAndOnlyWhenThereIsOne) {
    platform::RecordingKeyboard keyboard;
    platform::VirtualClock clock;
    std::vector<std::u16string> told;
    KeyboardEmulation keys(keyboard, clock, [&](std::u16string_view text) { told.emplace_back(text); });
    const std::u16string withNul(u"a\0\u00e9\r", 4);  // nothing types a NUL; it is told all the same
    keys.type(withNul, false);
    keys.type(withNul, true);
    keys.type(u"", true);
    EXPECT_EQ(told, (std::vector<std::u16string>{withNul, withNul}));
    EXPECT_FALSE(keyboard.calls().empty());
}

TEST(CharacterMode, RunsArePostedAndLineKeysPressed) {
    EXPECT_EQ(typeText(u"ABC\r", false).calls, (Calls{post({'A', 'B', 'C'}), down(13), up(13)}));
    // A leading tab is pressed before anything is posted; a line feed is pressed too.
    EXPECT_EQ(typeText(u"\tx\ny", false).calls,
              (Calls{down(9), up(9), post({'x'}), down(10), up(10), post({'y'})}));
    // Characters beyond Latin-1 travel whole, and character mode never pauses.
    const Typed wide = typeText(u"\u00e9\u4e2d", false);
    EXPECT_EQ(wide.calls, (Calls{post({0xE9, 0x4E2D})}));
    EXPECT_TRUE(wide.pauses.empty());
}

TEST(KeyStrokeMode, LettersDigitsAndCapitals) {
    const Typed typed = typeText(u"a1A", true);
    EXPECT_EQ(typed.calls, (Calls{kShiftUp, down(65), up(65),  //
                                  kShiftUp, down(49), up(49),  //
                                  kShiftDown, down(65), Key{65, 2, 2}, kShiftUp}));
    EXPECT_EQ(typed.pauses, (std::vector<platform::Micros>(4, k10ms)));
}

TEST(KeyStrokeMode, SymbolsFollowTheUsLayout) {
    EXPECT_EQ(typeText(u";*+ \t\r", true).calls,
              (Calls{down(186), up(186), down(106), up(106), down(107), up(107), down(32), up(32),
                     down(9), up(9), down(13), up(13)}));
    const Typed shifted = typeText(u"?)", true);
    EXPECT_EQ(shifted.calls, (Calls{kShiftDown, down(191), up(191), kShiftUp,  //
                                    kShiftDown, down(48), up(48), kShiftUp}));
    EXPECT_EQ(shifted.pauses.size(), 4u);
    // Characters of 127 and above press their low byte.
    EXPECT_EQ(typeText(u"\u01e9", true).calls, (Calls{down(0xE9), up(0xE9)}));
}

TEST(KeyStrokeMode, ControlMarkerAndSilentCharacters) {
    const Typed chord = typeText(u"\x11" u"C", true);
    EXPECT_EQ(chord.calls, (Calls{down(17), down(67), up(67), up(17)}));
    EXPECT_EQ(chord.pauses, (std::vector<platform::Micros>{k10ms}));
    // A trailing marker, line feed, NUL and other control characters type nothing.
    EXPECT_TRUE(typeText(std::u16string(u"\n\0\x01\x11", 4), true).calls.empty());
}

TEST(KeyboardEmulation, EmptyTextSendsNothing) {
    EXPECT_TRUE(typeText(u"", false).calls.empty());
    EXPECT_TRUE(typeText(u"", true).calls.empty());
}

}  // namespace
}  // namespace tessel::bridge
