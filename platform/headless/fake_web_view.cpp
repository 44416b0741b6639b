#include "platform/headless/fake_web_view.h"

namespace tessel::platform::headless {

PageCall FakeDocument::call(std::u16string_view name, std::span<const std::u16string> args) {
    calls_.push_back({std::u16string(name), {args.begin(), args.end()}});
    auto it = functions_.find(name);
    if (it == functions_.end()) return PageCall{PageCall::Outcome::Missing, {}, 0};
    return it->second(args);
}

FakeWebView::FakeWebView(ui::Toolkit& toolkit, ui::Window& host, int controlId,
                         WebViewEvents& events, DocumentMaker maker, bool autoComplete)
    : toolkit_(toolkit),
      host_(host),
      controlId_(controlId),
      events_(events),
      maker_(std::move(maker)),
      autoComplete_(autoComplete) {
    host_.addControl({ui::ControlKind::Browser, controlId_, {}, {}, {}, {}});
}

void FakeWebView::navigate(std::u16string_view url) { start(std::u16string(url), std::nullopt); }

void FakeWebView::refresh() {
    ++refreshes_;
    if (!history_.empty()) start(history_[current_], current_);
}

bool FakeWebView::historyGo(int step) {
    if (!document_ || history_.empty()) return false;
    const long target = static_cast<long>(current_) + step;
    // Out of the history's range the step does nothing, as a script's history.go does.
    if (step == 0 || target < 0 || target >= static_cast<long>(history_.size())) return true;
    start(history_[static_cast<std::size_t>(target)], static_cast<std::size_t>(target));
    return true;
}

void FakeWebView::start(std::u16string url, std::optional<std::size_t> historyIndex) {
    navigations_.push_back(url);
    pending_ = url;
    pendingIndex_ = historyIndex;
    events_.beforeNavigate(url);
    if (!autoComplete_) return;
    std::weak_ptr<bool> alive = alive_;
    toolkit_.post([this, alive] {
        if (alive.expired() || !pending_) return;
        if (failing_.count(*pending_))
            fail();
        else
            complete();
    });
}

void FakeWebView::complete() {
    if (!pending_) return;
    std::u16string url = std::move(*pending_);
    pending_.reset();
    if (pendingIndex_) {
        current_ = *pendingIndex_;
    } else {
        if (!history_.empty()) history_.resize(current_ + 1);
        history_.push_back(url);
        current_ = history_.size() - 1;
    }
    document_ = maker_ ? maker_(url) : std::make_shared<FakeDocument>(url);
    reportCommandState();
    events_.documentComplete(url);
}

void FakeWebView::fail() {
    if (!pending_) return;
    std::u16string url = std::move(*pending_);
    pending_.reset();
    events_.navigateError(url);
}

void FakeWebView::reportCommandState() {
    events_.commandStateChange(1, current_ + 1 < history_.size());
    events_.commandStateChange(2, current_ > 0);
}

void FakeWebView::place(ui::Rect rect) { host_.moveControl(controlId_, rect); }

ui::Rect FakeWebView::rect() const { return host_.controlRect(controlId_); }

void FakeWebView::setFocus() { host_.setFocus(controlId_); }

std::unique_ptr<WebView> FakeWebViewFactory::create(ui::Window& host, int controlId,
                                                    WebViewEvents& events) {
    auto view = std::make_unique<FakeWebView>(toolkit_, host, controlId, events, maker_, autoComplete_);
    last_ = view.get();
    return view;
}

}  // namespace tessel::platform::headless
