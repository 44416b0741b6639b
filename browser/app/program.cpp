#include "browser/app/program.h"

#include "browser/settings/dialog_layout.h"

namespace tessel::app {

namespace ui = platform::ui;

// ---- the symbology list ----

SymbologyList::~SymbologyList() { destroy(); }

void SymbologyList::create(ui::Window& mainWindow) {
    MainDialog& main = *parts_.mainDialog();
    const settings::DialogScreen screen{main.screen().sizeClass, main.screen().kp30};
    context_.emplace(settings::SymbologyContext{
        parts_.manager.symbology(), parts_.store, main.options(),
        static_cast<int>(parts_.manager.scannerType(1)), screen.scale});
    pages_ = std::make_unique<settings::SymbologyOptionPages>(*context_);
    dialog_ = std::make_unique<settings::COptionDialog>(
        parts_.toolkit, *pages_, settings::COptionDialog::kSymbologyPages, screen);
    list_ = std::make_unique<settings::BarcodeSettingDialog>(settings::BarcodeSettingParts{
        parts_.toolkit, *context_, screen.kp30, settings::pageRect(screen),
        [this](int page) {
            dialog_->setPage(page);
            dialog_->doModal();
        },
        // The main window keeps no image capture control of its own to show or hide.
        [](bool) {}});
    list_->create(mainWindow);
}

void SymbologyList::show(bool visible) {
    if (list_) list_->show(visible);
}

void SymbologyList::destroy() {
    if (list_) list_->destroy();
    list_.reset();
    dialog_.reset();
    pages_.reset();
}

void SymbologyList::setRowsEnabled(bool enabled) {
    if (list_) list_->setRowsEnabled(enabled);
}

void SymbologyList::refreshAfterReset() {
    if (list_) list_->refreshAfterReset();
}

// ---- the program ----

Program::Program(ProgramParts parts)
    : parts_(std::move(parts)),
      readers_({parts_.ports, parts_.context.clock, parts_.registry, parts_.loader,
                parts_.context.toolkit, parts_.sounds,
                [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                    if (MainDialog* main = parts_.mainDialog()) main->onMessage(message, wParam, lParam);
                },
                [this]() -> const settings::BrowserOptions& { return parts_.mainDialog()->options(); },
                *this, [this](std::u16string_view text) { showResult(text); },
                [this](ManagerReaders&) { settings_.startUpProcedure()(); }, this}),
      settings_({readers_.readers().manager(), &readers_.readers().rfid(), parts_.context.fs,
                 parts_.modulePath,
                 [this]() -> settings::BrowserOptions& { return parts_.mainDialog()->options(); },
                 [this] { readers_.readers().startThreads(); }}),
      symbologies_({parts_.context.toolkit, readers_.readers().manager(), settings_.store(),
                    parts_.mainDialog}),
      pages_({parts_.context.toolkit, settings_.store(), readers_.readers().manager(), symbologies_,
              *this}),
      results_(readers_.readers()),
      keys_(parts_.keyboard, parts_.context.clock, parts_.typed),
      idleVibration_(0, 1, parts_.context.clock),
      idleGoodRead_(0, 1, parts_.context.clock),
      host_({readers_.access(), *this, parts_.mainDialog, readers_.readers().notifier(), parts_.sounds,
             parts_.status, parts_.deviceInfo}),
      device_(host_),
      external_(device_) {}

Program::~Program() { bridge_.reset(); }

void Program::createPages(ui::Window& mainWindow) {
    MainDialog& main = *parts_.mainDialog();
    pages_.attach(main);
    pages_.createPages(mainWindow);
    ReaderThreads& t = threads();
    bridge_ = std::make_unique<ScanBridge>(ScanBridge::Parts{
        results_, main.options(), [&main] { return main.pageState(); }, keys_,
        t.vibration() ? *t.vibration() : idleVibration_, t.goodRead() ? *t.goodRead() : idleGoodRead_,
        [this](std::u16string_view text) { showResult(text); },
        [&main](std::u16string_view path) { main.browserPage()->navigate(path); }, parts_.context.fs,
        parts_.context.programFolder});
    if (invokeFailure_) bridge_->onInvokeFailure(invokeFailure_);
    bridge_->documentChanged(document_);
}

void Program::enableRfidReaderButton(bool enabled) {
    if (settings::ScannerSettingDialog* page = pages_.readerPage()) page->enableRfidButton(enabled);
}

void Program::destroyPages() {
    bridge_.reset();
    pages_.destroyPages();
}

void Program::documentChanged(std::shared_ptr<platform::PageDocument> document) {
    document_ = document;
    if (bridge_) bridge_->documentChanged(std::move(document));
}

void Program::onDecode(std::uintptr_t wParam) {
    if (bridge_) bridge_->onDecode(wParam);
}

void Program::onDecodeError(std::uintptr_t wParam) {
    if (bridge_) bridge_->onDecodeError(wParam);
}

void Program::onDecodeImage() {
    if (bridge_) bridge_->onDecodeImage();
}

ProgressDialog* Program::progressDialog() const {
    MainDialog* main = parts_.mainDialog();
    return main ? main->progressDialog() : nullptr;
}

void Program::show() {
    if (ProgressDialog* dialog = progressDialog()) dialog->show(true);
}

void Program::hide() {
    if (ProgressDialog* dialog = progressDialog()) dialog->show(false);
}

void Program::setRange(int low, int high) {
    if (ProgressDialog* dialog = progressDialog()) dialog->setRange(low, high);
}

void Program::setPosition(int position) {
    if (ProgressDialog* dialog = progressDialog()) dialog->setPosition(position);
}

void Program::setDecodeWaitSeconds(int seconds) {
    if (seconds > 0) threads().setDecodeTimeoutMs(static_cast<std::uint32_t>(seconds) * 1000);
}

void Program::releaseTriggerWaits() { threads().startContinuous(); }

void Program::awaitTriggerIdle(std::uint32_t ms) { threads().stopContinuous(ms); }

void Program::showResult(std::u16string_view text) {
    if (settings::ScannerSettingDialog* page = pages_.readerPage()) page->setResult(text);
}

}  // namespace tessel::app
