#pragma once
// The headless web view: navigation with a history, its four events, and documents made of C++
// functions registered by name.
//
// A navigation reports BeforeNavigate at once; it completes (DocumentComplete) or fails
// (NavigateError) when the owner of the view says so, or by itself on the window thread when the
// view completes automatically (the headless program). Addresses listed as failing fail.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "platform/web_view.h"

namespace tessel::platform::headless {

// A page's script: global functions by name, each able to return, throw or stand in for any
// answer of the script engine. A name with no function is Missing.
class FakeDocument final : public PageDocument {
public:
    using Function = std::function<PageCall(std::span<const std::u16string>)>;
    struct Call {
        std::u16string name;
        std::vector<std::u16string> args;
    };

    explicit FakeDocument(std::u16string url = {}) : url_(std::move(url)) {}
    void define(std::u16string name, Function f) { functions_[std::move(name)] = std::move(f); }
    PageCall call(std::u16string_view name, std::span<const std::u16string> args) override;

    const std::u16string& url() const { return url_; }
    const std::vector<Call>& calls() const { return calls_; }

private:
    std::u16string url_;
    std::map<std::u16string, Function, std::less<>> functions_;
    std::vector<Call> calls_;
};

class FakeWebView final : public WebView {
public:
    // Makes the document of each completed page.
    using DocumentMaker = std::function<std::shared_ptr<PageDocument>(std::u16string_view url)>;

    FakeWebView(ui::Toolkit& toolkit, ui::Window& host, int controlId, WebViewEvents& events,
                DocumentMaker maker, bool autoComplete);

    void navigate(std::u16string_view url) override;
    void refresh() override;
    bool historyGo(int step) override;
    std::shared_ptr<PageDocument> document() override { return document_; }
    void setExternal(PageExternal* external) override { external_ = external; }
    void setDownloadControl(std::uint32_t flags) override { downloadFlags_ = flags; }
    void setContextMenu(bool shown) override { contextMenu_ = shown; }
    void setBorder3d(bool shown) override { border3d_ = shown; }
    void place(ui::Rect rect) override;
    ui::Rect rect() const override;
    void setFocus() override;

    // The owner's side: finish the navigation in progress.
    void complete();
    void fail();
    // Addresses whose navigation fails.
    void failOn(std::u16string url) { failing_.insert(std::move(url)); }

    const std::vector<std::u16string>& navigations() const { return navigations_; }
    const std::vector<std::u16string>& history() const { return history_; }
    std::optional<std::u16string> pending() const { return pending_; }
    PageExternal* external() const { return external_; }
    std::uint32_t downloadControl() const { return downloadFlags_; }
    bool contextMenu() const { return contextMenu_; }
    bool border3d() const { return border3d_; }
    int refreshes() const { return refreshes_; }

private:
    void start(std::u16string url, std::optional<std::size_t> historyIndex);
    void reportCommandState();

    ui::Toolkit& toolkit_;
    ui::Window& host_;
    int controlId_;
    WebViewEvents& events_;
    DocumentMaker maker_;
    bool autoComplete_;
    std::shared_ptr<PageDocument> document_;
    PageExternal* external_ = nullptr;
    std::uint32_t downloadFlags_ = 0;
    bool contextMenu_ = true;
    bool border3d_ = true;
    int refreshes_ = 0;
    std::vector<std::u16string> navigations_;
    std::vector<std::u16string> history_;
    std::size_t current_ = 0;
    std::optional<std::u16string> pending_;
    std::optional<std::size_t> pendingIndex_;  // set when the navigation is a history step
    std::set<std::u16string> failing_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class FakeWebViewFactory final : public WebViewFactory {
public:
    FakeWebViewFactory(ui::Toolkit& toolkit, FakeWebView::DocumentMaker maker, bool autoComplete)
        : toolkit_(toolkit), maker_(std::move(maker)), autoComplete_(autoComplete) {}
    std::unique_ptr<WebView> create(ui::Window& host, int controlId, WebViewEvents& events) override;

    // The last view made (tests reach it here).
    FakeWebView* last() const { return last_; }

private:
    ui::Toolkit& toolkit_;
    FakeWebView::DocumentMaker maker_;
    bool autoComplete_;
    FakeWebView* last_ = nullptr;
};

}  // namespace tessel::platform::headless
