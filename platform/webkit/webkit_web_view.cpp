#include "platform/webkit/webkit_web_view.h"

#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>

#include "platform/webkit/external_server.h"
#include "platform/webkit/gdk_keyboard.h"
#include "platform/webkit/page_call_script.h"

#ifndef TESSEL_WEBKIT_EXTENSION_DIR
#define TESSEL_WEBKIT_EXTENSION_DIR ""
#endif

namespace tessel::platform::webkit {
namespace {

// A call that did not come back (time-out, web process gone) and an answer the call script
// cannot give.
constexpr std::uint32_t kEFail = 0x80004005;
constexpr std::uint32_t kEUnexpected = 0x8000FFFF;

std::string utf8(std::u16string_view text) {
    gchar* converted = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()),
                                       static_cast<glong>(text.size()), nullptr, nullptr, nullptr);
    std::string out = converted ? converted : "";
    g_free(converted);
    return out;
}

std::u16string utf16(const char* text) {
    if (!text) return {};
    gunichar2* converted = g_utf8_to_utf16(text, -1, nullptr, nullptr, nullptr);
    std::u16string out = converted ? reinterpret_cast<const char16_t*>(converted) : u"";
    g_free(converted);
    return out;
}

// Device paths are 8-bit texts: each character gives its low byte, each byte one character.
std::string lowBytes(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) out.push_back(static_cast<char>(c & 0xFF));
    return out;
}

std::u16string widen(std::string_view bytes) {
    std::u16string out;
    for (const char b : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(b)));
    return out;
}

std::optional<std::filesystem::path> fileOfUri(const std::string& uri) {
    gchar* file = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    if (!file) return std::nullopt;
    std::filesystem::path path(file);
    g_free(file);
    return path;
}

// A private folder for the socket, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessel-webkit-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs the page's script and turns the window thread's main context until the answer comes or
// the time-out passes; the UI and window.external keep being served meanwhile.
class ScriptCall {
public:
    static PageCall run(WebKitWebView* view, const std::string& script,
                        std::chrono::milliseconds timeout) {
        auto pending = std::make_shared<Pending>();
        GCancellable* cancel = g_cancellable_new();
        webkit_web_view_evaluate_javascript(view, script.data(), static_cast<gssize>(script.size()),
                                            nullptr, nullptr, cancel, &ScriptCall::evaluated,
                                            new std::shared_ptr<Pending>(pending));
        bool timedOut = false;
        const guint timer = g_timeout_add(static_cast<guint>(timeout.count()), &ScriptCall::expire,
                                          &timedOut);
        while (!pending->done && !timedOut) g_main_context_iteration(nullptr, TRUE);
        if (!timedOut) g_source_remove(timer);
        if (!pending->done) g_cancellable_cancel(cancel);
        g_object_unref(cancel);

        if (!pending->answer) return {PageCall::Outcome::Failed, {}, kEFail};
        if (auto call = parsePageCallAnswer(*pending->answer)) return *call;
        return {PageCall::Outcome::Failed, {}, kEUnexpected};
    }

private:
    struct Pending {
        bool done = false;
        std::optional<std::string> answer;
    };

    static gboolean expire(gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
    }

    static void evaluated(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::shared_ptr<Pending>> pending(static_cast<std::shared_ptr<Pending>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value && jsc_value_is_string(value)) {
            gchar* text = jsc_value_to_string(value);
            (*pending)->answer = text;
            g_free(text);
        }
        g_clear_object(&value);
        g_clear_error(&error);
        (*pending)->done = true;
    }
};

// An ephemeral context whose web process frees caches and collects garbage early as its memory
// nears kWebMemoryLimitMb (a third of it: caches shrink; half: everything purgeable goes), instead
// of growing towards the whole RAM. It is never killed for its size.
constexpr guint kWebMemoryLimitMb = 192;

WebKitWebContext* newContext() {
    WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(memory, kWebMemoryLimitMb);
    WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
    auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data,
                                                    "memory-pressure-settings", memory, nullptr));
    g_object_unref(data);
    webkit_memory_pressure_settings_free(memory);
    return context;
}

// What documents reach of their view: the widget while it lives and the page generation.
struct PageHandle {
    WebKitWebView* view = nullptr;
    unsigned generation = 0;
    std::chrono::milliseconds timeout;
};

// One completed page. Calls reach it only while it is the page the view shows.
class WebKitDocument final : public PageDocument {
public:
    WebKitDocument(std::weak_ptr<PageHandle> handle, unsigned generation)
        : handle_(std::move(handle)), generation_(generation) {}

    PageCall call(std::u16string_view name, std::span<const std::u16string> args) override {
        auto handle = handle_.lock();
        if (!handle || !handle->view || handle->generation != generation_)
            return {PageCall::Outcome::Missing, {}, 0};
        return ScriptCall::run(handle->view, pageCallScript(name, args), handle->timeout);
    }

private:
    std::weak_ptr<PageHandle> handle_;
    unsigned generation_;
};

