#include "browser/settings/section_access.h"

#include <gtest/gtest.h>

#include <string>

namespace tessel::settings {
namespace {

bool loadText(IniStore& store, std::string_view bytes) {
    return store.loadBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

const SectionSpec& code93() { return catalogueSection("Code93 2D/1D_LR"); }

TEST(SectionAccess, ReadingAMissingSectionTouchesNothing) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[General]\nlockScreen=1\n"));
    int enable = 7, length1 = 8;
    EXPECT_FALSE(accessSection(store, 'r', code93(), {&enable, &length1, nullptr}));
    EXPECT_EQ(enable, 7);
    EXPECT_EQ(length1, 8);
    EXPECT_EQ(store.sections().size(), 1u);
}

TEST(SectionAccess, ReadingSkipsMissingKeysAndAbsentReferences) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[code93 2d/1d_lr]\nENABLE=1\nlength2=20\n"));
    int enable = 0, length1 = 5, length2 = 6;
    EXPECT_TRUE(accessSection(store, 'r', code93(), {&enable, &length1, nullptr}));
    EXPECT_EQ(enable, 1);
    EXPECT_EQ(length1, 5);  // not in the file
    EXPECT_EQ(length2, 6);  // not asked for
}

TEST(SectionAccess, WritingAddsTheSectionAndSetsKeysInKeyOrder) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[code93 2d/1d_lr]\nlength2=20\n"));
    int enable = 1, length1 = 4, length2 = 30;
    EXPECT_TRUE(accessSection(store, 'w', code93(), {&enable, &length1, &length2}));
    std::u16string url = u"http://h/\u4E2D";
    int lock = 1;
    BrowserOptions o;
    auto refs = generalRefs(o);
    refs[0] = &lock;
    refs[2] = &url;
    EXPECT_TRUE(accessSection(store, 'w', catalogueSection("General"), refs));
    const std::string text = store.text();
    EXPECT_TRUE(
        text.starts_with("\r\n[code93 2d/1d_lr]\r\nlength2=30\r\nenable=1\r\nlength1=4\r\n\r\n"
                         "[General]\r\nlockscreen=1\r\npassword=\r\n"))
        << text;
    // Text goes in its 8-bit form: U+4E2D keeps its low byte.
    EXPECT_NE(text.find("homeurl=http://h/-\r\n"), std::string::npos);
}

TEST(SectionAccess, GeneralRoundTripsThroughTheFile) {
    BrowserOptions written;
    written.homeUrl = u"http://host/app?x=1";
    written.password = u"p\u00E9";
    written.delimiter = 9;
    written.keyboardEmu = 2;
    IniStore store;
    accessSection(store, 'w', catalogueSection("General"), generalRefs(written));

    IniStore reloaded;
    ASSERT_TRUE(loadText(reloaded, store.text()));
    BrowserOptions read;
    ASSERT_TRUE(accessSection(reloaded, 'r', catalogueSection("General"), generalRefs(read)));
    EXPECT_EQ(read.homeUrl, written.homeUrl);
    EXPECT_EQ(read.password, written.password);
    EXPECT_EQ(read.delimiter, 9);
    EXPECT_EQ(read.keyboardEmu, 2);
}

TEST(SectionAccessDeathTest, ReferencesMustMatchTheSection) {
    IniStore store;
    int number = 0;
    std::u16string text;
    EXPECT_DEATH(accessSection(store, 'r', code93(), {&number}), "one reference per key");
    EXPECT_DEATH(accessSection(store, 'r', code93(), {&text, nullptr, nullptr}), "kind");
    EXPECT_DEATH(accessSection(store, 'x', code93(), {nullptr, nullptr, nullptr}), "direction");
    EXPECT_DEATH(catalogueSection("2D Symbologies"), "engine kind");
}

}  // namespace
}  // namespace tessel::settings
