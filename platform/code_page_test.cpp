#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tessel::platform {
namespace {

std::u16string decode(std::string_view text) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return decodeSystemCodePage(bytes);
}

TEST(SystemCodePage, WellFormedText) {
    EXPECT_EQ(decode("A\xC3\xA9\xE4\xB8\xAD"), u"A\u00e9\u4e2d");
    EXPECT_EQ(decode(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(decode("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(SystemCodePage, MalformedBytesBecomeOneReplacementEach) {
    EXPECT_EQ(decode("\x80x"), u"\ufffdx");             // stray continuation
    EXPECT_EQ(decode("\xC0\x80"), u"\ufffd\ufffd");     // overlong NUL
    EXPECT_EQ(decode("\xED\xA0\x80"), u"\ufffd\ufffd\ufffd");  // surrogate
    EXPECT_EQ(decode("\xF4\x90\x80\x80"), u"\ufffd\ufffd\ufffd\ufffd");  // above U+10FFFF
    EXPECT_EQ(decode("\xE4\xB8"), u"\ufffd\ufffd");     // cut short at the end
    EXPECT_EQ(decode("\xE4" "A"), u"\ufffdA");          // cut short by an ASCII byte
    EXPECT_EQ(decode("\xFF"), u"\ufffd");
}

}  // namespace
}  // namespace tessel::platform
