#pragma once
// The web view: one browser control inside a window, its navigation and its four events, the
// current document (platform/page_script.h) and the page's external object.
//
// All calls and all events happen on the window thread. The backend (WebKit later, the fake
// document in platform/headless now) decides when a navigation completes; the owner hears it
// through WebViewEvents.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/page_script.h"
#include "platform/ui.h"

namespace tessel::platform {

class WebViewEvents {
public:
    virtual ~WebViewEvents() = default;
    virtual void beforeNavigate(std::u16string_view url) = 0;
    virtual void documentComplete(std::u16string_view url) = 0;
    virtual void navigateError(std::u16string_view url) = 0;
    // command 1: forward, 2: back; enabled says whether that step is possible now.
    virtual void commandStateChange(int command, bool enabled) = 0;
};

// The download control flags the host gives the control.
inline constexpr std::uint32_t kDownloadPictures = 0x10;
inline constexpr std::uint32_t kDownloadVideos = 0x20;
inline constexpr std::uint32_t kDownloadBackgroundSounds = 0x40;

class WebView {
public:
    virtual ~WebView() = default;

    virtual void navigate(std::u16string_view url) = 0;
    virtual void refresh() = 0;
    // Steps through the page's history; false (nothing done) when the page has no document or
    // no history to step through.
    virtual bool historyGo(int step) = 0;

    // The page shown now, for calls into its script; null before the first document completes.
    virtual std::shared_ptr<PageDocument> document() = 0;
    // The object the page reaches as window.external; null: none. Not owned.
    virtual void setExternal(PageExternal* external) = 0;
    virtual void setDownloadControl(std::uint32_t flags) = 0;
    // The host's answers: no context menu, no 3D border.
    virtual void setContextMenu(bool shown) = 0;
    virtual void setBorder3d(bool shown) = 0;

    virtual void place(ui::Rect rect) = 0;
    virtual ui::Rect rect() const = 0;
    virtual void setFocus() = 0;
};

// Makes the web view of a backend inside a window.
class WebViewFactory {
public:
    virtual ~WebViewFactory() = default;
    virtual std::unique_ptr<WebView> create(ui::Window& host, int controlId, WebViewEvents& events) = 0;
};

}  // namespace tessel::platform
