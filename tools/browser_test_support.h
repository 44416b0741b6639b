#pragma once
// The browser program as another process, for the tests that drive it on a simulated terminal
// from outside (TESSEL_BROWSER and TESSEL_SEND name the built programs).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "terminal/profiles.h"
#include "tools/terminal_core.h"

extern char** environ;

namespace tessel::tools {

// A simulated terminal of the profile on root, with the built libraries and demo page.
inline std::unique_ptr<SimulatedTerminal> startSimulatedTerminal(const char* profile, const std::filesystem::path& root,
                                                                 std::ostream& notes, std::string& error) {
    return SimulatedTerminal::start(*terminal::findProfile(profile), root, {TESSEL_SYSTEM_LIBRARY_DIR, TESSEL_DEMO_DIR},
                                    notes, error);
}

// Ends a started process (a browser's web processes end with it) and reaps it.
inline void endProcess(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts `browser ARGS` with its standard output and error in files (the same file may take
// both); -1 when it could not be started.
inline pid_t spawnBrowser(std::vector<std::string> args, const std::filesystem::path& output,
                          const std::filesystem::path& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(),
                                     O_WRONLY | O_CREAT | (errors == output ? O_APPEND : O_TRUNC), 0644);
    args.insert(args.begin(), TESSEL_BROWSER);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, TESSEL_BROWSER, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// tessel-send ARGS to the browser of root; its exit code.
inline int sendByName(const std::filesystem::path& root, const std::string& args) {
    const std::string command = std::string(TESSEL_SEND) + " --root '" + root.string() + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace tessel::tools
