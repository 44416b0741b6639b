#include "platform/gtk/gtk_toolkit.h"

#include <cstdlib>

#include "platform/gtk/gtk_text.h"

namespace tessel::platform::gtk {

namespace {

// Small widgets and the terminal's dialog font, so controls fit their 240-pixel design rects;
// controls asking for the large font (scale-2 screens) get 18 points, their inner parts too.
constexpr char kStyle[] = R"(
.tessel-window, .tessel-window * { font-family: Tahoma, "DejaVu Sans", sans-serif; font-size: 8pt; }
.tessel-window .tessel-large, .tessel-window .tessel-large * { font-size: 18pt; }
.tessel-window button, .tessel-window entry, .tessel-window progressbar,
.tessel-window progressbar trough, .tessel-window progressbar progress {
  padding: 0px 2px; min-height: 0px; min-width: 0px; }
.tessel-window .tessel-large, .tessel-window checkbutton { padding: 0px; min-height: 0px; }
.tessel-window check { min-height: 12px; min-width: 12px; margin: 0px 2px 0px 0px; }
.tessel-window progressbar, .tessel-window progressbar * { min-width: 0px; min-height: 0px; }
.tessel-window progressbar { -GtkProgressBar-min-horizontal-bar-width: 0; -GtkProgressBar-xspacing: 0; }
.tessel-window .tessel-spin { background-color: #e8e8e8; border: 1px solid #a0a0a0; color: #303030; }
.tessel-window .tessel-spin:disabled { color: #a0a0a0; }
)";

void installStyle() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

// The window thread's task queue as a GLib source of the default context. It may recurse, so
// tasks keep running while a nested loop (menu, message box, modal dialog) turns inside one.
struct QueueSource {
    GSource base;
    TaskQueue* tasks;
};

gboolean queueReady(GSource* source) { return reinterpret_cast<QueueSource*>(source)->tasks->pending(); }

gboolean queuePrepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return queueReady(source);
}

gboolean queueDispatch(GSource* source, GSourceFunc, gpointer) {
    reinterpret_cast<QueueSource*>(source)->tasks->runOne();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs kQueueFuncs = {queuePrepare, queueReady, queueDispatch, nullptr, nullptr, nullptr};

GtkMessageType messageTypeOf(ui::Icon icon) {
    switch (icon) {
        case ui::Icon::Exclamation: return GTK_MESSAGE_WARNING;
        case ui::Icon::Information: return GTK_MESSAGE_INFO;
        case ui::Icon::Question: return GTK_MESSAGE_QUESTION;
        case ui::Icon::None: break;
    }
    return GTK_MESSAGE_OTHER;
}

GtkButtonsType buttonsOf(ui::Buttons buttons) {
    switch (buttons) {
        case ui::Buttons::OkCancel: return GTK_BUTTONS_OK_CANCEL;
        case ui::Buttons::YesNo: return GTK_BUTTONS_YES_NO;
        case ui::Buttons::Ok: break;
    }
    return GTK_BUTTONS_OK;
}

// A box closed without a button answers as the terminal's boxes do: OK alone, else the
// negative button.
ui::Answer answerOf(int response, ui::Buttons buttons) {
    switch (response) {
        case GTK_RESPONSE_OK: return ui::Answer::Ok;
        case GTK_RESPONSE_CANCEL: return ui::Answer::Cancel;
        case GTK_RESPONSE_YES: return ui::Answer::Yes;
        case GTK_RESPONSE_NO: return ui::Answer::No;
        default: break;
    }
    switch (buttons) {
        case ui::Buttons::OkCancel: return ui::Answer::Cancel;
        case ui::Buttons::YesNo: return ui::Answer::No;
        case ui::Buttons::Ok: break;
    }
    return ui::Answer::Ok;
}

// The tray picture: a small blue square, as no icon theme may be installed.
GdkPixbuf* trayPicture() {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 16, 16);
    gdk_pixbuf_fill(pixbuf, 0x2060c0ff);
    return pixbuf;
}

}  // namespace

bool GtkToolkit::available() {
    static const bool opened = [] {
        // The shell draws no GL; without this GDK loads the GL driver (with its compiler, tens
        // of megabytes) at start to choose its visuals.
        ::setenv("GDK_GL", "disable", 0);
        if (!gtk_init_check(nullptr, nullptr)) return false;
        installStyle();
        return true;
    }();
    return opened;
}

GtkToolkit::GtkToolkit(ui::Rect screen)
    : screen_(screen), tasks_([] { g_main_context_wakeup(nullptr); }) {
    available();
}

GtkToolkit::~GtkToolkit() {
    for (auto& [id, tray] : trays_) g_object_unref(tray.icon);
}

// ---- the window thread ----

void GtkToolkit::run() {
    {
        std::lock_guard lock(mutex_);
        if (quitRequested_) return;
        windowThread_ = std::this_thread::get_id();
        loop_ = g_main_loop_new(nullptr, FALSE);
    }
    source_ = g_source_new(&kQueueFuncs, sizeof(QueueSource));
    reinterpret_cast<QueueSource*>(source_)->tasks = &tasks_;
    g_source_set_can_recurse(source_, TRUE);
    g_source_attach(source_, nullptr);
    g_main_loop_run(loop_);
    tasks_.close();
    g_source_destroy(source_);
    g_source_unref(source_);
    source_ = nullptr;
    std::lock_guard lock(mutex_);
    g_main_loop_unref(loop_);
    loop_ = nullptr;
    windowThread_ = {};
}

void GtkToolkit::quit() {
    {
        std::lock_guard lock(mutex_);
        quitRequested_ = true;
        if (loop_) g_main_loop_quit(loop_);
    }
    tasks_.close();
}

bool GtkToolkit::send(std::function<void()> task) {
    if (onWindowThread()) {
        task();
        return true;
    }
    return tasks_.send(std::move(task));
}

bool GtkToolkit::onWindowThread() const {
    std::lock_guard lock(mutex_);
    return windowThread_ == std::this_thread::get_id();
}

// ---- windows, menus and boxes ----

std::unique_ptr<ui::Window> GtkToolkit::createWindow(ui::WindowHandler& handler, ui::Window* parent) {
    auto window = std::make_unique<GtkUiWindow>(*this, handler, static_cast<GtkUiWindow*>(parent));
    windows_.push_back(window.get());
    return window;
}

std::unique_ptr<ui::Menu> GtkToolkit::createMenu(const ui::MenuSpec& spec) {
    return std::make_unique<GtkUiMenu>(*this, spec);
}

void GtkToolkit::forget(GtkUiWindow* window) {
    std::erase(windows_, window);
    if (activeModal_ == window) activeModal_ = nullptr;
    std::erase_if(trays_, [&](auto& entry) {
        if (entry.second.owner != window) return false;
        g_object_unref(entry.second.icon);
        return true;
    });
}

GtkWindow* GtkToolkit::mainToplevel() const {
    for (GtkUiWindow* window : windows_)
        if (window->isToplevel()) return window->toplevel();
    return nullptr;
}

bool GtkToolkit::runModal(ui::Window& dialog) {
    auto& window = static_cast<GtkUiWindow&>(dialog);
    GtkWindow* main = mainToplevel();
    if (window.isToplevel()) {
        gtk_window_set_modal(window.toplevel(), TRUE);
        if (main && main != window.toplevel()) gtk_window_set_transient_for(window.toplevel(), main);
    }
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    GtkUiWindow* outer = activeModal_;
    activeModal_ = &window;
    window.beginModal(loop);
    window.show(true);
    if (!window.modalResult()) g_main_loop_run(loop);
    activeModal_ = outer;
    window.beginModal(nullptr);
    window.show(false);
    g_main_loop_unref(loop);
    return window.modalResult().value_or(false);
}

ui::Answer GtkToolkit::messageBox(ui::Window* owner, const ui::MessageBoxSpec& box) {
    boxes_.push_back(box);
    GtkWindow* parent = owner ? static_cast<GtkUiWindow*>(owner)->toplevel() : mainToplevel();
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, messageTypeOf(box.icon),
                                               buttonsOf(box.buttons), "%s",
                                               toUtf8(box.text, true).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), toUtf8(box.caption).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    GtkWidget* outer = activeBox_;
    activeBox_ = dialog;
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    activeBox_ = outer;
    gtk_widget_destroy(dialog);
    return answerOf(response, box.buttons);
}

