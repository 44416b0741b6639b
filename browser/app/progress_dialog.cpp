#include "browser/app/progress_dialog.h"

#include <algorithm>

namespace tessel::app {

namespace ui = platform::ui;

ProgressDialog::ProgressDialog(ui::Toolkit& toolkit) : toolkit_(toolkit) {}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::create() {
    window_ = toolkit_.createWindow(*this, nullptr);
    window_->setCaption(u"Download Progress");
    window_->setRect({40, 70, 150, 70});
    window_->setTopmost(true);
    ui::ControlSpec bar{ui::ControlKind::Progress, kProgressBar, {10, 12, 130, 20}, {}, {}, {}};
    bar.style.border = true;
    window_->addControl(bar);
    window_->setCaption(kProgressCaption);
    window_->show(false);
}

void ProgressDialog::onWindow(std::function<void(ui::Window&)> change) {
    std::weak_ptr<bool> alive = alive_;
    toolkit_.post([this, alive, change = std::move(change)] {
        if (!alive.expired() && window_) change(*window_);
    });
}

void ProgressDialog::show(bool visible) {
    onWindow([visible](ui::Window& w) { w.show(visible); });
}

void ProgressDialog::setRange(int low, int high) {
    onWindow([this, low, high](ui::Window&) {
        low_ = low;
        high_ = high > low ? high : low + 1;
    });
}

void ProgressDialog::setPosition(int position) {
    onWindow([this, position](ui::Window& w) {
        const int percent = (std::clamp(position, low_, high_) - low_) * 100 / (high_ - low_);
        w.setProgress(kProgressBar, percent);
    });
}

}  // namespace tessel::app