class View final : public WebKitView {
public:
    View(const WebKitViewOptions& options, GtkWidget* container, ui::Window& host, int controlId,
         WebViewEvents& events);
    ~View() override;

    void navigate(std::u16string_view url) override;
    void refresh() override { webkit_web_view_reload(view_); }
    bool historyGo(int step) override;
    std::shared_ptr<PageDocument> document() override { return document_; }
    void setExternal(PageExternal* external) override { server_.setExternal(external); }
    void setDownloadControl(std::uint32_t flags) override;
    void setContextMenu(bool shown) override { contextMenu_ = shown; }
    void setBorder3d(bool) override {}  // the view has no border of its own
    void place(ui::Rect rect) override;
    ui::Rect rect() const override { return host_.controlRect(controlId_); }
    void setFocus() override;

    void setHomePage(std::u16string_view url) override { home_ = uriFor(url); }
    GtkWidget* widget() const override { return GTK_WIDGET(view_); }
    std::size_t extensionHellos() const override { return server_.hellos(); }

private:
    static void initializeExtensions(WebKitWebContext* context, gpointer self);
    static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean loadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self);
    static gboolean contextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                gpointer self);
    static void processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self);
    static void historyChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer self);

    void started();
    void finished();
    void reportCommandState();
    void reloadHome(const char* reason);
    std::string uriFor(std::u16string_view address) const;
    std::u16string reported(const char* uri) const;

    const WebKitViewOptions& options_;
    ui::Window& host_;
    int controlId_;
    WebViewEvents& events_;
    TempFolder folder_;
    ExternalServer server_;
    WebKitWebContext* context_ = nullptr;
    WebKitWebView* view_ = nullptr;
    std::shared_ptr<PageHandle> handle_ = std::make_shared<PageHandle>();
    std::shared_ptr<PageDocument> document_;
    std::string home_;
    bool contextMenu_ = true;
    bool loadFailed_ = false;
    std::size_t hellosAtStart_ = 0;
};

View::View(const WebKitViewOptions& options, GtkWidget* container, ui::Window& host, int controlId,
           WebViewEvents& events)
    : options_(options),
      host_(host),
      controlId_(controlId),
      events_(events),
      server_((folder_.path() / "external").string()) {
    context_ = newContext();
    webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    g_signal_connect(context_, "initialize-web-extensions", G_CALLBACK(initializeExtensions), this);
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context_));
    g_object_ref_sink(view_);
    handle_->view = view_;
    handle_->timeout = options_.callTimeout;

    // Without the page cache every page shown makes its window object again, so the
    // extension greets each one.
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_page_cache(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    // Drawn in software: no GL contexts in either process.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    g_signal_connect(view_, "load-changed", G_CALLBACK(loadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(loadFailed), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(contextMenu), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(processTerminated), this);
    g_signal_connect(webkit_web_view_get_back_forward_list(view_), "changed",
                     G_CALLBACK(historyChanged), this);
    if (container) gtk_container_add(GTK_CONTAINER(container), GTK_WIDGET(view_));
    gtk_widget_show(GTK_WIDGET(view_));
}

View::~View() {
    handle_->view = nullptr;
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(view_), this);
    g_signal_handlers_disconnect_by_data(view_, this);
    g_signal_handlers_disconnect_by_data(context_, this);
    gtk_widget_destroy(GTK_WIDGET(view_));
    g_object_unref(view_);
    g_object_unref(context_);
}

void View::initializeExtensions(WebKitWebContext* context, gpointer self) {
    const auto* view = static_cast<View*>(self);
    webkit_web_context_set_web_extensions_directory(context, view->options_.extensionDir.c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(
        context, g_variant_new_string(view->server_.path().c_str()));
}

std::string View::uriFor(std::u16string_view address) const {
    if (!address.empty() && address.front() == u'\\' && options_.fs) {
        if (auto host = options_.fs->toHost(lowBytes(address))) {
            gchar* uri = g_filename_to_uri(host->c_str(), nullptr, nullptr);
            std::string out = uri ? uri : "";
            g_free(uri);
            if (!out.empty()) return out;
        }
    }
    return utf8(address);
}

std::u16string View::reported(const char* uri) const {
    if (!uri) return {};
    if (options_.fs) {
        if (auto file = fileOfUri(uri)) {
            if (auto device = options_.fs->toDevice(*file)) return widen(*device);
        }
    }
    return utf16(uri);
}

void View::navigate(std::u16string_view url) {
    const std::string uri = uriFor(url);
    if (home_.empty()) home_ = uri;
    webkit_web_view_load_uri(view_, uri.c_str());
}

bool View::historyGo(int step) {
    if (!document_) return false;
    WebKitBackForwardListItem* item =
        webkit_back_forward_list_get_nth_item(webkit_web_view_get_back_forward_list(view_), step);
    if (step != 0 && item) webkit_web_view_go_to_back_forward_list_item(view_, item);
    return true;
}

void View::setDownloadControl(std::uint32_t flags) {
    webkit_settings_set_auto_load_images(webkit_web_view_get_settings(view_),
                                         (flags & kDownloadPictures) != 0);
}

void View::place(ui::Rect rect) {
    host_.moveControl(controlId_, rect);
    gtk_widget_set_size_request(GTK_WIDGET(view_), rect.width, rect.height);
}

void View::setFocus() {
    host_.setFocus(controlId_);
    gtk_widget_grab_focus(GTK_WIDGET(view_));
}

void View::loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    auto* view = static_cast<View*>(self);
    if (event == WEBKIT_LOAD_STARTED) view->started();
    if (event == WEBKIT_LOAD_COMMITTED) view->reportCommandState();
    if (event == WEBKIT_LOAD_FINISHED) view->finished();
}