void GtkToolkit::setWaitCursor(bool on) {
    waitCursor_ = on;
    GdkDisplay* display = gdk_display_get_default();
    GdkCursor* cursor = on ? gdk_cursor_new_from_name(display, "wait") : nullptr;
    for (GtkUiWindow* window : windows_) {
        if (!window->isToplevel()) continue;
        if (GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window->toplevel())))
            gdk_window_set_cursor(surface, cursor);
    }
    if (cursor) g_object_unref(cursor);
    gdk_display_flush(display);
}

// ---- tray icon ----

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

void GtkToolkit::trayActivated(GtkStatusIcon* icon, gpointer data) {
    auto* toolkit = static_cast<GtkToolkit*>(data);
    for (auto& [id, tray] : toolkit->trays_) {
        if (tray.icon != icon) continue;
        tray.owner->message(tray.spec.callbackMessage, static_cast<std::uintptr_t>(id), 0);
        return;
    }
}

void GtkToolkit::addTrayIcon(ui::Window& owner, const ui::TrayIconSpec& icon) {
    removeTrayIcon(icon.id);
    GdkPixbuf* picture = trayPicture();
    GtkStatusIcon* status = gtk_status_icon_new_from_pixbuf(picture);
    g_object_unref(picture);
    gtk_status_icon_set_tooltip_text(status, toUtf8(icon.tip).c_str());
    g_signal_connect(status, "activate", G_CALLBACK(trayActivated), this);
    g_signal_connect(status, "popup-menu",
                     G_CALLBACK(+[](GtkStatusIcon* s, guint, guint, gpointer data) { trayActivated(s, data); }),
                     this);
    trays_[icon.id] = {static_cast<GtkUiWindow*>(&owner), icon, status};
}

G_GNUC_END_IGNORE_DEPRECATIONS

void GtkToolkit::removeTrayIcon(int id) {
    auto it = trays_.find(id);
    if (it == trays_.end()) return;
    g_object_unref(it->second.icon);
    trays_.erase(it);
}

GtkStatusIcon* GtkToolkit::trayIcon(int id) const {
    auto it = trays_.find(id);
    return it == trays_.end() ? nullptr : it->second.icon;
}

// ---- the system's windows ----

bool GtkToolkit::systemWindowExists(std::string_view className) const {
    return systemWindows_.exists(className);
}

void GtkToolkit::enableSystemWindow(std::string_view className, bool enabled) {
    systemWindows_.enable(className, enabled);
}

void GtkToolkit::showSystemWindow(std::string_view className, bool visible) {
    systemWindows_.show(className, visible);
}

bool GtkToolkit::systemWindowVisible(std::string_view className) const {
    return systemWindows_.visible(className);
}

bool GtkToolkit::systemWindowEnabled(std::string_view className) const {
    return systemWindows_.enabled(className);
}

GtkWidget* containerOf(ui::Window& window) { return static_cast<GtkUiWindow&>(window).container(); }

GtkWidget* controlWidget(ui::Window& window, int id) {
    return static_cast<GtkUiWindow&>(window).widget(id);
}

}  // namespace tessel::platform::gtk
