// Runs tessel-reg as a child process against a temporary device root.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"

namespace tessel::platform {
namespace {

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr together
};

class RegToolTest : public ::testing::Test {
protected:
    // Runs the tool with the words given (each put in single quotes) after "--root <temp>".
    ToolRun reg(const std::vector<std::string>& words, const std::string& environment = {}) {
        std::string command =
            environment + " " TESSEL_REG_TOOL " --root '" + temp_.path().string() + "'";
        for (const std::string& word : words) command += " '" + word + "'";
        return runShell(command);
    }
    static ToolRun runShell(const std::string& command) {
        FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
        ToolRun run{-1, {}};
        if (!pipe) return run;
        char buffer[512];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            run.output.append(buffer, n);
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    TempDir temp_;
    Registry registry_{Registry::fileOf(DeviceFs(temp_.path()))};
};

constexpr const char* kPorts = "HKEY_LOCAL_MACHINE\\Software\\Tessel\\Ports";

TEST_F(RegToolTest, SetValuesAreSeenByAnotherProcessAndTheOtherWayRound) {
    ASSERT_EQ(reg({"set", kPorts, "COM1", "/dev/ttyS0"}).status, 0);
    ASSERT_EQ(reg({"set", "hklm\\software\\tessel\\ports", "Retries", "0x1F", "--dword"}).status,
              0);
    auto ports = registry_.open(Hive::LocalMachine, "Software\\Tessel\\Ports");
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->read("com1"), RegValue::sz("/dev/ttyS0"));
    EXPECT_EQ(ports->read("retries"), RegValue::dwordValue(31));

    ASSERT_TRUE(ports->set("COM2", RegValue::sz("/dev/tty USB1")));
    ASSERT_TRUE(registry_.create(Hive::LocalMachine, "Software\\Tessel\\Ports\\Extra"));
    const ToolRun all = reg({"query", kPorts});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.output,
              "COM1 REG_SZ /dev/ttyS0\n"
              "Retries REG_DWORD 0x1f\n"
              "COM2 REG_SZ /dev/tty USB1\n"
              "HKEY_LOCAL_MACHINE\\Software\\Tessel\\Ports\\Extra\n");
    EXPECT_EQ(reg({"query", kPorts, "com2"}).output, "COM2 REG_SZ /dev/tty USB1\n");
}

TEST_F(RegToolTest, TheRootCanComeFromTheEnvironment) {
    ASSERT_TRUE(
        registry_.create(Hive::CurrentUser, "Env")->set("v", RegValue::dwordValue(4000000000u)));
    const ToolRun run = runShell("TESSEL_DEVICE_ROOT='" + temp_.path().string() +
                                 "' " TESSEL_REG_TOOL " query HKCU\\\\Env v");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "v REG_DWORD 0xee6b2800\n");
    const ToolRun noRoot =
        runShell("env -u TESSEL_DEVICE_ROOT " TESSEL_REG_TOOL " query HKCU\\\\Env");
    EXPECT_EQ(noRoot.status, 1);
    EXPECT_NE(noRoot.output.find("TESSEL_DEVICE_ROOT"), std::string::npos);
}

TEST_F(RegToolTest, DeletesValuesAndKeys) {
    ASSERT_EQ(reg({"set", kPorts, "COM1", "x"}).status, 0);
    ASSERT_EQ(reg({"set", kPorts, "COM2", "y"}).status, 0);
    EXPECT_EQ(reg({"delete", kPorts, "com1"}).status, 0);
    EXPECT_EQ(reg({"query", kPorts}).output, "COM2 REG_SZ y\n");
    EXPECT_EQ(reg({"delete", "HKLM\\Software\\Tessel"}).status, 0);
    EXPECT_FALSE(registry_.open(Hive::LocalMachine, "Software\\Tessel"));
    EXPECT_TRUE(registry_.open(Hive::LocalMachine, "Software"));
}

TEST_F(RegToolTest, FailuresExplainThemselvesAndExitWithOne) {
    const std::vector<std::vector<std::string>> failing = {
        {"query", kPorts},                                     // no such key
        {"query", "HKEY_NOWHERE\\Software"},                   // unknown root
        {"set", kPorts, "Retries", "12x", "--dword"},          // not a number
        {"set", kPorts, "Retries", "0x100000000", "--dword"},  // too large
        {"delete", "HKEY_LOCAL_MACHINE"},                      // a root key
        {"delete", kPorts, "COM1"},                            // no such key
        {"query"},                                             // usage
        {"remove", kPorts},                                    // usage
    };
    for (const auto& words : failing) {
        const ToolRun run = reg(words);
        EXPECT_EQ(run.status, 1) << words[0];
        EXPECT_FALSE(run.output.empty()) << words[0];
    }
    ASSERT_EQ(reg({"set", kPorts, "COM1", "x"}).status, 0);
    const ToolRun missing = reg({"query", kPorts, "COM9"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "tessel-reg: no value \"COM9\" in \"" + std::string(kPorts) + "\"\n");
}

}  // namespace
}  // namespace tessel::platform
