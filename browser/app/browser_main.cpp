// browser [--headless] [--device-root DIR] [--page FILE] [COMMAND-LINE]
//
// The kiosk browser on a device root (--device-root, else TESSEL_DEVICE_ROOT). With a display and
// without --headless it opens a GTK window with a WebKit page at the screen class of
// TESSEL_SCREEN ("240x320", the default, "240x384" or "480x640"). Otherwise it runs on the
// headless toolkit and document: every page callback and message box is written to standard
// output as a JSON line. Other processes reach the browser with tessel-send. --page names a
// page file (platform/headless/page_file.h) for the headless document: which page functions
// exist and which throw or fail; without it every function exists and returns.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "browser/app/browser_app.h"
#include "browser/app/program.h"
#include "platform/clock.h"
#include "platform/device_fs.h"
#include "platform/gtk/gtk_backend.h"
#include "platform/gtk/gtk_toolkit.h"
#include "platform/headless/fake_web_view.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/json_line.h"
#include "platform/library_loader.h"
#include "platform/power_status.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "platform/sound_player.h"
#include "platform/webkit/webkit_web_view.h"

namespace {

using namespace tessel;

struct Arguments {
    std::string deviceRoot;
    std::string commandLine;
    std::string pageFile;
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
        } else if (arg == "--page" && i + 1 < argc) {
            args.pageFile = argv[++i];
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

// The page file's functions; nullopt without --page. False when the file is unusable.
bool readPageFile(const std::string& file, std::optional<platform::headless::PageFunctions>& page) {
    if (file.empty()) return true;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "browser: cannot read the page file " << file << "\n";
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::string error;
    page = platform::headless::parsePageFile(text, error);
    if (!page) std::cerr << "browser: " << file << ": " << error << "\n";
    return page.has_value();
}

// The machine's own serial number, where the system makes it readable.
std::optional<std::string> hostDeviceInfo() {
    std::ifstream in("/sys/class/dmi/id/product_serial");
    std::string serial;
    if (!in || !std::getline(in, serial) || serial.empty()) return std::nullopt;
    return serial;
}

// The window, the web view and the keyboard the program runs with.
struct Display {
    std::unique_ptr<platform::ui::Toolkit> toolkit;
    std::unique_ptr<platform::WebViewFactory> webViews;
    platform::Keyboard* keyboard = nullptr;
};

// A GTK window with a WebKit page unless told --headless or there is no display; else the
// headless tree and a document that prints every callback.
Display openDisplay(bool headless, const platform::DeviceFs& fs,
                    const std::optional<platform::headless::PageFunctions>& page) {
    const char* named = std::getenv("TESSEL_SCREEN");
    const auto screen = platform::gtk::screenClass(named ? named : "").value_or(platform::ui::Rect{0, 0, 240, 320});
    Display display;
    if (!headless) display.toolkit = platform::gtk::openDisplayToolkit(screen);
    if (display.toolkit) {
        auto webViews = std::make_unique<platform::webkit::WebKitWebViewFactory>(
            platform::gtk::controlWidget,
            platform::webkit::WebKitViewOptions{platform::webkit::builtExtensionDir(), fs});
        display.keyboard = &webViews->keyboard();
        display.webViews = std::move(webViews);
        return display;
    }
    auto toolkit = std::make_unique<platform::headless::HeadlessToolkit>(screen);
    toolkit->onMessageBox(
        [](const platform::ui::MessageBoxSpec& box) { printLine(platform::headless::messageBoxLine(box)); });
    display.webViews = std::make_unique<platform::headless::FakeWebViewFactory>(
        *toolkit,
        [page](std::u16string_view url) {
            printLine(platform::headless::documentLine(url));
            return std::make_shared<platform::headless::JsonLineDocument>(printLine, page);
        },
        true);
    display.toolkit = std::move(toolkit);
    return display;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!parseArguments(argc, argv, args)) {
        std::cerr << "usage: browser [--headless] [--device-root DIR] [--page FILE] "
                     "[COMMAND-LINE]\n";
        return 2;
    }
    std::optional<platform::headless::PageFunctions> page;
    if (!readPageFile(args.pageFile, page)) return 2;
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

    Display display = openDisplay(args.headless, *fs, page);
    platform::ui::Toolkit& toolkit = *display.toolkit;
    platform::NoKeyboard noKeyboard;
    platform::Keyboard& keyboard = display.keyboard ? *display.keyboard : noKeyboard;
    const char* sysRoot = std::getenv(platform::kSysRootVariable);
    platform::SysfsPowerStatus power(sysRoot && *sysRoot ? sysRoot : "/sys");
    app::ShellContext context{toolkit, *display.webViews, platform::realClock(), power, *fs, programFolder};
    platform::DlLibraryLoader loader({platform::programFolder(), fs->root() / "Windows"}, *fs);
    platform::Registry registry(platform::Registry::fileOf(*fs));
    platform::PortMapOpener ports(registry, fs->root());
    platform::HostSoundPlayer sounds(*fs);
    // Headless, no window takes the keys: the text keyboard emulation types is printed instead.
    bridge::KeyboardEmulation::Typed typed;
    if (!display.keyboard)
        typed = [](std::u16string_view text) { printLine(platform::headless::typedLine(text)); };
    app::BrowserApp* running = nullptr;
    app::Program program({context, ports, registry, loader, sounds, keyboard, programFolder + u"browser",
                          [&running] { return running ? running->mainDialog() : nullptr; },
                          [&running] { return running ? running->statusBinding() : nullptr; },
                          hostDeviceInfo, typed});
    program.onInvokeFailure([](std::u16string_view function, std::u16string_view text) {
        printLine(platform::headless::invokeFailureLine(function, text));
    });

    app::BrowserApp browser({context, loader, &registry, program.readers(), program, &keyboard,
                             &program.external()},
                            settings::BrowserOptions{}, args.commandLine);
    running = &browser;
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
