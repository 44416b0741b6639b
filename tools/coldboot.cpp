// tessel-coldboot: a cold boot of the simulated terminal.
//
//   tessel-coldboot [--root DIR]
//
// Deletes everything under the device root except the persistent folder "\DiskOnChip", clears
// the registry, re-creates the device's standard folders (as the system image would), then starts
// every program listed in "\diskonchip\autorun.ini", one per line, in order: each device path is
// mapped to its host file under the root and run without arguments, with TESSEL_DEVICE_ROOT set,
// and waited for. A "restore.exe" there is the Linux restore program placed by tessel-installer.
// The device root is DIR, else TESSEL_DEVICE_ROOT. Exits with 1 when there is no device root.

#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/restore_list/files.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "tools/device_root.h"

extern char** environ;

namespace {

namespace fsys = std::filesystem;
using tessel::platform::DeviceFs;

constexpr const char* kUsage = "usage: tessel-coldboot [--root DIR]\n";
constexpr std::string_view kPersistentFolder = "diskonchip";

bool isPersistentFolder(const fsys::path& name) {
    const std::string text = name.string();
    if (text.size() != kPersistentFolder.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != kPersistentFolder[i]) return false;
    }
    return true;
}

void wipe(const DeviceFs& fs) {
    std::error_code ec;
    for (const auto& entry : fsys::directory_iterator(fs.root(), ec)) {
        if (isPersistentFolder(entry.path().filename()) && entry.is_directory()) continue;
        std::error_code removeError;
        fsys::remove_all(entry.path(), removeError);
        if (removeError) std::cerr << "tessel-coldboot: cannot delete " << entry.path() << "\n";
    }
    tessel::platform::Registry registry(tessel::platform::Registry::fileOf(fs));
    if (!registry.clear()) std::cerr << "tessel-coldboot: " << registry.lastError() << "\n";
    tessel::platform::Shell(fs).createSpecialFolders();
}

std::vector<std::string> autorunPrograms(const DeviceFs& fs) {
    std::vector<std::string> programs;
    const auto content = tessel::restore_list::readFile(fs, "\\diskonchip\\autorun.ini");
    if (!content) return programs;
    std::size_t start = 0;
    while (start < content->size()) {
        std::size_t end = content->find_first_of("\r\n", start);
        if (end == std::string::npos) end = content->size();
        std::string_view line(content->data() + start, end - start);
        while (!line.empty() && static_cast<unsigned char>(line.front()) <= 32)
            line.remove_prefix(1);
        while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32)
            line.remove_suffix(1);
        if (!line.empty()) programs.emplace_back(line);
        start = end + 1;
    }
    return programs;
}

void start(const DeviceFs& fs, const std::string& program) {
    std::string reason;
    const auto host = fs.toHost(program, &reason);
    std::error_code ec;
    if (!host || !fsys::is_regular_file(*host, ec)) {
        std::cerr << "tessel-coldboot: cannot start " << program << ": "
                  << (host ? "no such program" : reason) << "\n";
        return;
    }
    const std::string path = host->string();
    char* arguments[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, path.c_str(), nullptr, nullptr, arguments, environ) != 0) {
        std::cerr << "tessel-coldboot: cannot start " << program << "\n";
        return;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    std::cout << "started " << program << ": "
              << (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                    : std::string("ended by a signal"))
              << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    if (argc == 3 && std::string(argv[1]) == "--root") {
        root = argv[2];
    } else if (argc != 1) {
        std::cerr << kUsage;
        return 1;
    }
    const auto fs = tessel::tools::openDeviceRoot(root);
    if (!fs) {
        std::cerr << "tessel-coldboot: no device root (--root DIR or TESSEL_DEVICE_ROOT)\n";
        return 1;
    }
    try {
        wipe(*fs);
        for (const std::string& program : autorunPrograms(*fs)) start(*fs, program);
    } catch (const std::exception& error) {
        // A root that cannot be listed part-way through the wipe.
        std::cerr << "tessel-coldboot: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
