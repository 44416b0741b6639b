// tessel-installer: the device's package installer, for packages built for Linux.
//
//   tessel-installer [--root DIR] [--setup LIBRARY] [--restore-program FILE]
//                    install PACKAGE_DIR INSTALL_FOLDER
//   tessel-installer [--root DIR] [--setup LIBRARY] remove INSTALL_FOLDER
//
// install copies the package folder (a host folder) into INSTALL_FOLDER, a device path such as
// "\Program Files\App", between the setup library's Install_Init and Install_Exit. remove calls
// Uninstall_Init, deletes the installation folder and calls Uninstall_Exit.
//
// The setup library is loaded by file name: LIBRARY names a host file (default: the built
// backup library). A package that carries a "restore" folder gets the built restore program
// (or FILE) placed there under the name "restore.exe", so the device path
// "...\restore\restore.exe" that the setup library registers for the next cold boot is the
// Linux restore program. The device's standard folders are created when missing. The device
// root is DIR, else TESSEL_DEVICE_ROOT. Failures print a message on stderr and exit with 1.

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_fs.h"
#include "platform/library_loader.h"
#include "platform/shell.h"
#include "tools/device_root.h"

namespace {

namespace fsys = std::filesystem;
using tessel::platform::DeviceFs;

constexpr const char* kUsage =
    "usage: tessel-installer [--root DIR] [--setup LIBRARY] [--restore-program FILE]\n"
    "                        install PACKAGE_DIR INSTALL_FOLDER\n"
    "       tessel-installer [--root DIR] [--setup LIBRARY] remove INSTALL_FOLDER\n";

struct Failure {
    std::string message;
};

struct Command {
    std::string root;
    fsys::path setup = TESSEL_SETUP_LIBRARY;
    fsys::path restoreProgram = TESSEL_RESTORE_PROGRAM;
    std::vector<std::string> words;
};

std::optional<Command> parseCommand(int argc, char** argv) {
    Command command;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool takesValue =
            word == "--root" || word == "--setup" || word == "--restore-program";
        if (takesValue && ++i == argc) return std::nullopt;
        if (word == "--root") {
            command.root = argv[i];
        } else if (word == "--setup") {
            command.setup = argv[i];
        } else if (word == "--restore-program") {
            command.restoreProgram = argv[i];
        } else {
            command.words.push_back(word);
        }
    }
    return command;
}

// The installer's entry points of the setup library, with the argument types of backup.h.
struct SetupLibrary {
    using InstallInit = int32_t (*)(void*, uint32_t, uint32_t, const uint16_t*);
    using InstallExit = int32_t (*)(void*, const uint16_t*, uint16_t, uint16_t, uint16_t, uint16_t,
                                    uint16_t);
    using UninstallInit = int32_t (*)(void*, const uint16_t*);
    using UninstallExit = int32_t (*)(void*);

    std::unique_ptr<tessel::platform::Library> library;
    InstallInit installInit;
    InstallExit installExit;
    UninstallInit uninstallInit;
    UninstallExit uninstallExit;
};

template <typename Function>
Function entryPoint(const tessel::platform::Library& library, const char* name) {
    void* symbol = library.symbol(name);
    if (!symbol) throw Failure{std::string("the setup library has no ") + name};
    return reinterpret_cast<Function>(symbol);
}

SetupLibrary loadSetup(const fsys::path& file) {
    tessel::platform::DlLibraryLoader loader({file.parent_path()});
    SetupLibrary setup;
    setup.library = loader.load(file.filename().string());
    if (!setup.library) throw Failure{"cannot load the setup library: " + loader.lastError()};
    setup.installInit = entryPoint<SetupLibrary::InstallInit>(*setup.library, "Install_Init");
    setup.installExit = entryPoint<SetupLibrary::InstallExit>(*setup.library, "Install_Exit");
    setup.uninstallInit = entryPoint<SetupLibrary::UninstallInit>(*setup.library, "Uninstall_Init");
    setup.uninstallExit = entryPoint<SetupLibrary::UninstallExit>(*setup.library, "Uninstall_Exit");
    return setup;
}

