#include "common/restore_list/restore_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device_fs.h"
#include "platform/temp_dir.h"

namespace tessel::restore_list {
namespace {

using platform::TempDir;

std::span<const std::uint8_t> bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

RestoreList parsed(std::string_view text) {
    RestoreList list;
    EXPECT_TRUE(list.parse(bytes(text))) << text;
    return list;
}

TEST(RestoreListFormat, NamesAndValuesAreTrimmedAndLinesEndAtLf) {
    const RestoreList list = parsed(
        "ignored text\r\n[ InstallDir \t]\r\n  install = \\Program Files\\App \r\n"
        "backup=\\DiskOnChip\\App\n");
    ASSERT_EQ(list.sections().size(), 1u);
    EXPECT_EQ(list.sections()[0].name, "InstallDir");
    EXPECT_EQ(list.value("InstallDir", "install"), "\\Program Files\\App");
    EXPECT_EQ(list.value("InstallDir", "backup"), "\\DiskOnChip\\App");
}

TEST(RestoreListFormat, TextWithoutEqualsJoinsTheNextName) {
    const RestoreList list = parsed("[S]\r\n; a note\r\nkey=v\r\n");
    EXPECT_EQ(list.value("S", "; a note\r\nkey"), "v");
    EXPECT_FALSE(list.value("S", "key"));
}

TEST(RestoreListFormat, HeaderAfterHeaderBecomesPartOfTheFirstName) {
    const RestoreList list = parsed("[A]\r\n[B]\r\nx=1\r\n");
    ASSERT_EQ(list.sections().size(), 1u);
    EXPECT_EQ(list.value("A", "[B]\r\nx"), "1");
    EXPECT_EQ(list.find("B"), nullptr);
}

TEST(RestoreListFormat, HeaderAfterValueStartsASection) {
    const RestoreList list = parsed("[A]\r\nx=1\r\n  [B]\r\ny=2");
    ASSERT_EQ(list.sections().size(), 2u);
    EXPECT_EQ(list.value("B", "y"), "2");
    EXPECT_FALSE(list.value("A", "y"));
}

TEST(RestoreListFormat, LastValueWithoutLineEndKeepsItsBlanks) {
    EXPECT_EQ(parsed("[A]\r\nx= 1 \r").value("A", "x"), " 1 \r");
    EXPECT_EQ(parsed("[A]\r\nx= 1 \r\n").value("A", "x"), "1");
}

TEST(RestoreListFormat, LookupsAreExactAndRepeatsReplace) {
    const RestoreList list = parsed("[InstallDir]\r\ninstall=a\r\ninstall=b\r\nInstall=c\r\n");
    EXPECT_EQ(list.value("InstallDir", "install"), "b");
    EXPECT_EQ(list.value("InstallDir", "Install"), "c");
    EXPECT_FALSE(list.value("installdir", "install"));
    EXPECT_EQ(list.sections()[0].entries.size(), 2u);
}

TEST(RestoreListFormat, RepeatedHeaderContinuesTheSection) {
    const RestoreList list = parsed("[A]\r\nx=1\r\n[B]\r\ny=2\r\n[A]\r\nz=3\r\n");
    ASSERT_EQ(list.sections().size(), 2u);
    EXPECT_EQ(list.value("A", "x"), "1");
    EXPECT_EQ(list.value("A", "z"), "3");
}

TEST(RestoreListFormat, ListWithoutSectionIsRejected) {
    for (std::string_view text : {"", "x=1\r\n", "[unclosed\r\nx=1"}) {
        RestoreList list;
        list.set("Old", "a", "b");
        EXPECT_FALSE(list.parse(bytes(text)));
        EXPECT_EQ(list.lastError(), ListError::Empty);
        EXPECT_EQ(list.lastErrorText(), "The INI file contains nothing.");
        EXPECT_TRUE(list.sections().empty());
    }
}

TEST(RestoreListFormat, WriterOutputParsesBackToTheSameList) {
    RestoreList list;
    list.set("InstallDir", "install", "\\Program Files\\App");
    list.set("ShortCut", "{CSIDL_PROGRAMS}\\App.lnk", "{INSTALL}\\App.exe");
    list.set("InstallDir", "backup", "\\DiskOnChip\\App");
    EXPECT_EQ(list.text(),
              "\r\n[InstallDir]\r\ninstall=\\Program Files\\App\r\nbackup=\\DiskOnChip\\App\r\n"
              "\r\n[ShortCut]\r\n{CSIDL_PROGRAMS}\\App.lnk={INSTALL}\\App.exe\r\n");
    EXPECT_EQ(parsed(list.text()).text(), list.text());
    EXPECT_EQ(RestoreList().text(), "");
}

// A template's empty section ends up before the sections added to it; written out, it would turn
// the next header into part of an entry name and lose that section.
TEST(RestoreListFormat, EmptySectionsAreNotWritten) {
    RestoreList list =
        parsed("[HKEY_LOCAL_MACHINE\\Software\\App]\r\nMode=kiosk\r\n[ShortCut]\r\n");
    list.findOrCreate("Empty");
    list.set("InstallDir", "install", "\\Program Files\\App");
    EXPECT_EQ(list.text(),
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\App]\r\nMode=kiosk\r\n"
              "\r\n[InstallDir]\r\ninstall=\\Program Files\\App\r\n");
    EXPECT_EQ(parsed(list.text()).value("InstallDir", "install"), "\\Program Files\\App");

