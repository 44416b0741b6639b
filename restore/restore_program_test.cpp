#include "restore/restore_program.h"

#include <gtest/gtest.h>

#include "common/restore_list/device_test_support.h"
#include "platform/device_fs.h"
#include "platform/shell.h"
#include "platform/temp_dir.h"

namespace tessel::restore {
namespace {

using platform::TempDir;

constexpr const char* kRest =
    "[ShortCut]\r\n{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\App]\r\nPath=\\Program Files\\App\r\n";

class RestoreTest : public ::testing::Test, protected restore_list::DeviceTestSupport {
  protected:
    // A backup copy in DiskOnChip/App whose list has the given InstallDir entries.
    void backupWith(const std::string& installDir) {
        root_.write("DiskOnChip/App/App.exe", "program");
        root_.write("DiskOnChip/App/data/sub/d.txt", "data");
        root_.write("DiskOnChip/App/restore/restore.exe", "restore");
        root_.write("DiskOnChip/App/restore/restoreINI.txt",
                    "[InstallDir]\r\n" + installDir + kRest);
    }
    void run() { restoreInstallation(device(), "\\DiskOnChip\\App\\restore\\"); }
    bool recreatedShortcutAndValue() {
        auto key = registry_.open(platform::Hive::LocalMachine, "Software\\App");
        return exists("Windows/Start Menu/Programs/App.lnk") && key &&
               key->read("Path") == platform::RegValue::sz("\\Program Files\\App");
    }
};

TEST_F(RestoreTest, InstallationOutsidePersistentStorageIsCopiedBack) {
    backupWith("install=\\Program Files\\Deep\\App\r\nbackup=\\DiskOnChip\\App\r\n");
    run();
    EXPECT_EQ(root_.read("Program Files/Deep/App/App.exe"), "program");
    EXPECT_EQ(root_.read("Program Files/Deep/App/data/sub/d.txt"), "data");
    EXPECT_FALSE(exists("Program Files/Deep/App/restore/restore.exe"));
    EXPECT_FALSE(exists("Program Files/Deep/App/restore/restoreINI.txt"));
    EXPECT_TRUE(exists("DiskOnChip/App/restore/restore.exe"));
    EXPECT_TRUE(recreatedShortcutAndValue());
    EXPECT_EQ(root_.read("Windows/Start Menu/Programs/App.lnk"),
              "33#\"\\Program Files\\Deep\\App\\App.exe\"");
}

TEST_F(RestoreTest, PersistentInstallationGetsOnlyShortcutsAndValues) {
    backupWith("install=\\DiskOnChip\\App\r\nbackup=\\DiskOnChip\\Elsewhere\r\n");
    root_.write("DiskOnChip/Elsewhere/stale.txt", "stale");
    run();
    EXPECT_TRUE(recreatedShortcutAndValue());
    EXPECT_TRUE(exists("DiskOnChip/App/restore/restore.exe"));
    EXPECT_FALSE(exists("DiskOnChip/App/stale.txt"));
}

TEST_F(RestoreTest, InstallationInThePersistentFolderItselfKeepsItsRestoreProgram) {
    root_.write("DiskOnChip/restore/restore.exe", "restore");
    root_.write("DiskOnChip/restore/restoreINI.txt",
                std::string("[InstallDir]\r\ninstall=\\DiskOnChip\r\n"
                            "backup=\\DiskOnChip\\DiskOnChip\r\n") +
                    kRest);
    root_.write("DiskOnChip/DiskOnChip/App.exe", "stale");
    restoreInstallation(device(), "\\DiskOnChip\\restore\\");
    EXPECT_TRUE(exists("DiskOnChip/restore/restore.exe"));
    EXPECT_FALSE(exists("DiskOnChip/App.exe"));
    EXPECT_TRUE(recreatedShortcutAndValue());
}

TEST_F(RestoreTest, PersistentFolderTestIsCaseSensitive) {
    backupWith("install=\\diskonchip\\Copy\r\nbackup=\\DiskOnChip\\App\r\n");
    run();
    EXPECT_EQ(root_.read("DiskOnChip/Copy/App.exe"), "program");
    EXPECT_FALSE(exists("DiskOnChip/Copy/restore/restore.exe"));
    EXPECT_TRUE(recreatedShortcutAndValue());
}

TEST_F(RestoreTest, InstallationThatIsItsOwnBackupKeepsTheRestoreProgram) {
    backupWith("install=\\diskonchip\\App\r\nbackup=\\DiskOnChip\\App\r\n");
    run();
    EXPECT_TRUE(exists("DiskOnChip/App/restore/restore.exe"));
    EXPECT_TRUE(exists("DiskOnChip/App/restore/restoreINI.txt"));
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
    EXPECT_TRUE(recreatedShortcutAndValue());
}

TEST_F(RestoreTest, IncompleteListsRestoreNothing) {
    for (const std::string list :
         {"[installdir]\r\ninstall=\\Program Files\\App\r\nbackup=\\DiskOnChip\\App\r\n",
          "[InstallDir]\r\nInstall=\\Program Files\\App\r\nbackup=\\DiskOnChip\\App\r\n",
          "[InstallDir]\r\ninstall=\\Program Files\\App\r\n", "nothing"}) {
        root_.write("DiskOnChip/App/App.exe", "program");
        root_.write("DiskOnChip/App/restore/restoreINI.txt", list + kRest);
        run();
        EXPECT_FALSE(exists("Program Files/App")) << list;
        EXPECT_FALSE(exists("Windows/Start Menu/Programs/App.lnk")) << list;
    }
    std::filesystem::remove(root_.path() / "DiskOnChip/App/restore/restoreINI.txt");
    run();
    EXPECT_FALSE(exists("Program Files/App"));
}

TEST_F(RestoreTest, ListNamingOutsidePathsStaysInsideTheRoot) {
    TempDir outside;
    const std::string escape = "\\..\\..\\..\\..\\..\\..\\.." + outside.path().string();
    backupWith("install=" + escape + "\\App\r\nbackup=\\DiskOnChip\\App\r\n");
    run();
    root_.write("DiskOnChip/App/restore/restoreINI.txt",
                "[InstallDir]\r\ninstall=" + outside.path().string() +
                    "\\App\r\nbackup=\\DiskOnChip\\App\r\n");
    run();
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
}

}  // namespace
}  // namespace tessel::restore
