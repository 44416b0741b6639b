#include "browser/app/kiosk.h"

namespace tessel::app {

namespace ui = platform::ui;

namespace {

bool shellFlag(platform::Registry& registry, const char* key) {
    auto opened = registry.open(platform::Hive::LocalMachine, key);
    if (!opened) return false;
    auto value = opened->read("");
    return value && value->type == platform::RegValue::Type::Dword && value->dword == 1;
}

}  // namespace

TaskBarOptions TaskBarOptions::read(platform::Registry* registry) {
    if (!registry) return {};
    return {shellFlag(*registry, "Software\\Microsoft\\Shell\\OnTop"),
            shellFlag(*registry, "Software\\Microsoft\\Shell\\AutoHide")};
}

InputPasswdDialog::InputPasswdDialog(ui::Toolkit& toolkit, ui::Window& owner, std::u16string password)
    : toolkit_(toolkit), owner_(owner), password_(std::move(password)) {}

bool InputPasswdDialog::ask() {
    window_ = toolkit_.createWindow(*this, nullptr);
    window_->setCaption(u"Password");
    window_->setRect({40, 50, 150, 80});
    ui::ControlSpec edit{ui::ControlKind::Edit, kPasswordEdit, {5, 20, 120, 18}, {}, {}, {}};
    edit.style.border = true;
    edit.style.password = true;
    window_->addControl(edit);
    window_->addControl({ui::ControlKind::Button, ui::kIdOk, {5, 45, 60, 20}, u"OK", {}, {}});
    window_->addControl({ui::ControlKind::Button, ui::kIdCancel, {75, 45, 60, 20}, u"Cancel", {}, {}});
    window_->setFocus(kPasswordEdit);
    const bool ok = toolkit_.runModal(*window_);
    window_.reset();
    return ok;
}

void InputPasswdDialog::onCommand(int id, ui::Notify) {
    if (id == ui::kIdCancel) {
        window_->endModal(false);
    } else if (id == ui::kIdOk) {
        const bool right = window_->text(kPasswordEdit) == password_;
        if (!right)
            toolkit_.messageBox(&owner_, {u"Incorrect password", u"Warning", ui::Buttons::Ok,
                                          ui::Icon::Exclamation});
        window_->endModal(right);
    }
}

}  // namespace tessel::app