    RestoreList empty;
    empty.findOrCreate("ShortCut");
    EXPECT_EQ(empty.text(), "");
}

TEST(RestoreListFormat, RemoveTakesOnlyTheNamedEntry) {
    RestoreList list = parsed("[InstallDir]\r\ninstall=a\r\nbackup=b\r\n");
    list.remove("InstallDir", "backup");
    list.remove("Missing", "backup");
    EXPECT_FALSE(list.value("InstallDir", "backup"));
    EXPECT_EQ(list.value("InstallDir", "install"), "a");
}

TEST(RestoreListFile, ReadsAndWritesThroughTheDeviceRoot) {
    TempDir root;
    platform::DeviceFs fs(root.path());
    root.write("App/restoreINI.txt", "[A]\r\nx=1");
    RestoreList list;
    ASSERT_TRUE(list.read(fs, "\\app\\RESTOREINI.TXT"));
    EXPECT_EQ(list.path(), "\\app\\RESTOREINI.TXT");
    list.set("A", "y", "2");
    ASSERT_TRUE(list.write(fs, "\\App\\restoreINI.txt"));
    RestoreList again;
    ASSERT_TRUE(again.read(fs, "\\App\\restoreINI.txt"));
    EXPECT_EQ(again.value("A", "y"), "2");
}

TEST(RestoreListFile, FailuresLeaveTheirTexts) {
    TempDir root;
    root.write("App/x", "");
    platform::DeviceFs fs(root.path());
    RestoreList list;
    EXPECT_FALSE(list.read(fs, "\\App\\missing.txt"));
    EXPECT_EQ(list.lastErrorText(), "Unable to read the INI file.");
    EXPECT_FALSE(list.read(fs, "\\..\\outside.txt"));
    EXPECT_EQ(list.lastError(), ListError::Unreadable);

    list.set("A", "x", "1");
    EXPECT_FALSE(list.write(fs, "\\NoFolder\\restoreINI.txt"));
    EXPECT_EQ(list.lastErrorText(),
              "Unable to write the INI file. \r\nPlease make sure it is not opened by WordPad.");
    EXPECT_FALSE(list.write(fs, "\\..\\..\\escape.txt"));
    EXPECT_FALSE(std::filesystem::exists(root.path().parent_path() / "escape.txt"));

    RestoreList empty;
    EXPECT_TRUE(empty.write(fs, "\\App\\empty.txt"));
    EXPECT_FALSE(std::filesystem::exists(root.path() / "App/empty.txt"));
}

}  // namespace
}  // namespace tessel::restore_list
