#include "platform/shell.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device_fs.h"
#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

namespace fsys = std::filesystem;

class ShellTest : public ::testing::Test {
  protected:
    ShellTest() : root_(dir_.path()), fs_(root_), shell_(fs_) {}

    TempDir dir_;
    const fsys::path& root_;
    DeviceFs fs_;
    Shell shell_;
};

TEST_F(ShellTest, SpecialFoldersLieUnderTheRoot) {
    EXPECT_EQ(shell_.specialFolderPath(38), "\\Program Files");
    EXPECT_EQ(shell_.specialFolderPath(16), "\\Windows\\Desktop");
    EXPECT_EQ(shell_.specialFolderPath(2), "\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(shell_.specialFolderPath(7), "\\Windows\\StartUp");
    EXPECT_EQ(shell_.specialFolderPath(36), "\\Windows");
    EXPECT_EQ(shell_.specialFolderPath(6), "\\Windows\\Favorites");
    EXPECT_EQ(shell_.specialFolderPath(20), "\\Windows\\Fonts");
    EXPECT_FALSE(shell_.specialFolderPath(0));
    EXPECT_FALSE(shell_.specialFolderPath(37));
    EXPECT_FALSE(fsys::exists(root_ / "Windows"));

    fsys::create_directories(root_ / "WINDOWS");
    EXPECT_TRUE(shell_.createSpecialFolders());
    EXPECT_TRUE(fsys::is_directory(root_ / "WINDOWS" / "Start Menu" / "Programs"));
    EXPECT_TRUE(fsys::is_directory(root_ / "Program Files"));
    EXPECT_FALSE(fsys::exists(root_ / "Windows"));
}

TEST_F(ShellTest, ShortcutFilesHoldLengthAndTarget) {
    EXPECT_EQ(shortcutFileText("\"\\Program Files\\a.exe\""), "22#\"\\Program Files\\a.exe\"");
    EXPECT_EQ(shortcutTarget("22#\"\\Program Files\\a.exe\"\r\n"), "\"\\Program Files\\a.exe\"");
    EXPECT_EQ(shortcutTarget("0#"), "");
    EXPECT_FALSE(shortcutTarget("#x"));
    EXPECT_FALSE(shortcutTarget("5x#abcde"));
    EXPECT_FALSE(shortcutTarget("9#short"));
    EXPECT_FALSE(shortcutTarget("no hash"));

    ASSERT_TRUE(shell_.createSpecialFolders());
    EXPECT_TRUE(shell_.createShortcut("\\windows\\desktop\\A.lnk", "\"\\a.exe\""));
    EXPECT_EQ(shell_.readShortcut("\\Windows\\Desktop\\a.lnk"), "\"\\a.exe\"");
    EXPECT_FALSE(shell_.createShortcut("\\Windows\\Missing\\A.lnk", "x"));
    EXPECT_FALSE(shell_.createShortcut("\\..\\A.lnk", "x"));
    EXPECT_FALSE(fsys::exists(root_.parent_path() / "A.lnk"));
    EXPECT_FALSE(shell_.readShortcut("\\Windows\\Desktop\\none.lnk"));
}

}  // namespace
}  // namespace tessel::platform
