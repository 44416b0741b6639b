// End to end: a package installed with tessel-installer (which loads the backup library) survives
// tessel-coldboot (which runs the restore program from autorun.ini), and its removal leaves no
// shortcut, registry value or backup copy behind.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "common/restore_list/temp_root.h"
#include "platform/device_fs.h"
#include "platform/registry.h"

namespace {

namespace fsys = std::filesystem;
using tessel::platform::Hive;
using tessel::platform::Registry;
using tessel::platform::RegValue;
using tessel::restore_list::TempRoot;

constexpr const char* kList =
    "[ShortCut]\r\n"
    "{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n"
    "{csidl_desktop}\\App.lnk={INSTALL}\\App.exe\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\App]\r\n"
    "Path=\\Program Files\\App\r\n"
    "Mode=kiosk\r\n";

// Relative path to content of every file of a host folder, leaving out its restore folder.
std::map<std::string, std::string> filesOf(const TempRoot& root, const fsys::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fsys::recursive_directory_iterator(root.path() / folder)) {
        const fsys::path relative = entry.path().lexically_relative(root.path() / folder);
        if (entry.is_regular_file() && *relative.begin() != "restore") {
            files[relative.string()] = root.read(folder / relative);
        }
    }
    return files;
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

    int run(const std::string& tool, const std::string& arguments) {
        const std::string command =
            "'" + tool + "' --root '" + root_.path().string() + "' " + arguments + " >/dev/null";
        return std::system(command.c_str());
    }
    int installer(const std::string& arguments) { return run(TESSEL_INSTALLER, arguments); }
    int coldBoot() { return run(TESSEL_COLDBOOT, ""); }

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
            if (root_.exists(file)) found[file] = root_.read(file);
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

    TempRoot root_;
    TempRoot package_;
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
    EXPECT_FALSE(root_.exists("Windows/scratch.txt"));
    EXPECT_FALSE(registry_.open(Hive::LocalMachine, "Software\\Scratch"));
    EXPECT_EQ(filesOf(root_, installHost()), installed);
    EXPECT_EQ(shortcuts(), links);
    EXPECT_EQ(values(), registryValues);
    EXPECT_EQ(root_.read("DiskOnChip/other.txt"), "persistent");

    ASSERT_EQ(installer("remove '" + folder + "'"), 0);
    EXPECT_TRUE(shortcuts().empty());
    EXPECT_TRUE(values().empty());
    EXPECT_FALSE(root_.exists(installHost()));
    const auto persistent = filesOf(root_, "DiskOnChip");
    EXPECT_EQ(persistent.size(), 2u);  // other.txt and autorun.ini, which keeps its line
    EXPECT_EQ(root_.read("DiskOnChip/other.txt"), "persistent");
}

INSTANTIATE_TEST_SUITE_P(InstallationKinds, BackupRestoreTest,
                         ::testing::Values("\\Program Files\\App", "\\DiskOnChip\\App",
                                           "\\DiskOnChip\\Apps\\App"));

TEST(InstallerTool, RefusesWhatItCannotInstall) {
    TempRoot root;
    const std::string prefix =
        std::string("'") + TESSEL_INSTALLER + "' --root '" + root.path().string() + "' ";
    const auto status = [&](const std::string& arguments) {
        return std::system((prefix + arguments + " 2>/dev/null").c_str());
    };
    EXPECT_NE(status("install /nonexistent-package '\\Program Files\\App'"), 0);
    EXPECT_NE(status("install '" + root.path().string() + "' '\\..\\..\\App'"), 0);
    EXPECT_NE(status("install"), 0);
    EXPECT_NE(status("--setup /nonexistent/libbackup.so remove '\\App'"), 0);
}

}  // namespace
