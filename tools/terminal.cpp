// tessel-terminal: runs a simulated terminal of one profile and the browser on it.
//
//   tessel-terminal PROFILE [--device-root DIR] [--headless] [--no-browser] [-- BROWSER-ARGS]
//   tessel-terminal present [--device-root DIR] barcode TYPE DATA | tag UID | tag none
//
// The first form fills the device root, starts the fitted simulators on pseudo-terminals, maps
// COM1/COM2 to them and starts the `browser` program found beside this one. Without a browser
// (or with --no-browser) the simulators keep running until Ctrl-C, for tessel-probe. When the
// browser ends, or on Ctrl-C / SIGTERM, everything stops and the port map is cleared.
// With a display the browser opens its window and tessel-control, the operator's control window,
// starts beside it. The browser and the system-services library read the terminal's simulated
// power supply and wireless signal (terminal/simulated_host.h).
// The second form hands a barcode or a tag to the simulators of a running terminal, or sets its
// power source or wireless signal.

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/device_fs.h"
#include "tools/terminal_core.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel;

constexpr const char* kUsage =
    "usage: tessel-terminal PROFILE [--device-root DIR] [--headless] [--no-browser] [-- BROWSER-ARGS]\n"
    "       tessel-terminal present [--device-root DIR] barcode TYPE DATA | tag UID | tag none\n"
    "                                | power mains | power battery | signal DBM\n";

struct Arguments {
    std::string profile;
    fs::path root;
    bool headless = false;
    bool noBrowser = false;
    std::vector<std::string> browserArgs;  // launch: after "--"; present: the request words
};

fs::path defaultRoot() {
    const char* root = std::getenv(platform::kDeviceRootVariable);
    return root && *root ? fs::path(root) : fs::current_path() / "tessel-device";
}

std::optional<Arguments> parse(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    Arguments args;
    args.profile = argv[1];
    args.root = defaultRoot();
    const bool present = args.profile == "present";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--device-root" && i + 1 < argc) {
            args.root = argv[++i];
        } else if (!present && arg == "--headless") {
            args.headless = true;
        } else if (!present && arg == "--no-browser") {
            args.noBrowser = true;
        } else if (!present && arg == "--") {
            args.browserArgs.assign(argv + i + 1, argv + argc);
            break;
        } else if (present) {
            args.browserArgs.assign(argv + i, argv + argc);
            break;
        } else {
            return std::nullopt;
        }
    }
    args.root = fs::absolute(args.root);
    return args;
}

int present(const Arguments& args) {
    std::string line;
    for (const auto& word : args.browserArgs) line += (line.empty() ? "" : " ") + word;
    const std::string answer = tools::sendControl(args.root, line);
    (answer == "ok" ? std::cout : std::cerr) << answer << "\n";
    return answer == "ok" ? 0 : 1;
}

fs::path selfFolder() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path();
}

// A program beside this one (installed) or where the build tree puts it (a sibling folder).
std::optional<fs::path> findProgram(const fs::path& name, const fs::path& buildFolder) {
    const fs::path self = selfFolder();
    for (const fs::path& candidate : {self / name, self / ".." / buildFolder / name}) {
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal();
    }
    return std::nullopt;
}

// This process's environment with the device root and the simulated host set, as NAME=VALUE.
std::vector<std::string> environmentFor(const tools::SimulatedTerminal& terminal, const fs::path& root) {
    auto set = terminal.host().environment();
    set.emplace_back(platform::kDeviceRootVariable, root.string());
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        if (std::ranges::none_of(set, [&](const auto& variable) { return variable.first == name; }))
            entries.emplace_back(text);
    }
    for (const auto& [name, value] : set) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts a program of the terminal with the device root and the simulated host in its
// environment. Everything the child needs is made before the fork: the simulators' threads run
// on, and the child only unblocks the signals and replaces itself.
pid_t startProgram(std::vector<std::string> words, const tools::SimulatedTerminal& terminal,
                   const fs::path& root, const sigset_t& blocked) {
    std::vector<std::string> environment = environmentFor(terminal, root);
    const std::vector<char*> argv = pointersTo(words);
    const std::vector<char*> envp = pointersTo(environment);
    const std::string failure = "tessel-terminal: cannot start " + words[0];

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
        ::execve(argv[0], argv.data(), envp.data());
        std::perror(failure.c_str());
        ::_exit(127);
    }
    return pid;
}

