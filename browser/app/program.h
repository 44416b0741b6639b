#pragma once
// Program: everything the browser program joins to its shell. The readers of ports 1 and 2 with
// their threads and trigger keys, settings persistence, the reader and symbology pages with their
// option dialogs, scan delivery to the page, and the device object the page reaches as
// window.external. It is the shell's one ShellHooks and its ReaderAccess.
//
//   BrowserApp* running = nullptr;
//   Program program({context, ports, registry, loader, sounds, keyboard, modulePath,
//                    [&] { return running->mainDialog(); }, ...});
//   BrowserApp app({context, loader, &registry, program.readers(), program, &keyboard,
//                   &program.external()}, {}, commandLine);
//   running = &app;
//   app.run();

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "browser/app/decode_sink.h"
#include "browser/app/device_host.h"
#include "browser/app/main_dialog.h"
#include "browser/app/program_readers.h"
#include "browser/app/scan_bridge.h"
#include "browser/app/settings_hooks.h"
#include "browser/app/settings_shell.h"
#include "browser/bridge/device_script_object.h"
#include "browser/bridge/dispatch_external.h"
#include "browser/bridge/keyboard_emulation.h"
#include "browser/settings/barcode_setting_dialog.h"
#include "browser/settings/option_dialog.h"
#include "browser/settings/shell_control.h"

namespace tessel::app {

struct ProgramParts {
    ShellContext& context;
    platform::SerialPortOpener& ports;  // "COM1:" and "COM2:"
    platform::Registry& registry;
    platform::LibraryLoader& loader;
    platform::SoundPlayer& sounds;
    platform::Keyboard& keyboard;
    std::u16string modulePath;  // the program file's device path
    std::function<MainDialog*()> mainDialog;
    std::function<const reader::StatusBinding*()> status;
    std::function<std::optional<std::string>()> deviceInfo;
    bridge::KeyboardEmulation::Typed typed = {};  // told of each text keyboard emulation types
};

// The symbology list, made once the engine kind is known (when the main window builds its
// pages), with its option dialog in symbology mode.
class SymbologyList final : public settings::SymbologyPage {
public:
    struct Parts {
        platform::ui::Toolkit& toolkit;
        reader::ReaderManager& manager;
        settings::IniStore& store;
        std::function<MainDialog*()> mainDialog;
    };
    explicit SymbologyList(Parts parts) : parts_(std::move(parts)) {}
    ~SymbologyList() override;

    void create(platform::ui::Window& mainWindow) override;
    void show(bool visible) override;
    void destroy() override;
    void setRowsEnabled(bool enabled) override;
    void refreshAfterReset() override;

private:
    Parts parts_;
    std::optional<settings::SymbologyContext> context_;
    std::unique_ptr<settings::SymbologyOptionPages> pages_;
    std::unique_ptr<settings::COptionDialog> dialog_;
    std::unique_ptr<settings::BarcodeSettingDialog> list_;
};

class Program final : public ShellHooks,
                      private DecodeSink,
                      private CaptureProgress,
                      private settings::ReadingControl {
public:
    explicit Program(ProgramParts parts);
    ~Program() override;

    ReaderAccess& readers() { return readers_.access(); }
    platform::PageExternal& external() { return external_; }
    // Told of each page callback that failed in the page.
    void onInvokeFailure(ScanBridge::InvokeFailure report) { invokeFailure_ = std::move(report); }

    // ShellHooks
    void createPages(platform::ui::Window& mainWindow) override;
    void showSymbologyPage(bool visible) override { pages_.showSymbologyPage(visible); }
    void showReaderPage(bool visible) override { pages_.showReaderPage(visible); }
    void setBarcodeCheck(bool checked) override { pages_.setBarcodeCheck(checked); }
    void setRfidCheck(bool checked) override { pages_.setRfidCheck(checked); }
    void enableRfidReaderButton(bool enabled) override;
    void destroyPages() override;
    void openBrowserSettings() override { pages_.openBrowserSettings(); }
    void openAbout() override { pages_.openAbout(); }
    void documentChanged(std::shared_ptr<platform::PageDocument> document) override;
    std::optional<std::u16string> exportSettings() override { return settings_.exportSettings(); }
    void readerMessage(Msg msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        readers_.hooks().readerMessage(msg, wParam, lParam);
    }

private:
    // DecodeSink: results go to scan delivery once the main window has built its pages.
    void onDecode(std::uintptr_t wParam) override;
    void onDecodeError(std::uintptr_t wParam) override;
    void onDecodeImage() override;

    // CaptureProgress: the main window's progress window, while there is one.
    ProgressDialog* progressDialog() const;
    void show() override;
    void hide() override;
    void setRange(int low, int high) override;
    void setPosition(int position) override;

    // ReadingControl: the reader threads, as the barcode reader page changes them.
    void setDecodeWaitSeconds(int seconds) override;
    void releaseTriggerWaits() override;
    void awaitTriggerIdle(std::uint32_t ms) override;

    void showResult(std::u16string_view text);
    ReaderThreads& threads() { return readers_.readers().threads(); }

    ProgramParts parts_;
    ProgramReaders readers_;
    SettingsShell settings_;
    SymbologyList symbologies_;
    SettingsHooks pages_;
    ManagerScanResults results_;
    bridge::KeyboardEmulation keys_;
    // The good-read semaphores when no reader started the workers: nobody waits on them.
    platform::Semaphore idleVibration_;
    platform::Semaphore idleGoodRead_;
    ScanBridge::InvokeFailure invokeFailure_;
    std::shared_ptr<platform::PageDocument> document_;
    std::unique_ptr<ScanBridge> bridge_;
    DeviceHost host_;
    bridge::DeviceScriptObject device_;
    bridge::DispatchExternal external_;
};

}  // namespace tessel::app
