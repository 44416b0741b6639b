#pragma once
// COptionDialog: the one modal window in which the user edits options. It shows one page of
// its OptionPages at a time: the symbology pages (mode 0) or the browser and reader pages
// (mode 1). The opener sets the page, then runs the dialog; the page's controls are built at
// each opening, and OK applies the page before the dialog closes.
//
//   COptionDialog dialog(toolkit, readerPages, COptionDialog::kReaderPages, screen);
//   dialog.setPage(1);
//   dialog.doModal();   // "Barcode Reader Settings"

#include <memory>

#include "browser/settings/dialog_layout.h"
#include "browser/settings/option_pages.h"
#include "platform/ui.h"

namespace tessel::settings {

inline constexpr char16_t kOptionDialogCaption[] = u"Options";

class COptionDialog final : public platform::ui::WindowHandler {
public:
    static constexpr int kSymbologyPages = 0;
    static constexpr int kReaderPages = 1;

    // pages must outlive the dialog.
    COptionDialog(platform::ui::Toolkit& toolkit, OptionPages& pages, int mode, DialogScreen screen);
    ~COptionDialog() override;

    int mode() const { return mode_; }
    int page() const { return page_; }
    void setPage(int page) { page_ = page; }

    // Builds the current page and runs the dialog; true when it was closed with OK. A page that
    // does not exist shows an empty dialog.
    bool doModal();
    // The open dialog's window; null while it is closed.
    platform::ui::Window* window() { return window_.get(); }

    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void onOk() override { onCommand(platform::ui::kIdOk, platform::ui::Notify::Clicked); }
    void onClose() override { onCommand(platform::ui::kIdCancel, platform::ui::Notify::Clicked); }

private:
    platform::ui::Toolkit& toolkit_;
    OptionPages& pages_;
    const int mode_;
    const DialogScreen screen_;
    int page_ = 0;
    std::unique_ptr<platform::ui::Window> window_;
};

}  // namespace tessel::settings
