// End to end: a package installed with tessel-installer (which loads the backup library) survives
// tessel-coldboot (which runs the restore program from autorun.ini), and its removal leaves no
// shortcut, registry value or backup copy behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"

namespace {

namespace fsys = std::filesystem;
using tessel::platform::Hive;
using tessel::platform::Registry;
using tessel::platform::RegValue;
using tessel::platform::TempDir;

constexpr const char* kList =
    "[ShortCut]\r\n"
    "{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n"
    "{csidl_desktop}\\App.lnk={INSTALL}\\App.exe\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\App]\r\n"
    "Path=\\Program Files\\App\r\n"
    "Mode=kiosk\r\n";

// Relative path to content of every file of a host folder, leaving out its restore folder.
std::map<std::string, std::string> filesOf(const TempDir& root, const fsys::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fsys::recursive_directory_iterator(root.path() / folder)) {
        const fsys::path relative = entry.path().lexically_relative(root.path() / folder);
        if (entry.is_regular_file() && *relative.begin() != "restore") {
            files[relative.string()] = root.read(folder / relative);
        }
    }
    return files;
}

// Runs a tool on the device root, its output dropped; the tool's exit status.
int runTool(const char* tool, const fsys::path& root, const std::string& arguments) {
    const std::string command = std::string("'") + tool + "' --root '" + root.string() + "' " +
                                arguments + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

class BackupRestoreTest : public ::testing::TestWithParam<const char*> {
  protected:
    BackupRestoreTest() : fs_(root_.path()), registry_(Registry::fileOf(fs_)) {
        package_.write("App.exe", "program");
        package_.write("data/sub/x.txt", "x");
        package_.write("restore/restoreINI.txt", kList);
        package_.write("restore/restore.exe", "not a Linux program");
        root_.write("DiskOnChip/other.txt", "persistent");
    }

    bool exists(const std::filesystem::path& relative) const {
        return std::filesystem::exists(root_.path() / relative);
    }
    int installer(const std::string& arguments) {
        return runTool(TESSEL_INSTALLER, root_.path(), arguments);
    }
    int coldBoot() { return runTool(TESSEL_COLDBOOT, root_.path(), ""); }

    // The host folder (relative to the root) of the device folder under test.
    fsys::path installHost() const {
        return *fs_.toHost(GetParam()) == root_.path()
                   ? fsys::path()
                   : fs_.toHost(GetParam())->lexically_relative(root_.path());
    }
    std::map<std::string, std::string> shortcuts() const {
        std::map<std::string, std::string> found;
        for (const char* file :
             {"Windows/Start Menu/Programs/App.lnk", "Windows/Desktop/App.lnk"}) {
            if (exists(file)) found[file] = root_.read(file);
        }
        return found;
    }
    std::map<std::string, RegValue> values() {
        std::map<std::string, RegValue> found;
        if (auto key = registry_.open(Hive::LocalMachine, "Software\\App")) {
            for (const std::string& name : key->valueNames()) found[name] = *key->read(name);
        }
        return found;
    }

    TempDir root_;
    TempDir package_;
    tessel::platform::DeviceFs fs_;
    Registry registry_;
};

TEST_P(BackupRestoreTest, InstallationSurvivesAColdBootAndLeavesNothingAfterRemoval) {
    const std::string folder = GetParam();
    ASSERT_EQ(installer("install '" + package_.path().string() + "' '" + folder + "'"), 0);
    const auto installed = filesOf(root_, installHost());
    const auto links = shortcuts();
    const auto registryValues = values();
    ASSERT_EQ(installed.size(), 2u);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links.begin()->second,
              std::to_string(folder.size() + 10) + "#\"" + folder + "\\App.exe\"");
    ASSERT_EQ(registryValues.size(), 2u);

    root_.write("Windows/scratch.txt", "lost");
    registry_.create(Hive::LocalMachine, "Software\\Scratch")->set("A", RegValue::sz("lost"));
    ASSERT_EQ(coldBoot(), 0);
    EXPECT_FALSE(exists("Windows/scratch.txt"));
    EXPECT_FALSE(registry_.open(Hive::LocalMachine, "Software\\Scratch"));
    EXPECT_EQ(filesOf(root_, installHost()), installed);
    EXPECT_EQ(shortcuts(), links);
    EXPECT_EQ(values(), registryValues);
    EXPECT_EQ(root_.read("DiskOnChip/other.txt"), "persistent");

    ASSERT_EQ(installer("remove '" + folder + "'"), 0);
    EXPECT_TRUE(shortcuts().empty());
    EXPECT_TRUE(values().empty());
    EXPECT_FALSE(exists(installHost()));
    const auto persistent = filesOf(root_, "DiskOnChip");
    EXPECT_EQ(persistent.size(), 2u);  // other.txt and autorun.ini, which keeps its line
    EXPECT_EQ(root_.read("DiskOnChip/other.txt"), "persistent");
}

