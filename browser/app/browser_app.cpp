#include "browser/app/browser_app.h"

namespace tessel::app {

namespace ui = platform::ui;

namespace {

// The signal of the bound library; the K220 and K230 libraries have none.
class BoundSignal final : public SignalSource {
public:
    explicit BoundSignal(const reader::StatusBinding& binding) : binding_(binding) {}
    bool available() const override {
        return binding_.terminal() != reader::Terminal::K220 &&
               binding_.terminal() != reader::Terminal::K230;
    }
    std::optional<std::int32_t> signalDbm() const override { return binding_.signalDbm(); }

private:
    const reader::StatusBinding& binding_;
};

}  // namespace

BrowserApp::BrowserApp(AppParts parts, settings::BrowserOptions options, std::string commandLine)
    : parts_(parts), options_(std::move(options)), commandLine_(std::move(commandLine)) {}

BrowserApp::~BrowserApp() {
    if (server_) server_->stop();
    main_.reset();
}

BrowserApp::Outcome BrowserApp::run() {
    ui::Toolkit& toolkit = parts_.context.toolkit;
    platform::MessageServer::Opened opened{};
    server_ = platform::MessageServer::open(parts_.context.fs.root(), opened, channelError_);
    if (opened == platform::MessageServer::Opened::OtherRunning) {
        std::string error;
        platform::sendRequest(parts_.context.fs.root(), {platform::ChannelRequest::Kind::Raise, {}, 0, 0},
                              error);
        return Outcome::OtherInstanceRaised;
    }
    if (!server_) return Outcome::NoChannel;

    status_ = reader::StatusBinding::bind(parts_.loader);
    if (!status_) {
        toolkit.messageBox(nullptr, {u"Can't find XXXXXX_SYS.dll.", u"", ui::Buttons::Ok, ui::Icon::None});
        return Outcome::NoLibrary;
    }
    signal_ = std::make_unique<BoundSignal>(*status_);
    const bool kp30 = status_->terminal() == reader::Terminal::KP30;
    main_ = std::make_unique<MainDialog>(
        MainDialog::Parts{parts_.context, parts_.readers, parts_.hooks, *signal_, parts_.registry,
                          parts_.keyboard, parts_.external, kp30},
        options_);
    toolkit.post([this] {
        main_->create();
        main_->setNoHide(!commandLine_.empty() && commandLine_.front() == '1');
    });
    server_->start([this](const platform::ChannelRequest& request) { return answer(request); });
    toolkit.run();
    server_->stop();
    main_.reset();
    status_.reset();
    return Outcome::Ended;
}

std::string BrowserApp::answer(const platform::ChannelRequest& request) {
    ui::Toolkit& toolkit = parts_.context.toolkit;
    bool handled = false;
    const bool ran = toolkit.send([&] {
        ui::Window* window = main_ ? main_->window() : nullptr;
        if (!window) return;
        handled = true;
        if (request.kind == platform::ChannelRequest::Kind::Raise) {
            window->bringToFront();
            window->show(true);
        } else if (request.kind == platform::ChannelRequest::Kind::Close) {
            main_->onClose();
        } else {
            main_->onMessage(toolkit.registerMessage(request.name), request.wParam, request.lParam);
        }
    });
    return ran && handled ? "ok" : "error the browser is closing";
}

}  // namespace tessel::app