std::vector<std::string> browserWords(const fs::path& program, const Arguments& args) {
    std::vector<std::string> words{program.string(), "--device-root", args.root.string()};
    if (args.headless) words.push_back("--headless");
    words.insert(words.end(), args.browserArgs.begin(), args.browserArgs.end());
    return words;
}

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// Asks a program to end, and ends it when it has not done so within five seconds.
int stopProgram(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return status;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Serves the control socket until a stop signal or the browser's end; returns the exit code.
// The control window may end before; it is reaped then.
int run(tools::SimulatedTerminal& terminal, int signals, pid_t browser, pid_t& control) {
    for (;;) {
        pollfd fds[2] = {{signals, POLLIN, 0}, {terminal.controlFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & POLLIN) terminal.serveControl();
        if (!(fds[0].revents & POLLIN)) continue;
        signalfd_siginfo info{};
        if (::read(signals, &info, sizeof info) != sizeof info) continue;
        int status = 0;
        if (info.ssi_signo != SIGCHLD) return browser > 0 ? exitCodeOf(stopProgram(browser)) : 0;
        if (control > 0 && ::waitpid(control, &status, WNOHANG) == control) control = -1;
        if (browser > 0 && ::waitpid(browser, &status, WNOHANG) == browser) {
            std::cerr << "tessel-terminal: the browser ended (" << exitCodeOf(status) << ")\n";
            return exitCodeOf(status);
        }
    }
}

int launch(const Arguments& args) {
    const auto profile = terminal::findProfile(args.profile);
    if (!profile) {
        std::cerr << "tessel-terminal: no profile " << args.profile << " (profiles: "
                  << terminal::profileNames() << ")\n" << kUsage;
        return 2;
    }
    // The signals are taken through a descriptor; threads started from here inherit the block.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGCHLD}) sigaddset(&blocked, s);
    ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
    const int signals = ::signalfd(-1, &blocked, SFD_CLOEXEC);
    if (signals < 0) {
        std::perror("tessel-terminal: signalfd");
        return 1;
    }

    std::string error;
    const terminal::FillSources sources{TESSEL_SYSTEM_LIBRARY_DIR, TESSEL_DEMO_DIR};
    auto terminal = tools::SimulatedTerminal::start(*profile, args.root, sources, std::cout, error);
    if (!terminal) {
        std::cerr << "tessel-terminal: " << error << "\n";
        return 1;
    }
    std::cout << "device root: " << args.root.string() << "\n"
              << "control: " << tools::controlSocketPath(args.root).string() << "\n";

    pid_t browser = -1, control = -1;
    const auto program = args.noBrowser ? std::nullopt : findProgram("browser", "browser/app");
    if (program) {
        // The browser's window takes the profile's screen class.
        const std::string screen = std::to_string(profile->screen.width) + "x" + std::to_string(profile->screen.height);
        ::setenv("TESSEL_SCREEN", screen.c_str(), 1);
        browser = startProgram(browserWords(*program, args), *terminal, args.root, blocked);
        std::cout << "browser: " << program->string() << " (pid " << browser << ")" << std::endl;
        const auto controlProgram = findProgram("tessel-control", "tools");
        if (!args.headless && hasDisplay() && controlProgram) {
            control = startProgram({controlProgram->string(), "--device-root", args.root.string()}, *terminal,
                                   args.root, blocked);
            std::cout << "control window: " << controlProgram->string() << " (pid " << control << ")" << std::endl;
        }
    } else {
        std::cout << (args.noBrowser ? "browser: not started"
                                     : "browser: not found beside " + selfFolder().string())
                  << "; the simulators run until Ctrl-C (try tessel-probe --device-root "
                  << args.root.string() << ")" << std::endl;
    }
    const int code = run(*terminal, signals, browser, control);
    if (control > 0) stopProgram(control);
    terminal.reset();
    ::close(signals);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const auto args = parse(argc, argv);
    if (!args) {
        std::cerr << kUsage << "profiles: " << terminal::profileNames() << "\n";
        return 2;
    }
    return args->profile == "present" ? present(*args) : launch(*args);
}
