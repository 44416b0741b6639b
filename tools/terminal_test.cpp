#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/device_fs.h"
#include "platform/power_status.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "platform/temp_dir.h"
#include "tools/probe_core.h"
#include "terminal/host.h"
#include "tools/terminal_core.h"

namespace tessel::tools {
namespace {

namespace fs = std::filesystem;
using reader::ReaderType;
using terminal::ControlCommand;

const terminal::FillSources kSources{TESSEL_SYSTEM_LIBRARY_DIR, TESSEL_DEMO_DIR};

struct ProbeRun {
    int exit;
    std::string out;
    std::string err;
};

// tessel-probe on COM1 of the root's port map, asking for the fitted kind (detection order by
// model is the reader manager's business and is tested there).
ProbeRun probe(const fs::path& root, ReaderType kind, int triggers = 0) {
    ProbeOptions options;
    options.deviceRoot = root;
    options.request = kind;
    options.triggers = triggers;
    options.decodeTimeoutMs = 1000;
    platform::VirtualClock clock;
    std::ostringstream out, err;
    const int exit = runProbe(options, clock, out, err);
    return {exit, out.str(), err.str()};
}

std::optional<std::string> com(const fs::path& root, const char* name) {
    platform::Registry registry(platform::Registry::fileOf(platform::DeviceFs(root)));
    auto key = registry.open(platform::Hive::LocalMachine, platform::kPortMapKey);
    auto value = key ? key->read(name) : std::nullopt;
    return value ? std::optional(value->text) : std::nullopt;
}

ControlCommand barcode(std::uint8_t type, std::string data) {
    return {ControlCommand::Kind::Barcode, type, {data.begin(), data.end()}};
}

class EachProfile : public ::testing::TestWithParam<const char*> {};

TEST_P(EachProfile, ProbeFindsTheFittedEngineThroughThePortMapAndReadsAPresentedBarcode) {
    const terminal::Profile profile = *terminal::findProfile(GetParam());
    platform::TempDir root;
    std::ostringstream notes;
    std::string error;
    auto terminal = SimulatedTerminal::start(profile, root.path(), kSources, notes, error);
    ASSERT_NE(terminal, nullptr) << error;

    // Code 39 is 'A' to the text engine and 1 to the packet engines.
    const std::uint8_t code39 = profile.port1 == ReaderType::CcdLaser ? 'A' : 1;
    EXPECT_EQ(terminal->present(barcode(code39, "TS-42")), "ok");
    const ProbeRun run = probe(root.path(), profile.port1, 1);
    ASSERT_EQ(run.exit, kProbeOk) << run.err;
    EXPECT_NE(run.out.find("kind: " + std::string(terminal::readerKindName(profile.port1))), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(R"("codeTypeName":"Code 39","data":"TS-42")"), std::string::npos) << run.out;

    // Port 2 is mapped exactly when a simulator runs there.
    const auto com2 = com(root.path(), "COM2");
    const ControlCommand tag{ControlCommand::Kind::Tag, 0, {1, 2, 3, 4}};
    EXPECT_EQ(terminal->present(tag) == "ok", com2.has_value()) << notes.str();
    if (com2) {
        EXPECT_TRUE(fs::exists(*com2));
    }

    terminal.reset();
    EXPECT_EQ(com(root.path(), "COM1"), std::nullopt);
    EXPECT_FALSE(fs::exists(controlSocketPath(root.path())));
}

INSTANTIATE_TEST_SUITE_P(Profiles, EachProfile,
                         ::testing::Values("K210", "K220", "K230", "K240", "KP30", "generic"));

// The launcher as a process, driven from outside as an engineer would.
class Launcher : public ::testing::Test {
  protected:
    ~Launcher() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void launch(const char* profile) {
        const std::string rootArg = root_.path().string();
        const char* argv[] = {TESSEL_TERMINAL_TOOL, profile, "--device-root", rootArg.c_str(), "--no-browser", nullptr};
        ASSERT_EQ(::posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        // Wait for the control socket, which appears once everything runs.
        for (int i = 0; i < 200 && !fs::exists(controlSocketPath(root_.path())); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(controlSocketPath(root_.path())));
    }

    int present(const std::string& request) {
        const std::string command = std::string(TESSEL_TERMINAL_TOOL) + " present --device-root '" +
                                    root_.path().string() + "' " + request + " >/dev/null 2>&1";
        return std::system(command.c_str());
    }

    int stop() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    platform::TempDir root_;
    pid_t pid_ = -1;
};

TEST_F(Launcher, PresentedBarcodesReachTheEngineThatProbeFindsAndStopCleansUp) {
    launch("generic");  // a text engine on COM1 and no RFID reader
    EXPECT_EQ(present("barcode A first"), 0);
    EXPECT_EQ(sendControl(root_.path(), "barcode A sec%6Fnd"), "ok");
    EXPECT_NE(present("barcode A"), 0);  // no data
    EXPECT_EQ(sendControl(root_.path(), "tag 01020304"), "error: no simulator runs on COM2");

    const ProbeRun run = probe(root_.path(), ReaderType::CcdLaser, 2);
    ASSERT_EQ(run.exit, kProbeOk) << run.err;
    EXPECT_NE(run.out.find("kind: CcdLaser (2)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("data":"first")"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("data":"second")"), std::string::npos) << run.out;

    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(com(root_.path(), "COM1"), std::nullopt);
    EXPECT_NE(sendControl(root_.path(), "barcode A x").rfind("error: no simulated terminal", 0),
              std::string::npos);
}

// The operator's power source and signal reach the readings the browser and the library make.
TEST_F(Launcher, PowerSourceAndSignalChangeTheSimulatedHostReadings) {
    launch("K240");
    const auto host = terminal::SimulatedHost::of(root_.path());
    platform::SysfsPowerStatus power(host.sys);
    terminal::Host readings;
    readings.proc = host.proc;
    EXPECT_EQ(power.acLineStatus(), platform::kAcOffline);
    EXPECT_EQ(terminal::readSignalDbm(readings), terminal::kStartSignalDbm);

    EXPECT_EQ(present("power mains"), 0);
    EXPECT_EQ(present("signal -95"), 0);
    EXPECT_EQ(power.acLineStatus(), platform::kAcOnline);
    EXPECT_EQ(terminal::readSignalDbm(readings), -95);
    EXPECT_EQ(sendControl(root_.path(), "power battery"), "ok");
    EXPECT_EQ(power.acLineStatus(), platform::kAcOffline);
    EXPECT_NE(present("signal 5"), 0);
    EXPECT_EQ(terminal::readSignalDbm(readings), -95);
    // The host's own identity still shows through.
    EXPECT_EQ(fs::exists("/proc/sys/kernel/osrelease"), fs::exists(host.proc / "sys/kernel/osrelease"));
    EXPECT_EQ(stop(), 0);
}

TEST_F(Launcher, SilentClientDoesNotHoldTheControlUp) {
    launch("K240");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, controlSocketPath(root_.path()).c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // The launcher gives up on the silent client, then serves the next one.
    EXPECT_EQ(sendControl(root_.path(), "tag 04112233445566"), "ok");
    ::close(fd);
    EXPECT_EQ(stop(), 0);
}

// A stand-in browser beside a copy of the launcher: it records how it was started and ends with
// status 3, which the launcher passes on after stopping the simulators.
TEST(LauncherWithBrowser, StartsTheBrowserBesideItOnTheRootAndEndsWithIt) {
    platform::TempDir bin, root;
    const fs::path launcher = bin.path() / "tessel-terminal";
    fs::copy_file(TESSEL_TERMINAL_TOOL, launcher);
    const fs::path record = bin.path() / "browser-started";
    bin.write("browser", "#!/bin/sh\necho \"$* root=$TESSEL_DEVICE_ROOT sys=$TESSEL_SYS_ROOT\" > '" +
                             record.string() + "'\nexit 3\n");
    fs::permissions(bin.path() / "browser", fs::perms::owner_exec, fs::perm_options::add);

    const std::string command = "'" + launcher.string() + "' generic --device-root '" + root.path().string() +
                                "' --headless -- 1 >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const std::string rootText = root.path().string();
    EXPECT_EQ(bin.read("browser-started"),
              "--device-root " + rootText + " --headless 1 root=" + rootText + " sys=" + rootText +
                  "/simhost/sys\n");
    EXPECT_EQ(com(root.path(), "COM1"), std::nullopt);
    EXPECT_FALSE(fs::exists(controlSocketPath(root.path())));
}

}  // namespace
}  // namespace tessel::tools