INSTANTIATE_TEST_SUITE_P(InstallationKinds, BackupRestoreTest,
                         ::testing::Values("\\Program Files\\App", "\\DiskOnChip\\App",
                                           "\\DiskOnChip\\Apps\\App"));

// Spellings the device file system takes as "\Program Files\App". Each is installed, the
// terminal cold-booted, and the installation removed by the next spelling in capitals: the
// backup copy is always "\DiskOnChip\App", and removal takes only that.
constexpr const char* kSpellings[] = {"\\Program Files\\App\\.", "\\Program Files\\App\\/",
                                      "\\Program Files/App/./", "\\Program Files\\App\\\\",
                                      "\\Program Files\\App"};

class FolderSpellingTest : public BackupRestoreTest {};

TEST_P(FolderSpellingTest, EverySpellingBacksUpAndRemovesTheSameFolder) {
    const std::string folder = GetParam();
    const auto at = std::find(std::begin(kSpellings), std::end(kSpellings), GetParam());
    std::string removal = *(std::next(at) == std::end(kSpellings) ? kSpellings : std::next(at));
    std::transform(removal.begin(), removal.end(), removal.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });

    ASSERT_EQ(installer("install '" + package_.path().string() + "' '" + folder + "'"), 0);
    EXPECT_EQ(root_.read("DiskOnChip/App/App.exe"), "program");
    EXPECT_FALSE(exists("DiskOnChip/App.exe"));
    ASSERT_EQ(coldBoot(), 0);
    EXPECT_EQ(root_.read("Program Files/App/App.exe"), "program");
    EXPECT_EQ(shortcuts().size(), 2u);

    ASSERT_EQ(installer("remove '" + removal + "'"), 0);
    EXPECT_TRUE(shortcuts().empty());
    EXPECT_TRUE(values().empty());
    EXPECT_FALSE(exists("DiskOnChip/App"));
    EXPECT_EQ(root_.read("DiskOnChip/other.txt"), "persistent");
    EXPECT_TRUE(exists("DiskOnChip/autorun.ini"));
}

INSTANTIATE_TEST_SUITE_P(Spellings, FolderSpellingTest, ::testing::ValuesIn(kSpellings));

// A list with empty sections keeps its installation record through install, cold boot and
// removal: an empty section is not written, so nothing can take "[InstallDir]" for an entry.
class EmptySectionTest : public BackupRestoreTest {};

TEST_P(EmptySectionTest, InstallationRecordSurvivesAnEmptySection) {
    package_.write("restore/restoreINI.txt", GetParam());
    ASSERT_EQ(installer("install '" + package_.path().string() + "' '\\Program Files\\App'"), 0);
    ASSERT_EQ(coldBoot(), 0);
    EXPECT_EQ(root_.read("Program Files/App/App.exe"), "program");
    EXPECT_EQ(values().size(), 1u);

    ASSERT_EQ(installer("remove '\\Program Files\\App'"), 0);
    EXPECT_TRUE(values().empty());
    EXPECT_FALSE(exists("DiskOnChip/App"));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, EmptySectionTest,
    ::testing::Values("[HKEY_LOCAL_MACHINE\\Software\\App]\r\nMode=kiosk\r\n[ShortCut]\r\n",
                      "[HKEY_LOCAL_MACHINE\\Software\\App]\r\nMode=kiosk\r\n[Empty]\r\n"
                      "[ShortCut]\r\n"));

// The restore program knows its folder with every symbolic link resolved; a device root named
// through a link must still contain it.
TEST(ColdBoot, RestoresOnADeviceRootNamedThroughALink) {
    TempDir root;
    TempDir package;
    TempDir links;
    package.write("App.exe", "program");
    package.write("restore/restoreINI.txt", kList);
    const fsys::path link = links.path() / "device";
    fsys::create_directory_symlink(root.path(), link);
    ASSERT_EQ(runTool(TESSEL_INSTALLER, link,
                      "install '" + package.path().string() + "' '\\Program Files\\App'"),
              0);
    ASSERT_EQ(runTool(TESSEL_COLDBOOT, link, ""), 0);
    EXPECT_EQ(root.read("Program Files/App/App.exe"), "program");
    EXPECT_TRUE(fsys::exists(root.path() / "Windows/Start Menu/Programs/App.lnk"));
}

TEST(InstallerTool, RefusesWhatItCannotInstall) {
    TempDir root;
    root.write("keep.txt", "keep");
    const auto status = [&](const std::string& arguments) {
        return runTool(TESSEL_INSTALLER, root.path(), arguments);
    };
    EXPECT_NE(status("install /nonexistent-package '\\Program Files\\App'"), 0);
    EXPECT_NE(status("install '" + root.path().string() + "' '\\..\\..\\App'"), 0);
    EXPECT_NE(status("install"), 0);
    EXPECT_NE(status("--setup /nonexistent/libbackup.so remove '\\App'"), 0);
    EXPECT_NE(status("remove '\\'"), 0);
    EXPECT_NE(status("install '" + root.path().string() + "' '\\'"), 0);
    EXPECT_EQ(root.read("keep.txt"), "keep");
}

}  // namespace
