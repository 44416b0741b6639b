#include "common/restore_list/operations.h"

#include <gtest/gtest.h>

#include "common/restore_list/device_test_support.h"
#include "common/restore_list/files.h"
#include "common/restore_list/restore_list.h"
#include "platform/device_fs.h"
#include "platform/shell.h"
#include "platform/temp_dir.h"

namespace tessel::restore_list {
namespace {

using platform::TempDir;

class OperationsTest : public ::testing::Test, protected DeviceTestSupport {
  protected:
    RestoreList list(std::string_view text) {
        RestoreList list;
        EXPECT_TRUE(list.parse({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
        return list;
    }
    std::string expand(std::string_view text) {
        return expandPlaceholders(list("[InstallDir]\r\ninstall=\\Program Files\\App\r\n"), shell_,
                                  text);
    }
};

TEST_F(OperationsTest, PlaceholderForms) {
    EXPECT_EQ(expand("{CSIDL_PROGRAMS}\\App.lnk"), "\\Windows\\Start Menu\\Programs\\App.lnk");
    EXPECT_EQ(expand("{csidl_programs}\\App.lnk"), "\\Windows\\Start Menu\\Programs\\App.lnk");
    EXPECT_EQ(expand("X{INSTALL}\\a"), "\\Program Files\\App\\a");
    EXPECT_EQ(expand("{CSIDL_PROGRAM_FILES}"), "\\Program Files");
    EXPECT_EQ(expand("{CSIDL_FONTS}\\f}x"), "\\Windows\\Fonts\\f}x");
    EXPECT_EQ(expand("{NOPE}\\a"), "{NOPE}\\a");
    EXPECT_EQ(expand("{INSTALL\\a"), "{INSTALL\\a");
    EXPECT_EQ(expand("INSTALL}\\a"), "INSTALL}\\a");
    EXPECT_EQ(expandPlaceholders(list("[Other]\r\nx=1\r\n"), shell_, "{INSTALL}\\a"),
              "{INSTALL}\\a");
}

TEST_F(OperationsTest, ShortcutsAreCreatedAndDeleted) {
    const RestoreList shortcuts = list(
        "[InstallDir]\r\ninstall=\\Program Files\\App\r\n"
        "[ShortCut]\r\n{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n"
        "{CSIDL_DESKTOP}\\Missing\\No.lnk=x\r\n");
    createShortcuts(shortcuts, device());
    EXPECT_EQ(root_.read("Windows/Start Menu/Programs/App.lnk"),
              "28#\"\\Program Files\\App\\App.exe\"");
    EXPECT_EQ(shell_.readShortcut("\\windows\\start menu\\programs\\app.lnk"),
              "\"\\Program Files\\App\\App.exe\"");
    deleteShortcuts(shortcuts, device());
    EXPECT_FALSE(exists("Windows/Start Menu/Programs/App.lnk"));
}

TEST_F(OperationsTest, RegistrySectionsBecomeKeysWithStringValues) {
    const RestoreList keys = list(
        "[HKEY_LOCAL_MACHINE\\Software\\App]\r\nPath=\\Program Files\\App\r\n"
        "[\\hkey_current_user\\Software\\App]\r\nMode=1\r\n"
        "[HKLM\\Software\\Short]\r\nA=1\r\n"
        "[HKEY_LOCAL_MACHINE]\r\nB=1\r\n");
    createRegistryEntries(keys, registry_);
    auto key = registry_.open(platform::Hive::LocalMachine, "Software\\App");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->read("Path"), platform::RegValue::sz("\\Program Files\\App"));
    auto user = registry_.open(platform::Hive::CurrentUser, "Software\\App");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->read("Mode"), platform::RegValue::sz("1"));
    EXPECT_FALSE(registry_.open(platform::Hive::LocalMachine, "Software\\Short"));

    key->set("Other", platform::RegValue::sz("kept"));
    deleteRegistryValues(keys, registry_);
    EXPECT_FALSE(key->read("Path"));
    EXPECT_EQ(key->read("Other"), platform::RegValue::sz("kept"));
}

TEST(RegistryKeyName, RootAndSubKey) {
    const auto name = registryKeyOf("HKEY_LOCAL_MACHINE\\Software\\App");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->hive, platform::Hive::LocalMachine);
    EXPECT_EQ(name->subKey, "\\Software\\App");
    EXPECT_EQ(registryKeyOf("\\HKEY_Users\\X")->hive, platform::Hive::Users);
    EXPECT_EQ(registryKeyOf("HKEY_CLASSES_ROOT\\.txt")->hive, platform::Hive::ClassesRoot);
    EXPECT_FALSE(registryKeyOf("\\\\HKEY_USERS\\X"));
    EXPECT_FALSE(registryKeyOf("InstallDir"));
    EXPECT_FALSE(registryKeyOf("Some\\Path"));
}

TEST_F(OperationsTest, MakePathCreatesEveryLevel) {
    makePath(fs_, "\\program files\\A\\B");
    EXPECT_TRUE(std::filesystem::is_directory(root_.path() / "Program Files" / "A" / "B"));
    makePath(fs_, "");
    makePath(fs_, "\\..\\..\\outside");
    EXPECT_FALSE(std::filesystem::exists(root_.path().parent_path() / "outside"));
}

TEST_F(OperationsTest, CopyTreeCopiesFilesAndFoldersOverExistingOnes) {
    root_.write("Src/a.txt", "new");
    root_.write("Src/sub/b.txt", "b");
    std::filesystem::create_directories(root_.path() / "Src/empty");
    root_.write("Dst/A.TXT", "old");
    EXPECT_TRUE(copyTree(fs_, "\\Src", "\\Dst\\"));
    EXPECT_EQ(root_.read("Dst/A.TXT"), "new");
    EXPECT_EQ(root_.read("Dst/sub/b.txt"), "b");
    EXPECT_TRUE(std::filesystem::is_directory(root_.path() / "Dst/empty"));

    std::filesystem::create_directories(root_.path() / "Empty");
    EXPECT_FALSE(copyTree(fs_, "\\Empty", "\\Dst"));
    EXPECT_FALSE(copyTree(fs_, "\\Missing", "\\Dst"));
}

TEST_F(OperationsTest, CopyTreeNeverCopiesIntoItself) {
    root_.write("DiskOnChip/a.txt", "a");
    makePath(fs_, "\\DiskOnChip\\DiskOnChip");
    EXPECT_FALSE(copyTree(fs_, "\\DiskOnChip", "\\DiskOnChip\\DiskOnChip"));
    EXPECT_FALSE(copyTree(fs_, "\\DiskOnChip", "\\diskonchip"));
    EXPECT_FALSE(exists("DiskOnChip/DiskOnChip/a.txt"));
}

TEST_F(OperationsTest, DeleteTreeLeavesEmptyFolders) {
    root_.write("App/a.txt", "a");
    root_.write("App/sub/b.txt", "b");
    std::filesystem::create_directories(root_.path() / "App/empty");
    std::filesystem::permissions(root_.path() / "App/a.txt", std::filesystem::perms::owner_read);
    deleteTree(fs_, "\\app");
    EXPECT_FALSE(exists("App/a.txt"));
    EXPECT_FALSE(exists("App/sub"));
    EXPECT_TRUE(exists("App/empty"));

    root_.write("Gone/x/y.txt", "y");
    deleteTree(fs_, "\\Gone\\");
    EXPECT_FALSE(exists("Gone"));

    TempDir device;
    device.write("x/y.txt", "y");
    deleteTree(platform::DeviceFs(device.path()), "\\");
    EXPECT_FALSE(std::filesystem::exists(device.path() / "x"));
    EXPECT_TRUE(std::filesystem::is_directory(device.path()));
}

TEST_F(OperationsTest, TreeOperationsStayInsideTheRoot) {
    TempDir outside;
    outside.write("keep.txt", "keep");
    std::filesystem::create_directory_symlink(outside.path(), root_.path() / "link");
    root_.write("App/a.txt", "a");
    std::filesystem::create_directory_symlink(outside.path(), root_.path() / "App" / "inner");

    deleteTree(fs_, "\\App");
    deleteTree(fs_, "\\link");
    const std::string hostPath = outside.path().string();
    deleteTree(fs_, hostPath);
    EXPECT_EQ(outside.read("keep.txt"), "keep");

    root_.write("Src/a.txt", "a");
    EXPECT_FALSE(copyTree(fs_, "\\Src", "\\..\\..\\" + outside.path().filename().string()));
    EXPECT_FALSE(copyTree(fs_, "\\link", "\\Copy"));
    EXPECT_FALSE(std::filesystem::exists(outside.path() / "a.txt"));
    EXPECT_FALSE(writeFile(fs_, "\\link\\new.txt", "x"));
    EXPECT_FALSE(std::filesystem::exists(outside.path() / "new.txt"));
}

}  // namespace
}  // namespace tessel::restore_list