// 8-bit device text as the installer's NUL-terminated UTF-16.
std::vector<uint16_t> wide(const std::string& text) {
    std::vector<uint16_t> out(text.begin(), text.end());
    for (auto& c : out) c &= 0xFF;
    out.push_back(0);
    return out;
}

fsys::path hostFolder(const DeviceFs& fs, const std::string& folder) {
    std::string reason;
    const auto host = fs.toHost(folder, &reason);
    if (!host) throw Failure{"\"" + folder + "\": " + reason};
    return *host;
}

// The host folder of an installation; never the device root itself, which removal would delete.
fsys::path installationFolder(const DeviceFs& fs, const std::string& folder) {
    fsys::path host = hostFolder(fs, folder);
    if (host == fs.root()) throw Failure{"\"" + folder + "\" is the device root"};
    return host;
}

void placeRestoreProgram(const DeviceFs& fs, const std::string& folder, const fsys::path& program) {
    const fsys::path restoreFolder = hostFolder(fs, folder + "\\restore");
    std::error_code ec;
    if (!fsys::is_directory(restoreFolder, ec)) return;
    const fsys::path target = hostFolder(fs, folder + "\\restore\\restore.exe");
    fsys::copy_file(program, target, fsys::copy_options::overwrite_existing, ec);
    if (ec) throw Failure{"cannot place the restore program: " + ec.message()};
}

void install(const DeviceFs& fs, const Command& command) {
    const fsys::path package = command.words[1];
    const std::string& folder = command.words[2];
    std::error_code ec;
    if (!fsys::is_directory(package, ec)) throw Failure{"no package folder " + package.string()};
    const fsys::path target = installationFolder(fs, folder);
    const SetupLibrary setup = loadSetup(command.setup);
    const auto folderText = wide(folder);

    const bool previouslyInstalled = fsys::exists(target, ec);
    setup.installInit(nullptr, 1, previouslyInstalled, folderText.data());
    fsys::create_directories(target, ec);
    if (!ec) {
        fsys::copy(package, target,
                   fsys::copy_options::recursive | fsys::copy_options::overwrite_existing, ec);
    }
    if (ec) throw Failure{"cannot unpack into " + target.string() + ": " + ec.message()};
    placeRestoreProgram(fs, folder, command.restoreProgram);
    setup.installExit(nullptr, folderText.data(), 0, 0, 0, 0, 0);
}

void remove(const DeviceFs& fs, const Command& command) {
    const std::string& folder = command.words[1];
    const fsys::path target = installationFolder(fs, folder);
    const SetupLibrary setup = loadSetup(command.setup);
    setup.uninstallInit(nullptr, wide(folder).data());
    std::error_code ec;
    fsys::remove_all(target, ec);
    if (ec)
        std::cerr << "tessel-installer: cannot delete " << target << ": " << ec.message() << "\n";
    setup.uninstallExit(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const auto command = parseCommand(argc, argv);
    const auto& words = command ? command->words : std::vector<std::string>{};
    const bool isInstall = words.size() == 3 && words[0] == "install";
    const bool isRemove = words.size() == 2 && words[0] == "remove";
    if (!isInstall && !isRemove) {
        std::cerr << kUsage;
        return 1;
    }
    const auto fs = tessel::tools::openDeviceRoot(command->root);
    if (!fs) {
        std::cerr << "tessel-installer: no device root (--root DIR or TESSEL_DEVICE_ROOT)\n";
        return 1;
    }
    try {
        tessel::platform::Shell(*fs).createSpecialFolders();
        isInstall ? install(*fs, *command) : remove(*fs, *command);
    } catch (const Failure& failure) {
        std::cerr << "tessel-installer: " << failure.message << "\n";
        return 1;
    }
    return 0;
}
