#include "browser/settings/option_dialog.h"

namespace tessel::settings {

namespace ui = platform::ui;

namespace {

constexpr ui::Rect kOkButton{60, kDialogButtonsTop, 55, 20};
constexpr ui::Rect kCancelButton{125, kDialogButtonsTop, 55, 20};

}  // namespace

COptionDialog::COptionDialog(ui::Toolkit& toolkit, OptionPages& pages, int mode, DialogScreen screen)
    : toolkit_(toolkit), pages_(pages), mode_(mode), screen_(screen) {}

COptionDialog::~COptionDialog() = default;

bool COptionDialog::doModal() {
    window_ = toolkit_.createWindow(*this, nullptr);
    window_->setCaption(kOptionDialogCaption);
    window_->setRect(toolkit_.screen());
    const std::u16string caption = pages_.caption(page_);
    if (!caption.empty()) window_->setCaption(caption);
    pages_.build(*window_, page_);
    DialogBuilder buttons(*window_, screen_);
    buttons.add({ui::ControlKind::Button, ui::kIdOk, kOkButton, u"OK", {}, {}});
    buttons.add({ui::ControlKind::Button, ui::kIdCancel, kCancelButton, u"Cancel", {}, {}});
    const bool ok = toolkit_.runModal(*window_);
    window_.reset();
    return ok;
}

void COptionDialog::onCommand(int id, ui::Notify notify) {
    if (!window_) return;
    if (id == ui::kIdOk) {
        pages_.apply(*window_, page_);
        window_->endModal(true);
    } else if (id == ui::kIdCancel) {
        window_->endModal(false);
    } else {
        pages_.onCommand(*window_, page_, id, notify);
    }
}

}  // namespace tessel::settings
