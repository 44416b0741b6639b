#include "platform/headless/headless_ui.h"

#include <algorithm>

namespace tessel::platform::headless {

using ui::ControlKind;

// ---- window ----

HeadlessWindow::HeadlessWindow(HeadlessToolkit& toolkit, ui::WindowHandler& handler,
                               HeadlessWindow* parent)
    : toolkit_(toolkit), handler_(handler), parent_(parent) {}

HeadlessWindow::~HeadlessWindow() { toolkit_.forget(this); }

void HeadlessWindow::addControl(const ui::ControlSpec& spec) {
    Control control;
    control.spec = spec;
    control.shown = !spec.style.hidden;
    for (const auto& button : spec.buttons)
        if (button.id != 0) control.toolButtons[button.id] = true;
    controls_[spec.id] = std::move(control);
}

HeadlessWindow::Control* HeadlessWindow::find(int id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

const HeadlessWindow::Control* HeadlessWindow::find(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

std::optional<ControlKind> HeadlessWindow::kind(int id) const {
    const Control* c = find(id);
    if (!c) return std::nullopt;
    return c->spec.kind;
}

void HeadlessWindow::setText(int id, std::u16string_view text) {
    if (Control* c = find(id)) c->spec.text = text;
}

std::u16string HeadlessWindow::text(int id) const {
    const Control* c = find(id);
    return c ? c->spec.text : std::u16string();
}

void HeadlessWindow::enable(int id, bool enabled) {
    if (Control* c = find(id)) c->enabled = enabled;
}

bool HeadlessWindow::isEnabled(int id) const {
    const Control* c = find(id);
    return c && c->enabled;
}

void HeadlessWindow::showControl(int id, bool visible) {
    if (Control* c = find(id)) c->shown = visible;
}

bool HeadlessWindow::isShown(int id) const {
    const Control* c = find(id);
    return c && c->shown;
}

void HeadlessWindow::moveControl(int id, ui::Rect rect) {
    if (Control* c = find(id)) c->spec.rect = rect;
}

ui::Rect HeadlessWindow::controlRect(int id) const {
    const Control* c = find(id);
    return c ? c->spec.rect : ui::Rect{};
}

void HeadlessWindow::setChecked(int id, bool checked) {
    if (Control* c = find(id)) c->checked = checked;
}

bool HeadlessWindow::isChecked(int id) const {
    const Control* c = find(id);
    return c && c->checked;
}

void HeadlessWindow::setProgress(int id, int percent) {
    if (Control* c = find(id)) c->progress = std::clamp(percent, 0, 100);
}

void HeadlessWindow::comboAdd(int id, std::u16string_view entry) {
    if (Control* c = find(id)) c->entries.emplace_back(entry);
}

void HeadlessWindow::comboRemove(int id, std::size_t index) {
    Control* c = find(id);
    if (!c || index >= c->entries.size()) return;
    c->entries.erase(c->entries.begin() + static_cast<std::ptrdiff_t>(index));
    ui::selectionAfterRemove(c->selection, index);
}

std::vector<std::u16string> HeadlessWindow::comboEntries(int id) const {
    const Control* c = find(id);
    return c ? c->entries : std::vector<std::u16string>{};
}

void HeadlessWindow::comboSelect(int id, std::optional<std::size_t> index) {
    Control* c = find(id);
    if (!c) return;
    if (index && *index >= c->entries.size()) index.reset();
    c->selection = index;
    if (index) c->spec.text = c->entries[*index];
}

std::optional<std::size_t> HeadlessWindow::comboSelection(int id) const {
    const Control* c = find(id);
    return c ? c->selection : std::nullopt;
}

void HeadlessWindow::enableToolButton(int toolbarId, int buttonId, bool enabled) {
    Control* c = find(toolbarId);
    if (!c) return;
    auto it = c->toolButtons.find(buttonId);
    if (it != c->toolButtons.end()) it->second = enabled;
}

bool HeadlessWindow::isToolButtonEnabled(int toolbarId, int buttonId) const {
    const Control* c = find(toolbarId);
    if (!c) return false;
    auto it = c->toolButtons.find(buttonId);
    return it != c->toolButtons.end() && it->second;
}

void HeadlessWindow::endModal(bool ok) {
    modalResult_ = ok;
    visible_ = false;
}

bool HeadlessWindow::takesInput(const Control* control) const {
    return control && control->enabled && control->shown && visible_;
}

int HeadlessWindow::progress(int id) const {
    const Control* c = find(id);
    return c ? c->progress : 0;
}

void HeadlessWindow::click(int id) {
    Control* c = find(id);
    if (!takesInput(c)) return;
    if (c->spec.kind == ControlKind::CheckBox) c->checked = !c->checked;
    handler_.onCommand(id, ui::Notify::Clicked);
}

void HeadlessWindow::select(int id, std::size_t index) {
    Control* c = find(id);
    if (!takesInput(c) || index >= c->entries.size()) return;
    comboSelect(id, index);
    handler_.onCommand(id, ui::Notify::SelectionChanged);
}

void HeadlessWindow::type(int id, std::u16string_view text) {
    Control* c = find(id);
    if (!takesInput(c)) return;
    std::u16string typed(text);
    if (c->spec.style.number)
        std::erase_if(typed, [](char16_t ch) { return ch < u'0' || ch > u'9'; });
    if (c->spec.style.limit > 0 && typed.size() > static_cast<std::size_t>(c->spec.style.limit))
        typed.resize(static_cast<std::size_t>(c->spec.style.limit));
    c->spec.text = typed;
    c->selection.reset();  // typing in a combo's edit field leaves no entry selected
    handler_.onCommand(id, ui::Notify::Changed);
}

void HeadlessWindow::pressEnter(int id) {
    if (takesInput(find(id))) handler_.onCommand(id, ui::Notify::EnterKey);
}

void HeadlessWindow::clickToolButton(int toolbarId, int buttonId) {
    if (takesInput(find(toolbarId)) && isToolButtonEnabled(toolbarId, buttonId))
        handler_.onCommand(buttonId, ui::Notify::Clicked);
}

void HeadlessWindow::pressOk() {
    if (visible_) handler_.onOk();
}

void HeadlessWindow::pressClose() {
    if (visible_) handler_.onClose();
}

void HeadlessWindow::clickAt(int x, int y) {
    if (visible_) handler_.onClick(x, y);
}

// ---- menu ----

HeadlessMenu::HeadlessMenu(HeadlessToolkit& toolkit, const ui::MenuSpec& spec)
    : toolkit_(toolkit), id_(spec.id), title_(spec.title) {
    for (const auto& item : spec.items) items_.push_back({item.id, item.text, false, false});
}

HeadlessMenu::~HeadlessMenu() { toolkit_.forget(this); }

void HeadlessMenu::setGrey(int item, bool grey) {
    for (auto& i : items_)
        if (i.id == item && item != 0) i.grey = grey;
}

void HeadlessMenu::setTick(int item, bool tick) {
    for (auto& i : items_)
        if (i.id == item && item != 0) i.ticked = tick;
}

HeadlessMenu::Item HeadlessMenu::item(int id) const {
    for (const auto& i : items_)
        if (i.id == id) return i;
    return {};
}

std::optional<int> HeadlessMenu::popup(int x, int y) {
    std::optional<int> chosen = toolkit_.takePopupAnswer(id_, x, y);
    // A grey item or a separator cannot be chosen.
    if (chosen && (*chosen == 0 || item(*chosen).id == 0 || item(*chosen).grey)) return std::nullopt;
    return chosen;
}

// ---- toolkit: the window thread ----

struct HeadlessToolkit::Pending {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool ran = false;
};

HeadlessToolkit::HeadlessToolkit(ui::Rect screen) : screen_(screen) {}

HeadlessToolkit::~HeadlessToolkit() = default;

void HeadlessToolkit::run() {
    std::unique_lock lock(mutex_);
    windowThread_ = std::this_thread::get_id();
    while (true) {
        cv_.wait(lock, [&] { return quit_ || !queue_.empty(); });
        if (quit_) break;
        auto [task, pending] = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        if (pending) {
            std::lock_guard done(pending->mutex);
            pending->done = pending->ran = true;
            pending->cv.notify_all();
        }
        lock.lock();
    }
    // Tasks still queued will never run: their senders learn it now.
    ended_ = true;
    for (auto& [task, pending] : queue_) {
        if (!pending) continue;
        std::lock_guard done(pending->mutex);
        pending->done = true;
        pending->cv.notify_all();
    }
    queue_.clear();
    windowThread_ = {};
}

void HeadlessToolkit::quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    cv_.notify_all();
}

bool HeadlessToolkit::enqueue(std::function<void()> task, std::shared_ptr<Pending> pending) {
    std::lock_guard lock(mutex_);
    if (ended_ || quit_) return false;
    queue_.emplace_back(std::move(task), std::move(pending));
    cv_.notify_all();
    return true;
}

bool HeadlessToolkit::post(std::function<void()> task) { return enqueue(std::move(task), nullptr); }

bool HeadlessToolkit::send(std::function<void()> task) {
    if (onWindowThread()) {
        task();
        return true;
    }
    auto pending = std::make_shared<Pending>();
    if (!enqueue(std::move(task), pending)) return false;
    std::unique_lock lock(pending->mutex);
    pending->cv.wait(lock, [&] { return pending->done; });
    return pending->ran;
}

bool HeadlessToolkit::onWindowThread() const {
    std::lock_guard lock(mutex_);
    return windowThread_ == std::this_thread::get_id();
}

std::uint32_t HeadlessToolkit::registerMessage(std::string_view name) { return messages_.number(name); }

// ---- toolkit: windows, menus and boxes ----

std::unique_ptr<ui::Window> HeadlessToolkit::createWindow(ui::WindowHandler& handler,
                                                         ui::Window* parent) {
    auto window =
        std::make_unique<HeadlessWindow>(*this, handler, static_cast<HeadlessWindow*>(parent));
    windows_.push_back(window.get());
    return window;
}

std::unique_ptr<ui::Menu> HeadlessToolkit::createMenu(const ui::MenuSpec& spec) {
    auto menu = std::make_unique<HeadlessMenu>(*this, spec);
    menus_.push_back(menu.get());
    return menu;
}

void HeadlessToolkit::forget(HeadlessWindow* window) {
    std::erase(windows_, window);
    std::erase_if(trayIcons_, [&](const auto& entry) { return entry.second.first == window; });
}

void HeadlessToolkit::forget(HeadlessMenu* menu) { std::erase(menus_, menu); }

bool HeadlessToolkit::runModal(ui::Window& dialog) {
    auto& window = static_cast<HeadlessWindow&>(dialog);
    std::function<void(HeadlessWindow&)> user;
    {
        std::lock_guard lock(mutex_);
        ++modalRuns_;
        if (!modalAnswers_.empty()) {
            user = std::move(modalAnswers_.front());
            modalAnswers_.pop_front();
        }
    }
    window.resetModal();
    window.show(true);
    if (user) user(window);
    window.show(false);
    return window.modalResult().value_or(false);
}

ui::Answer HeadlessToolkit::messageBox(ui::Window*, const ui::MessageBoxSpec& box) {
    std::optional<ui::Answer> answer;
    std::function<void(const ui::MessageBoxSpec&)> observer;
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back(box);
        if (!boxAnswers_.empty()) {
            answer = boxAnswers_.front();
            boxAnswers_.pop_front();
        }
        observer = boxObserver_;
    }
    if (observer) observer(box);
    if (answer) return *answer;
    return box.buttons == ui::Buttons::YesNo ? ui::Answer::Yes : ui::Answer::Ok;
}

void HeadlessToolkit::setWaitCursor(bool on) {
    if (on && !waitCursor_) ++waitCursorShows_;
    waitCursor_ = on;
}

void HeadlessToolkit::addTrayIcon(ui::Window& owner, const ui::TrayIconSpec& icon) {
    trayIcons_[icon.id] = {static_cast<HeadlessWindow*>(&owner), icon};
}

void HeadlessToolkit::removeTrayIcon(int id) { trayIcons_.erase(id); }

std::optional<ui::TrayIconSpec> HeadlessToolkit::trayIcon(int id) const {
    auto it = trayIcons_.find(id);
    if (it == trayIcons_.end()) return std::nullopt;
    return it->second.second;
}

void HeadlessToolkit::trayNotify(int id) {
    auto it = trayIcons_.find(id);
    if (it == trayIcons_.end()) return;
    it->second.first->message(it->second.second.callbackMessage, static_cast<std::uintptr_t>(id), 0);
}

bool HeadlessToolkit::systemWindowExists(std::string_view className) const {
    return systemWindows_.exists(className);
}

void HeadlessToolkit::enableSystemWindow(std::string_view className, bool enabled) {
    systemWindows_.enable(className, enabled);
}

void HeadlessToolkit::showSystemWindow(std::string_view className, bool visible) {
    systemWindows_.show(className, visible);
}

bool HeadlessToolkit::systemWindowVisible(std::string_view className) const {
    return systemWindows_.visible(className);
}

bool HeadlessToolkit::systemWindowEnabled(std::string_view className) const {
    return systemWindows_.enabled(className);
}

void HeadlessToolkit::addSystemWindow(std::string className) { systemWindows_.add(std::move(className)); }

// ---- toolkit: the user's side ----

void HeadlessToolkit::answerMessageBox(ui::Answer answer) {
    std::lock_guard lock(mutex_);
    boxAnswers_.push_back(answer);
}

void HeadlessToolkit::answerModal(std::function<void(HeadlessWindow&)> user) {
    std::lock_guard lock(mutex_);
    modalAnswers_.push_back(std::move(user));
}

void HeadlessToolkit::answerPopup(std::optional<int> command) {
    std::lock_guard lock(mutex_);
    popupAnswers_.push_back(command);
}

std::optional<int> HeadlessToolkit::takePopupAnswer(int menuId, int x, int y) {
    std::lock_guard lock(mutex_);
    popups_.push_back({menuId, x, y});
    if (popupAnswers_.empty()) return std::nullopt;
    auto answer = popupAnswers_.front();
    popupAnswers_.pop_front();
    return answer;
}

void HeadlessToolkit::onMessageBox(std::function<void(const ui::MessageBoxSpec&)> observer) {
    std::lock_guard lock(mutex_);
    boxObserver_ = std::move(observer);
}

std::vector<ui::MessageBoxSpec> HeadlessToolkit::messageBoxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<PopupRecord> HeadlessToolkit::popups() const {
    std::lock_guard lock(mutex_);
    return popups_;
}

int HeadlessToolkit::modalRuns() const {
    std::lock_guard lock(mutex_);
    return modalRuns_;
}

HeadlessWindow* HeadlessToolkit::findWindow(std::u16string_view caption) const {
    for (HeadlessWindow* w : windows_)
        if (w->caption() == caption) return w;
    return nullptr;
}

HeadlessMenu* HeadlessToolkit::menu(int id) const {
    for (HeadlessMenu* m : menus_)
        if (m->id() == id) return m;
    return nullptr;
}

}  // namespace tessel::platform::headless
