#pragma once
// ProgressDialog: the modeless "Processing..." window that the image thread shows while a
// picture comes from the 2D imager. The capture drives its progress bar (control 105) through
// the reader manager's progress interface. Every call may come from any thread: the window is
// changed on the window thread.
//
//   ProgressDialog progress(toolkit);
//   progress.create();                               // window thread, hidden
//   progress.show(true);                             // image thread
//   manager.captureImage(3000, &progress, image);
//   progress.show(false);

#include <memory>

#include "browser/app/reader_threads.h"
#include "browser/reader/reader_manager.h"
#include "platform/ui.h"

namespace tessel::app {

inline constexpr int kProgressBar = 105;
inline constexpr char16_t kProgressCaption[] = u"Processing...";

class ProgressDialog final : public platform::ui::WindowHandler, public CaptureProgress {
public:
    explicit ProgressDialog(platform::ui::Toolkit& toolkit);
    ~ProgressDialog() override;

    // Builds the window hidden and topmost at (40, 70), 150 x 70; on the window thread.
    void create();
    void show(bool visible);
    // CaptureProgress: the image thread's show and hide.
    void show() override { show(true); }
    void hide() override { show(false); }
    platform::ui::Window* window() { return window_.get(); }

    // ImageProgressWindow
    void setRange(int low, int high) override;
    void setPosition(int position) override;

    void onCommand(int, platform::ui::Notify) override {}
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}

private:
    // Runs change on the window thread while the window exists.
    void onWindow(std::function<void(platform::ui::Window&)> change);

    platform::ui::Toolkit& toolkit_;
    std::unique_ptr<platform::ui::Window> window_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int low_ = 0;
    int high_ = 100;
};

}  // namespace tessel::app
