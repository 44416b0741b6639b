#include "browser/app/scan_hooks.h"

namespace tessel::app {

ScanHooks::ScanHooks(ShellContext& context, std::function<MainDialog*()> main)
    : context_(context), main_(std::move(main)) {}

void ScanHooks::createPages(platform::ui::Window&) {
    MainDialog& main = *main_();
    bridge_ = std::make_unique<ScanBridge>(
        ScanBridge::Parts{results_, main.options(), [&main] { return main.pageState(); }, keys_,
                          vibration_, goodRead_, [](std::u16string_view) {},
                          [&main](std::u16string_view path) { main.browserPage()->navigate(path); },
                          context_.fs, context_.programFolder});
    if (report_) bridge_->onInvokeFailure(report_);
    bridge_->documentChanged(document_);
}

void ScanHooks::documentChanged(std::shared_ptr<platform::PageDocument> document) {
    document_ = document;
    if (bridge_) bridge_->documentChanged(std::move(document));
}

void ScanHooks::readerMessage(Msg msg, std::uintptr_t wParam, std::intptr_t) {
    if (bridge_) routeDecodeMessage(*bridge_, msg, wParam);
}

}  // namespace tessel::app
