#pragma once
// ScanBridge: what the main window does on the window thread with the reader messages that carry
// results. A barcode or tag is taken from the reader, typed when keyboard emulation is on, wakes
// the good-read workers, shows in the reader page's result box and goes to the page's callback;
// an image is saved under the program folder's "images" folder, shown, and its path goes to the
// page; a decode error goes to the page with the port's last error.
//
//   ScanBridge bridge({results, main.options(), [&] { return main.pageState(); }, keys,
//                      workers.vibration(), workers.goodRead(), showInResultBox,
//                      [&](auto path) { main.browserPage()->navigate(path); }, fs, folder});
//   bridge.documentChanged(view.document());   // on every completed page, null at quit
//   bridge.onDecode(1);                          // "WM_DECODE" from the single-shot thread
//
// The semaphores and the threads that post the messages belong to the reader threads; the
// bridge only releases the semaphores.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/app/decode_sink.h"
#include "browser/app/manager_readers.h"
#include "browser/app/registered_messages.h"
#include "browser/bridge/delivery_runner.h"
#include "browser/bridge/keyboard_emulation.h"
#include "browser/bridge/scan_delivery.h"
#include "browser/bridge/script_invoker.h"
#include "browser/reader/reader_manager.h"
#include "browser/rfid/tag_types.h"
#include "browser/settings/browser_options.h"
#include "platform/device_fs.h"
#include "platform/page_script.h"
#include "platform/semaphore.h"

namespace tessel::app {

// Where the window thread finds what the reader threads left behind.
class ScanResults {
  public:
    virtual ~ScanResults() = default;
    // The kind of scan engine on port 1.
    virtual reader::ReaderType engineKind() const = 0;
    // The last barcode of port 1 and the last tag of port 2.
    virtual reader::ScanResult lastBarcode() const = 0;
    virtual rfid::RfidTagResult lastTag() const = 0;
    // The last error of port 1 or 2.
    virtual std::int32_t lastError(int port) const = 0;
    // The bytes of the last captured picture.
    virtual std::vector<std::uint8_t> lastImage() const = 0;
};

// The results as the reader threads of readers leave them: the reader manager's last barcode
// and errors, the RFID reader's last tag, the last captured picture.
class ManagerScanResults final : public ScanResults {
  public:
    // readers must outlive the object.
    explicit ManagerScanResults(ManagerReaders& readers) : readers_(readers) {}

    reader::ReaderType engineKind() const override { return readers_.barcodeKind(); }
    reader::ScanResult lastBarcode() const override { return readers_.manager().lastResult(); }
    rfid::RfidTagResult lastTag() const override;
    std::int32_t lastError(int port) const override { return readers_.manager().lastError(port); }
    std::vector<std::uint8_t> lastImage() const override { return readers_.lastImage(); }

  private:
    ManagerReaders& readers_;
};

// The local time of the terminal, for the names of saved images.
bridge::LocalTime currentLocalTime();

class ScanBridge final : public DecodeSink {
  public:
    using ResultBox = std::function<void(std::u16string_view)>;
    using Navigate = std::function<void(std::u16string_view)>;
    // A page callback that failed in the page, with the invoker's failure text.
    using InvokeFailure =
        std::function<void(std::u16string_view function, std::u16string_view text)>;

    // Every reference must outlive the bridge.
    struct Parts {
        const ScanResults& results;
        const settings::BrowserOptions& options;
        std::function<int()> pageState;  // negative while the reader settings page is shown
        bridge::KeyboardEmulation& keys;
        platform::Semaphore& vibration;
        platform::Semaphore& goodRead;
        ResultBox resultBox;
        Navigate navigate;  // opens a local file in the browser page
        const platform::DeviceFs& fs;
        std::u16string programFolder;  // a device path ending in "\"
        std::function<bridge::LocalTime()> localTime = currentLocalTime;
    };

    explicit ScanBridge(Parts parts);

    // DecodeSink
    void onDecode(std::uintptr_t wParam) override;
    void onDecodeError(std::uintptr_t wParam) override;
    void onDecodeImage() override;

    // The page the callbacks go to; null releases it.
    void documentChanged(std::shared_ptr<platform::PageDocument> document);
    // Told of each callback the page itself failed (threw or refused); nothing tells a missing
    // function or page.
    void onInvokeFailure(InvokeFailure report) { invokeFailure_ = std::move(report); }

    const bridge::ScriptInvoker& invoker() const { return invoker_; }

  private:
    void run(bridge::Delivery delivery);

    Parts parts_;
    bridge::ScriptInvoker invoker_;
    bridge::DeliveryRunner runner_;
    InvokeFailure invokeFailure_;
    platform::PageCall::Outcome lastOutcome_ = platform::PageCall::Outcome::Missing;
};

// Hands a reader message to sink; false for messages that are not "WM_DECODE",
// "WM_DECODEERROR" or "WM_DECODE_IMG".
bool routeDecodeMessage(DecodeSink& sink, Msg msg, std::uintptr_t wParam);

}  // namespace tessel::app
