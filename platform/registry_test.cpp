#include "platform/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/device_fs.h"
#include "platform/registry_file.h"
#include "platform/temp_dir.h"

namespace fs = std::filesystem;

namespace tessel::platform {
namespace {

constexpr Hive kHklm = Hive::LocalMachine;

class RegistryTest : public ::testing::Test {
protected:
    TempDir temp_;
    fs::path file_ = Registry::fileOf(DeviceFs(temp_.path()));
    Registry registry_{file_};
};

TEST_F(RegistryTest, ValuesSurviveANewInstanceAndNamesIgnoreCase) {
    {
        Registry writer(file_);
        auto ports = writer.create(kHklm, "Software\\Tessel\\Ports");
        ASSERT_TRUE(ports);
        ASSERT_TRUE(ports->set("COM1", RegValue::sz("/dev/ttyS0")));
        ASSERT_TRUE(ports->set("Speed", RegValue::dwordValue(0xFFFFFFFF)));
        ASSERT_TRUE(ports->set("com1", RegValue::sz("/dev/ttyUSB0")));  // same value
    }
    auto ports = registry_.open(kHklm, "\\SOFTWARE\\tessel\\PORTS\\");
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->path(), "Software\\Tessel\\Ports");
    EXPECT_EQ(ports->read("Com1"), RegValue::sz("/dev/ttyUSB0"));
    EXPECT_EQ(ports->read("SPEED"), RegValue::dwordValue(0xFFFFFFFF));
    EXPECT_EQ(ports->read("COM2"), std::nullopt);
    EXPECT_EQ(ports->valueNames(), (std::vector<std::string>{"COM1", "Speed"}));
    EXPECT_EQ(registry_.subKeys(kHklm, "software"), std::vector<std::string>{"Tessel"});
    EXPECT_EQ(registry_.subKeys(kHklm, ""), std::vector<std::string>{"Software"});
    EXPECT_FALSE(registry_.open(Hive::CurrentUser, "Software\\Tessel"));
    EXPECT_TRUE(registry_.open(Hive::CurrentUser, ""));  // a hive always opens
}

TEST_F(RegistryTest, NewKeysTakeTheCaseOfExistingParents) {
    ASSERT_TRUE(registry_.create(kHklm, "Software\\Tessel"));
    auto key = registry_.create(kHklm, "SOFTWARE\\TESSEL\\New");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->path(), "Software\\Tessel\\New");
    EXPECT_EQ(registry_.subKeys(kHklm, "Software\\Tessel"), std::vector<std::string>{"New"});
}

TEST_F(RegistryTest, EmptyKeysPersist) {
    ASSERT_TRUE(registry_.create(Hive::Users, "Default\\Empty"));
    EXPECT_TRUE(Registry(file_).open(Hive::Users, "default\\empty"));
}

TEST_F(RegistryTest, DeletesValuesAndKeysWithTheirSubkeys) {
    auto ident = registry_.create(kHklm, "Ident");
    ASSERT_TRUE(ident);
    ASSERT_TRUE(ident->set("Name", RegValue::sz("K220")));
    ASSERT_TRUE(registry_.create(kHklm, "Ident\\Sub\\Deeper"));
    ASSERT_TRUE(registry_.create(kHklm, "Identity"));

    EXPECT_TRUE(ident->deleteValue("NAME"));
    EXPECT_FALSE(ident->deleteValue("Name"));
    EXPECT_EQ(ident->read("Name"), std::nullopt);

    EXPECT_TRUE(registry_.deleteKey(kHklm, "IDENT"));
    EXPECT_FALSE(registry_.open(kHklm, "Ident\\Sub\\Deeper"));
    EXPECT_TRUE(registry_.open(kHklm, "Identity"));  // a sibling sharing the prefix stays
    EXPECT_FALSE(registry_.deleteKey(kHklm, "Ident"));
    EXPECT_FALSE(registry_.lastError().empty());
    EXPECT_FALSE(registry_.deleteKey(kHklm, ""));
}

TEST_F(RegistryTest, AKeyDeletedByAnotherInstanceRefusesWrites) {
    auto key = registry_.create(kHklm, "Gone");
    ASSERT_TRUE(key);
    ASSERT_TRUE(Registry(file_).deleteKey(kHklm, "gone"));
    EXPECT_FALSE(key->set("x", RegValue::sz("y")));
    EXPECT_NE(registry_.lastError().find("deleted"), std::string::npos);
    EXPECT_FALSE(registry_.open(kHklm, "Gone"));
}

TEST_F(RegistryTest, ClearEmptiesEveryHive) {
    ASSERT_TRUE(registry_.create(kHklm, "A")->set("v", RegValue::dwordValue(1)));
    ASSERT_TRUE(registry_.create(Hive::ClassesRoot, "B"));
    ASSERT_TRUE(registry_.clear());
    EXPECT_FALSE(registry_.open(kHklm, "A"));
    EXPECT_FALSE(registry_.open(Hive::ClassesRoot, "B"));
    EXPECT_TRUE(registry_.subKeys(kHklm, "").empty());
}

TEST_F(RegistryTest, ArbitraryBytesInNamesAndTextsSurvive) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    const std::string oddName = "a\"b=c%d]\n[e";
    auto key = registry_.create(kHklm, "Odd]Key\\" + oddName);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->set(oddName, RegValue::sz(allBytes)));
    ASSERT_TRUE(key->set("", RegValue::sz("")));

    Registry reader(file_);
    auto again = reader.open(kHklm, "odd]key\\" + oddName);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->read(oddName), RegValue::sz(allBytes));
    EXPECT_EQ(again->read(""), RegValue::sz(""));
    EXPECT_EQ(reader.subKeys(kHklm, "Odd]Key"), std::vector<std::string>{oddName});
}

