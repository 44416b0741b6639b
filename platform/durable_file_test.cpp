#include "platform/durable_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

namespace fs = std::filesystem;

// The names in folder other than the one given.
std::vector<std::string> othersIn(const fs::path& folder, const std::string& name) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != name) others.push_back(entry.path().filename().string());
    }
    return others;
}

TEST(DurableFile, ReplacesTheFileKeepingItsPermissionsAndLeavesNothingElse) {
    TempDir dir;
    dir.write("browserINI.txt", "old");
    const fs::path path = dir.path() / "browserINI.txt";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_EQ(replaceFileDurably(path, "new content"), 0);
    EXPECT_EQ(dir.read("browserINI.txt"), "new content");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(othersIn(dir.path(), "browserINI.txt").empty());

    EXPECT_EQ(replaceFileDurably(dir.path() / "fresh.txt", "x"), 0);
    EXPECT_EQ(fs::status(dir.path() / "fresh.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

// The process dies (a power cut, a kill) after writing the new content but before the rename.
TEST(DurableFile, ASaveInterruptedBeforeTheRenameLeavesTheOldFileWhole) {
    TempDir dir;
    dir.write("browserINI.txt", "old");
    const fs::path path = dir.path() / "browserINI.txt";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DurableFile file(path);
        file.write("new content");
        ::_exit(file.error());  // no commit, no clean-up
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(dir.read("browserINI.txt"), "old");
    const auto leftovers = othersIn(dir.path(), "browserINI.txt");
    ASSERT_EQ(leftovers.size(), 1u);
    EXPECT_TRUE(leftovers[0].starts_with("browserINI.txt.tmp-")) << leftovers[0];
    // A later save is not hindered by the leftover.
    EXPECT_EQ(replaceFileDurably(path, "newer"), 0);
    EXPECT_EQ(dir.read("browserINI.txt"), "newer");
}

TEST(DurableFile, TwoSavesAtOnceNeverShareATemporaryFile) {
    TempDir dir;
    const fs::path path = dir.path() / ".registry";
    DurableFile first(path);
    DurableFile second(path);
    EXPECT_NE(first.temporaryPath(), second.temporaryPath());
    ASSERT_TRUE(first.write("first"));
    ASSERT_TRUE(second.write("second, longer"));
    ASSERT_TRUE(second.commit());
    EXPECT_EQ(dir.read(".registry"), "second, longer");
    ASSERT_TRUE(first.commit());
    EXPECT_EQ(dir.read(".registry"), "first");
    EXPECT_TRUE(othersIn(dir.path(), ".registry").empty());
}

TEST(DurableFile, FailuresKeepTheOldFileAndRemoveTheTemporaryFile) {
    TempDir dir;
    EXPECT_EQ(replaceFileDurably(dir.path() / "missing" / "a.txt", "x"), ENOENT);

    fs::create_directories(dir.path() / "folder" / "inside");
    EXPECT_NE(replaceFileDurably(dir.path() / "folder", "x"), 0);  // a folder is not replaced
    EXPECT_TRUE(fs::exists(dir.path() / "folder" / "inside"));
    EXPECT_TRUE(othersIn(dir.path(), "folder").empty());

    {
        DurableFile abandoned(dir.path() / "b.txt");
        ASSERT_TRUE(abandoned.write("x"));
    }
    EXPECT_TRUE(othersIn(dir.path(), "folder").empty());
}

}  // namespace
}  // namespace tessel::platform
