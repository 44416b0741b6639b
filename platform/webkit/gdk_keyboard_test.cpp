#include "platform/webkit/gdk_keyboard.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <vector>

namespace tessel::platform::webkit {
namespace {

TEST(KeyvalForVirtualKey, UsKeyboardWithAndWithoutShift) {
    EXPECT_EQ(keyvalForVirtualKey('A', false), unsigned{GDK_KEY_a});
    EXPECT_EQ(keyvalForVirtualKey('A', true), unsigned{GDK_KEY_A});
    EXPECT_EQ(keyvalForVirtualKey('1', false), unsigned{GDK_KEY_1});
    EXPECT_EQ(keyvalForVirtualKey('1', true), unsigned{GDK_KEY_exclam});
    EXPECT_EQ(keyvalForVirtualKey('9', true), unsigned{GDK_KEY_parenleft});
    EXPECT_EQ(keyvalForVirtualKey(222, true), unsigned{GDK_KEY_quotedbl});
    EXPECT_EQ(keyvalForVirtualKey(189, false), unsigned{GDK_KEY_minus});
    EXPECT_EQ(keyvalForVirtualKey(106, false), unsigned{GDK_KEY_KP_Multiply});
    EXPECT_EQ(keyvalForVirtualKey(13, false), unsigned{GDK_KEY_Return});
    EXPECT_EQ(keyvalForVirtualKey(40, false), unsigned{GDK_KEY_Down});
    // Keys a US keyboard does not have (the low byte of a character above 126).
    EXPECT_EQ(keyvalForVirtualKey(0xE9, false), 0u);
    EXPECT_EQ(keyvalForVirtualKey(0, false), 0u);
}

TEST(Utf8OfCharacters, JoinsSurrogatePairsAndReplacesBrokenOnes) {
    const std::vector<std::uint32_t> chars{'A', 0xE9, 0xD83D, 0xDE00, 0, 0xDC00, 0xD800, 'b', 0x110000};
    EXPECT_EQ(utf8OfCharacters(chars),
              "A\xC3\xA9\xF0\x9F\x98\x80"
              "\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tessel::platform::webkit
