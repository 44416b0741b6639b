#include "platform/device_fs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/temp_dir.h"

namespace fs = std::filesystem;

namespace tessel::platform {
namespace {

class DeviceFsTest : public ::testing::Test {
protected:
    DeviceFsTest() { temp_.write("DiskOnChip/App/autorun.ini", "x"); }

    std::optional<fs::path> host(std::string_view devicePath) {
        error_.clear();
        return fs_.toHost(devicePath, &error_);
    }
    // Refused with a reason.
    void expectRefused(std::string_view devicePath) {
        EXPECT_EQ(host(devicePath), std::nullopt) << devicePath;
        EXPECT_FALSE(error_.empty()) << devicePath;
    }

    TempDir temp_;
    TempDir outside_;
    DeviceFs fs_{temp_.path()};
    std::string error_;
};

TEST_F(DeviceFsTest, MatchesExistingNamesIgnoringCaseAndKeepsNewNamesAsWritten) {
    const fs::path file = temp_.path() / "DiskOnChip/App/autorun.ini";
    EXPECT_EQ(host("\\DiskOnChip\\App\\autorun.ini"), file);
    EXPECT_EQ(host("\\diskonchip\\APP\\Autorun.INI"), file);
    EXPECT_EQ(host("diskonchip\\app\\autorun.ini"), file);
    EXPECT_EQ(host("\\diskonchip/app//autorun.ini"), file);
    EXPECT_EQ(host("\\DISKONCHIP\\New Folder\\File.TXT"),
              temp_.path() / "DiskOnChip/New Folder/File.TXT");
    EXPECT_EQ(host("\\"), temp_.path());
    EXPECT_EQ(host("\\.\\DiskOnChip\\."), temp_.path() / "DiskOnChip");
}

TEST_F(DeviceFsTest, PrefersTheExactNameWhenTwoDifferOnlyInCase) {
    temp_.write("Data/x", "");
    temp_.write("DATA/x", "");
    EXPECT_EQ(host("\\DATA\\x"), temp_.path() / "DATA/x");
    EXPECT_EQ(host("\\Data\\x"), temp_.path() / "Data/x");
}

TEST_F(DeviceFsTest, RefusesPathsThatLeaveTheRootOrAreNotDevicePaths) {
    expectRefused("..");
    expectRefused("\\..\\etc\\passwd");
    expectRefused("\\DiskOnChip\\..\\..\\x");
    expectRefused("\\DiskOnChip/../x");
    expectRefused("/etc/passwd");
    expectRefused("C:\\Windows");
    expectRefused("c:x");
    expectRefused(std::string_view("\\Disk\0/etc", 10));
    EXPECT_NE(error_.find("NUL"), std::string::npos);
}

TEST_F(DeviceFsTest, RefusesSymbolicLinksThatLeadOutside) {
    fs::create_directory_symlink(outside_.path(), temp_.path() / "Out");
    fs::create_symlink("../../..", temp_.path() / "DiskOnChip/Up");
    fs::create_symlink(outside_.path() / "missing", temp_.path() / "Dangling");
    fs::create_symlink("Loop", temp_.path() / "Loop");
    outside_.write("secret", "s");

    expectRefused("\\Out\\secret");
    expectRefused("\\out");
    expectRefused("\\DiskOnChip\\up\\etc");
    expectRefused("\\dangling");  // creating it would write outside the root
    expectRefused("\\Loop\\x");
    EXPECT_NE(error_.find("outside the device root"), std::string::npos) << error_;
}

TEST_F(DeviceFsTest, FollowsSymbolicLinksThatStayInside) {
    fs::create_directory_symlink("DiskOnChip/App", temp_.path() / "Program Files");
    fs::create_symlink("../Program Files/autorun.ini", temp_.path() / "DiskOnChip/Start");
    EXPECT_EQ(host("\\program files\\AUTORUN.ini"), temp_.path() / "Program Files/autorun.ini");
    EXPECT_EQ(host("\\DiskOnChip\\start"), temp_.path() / "DiskOnChip/Start");
}

TEST_F(DeviceFsTest, RootReachedThroughASymbolicLinkStillWorks) {
    const fs::path link = outside_.path() / "root";
    fs::create_directory_symlink(temp_.path(), link);
    fs::create_directory_symlink(temp_.path() / "DiskOnChip", temp_.path() / "Flash");
    EXPECT_EQ(DeviceFs(link).toHost("\\flash\\app"), link / "Flash/App");
}

TEST_F(DeviceFsTest, MapsHostPathsBackToDevicePaths) {
    EXPECT_EQ(fs_.toDevice(temp_.path() / "DiskOnChip/App"), "\\DiskOnChip\\App");
    EXPECT_EQ(fs_.toDevice(temp_.path() / "DiskOnChip/App/"), "\\DiskOnChip\\App");
    EXPECT_EQ(fs_.toDevice(temp_.path()), "\\");
    EXPECT_EQ(fs_.toDevice(temp_.path() / "DiskOnChip/../Windows"), "\\Windows");
    EXPECT_EQ(fs_.toDevice(temp_.path() / "../x"), std::nullopt);
    EXPECT_EQ(fs_.toDevice(outside_.path()), std::nullopt);
    EXPECT_EQ(fs_.toDevice(temp_.path().string() + "x"), std::nullopt);
}

TEST(DeviceFsEnvironment, OverrideWinsOverTheVariable) {
    ::setenv(kDeviceRootVariable, "/from/env", 1);
    EXPECT_EQ(DeviceFs::fromEnvironment()->root(), "/from/env");
    EXPECT_EQ(DeviceFs::fromEnvironment("/override")->root(), "/override");
    ::setenv(kDeviceRootVariable, "", 1);
    EXPECT_FALSE(DeviceFs::fromEnvironment().has_value());
    ::unsetenv(kDeviceRootVariable);
    EXPECT_FALSE(DeviceFs::fromEnvironment().has_value());
}

TEST(ProgramFolder, HoldsTheRunningProgramAndEndsWithASeparator) {
    const fs::path folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.string().ends_with("/"));
    EXPECT_TRUE(fs::exists(folder / "platform_test"));
}

}  // namespace
}  // namespace tessel::platform
