#pragma once
// ScanHooks: the shell hooks that join scan delivery to the main window while no reader thread
// runs in the program: the page's document and the decode messages that other processes send
// reach a ScanBridge with no reader behind it (empty results, last errors 0, nothing typed).
// The bridge is built with the main window, whose options and page state it reads.
//
//   app::BrowserApp* running = nullptr;
//   app::ScanHooks hooks(context, [&] { return running->mainDialog(); });

#include <functional>
#include <memory>

#include "browser/app/main_dialog.h"
#include "browser/app/scan_bridge.h"

namespace tessel::app {

class NoScanResults final : public ScanResults {
  public:
    reader::ReaderType engineKind() const override { return reader::ReaderType::None; }
    reader::ScanResult lastBarcode() const override { return {}; }
    rfid::RfidTagResult lastTag() const override { return {}; }
    std::int32_t lastError(int) const override { return 0; }
    std::vector<std::uint8_t> lastImage() const override { return {}; }
};

class ScanHooks final : public ShellHooks {
  public:
    // context must outlive the hooks; main answers the main window once it is being created.
    ScanHooks(ShellContext& context, std::function<MainDialog*()> main);

    // Told of each page callback that failed in the page (ScanBridge::onInvokeFailure).
    void onInvokeFailure(ScanBridge::InvokeFailure report) { report_ = std::move(report); }

    void createPages(platform::ui::Window& mainWindow) override;
    void documentChanged(std::shared_ptr<platform::PageDocument> document) override;
    void readerMessage(Msg msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  private:
    ShellContext& context_;
    std::function<MainDialog*()> main_;
    ScanBridge::InvokeFailure report_;
    NoScanResults results_;
    platform::NoKeyboard keyboard_;
    bridge::KeyboardEmulation keys_{keyboard_, context_.clock};
    platform::Semaphore vibration_{0, 1, context_.clock};
    platform::Semaphore goodRead_{0, 1, context_.clock};
    std::shared_ptr<platform::PageDocument> document_;
    std::unique_ptr<ScanBridge> bridge_;
};

}  // namespace tessel::app
