// browser [--headless] [--device-root DIR] [COMMAND-LINE]
//
// The kiosk browser on a device root (--device-root, else TESSEL_DEVICE_ROOT). With a display and
// without --headless it opens a GTK window at the screen class of TESSEL_SCREEN ("240x320", the
// default, "240x384" or "480x640"); otherwise it runs on the headless toolkit, which writes every
// message box to standard output as a JSON line. Page callbacks are written as JSON lines until
// the web view backend joins; other processes reach the browser with tessel-send.

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "browser/app/browser_app.h"
#include "platform/clock.h"
#include "platform/device_fs.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/headless/fake_web_view.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/json_line.h"
#include "platform/library_loader.h"
#include "platform/power_status.h"
#include "platform/registry.h"

namespace {

using namespace tessel;

struct Arguments {
    std::string deviceRoot;
    std::string commandLine;
    bool headless = false;
};

bool parseArguments(int argc, char** argv, Arguments& args) {
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--headless") {
            args.headless = true;
            continue;
        }
        if (arg == "--device-root" && i + 1 < argc) {
            args.deviceRoot = argv[++i];
        } else if (arg.starts_with("--")) {
            return false;
        } else {
            rest.push_back(arg);
        }
    }
    for (const auto& word : rest) args.commandLine += (args.commandLine.empty() ? "" : " ") + word;
    return true;
}

// The program folder as a device path: where the program lies inside the root, else the
// installation folder the terminal profiles use.
std::u16string programFolderOf(const platform::DeviceFs& fs) {
    std::string folder = fs.toDevice(platform::programFolder()).value_or("\\Program Files\\Tessel");
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return std::u16string(folder.begin(), folder.end());
}

std::mutex outputMutex;

void printLine(const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::cout << line << std::endl;
}

// The GTK window unless told --headless or there is no display; else the headless tree.
std::unique_ptr<platform::ui::Toolkit> makeToolkit(bool headless) {
    const char* named = std::getenv("TESSEL_SCREEN");
    const auto screen = platform::gtk::screenClass(named ? named : "").value_or(platform::ui::Rect{0, 0, 240, 320});
    if (!headless)
        if (auto toolkit = platform::gtk::openDisplayToolkit(screen)) return toolkit;
    auto toolkit = std::make_unique<platform::headless::HeadlessToolkit>(screen);
    toolkit->onMessageBox(
        [](const platform::ui::MessageBoxSpec& box) { printLine(platform::headless::messageBoxLine(box)); });
    return toolkit;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!parseArguments(argc, argv, args)) {
        std::cerr << "usage: browser [--headless] [--device-root DIR] [COMMAND-LINE]\n";
        return 2;
    }
    auto fs = platform::DeviceFs::fromEnvironment(args.deviceRoot);
    std::error_code ec;
    if (!fs || !std::filesystem::is_directory(fs->root(), ec)) {
        std::cerr << "browser: no device root (--device-root DIR or " << platform::kDeviceRootVariable
                  << ")\n";
        return 2;
    }
    fs = platform::DeviceFs(std::filesystem::absolute(fs->root()));
    ::setenv(platform::kDeviceRootVariable, fs->root().c_str(), 1);

    // The program's own folder holds the start page it writes.
    const std::u16string programFolder = programFolderOf(*fs);
    if (auto host = fs->toHost(std::string(programFolder.begin(), programFolder.end())))
        std::filesystem::create_directories(*host, ec);

    const auto toolkitOwner = makeToolkit(args.headless);
    platform::ui::Toolkit& toolkit = *toolkitOwner;
    platform::headless::FakeWebViewFactory webViews(
        toolkit,
        [](std::u16string_view) { return std::make_shared<platform::headless::JsonLineDocument>(printLine); },
        true);
    platform::SysfsPowerStatus power;
    app::ShellContext context{toolkit, webViews, platform::realClock(), power, *fs, programFolder};
    platform::DlLibraryLoader loader({platform::programFolder(), fs->root() / "Windows"}, *fs);
    platform::Registry registry(platform::Registry::fileOf(*fs));
    app::NoReaders readers;
    app::ShellHooks hooks;

    app::BrowserApp browser({context, loader, &registry, readers, hooks, nullptr, nullptr},
                            settings::BrowserOptions{}, args.commandLine);
    switch (browser.run()) {
        case app::BrowserApp::Outcome::Ended: return 0;
        case app::BrowserApp::Outcome::OtherInstanceRaised: return 0;
        case app::BrowserApp::Outcome::NoLibrary: return 1;
        case app::BrowserApp::Outcome::NoChannel:
            std::cerr << "browser: " << browser.channelError() << "\n";
            return 1;
    }
    return 1;
}
