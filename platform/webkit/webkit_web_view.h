#pragma once
// The web view on WebKitGTK: each view runs in its own ephemeral WebKit context whose web
// processes load the window.external extension, joined to the host by a Unix socket in a private
// temporary folder.
//
//   WebKitWebViewFactory views([](ui::Window& w, int id) { return gtk::controlWidget(w, id); });
//   auto view = views.create(window, 61, events);   // fills the Browser control 61
//   view->navigate(u"\\Program Files\\Tessel\\index.htm");
//
// Device paths ("\..." under the device root, when a DeviceFs is given) open as file: URIs and
// are reported back as device paths. Events arrive on the window thread: before-navigate when a
// main-frame load starts; navigate-error when it fails (WebKit's own error page is suppressed;
// a load cancelled by the next one reports nothing); document-complete when it finishes; the
// command states whenever the back-forward list changes. When a web process dies the view logs
// it and opens its home page again, so a kiosk never shows a dead page.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/device_fs.h"
#include "platform/keyboard.h"
#include "platform/web_view.h"

typedef struct _GtkWidget GtkWidget;

namespace tessel::platform::webkit {

struct WebKitViewOptions {
    // The folder holding the window.external extension (and nothing else WebKit should load).
    std::filesystem::path extensionDir;
    // Maps device paths to host files; without it addresses go to WebKit as given.
    std::optional<DeviceFs> fs;
    // Longest a page-function call may take before it is given up as failed.
    std::chrono::milliseconds callTimeout{10000};
};

// The folder the build puts the extension in.
std::filesystem::path builtExtensionDir();

class WebKitView : public WebView {
public:
    // The page opened again after the web process dies; by default the first address navigated.
    virtual void setHomePage(std::u16string_view url) = 0;
    virtual GtkWidget* widget() const = 0;
    // Page loads the extension has greeted so far (one per main-frame window object).
    virtual std::size_t extensionHellos() const = 0;
};

class WebKitWebViewFactory final : public WebViewFactory {
public:
    // The GTK container a view goes into, for the window and control identifier it fills.
    using ContainerOf = std::function<GtkWidget*(ui::Window& window, int controlId)>;

    explicit WebKitWebViewFactory(ContainerOf containerOf, WebKitViewOptions options = {});
    ~WebKitWebViewFactory() override;
    WebKitWebViewFactory(const WebKitWebViewFactory&) = delete;
    WebKitWebViewFactory& operator=(const WebKitWebViewFactory&) = delete;
    std::unique_ptr<WebView> create(ui::Window& host, int controlId, WebViewEvents& events) override;

    // Key and text input into whatever has the focus in the window of the views.
    Keyboard& keyboard();

private:
    ContainerOf containerOf_;
    WebKitViewOptions options_;
    std::unique_ptr<Keyboard> keyboard_;
    GtkWidget* lastView_ = nullptr;  // cleared by GObject when the view goes
};

}  // namespace tessel::platform::webkit
