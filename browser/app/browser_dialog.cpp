#include "browser/app/browser_dialog.h"

#include <filesystem>
#include <fstream>

#include "browser/settings/text8.h"

namespace tessel::app {

namespace ui = platform::ui;

namespace {

constexpr std::uint32_t kBatteryPollMs = 500;
constexpr std::uint32_t kFrameMs = 200;

}  // namespace

BrowserDialog::BrowserDialog(ShellContext& context, BrowserPageOwner& owner, ui::Window& parent,
                             const settings::BrowserOptions& options, ShellHooks& hooks,
                             platform::PageExternal* external)
    : context_(context),
      owner_(owner),
      options_(options),
      hooks_(hooks),
      external_(external),
      window_(context.toolkit.createWindow(*this, &parent)),
      icons_(*window_),
      wifiMessage_(context.toolkit.registerMessage("WM_WIFISTRENGTH")),
      batteryMessage_(context.toolkit.registerMessage("WM_BATTERYSTATE")),
      animationWake_(0, 1) {
    batteryThread_ = std::thread([this] { pollBattery(); });
    animationThread_ = std::thread([this] { animate(); });
}

BrowserDialog::~BrowserDialog() {
    stop_.stop();
    animationWake_.release();
    batteryThread_.join();
    animationThread_.join();
}

void BrowserDialog::init() {
    view_ = context_.webViews.create(*window_, kBrowserControl, *this);
    view_->setExternal(external_);
    view_->setContextMenu(false);
    view_->setBorder3d(false);
    std::uint32_t download = platform::kDownloadVideos | platform::kDownloadBackgroundSounds;
    if (options_.disablePictures == 0) download |= platform::kDownloadPictures;
    view_->setDownloadControl(download);

    ui::ControlSpec address{ui::ControlKind::ComboBox, kAddressBox, {}, {}, {}, {}};
    window_->addControl(address);
    icons_.create();
    icons_.show(IconRow::Battery, options_.showBattery ? std::optional<int>(2) : std::nullopt);
    icons_.show(IconRow::Wlan, options_.showWifiSignal ? std::optional<int>(1) : std::nullopt);

    if (auto host = context_.fs.toHost(settings::toEightBit(startPagePath()))) {
        std::ofstream out(*host, std::ios::binary | std::ios::trunc);
        out << kStartPageText;
    }
    navigate(startPagePath());
}

void BrowserDialog::place(const Layout& layout, const Screen& screen, bool fullScreen) {
    window_->setRect(layout.page);
    const PagePlaces places = pagePlaces(layout);
    view_->place(places.browser);
    window_->moveControl(kAddressBox, places.addressBox);
    window_->showControl(kAddressBox, layout.stripShown);
    icons_.place(screen, fullScreen, layout);
}

bool BrowserDialog::localFileOpens(std::u16string_view path) const {
    auto host = context_.fs.toHost(settings::toEightBit(path));
    if (!host || std::filesystem::is_directory(*host)) return false;
    std::ifstream in(*host, std::ios::binary);
    return in.is_open();
}

void BrowserDialog::navigate(std::u16string_view address) {
    if (!address.empty() && address.front() == u'\\' && !localFileOpens(address)) {
        context_.toolkit.messageBox(window_.get(), {kBadNetworkPath, u"Window CE Networking",
                                                    ui::Buttons::Ok, ui::Icon::Exclamation});
        return;
    }
    view_->navigate(address);
}

void BrowserDialog::addAddress(std::u16string_view address, bool select) {
    window_->comboAdd(kAddressBox, address);
    if (select) window_->comboSelect(kAddressBox, window_->comboEntries(kAddressBox).size() - 1);
}

void BrowserDialog::addressEntered() {
    if (auto selected = window_->comboSelection(kAddressBox)) {
        navigate(window_->comboEntries(kAddressBox)[*selected]);
        return;
    }
    const std::u16string typed = window_->text(kAddressBox);
    if (window_->comboEntries(kAddressBox).size() >= kAddressListLimit)
        window_->comboRemove(kAddressBox, 0);
    window_->comboAdd(kAddressBox, typed);
    navigate(typed);
}

void BrowserDialog::onCommand(int id, ui::Notify notify) {
    if (id == kAddressBox && notify == ui::Notify::SelectionChanged) {
        if (auto selected = window_->comboSelection(kAddressBox))
            navigate(window_->comboEntries(kAddressBox)[*selected]);
    } else if (id == kAddressBox && notify == ui::Notify::EnterKey) {
        addressEntered();
    } else if (id == ui::kIdOk) {
        owner_.pageOk();
    }
}

void BrowserDialog::onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == wifiMessage_) icons_.show(IconRow::Wlan, wifiIcon(wParam));
    if (message == batteryMessage_) icons_.show(IconRow::Battery, batteryIcon(mains_.load(), lParam));
}

void BrowserDialog::beforeNavigate(std::u16string_view url) {
    window_->setText(kAddressBox, url);
    loading_ = true;
    animationWake_.release();
}

void BrowserDialog::documentComplete(std::u16string_view url) {
    hooks_.documentChanged(view_->document());
    if (auto host = context_.fs.toHost(settings::toEightBit(startPagePath()))) {
        std::error_code ec;
        std::filesystem::remove(*host, ec);
    }
    loading_ = false;
    window_->setText(kAddressBox, url);
}

void BrowserDialog::navigateError(std::u16string_view) { loading_ = false; }

void BrowserDialog::commandStateChange(int command, bool enabled) {
    owner_.historyStateChanged(command, enabled);
}

// ---- threads ----

void BrowserDialog::onWindowThread(std::function<void()> task) {
    std::weak_ptr<bool> alive = alive_;
    context_.toolkit.post([alive, task = std::move(task)] {
        if (!alive.expired()) task();
    });
}

void BrowserDialog::pollBattery() {
    do {
        mains_ = context_.power.acLineStatus();
    } while (stop_.pause(context_.clock, kBatteryPollMs));
}

void BrowserDialog::animate() {
    while (!stop_.stopped()) {
        if (!loading_) {
            onWindowThread([this] { icons_.show(IconRow::Earth, std::nullopt); });
            animationWake_.wait(platform::kInfinite);
            if (stop_.stopped()) return;
            onWindowThread([this, frame = frame_] { icons_.show(IconRow::Earth, frame); });
            continue;
        }
        frame_ = (frame_ + 1) % kEarthFrames;
        onWindowThread([this, frame = frame_] { icons_.show(IconRow::Earth, frame); });
        if (!stop_.pause(context_.clock, kFrameMs)) return;
    }
}

}  // namespace tessel::app