void View::started() {
    loadFailed_ = false;
    hellosAtStart_ = server_.hellos();
    events_.beforeNavigate(reported(webkit_web_view_get_uri(view_)));
}

void View::finished() {
    if (loadFailed_) return;
    ++handle_->generation;
    document_ = std::make_shared<WebKitDocument>(handle_, handle_->generation);
    reportCommandState();
    if (server_.hellos() == hellosAtStart_) {
        std::fprintf(stderr, "tessel: window.external is missing on %s: the web-process "
                             "extension did not start (folder %s)\n",
                     webkit_web_view_get_uri(view_), options_.extensionDir.c_str());
    }
    events_.documentComplete(reported(webkit_web_view_get_uri(view_)));
}

gboolean View::loadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self) {
    auto* view = static_cast<View*>(self);
    view->loadFailed_ = true;
    // A load replaced by the next navigation is not an error of the page.
    if (!g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
        view->events_.navigateError(view->reported(uri));
    return TRUE;  // no error page of WebKit's own
}

gboolean View::contextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                           gpointer self) {
    return !static_cast<View*>(self)->contextMenu_;
}

void View::historyChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer self) {
    static_cast<View*>(self)->reportCommandState();
}

void View::reportCommandState() {
    events_.commandStateChange(1, webkit_web_view_can_go_forward(view_));
    events_.commandStateChange(2, webkit_web_view_can_go_back(view_));
}

void View::processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
    static constexpr const char* kReasons[] = {"crashed", "exceeded its memory limit", "was ended"};
    const auto index = static_cast<std::size_t>(reason);
    static_cast<View*>(self)->reloadHome(index < std::size(kReasons) ? kReasons[index] : "ended");
}

// The home page, unless it is a local file that has gone since (the start page is removed once
// shown): then the page that was showing.
void View::reloadHome(const char* reason) {
    std::string target = home_;
    if (auto file = fileOfUri(target); file && !std::filesystem::exists(*file)) {
        const char* current = webkit_web_view_get_uri(view_);
        target = current ? current : "";
    }
    std::fprintf(stderr, "tessel: the web process %s; opening %s again\n", reason, target.c_str());
    document_.reset();
    if (!target.empty()) webkit_web_view_load_uri(view_, target.c_str());
}

}  // namespace

std::filesystem::path builtExtensionDir() { return TESSEL_WEBKIT_EXTENSION_DIR; }

WebKitWebViewFactory::WebKitWebViewFactory(ContainerOf containerOf, WebKitViewOptions options)
    : containerOf_(std::move(containerOf)), options_(std::move(options)) {
    if (options_.extensionDir.empty()) options_.extensionDir = builtExtensionDir();
    // Compositing and the DMA-BUF renderer cost the web and UI processes tens of megabytes and a
    // kiosk page needs neither: pages are drawn in software and handed over as bitmaps.
    ::setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    ::setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
}

WebKitWebViewFactory::~WebKitWebViewFactory() {
    if (lastView_) g_object_remove_weak_pointer(G_OBJECT(lastView_), reinterpret_cast<gpointer*>(&lastView_));
}

std::unique_ptr<WebView> WebKitWebViewFactory::create(ui::Window& host, int controlId,
                                                      WebViewEvents& events) {
    host.addControl({ui::ControlKind::Browser, controlId, {}, {}, {}, {}});
    GtkWidget* container = containerOf_ ? containerOf_(host, controlId) : nullptr;
    auto view = std::make_unique<View>(options_, container, host, controlId, events);
    if (lastView_) g_object_remove_weak_pointer(G_OBJECT(lastView_), reinterpret_cast<gpointer*>(&lastView_));
    lastView_ = view->widget();
    g_object_add_weak_pointer(G_OBJECT(lastView_), reinterpret_cast<gpointer*>(&lastView_));
    return view;
}

Keyboard& WebKitWebViewFactory::keyboard() {
    if (!keyboard_) keyboard_ = std::make_unique<GdkKeyboard>([this] { return lastView_; });
    return *keyboard_;
}

}  // namespace tessel::platform::webkit
