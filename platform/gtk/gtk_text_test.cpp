#include "platform/gtk/gtk_text.h"

#include "platform/gtk/gtk_backend.h"

#include <gtest/gtest.h>

namespace tessel::platform::gtk {
namespace {

TEST(GtkText, Utf8KeepsEveryCharacterAndReplacesWhatGtkCannotHold) {
    EXPECT_EQ(toUtf8(u"Tools \u00E9\u20AC"), "Tools \xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(toUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");  // a surrogate pair
    // A NUL would end the GTK string; lone surrogates are no characters.
    EXPECT_EQ(toUtf8(std::u16string(u"a\0b", 3)), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(toUtf8(std::u16string{u'x', char16_t(0xD800)}), "x\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(std::u16string{char16_t(0xDC00), u'y'}), "\xEF\xBF\xBDy");
    EXPECT_EQ(toUtf8(std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}),
              "\xEF\xBF\xBD\xF0\x90\x80\x80");
}

TEST(GtkText, LineBreaksBecomeNewlinesOnlyWhenAsked) {
    EXPECT_EQ(toUtf8(u"Bad network path, Check \r\nto see", true), "Bad network path, Check \nto see");
    EXPECT_EQ(toUtf8(u"a\r\nb\rc\n", false), "a\r\nb\rc\n");
    EXPECT_EQ(toUtf8(u"a\rb\r", true), "a\rb\r");  // a lone CR stays
}

TEST(GtkText, Utf8DecodesAndRoundTrips) {
    const std::u16string text = u"K\u00E4se \u20AC \U0001F600";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(fromUtf8("\xFF" "a"), u"\uFFFDa");
}

TEST(GtkText, TypingFiltersKeepDigitsAndTheLimit) {
    EXPECT_EQ(filterTyped(u"a1-2 3", {.number = true}, 0), u"123");
    EXPECT_EQ(filterTyped(u"12345", {.limit = 4}, 1), u"123");
    EXPECT_EQ(filterTyped(u"12", {.limit = 4}, 4), u"");
    EXPECT_EQ(filterTyped(u"12", {.limit = 4}, 9), u"");  // already over: nothing more
    EXPECT_EQ(filterTyped(u"x9y8", {.number = true, .limit = 1}, 0), u"9");
    EXPECT_EQ(filterTyped(u"any text", {}, 100), u"any text");
}

TEST(GtkText, SpinArrowsStepTheNumberWithinZeroAndTheLimit) {
    EXPECT_EQ(spinStepped(u"41", 1, {.number = true}), u"42");
    EXPECT_EQ(spinStepped(u"41", -1, {.number = true}), u"40");
    EXPECT_EQ(spinStepped(u"", 1, {.number = true}), u"1");
    EXPECT_EQ(spinStepped(u"0", -1, {.number = true}), u"0");
    EXPECT_EQ(spinStepped(u"7x", 1, {.number = true}), u"8");  // set by code: leading digits count
    EXPECT_EQ(spinStepped(u"99", 1, {.number = true, .limit = 2}), u"99");
    EXPECT_EQ(spinStepped(u"99999999999999999999", 1, {.number = true}), u"999999999");
}

TEST(GtkBackend, ScreenClassesByName) {
    EXPECT_EQ(screenClass("240x384"), (ui::Rect{0, 0, 240, 384}));
    EXPECT_EQ(screenClass("480x640"), (ui::Rect{0, 0, 480, 640}));
    EXPECT_EQ(screenClass("480x641"), std::nullopt);
    EXPECT_EQ(screenClass(""), std::nullopt);
}

}  // namespace
}  // namespace tessel::platform::gtk
