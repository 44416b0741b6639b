#include "backup/installation.h"

#include <gtest/gtest.h>

#include "common/restore_list/device_test_support.h"
#include "common/restore_list/restore_list.h"
#include "platform/device_fs.h"
#include "platform/shell.h"
#include "platform/temp_dir.h"

namespace tessel::backup {
namespace {

using platform::TempDir;
using restore_list::RestoreList;

constexpr const char* kList =
    "[ShortCut]\r\n{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\App]\r\nPath=\\Program Files\\App\r\n";

class InstallationTest : public ::testing::Test, protected restore_list::DeviceTestSupport {
  protected:
    InstallationTest() { root_.write("DiskOnChip/keep.txt", ""); }

    // Unpacks a package with the list into a host folder of the root.
    void unpack(const std::string& hostFolder, const std::string& list = kList) {
        root_.write(hostFolder + "/App.exe", "program");
        root_.write(hostFolder + "/restore/restore.exe", "restore");
        root_.write(hostFolder + "/restore/restoreINI.txt", list);
    }
    RestoreList listAt(const std::string& devicePath) {
        RestoreList list;
        EXPECT_TRUE(list.read(fs_, devicePath));
        return list;
    }
    std::string autorun() { return root_.read("DiskOnChip/autorun.ini"); }
};

TEST(InstallFolder, LastComponentAndWhetherACopyIsMade) {
    const auto f = InstallFolder::of("\\Program Files\\App\\");
    EXPECT_EQ(f.folder, "\\Program Files\\App");
    EXPECT_EQ(f.last, "\\App");
    EXPECT_EQ(InstallFolder::of("\\App").last, "\\App");
    EXPECT_EQ(InstallFolder::of("App").last, "");
    EXPECT_EQ(InstallFolder::of("\\").folder, "\\");
    EXPECT_FALSE(InstallFolder::of("\\DiskOnChip\\App").needsBackup());
    EXPECT_FALSE(InstallFolder::of("\\DiskOnChip\\Apps\\App").needsBackup());
    EXPECT_FALSE(InstallFolder::of("\\DiskOnChip\\").needsBackup());
    EXPECT_TRUE(InstallFolder::of("\\diskonchip\\App").needsBackup());
    EXPECT_TRUE(InstallFolder::of("\\DiskOnChipData\\App").needsBackup());
    EXPECT_TRUE(InstallFolder::of("\\App").needsBackup());
    EXPECT_FALSE(InstallFolder::of("\\").needsBackup());
    EXPECT_FALSE(InstallFolder::of("App").needsBackup());
}

// The device file system drops empty and "." components: the last component comes from what is
// left, so no spelling of a folder can make "\DiskOnChip" itself the backup copy.
TEST(InstallFolder, SpellingsOfOneFolderNameTheSameCopy) {
    for (const char* spelling : {"\\Program Files\\App\\.", "\\Program Files\\App\\/",
                                 "\\Program Files/App/./", "\\Program Files\\App\\\\"}) {
        const auto f = InstallFolder::of(spelling);
        EXPECT_EQ(f.last, "\\App") << spelling;
        EXPECT_TRUE(f.needsBackup()) << spelling;
        EXPECT_TRUE(f.sameFolder(InstallFolder::of("\\PROGRAM FILES\\APP"))) << spelling;
    }
    EXPECT_FALSE(InstallFolder::of("\\.").needsBackup());
    EXPECT_FALSE(InstallFolder::of("\\DiskOnChip/App").needsBackup());
    EXPECT_FALSE(InstallFolder::of("\\App").sameFolder(InstallFolder::of("\\Apps")));
}

TEST_F(InstallationTest, FolderWithoutNameIsNotBackedUpIntoPersistentStorageItself) {
    unpack("App");
    installExit(device(), "App");
    EXPECT_FALSE(listAt("App\\restore\\restoreINI.txt").value("InstallDir", "backup"));
    EXPECT_FALSE(exists("DiskOnChip/App.exe"));
    uninstallInit(device(), "App");
    EXPECT_TRUE(exists("DiskOnChip/keep.txt"));
}

TEST_F(InstallationTest, InstallOutsidePersistentStorageIsBackedUp) {
    unpack("Program Files/App");
    installExit(device(), "\\Program Files\\App");

    const RestoreList list = listAt("\\Program Files\\App\\restore\\restoreINI.txt");
    EXPECT_EQ(list.value("InstallDir", "install"), "\\Program Files\\App");
    EXPECT_EQ(list.value("InstallDir", "backup"), "\\DiskOnChip\\App");
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
    EXPECT_EQ(root_.read("DiskOnChip/App/restore/restore.exe"), "restore");
    const RestoreList copy = listAt("\\DiskOnChip\\App\\restore\\restoreINI.txt");
    EXPECT_EQ(copy.text(), list.text());

    EXPECT_EQ(shell_.readShortcut("\\Windows\\Start Menu\\Programs\\App.lnk"),
              "\"\\Program Files\\App\\App.exe\"");
    auto key = registry_.open(platform::Hive::LocalMachine, "Software\\App");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->read("Path"), platform::RegValue::sz("\\Program Files\\App"));
    EXPECT_EQ(autorun(), "\\DiskOnChip\\App\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, InstallOnPersistentStorageMakesNoCopy) {
    unpack("DiskOnChip/App", std::string(kList) + "[InstallDir]\r\nbackup=\\DiskOnChip\\Old\r\n");
    installExit(device(), "\\DiskOnChip\\App\\");

    const RestoreList list = listAt("\\DiskOnChip\\App\\restore\\restoreINI.txt");
    EXPECT_EQ(list.value("InstallDir", "install"), "\\DiskOnChip\\App\\");
    EXPECT_FALSE(list.value("InstallDir", "backup"));
    EXPECT_FALSE(exists("DiskOnChip/DiskOnChip"));
    EXPECT_EQ(autorun(), "\\DiskOnChip\\App\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, DeeperPersistentInstallRegistersTheRestoreProgramWhereItIs) {
    unpack("DiskOnChip/Apps/App");
    installExit(device(), "\\DiskOnChip\\Apps\\App");
    EXPECT_EQ(autorun(), "\\DiskOnChip\\Apps\\App\\restore\\restore.exe\r\n");
    EXPECT_FALSE(exists("DiskOnChip/App"));
}

TEST_F(InstallationTest, PersistentFolderItselfIsNotCopiedIntoItself) {
    unpack("DiskOnChip");
    installExit(device(), "\\DiskOnChip");
    EXPECT_FALSE(listAt("\\DiskOnChip\\restore\\restoreINI.txt").value("InstallDir", "backup"));
    EXPECT_FALSE(exists("DiskOnChip/DiskOnChip"));
    EXPECT_EQ(autorun(), "\\DiskOnChip\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, FolderNamedLikePersistentStorageIsBackedUp) {
    unpack("DiskOnChipData/App");
    installExit(device(), "\\DiskOnChipData\\App");
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
    EXPECT_EQ(autorun(), "\\DiskOnChip\\App\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, AutorunLineIsAddedOnce) {
    root_.write("DiskOnChip/AUTORUN.INI", "\\DiskOnChip\\Other.exe");
    unpack("Program Files/App");
    installExit(device(), "\\Program Files\\App");
    EXPECT_EQ(root_.read("DiskOnChip/AUTORUN.INI"),
              "\\DiskOnChip\\Other.exe\r\n\\DiskOnChip\\App\\restore\\restore.exe\r\n");

    root_.write("DiskOnChip/AUTORUN.INI", "\\DISKONCHIP\\APP\\RESTORE\\RESTORE.EXE");
    installExit(device(), "\\Program Files\\App");
    EXPECT_EQ(root_.read("DiskOnChip/AUTORUN.INI"), "\\DISKONCHIP\\APP\\RESTORE\\RESTORE.EXE");
}

TEST_F(InstallationTest, InstallWithoutListStillRecordsTheFolder) {
    root_.write("Program Files/App/App.exe", "program");
    installExit(device(), "\\Program Files\\App");
    EXPECT_FALSE(exists("Program Files/App/restore/restoreINI.txt"));
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
    EXPECT_EQ(autorun(), "\\DiskOnChip\\App\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, UninstallRemovesShortcutsValuesAndBackup) {
    unpack("Program Files/App");
    installExit(device(), "\\Program Files\\App");
    auto key = registry_.open(platform::Hive::LocalMachine, "Software\\App");
    ASSERT_TRUE(key);
    key->set("Foreign", platform::RegValue::sz("x"));

    uninstallInit(device(), "\\Program Files\\App");
    EXPECT_FALSE(exists("Windows/Start Menu/Programs/App.lnk"));
    EXPECT_FALSE(key->read("Path"));
    EXPECT_EQ(key->read("Foreign"), platform::RegValue::sz("x"));
    EXPECT_FALSE(exists("DiskOnChip/App/App.exe"));
    EXPECT_FALSE(exists("DiskOnChip/App/restore/restoreINI.txt"));
    EXPECT_TRUE(exists("DiskOnChip/keep.txt"));
    EXPECT_EQ(autorun(), "\\DiskOnChip\\App\\restore\\restore.exe\r\n");
}

TEST_F(InstallationTest, UninstallAfterRestoreUsesTheBackupCopysList) {
    unpack("Program Files/App");
    installExit(device(), "\\Program Files\\App");
    // The restore program leaves no restore folder in the restored installation.
    std::filesystem::remove_all(root_.path() / "Program Files/App/restore");

    uninstallInit(device(), "\\Program Files\\App\\");
    EXPECT_FALSE(exists("Windows/Start Menu/Programs/App.lnk"));
    EXPECT_FALSE(registry_.open(platform::Hive::LocalMachine, "Software\\App")->read("Path"));
    EXPECT_FALSE(exists("DiskOnChip/App/App.exe"));
}

TEST_F(InstallationTest, UninstallIgnoresABackupCopyOfAnotherInstallation) {
    unpack("Other/App");
    installExit(device(), "\\Other\\App");
    root_.write("Program Files/App/App.exe", "program");

    uninstallInit(device(), "\\Program Files\\App");
    EXPECT_TRUE(exists("Windows/Start Menu/Programs/App.lnk"));
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
}

TEST_F(InstallationTest, ListNamingOutsidePathsStaysInsideTheRoot) {
    TempDir outside;
    outside.write("victim/keep.txt", "keep");
    const std::string host = outside.path().string();
    const std::string escape = "\\..\\..\\..\\..\\..\\..\\.." + host;
    unpack("Program Files/App",
           "[ShortCut]\r\n" + escape + "\\victim\\x.lnk=a\r\n" + host + "\\victim\\y.lnk=b\r\n");
    installExit(device(), "\\Program Files\\App");
    root_.write("Program Files/App/restore/restoreINI.txt", "[InstallDir]\r\nbackup=" + escape +
                                                                "\\victim\r\n" + "[ShortCut]\r\n" +
                                                                host + "\\victim\\keep.txt=a\r\n");
    uninstallInit(device(), "\\Program Files\\App");
    root_.write("Program Files/App/restore/restoreINI.txt",
                "[InstallDir]\r\nbackup=" + host + "\\victim\r\n");
    uninstallInit(device(), "\\Program Files\\App");

    EXPECT_EQ(outside.read("victim/keep.txt"), "keep");
    EXPECT_FALSE(std::filesystem::exists(outside.path() / "victim/x.lnk"));
    EXPECT_FALSE(std::filesystem::exists(outside.path() / "victim/y.lnk"));
}

}  // namespace
}  // namespace tessel::backup
