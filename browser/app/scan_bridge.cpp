#include "browser/app/scan_bridge.h"

#include <ctime>
#include <utility>

#include "browser/bridge/image_store.h"
#include "browser/settings/text8.h"

namespace tessel::app {

namespace {

using Outcome = platform::PageCall::Outcome;

// The page as the invoker sees it, noting how its last call ended, so that a failure in the
// page can be told apart from a missing function.
class WatchedDocument final : public platform::PageDocument {
  public:
    WatchedDocument(std::shared_ptr<platform::PageDocument> page, Outcome& last)
        : page_(std::move(page)), last_(last) {}
    platform::PageCall call(std::u16string_view name,
                            std::span<const std::u16string> args) override {
        platform::PageCall result = page_->call(name, args);
        last_ = result.outcome;
        return result;
    }

  private:
    std::shared_ptr<platform::PageDocument> page_;
    Outcome& last_;
};

}  // namespace

rfid::RfidTagResult ManagerScanResults::lastTag() const {
    const rfid::RfidReader* reader = readers_.rfid().reader();
    return reader ? reader->tag : rfid::RfidTagResult{};
}

bridge::LocalTime currentLocalTime() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);  // the window thread alone asks
    if (!local) return {};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
            local->tm_hour,        local->tm_min,     local->tm_sec};
}

ScanBridge::ScanBridge(Parts parts)
    : parts_(std::move(parts)),
      runner_(parts_.keys, parts_.vibration, parts_.goodRead, parts_.resultBox, invoker_) {}

void ScanBridge::onDecode(std::uintptr_t wParam) {
    if (wParam == bridge::kBarcodePort) {
        const reader::ScanResult last = parts_.results.lastBarcode();
        const bridge::BarcodeScan scan{parts_.results.engineKind(), last.codeType,
                                       last.codeTypeName, last.data};
        run(bridge::deliverBarcode(scan, parts_.options, parts_.pageState()));
    } else if (wParam == bridge::kRfidPort) {
        run(bridge::deliverTag(parts_.results.lastTag(), parts_.options, parts_.pageState()));
    }
}

void ScanBridge::onDecodeError(std::uintptr_t wParam) {
    if (wParam != bridge::kBarcodePort && wParam != bridge::kRfidPort) return;
    const int port = static_cast<int>(wParam);
    if (auto delivery = bridge::deliverScanError(port, parts_.results.lastError(port)))
        run(std::move(*delivery));
}

// The picture is written first; when that fails the page hears nothing. The page then shows
// the picture, and its callback gets the file's device path.
void ScanBridge::onDecodeImage() {
    const std::vector<std::uint8_t> picture = parts_.results.lastImage();
    const std::string folder = settings::toEightBit(parts_.programFolder);
    const auto path = bridge::saveScanImage(parts_.fs, folder, parts_.localTime(), picture,
                                            parts_.options.imageFileFormat);
    if (!path) return;
    const std::u16string devicePath = settings::fromEightBit(*path);
    parts_.navigate(devicePath);
    run(bridge::deliverImage(devicePath));
}

void ScanBridge::documentChanged(std::shared_ptr<platform::PageDocument> document) {
    if (!document) {
        invoker_.setDocument(nullptr);
        return;
    }
    invoker_.setDocument(std::make_shared<WatchedDocument>(std::move(document), lastOutcome_));
}

void ScanBridge::run(bridge::Delivery delivery) {
    const std::u16string function = delivery.function;
    lastOutcome_ = Outcome::Missing;
    runner_.run(std::move(delivery));
    const bool failed = lastOutcome_ == Outcome::Threw || lastOutcome_ == Outcome::Failed;
    if (failed && invokeFailure_) invokeFailure_(function, invoker_.failureText());
}

bool routeDecodeMessage(DecodeSink& sink, Msg msg, std::uintptr_t wParam) {
    switch (msg) {
        case Msg::Decode:
            sink.onDecode(wParam);
            return true;
        case Msg::DecodeError:
            sink.onDecodeError(wParam);
            return true;
        case Msg::DecodeImg:
            sink.onDecodeImage();
            return true;
        default:
            return false;
    }
}

}  // namespace tessel::app