TEST_F(RegistryTest, SavesAtomicallyLeavingNoTemporaryFile) {
    ASSERT_TRUE(registry_.create(kHklm, "Software")->set("v", RegValue::sz("1")));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".registry", ".registry.lock"}));
}

TEST_F(RegistryTest, AFailedSaveKeepsTheOldFile) {
    ASSERT_TRUE(registry_.create(kHklm, "Software")->set("v", RegValue::sz("old")));
    const std::string before = temp_.read(".registry");
    // A file size limit makes the save fail even for root; the child process carries it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size(), before.size()};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto key = registry_.open(kHklm, "Software");
        const bool failed = !key->set("v", RegValue::sz("a longer new value"));
        const bool reported = registry_.lastError().find("File too large") != std::string::npos;
        const bool kept = key->read("v") == RegValue::sz("old");
        ::_exit(failed && reported && kept ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(temp_.read(".registry"), before);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".registry", ".registry.lock"}));
}

TEST_F(RegistryTest, AMissingFolderIsAFailureNotACrash) {
    Registry nowhere(temp_.path() / "missing" / ".registry");
    EXPECT_FALSE(nowhere.open(kHklm, "Software"));
    EXPECT_FALSE(nowhere.create(kHklm, "Software"));
    EXPECT_FALSE(nowhere.lastError().empty());
}

// Writes values prefix0..prefix{count-1} into "Shared", each a locked update of the whole file.
bool writeValues(const fs::path& file, const std::string& prefix, int count) {
    Registry own(file);
    auto key = own.create(kHklm, "Shared");
    for (int i = 0; key && i < count; ++i) {
        if (!key->set(prefix + std::to_string(i), RegValue::dwordValue(i))) return false;
    }
    return key.has_value();
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kCount = 60;
    auto shared = registry_.create(kHklm, "Shared");
    ASSERT_TRUE(shared);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(writeValues(file_, "child", kCount) ? 0 : 1);
    const bool parentWrote = writeValues(file_, "parent", kCount);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(parentWrote);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Without the shared lock and the reload before each change, one process would overwrite
    // the other's values.
    EXPECT_EQ(shared->valueNames().size(), 2u * kCount);
    EXPECT_EQ(shared->read("CHILD59"), RegValue::dwordValue(59));
    EXPECT_EQ(shared->read("parent0"), RegValue::dwordValue(0));
}

TEST_F(RegistryTest, AChangeGivesUpWhenAnotherHolderKeepsTheLock) {
    VirtualClock clock;
    Registry waiting(file_, clock);
    auto key = waiting.create(kHklm, "Shared");
    ASSERT_TRUE(key);

    const int holder = ::open((file_.string() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    clock.clearWaits();
    EXPECT_FALSE(key->set("v", RegValue::dwordValue(1)));
    EXPECT_NE(waiting.lastError().find("cannot lock"), std::string::npos) << waiting.lastError();
    Micros waited{0};
    for (Micros wait : clock.waits()) waited += wait;
    EXPECT_GE(waited, kRegistryLockWait);
    EXPECT_LT(waited, kRegistryLockWait + Millis(100));

    ::close(holder);
    EXPECT_EQ(key->read("v"), std::nullopt);
    EXPECT_TRUE(key->set("v", RegValue::dwordValue(1)));
}

TEST(RegistryFileTest, KeepsWhatMakesSenseInADamagedFile) {
    const RegistryTree tree = parseRegistry(
        "\"Orphan\"=sz:\"before any key\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Good]\r\n"
        "\"A\"=sz:\"first\"\n"
        "\"B\"=dword:0xZZ\n"
        "\"C\"=dword:0x123456789\n"
        "garbage line\n"
        "\"D\"=sz:\"unterminated\n"
        "\"E\"=dword:1f\r\n"
        "\"P%\"=sz:\"100%4\"\n"
        "[HKEY_NOWHERE\\X]\n"
        "\"F\"=sz:\"unknown hive\"\n"
        "[HKLM\\Software\\Broken\n"
        "\"G\"=sz:\"after a broken key line\"\n"
        "[hklm\\software\\good]\n"
        "\"a\"=sz:\"second\"\n"
        "[HKCU\\Cut]\n"
        "\"H\"=sz:\"trunc");
    std::vector<std::string> keys;
    for (const auto& [id, key] : tree.keys) keys.push_back(key.path);
    EXPECT_EQ(keys, (std::vector<std::string>{"", "Software", "Software\\Good", "", "Cut"}));
    const RegistryTree::Key& good = tree.keys.at({kHklm, "software\\good"});
    ASSERT_EQ(good.values.size(), 3u);
    EXPECT_EQ(good.values[0].name, "A");
    EXPECT_EQ(good.values[0].value, RegValue::sz("second"));
    EXPECT_EQ(good.values[1].value, RegValue::dwordValue(0x1f));
    EXPECT_EQ(good.values[2].name, "P%");
    EXPECT_EQ(good.values[2].value, RegValue::sz("100%4"));
    EXPECT_TRUE(tree.keys.at({Hive::CurrentUser, "cut"}).values.empty());
}

TEST(RegistryFileTest, HiveNames) {
    EXPECT_EQ(hiveFromName("hkey_local_machine"), Hive::LocalMachine);
    EXPECT_EQ(hiveFromName("HKCR"), Hive::ClassesRoot);
    EXPECT_EQ(hiveFromName("HKEY_CURRENT_USER"), Hive::CurrentUser);
    EXPECT_EQ(hiveFromName("hku"), Hive::Users);
    EXPECT_EQ(hiveFromName("HKEY_LOCAL"), std::nullopt);
    EXPECT_STREQ(hiveName(Hive::Users), "HKEY_USERS");
}

}  // namespace
}  // namespace tessel::platform
