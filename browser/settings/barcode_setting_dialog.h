#pragma once
// BarcodeSettingDialog: the list of the fitted engine's symbologies, a child page of the main
// window. A row is a check box without text and a button with the symbology's name, a check box
// with the name (no options), or a button alone (a group switched on its page). A check box
// sends the symbology's `enable` alone to the engine and, when `updateIniWhenExit` is 1, writes
// it alone into the store; a button opens the symbology's option page and is enabled only
// while its box is on. On 2D imagers a last row holds the image capture switch and page.
//
//   BarcodeSettingDialog list({toolkit, context, false, pageRect,
//                              [&](int page) { optionDialog.showPage(page); },
//                              [&](bool on) { mainWindow.showImageCapture(on); }});
//   list.create(mainWindow);
//   list.show(true);

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/settings/options_catalogue.h"
#include "browser/settings/symbology_option_pages.h"
#include "browser/settings/symbology_page.h"
#include "platform/ui.h"

namespace tessel::settings {

enum class RowKind {
    CheckAndButton,  // check box without text, button with the name
    NamedCheck,      // check box with the name; no options
    ButtonOnly,      // the switches are on the page
    ImageCapture,    // the image capture switch (not the engine's) and its page
};

struct SymbologyRow {
    std::u16string label;
    RowKind kind = RowKind::CheckAndButton;
    std::string section;  // whose `enable` the check box edits
    int page = -1;        // the option page the button opens
    EngineKinds kinds = EngineKinds::all();
    std::u16string smallLabel = {};  // the button's text in the small-screen arrangement
};

// The rows of the list for an engine kind, in order.
std::vector<SymbologyRow> symbologyRows(int engineKind);

// A section whose `enable` is read back after the engine's factory reset, in writing order.
struct ResetEntry {
    std::string section;
    bool buttonStaysEnabled = false;
};
std::vector<ResetEntry> resetEntries(int engineKind);

struct BarcodeSettingParts {
    platform::ui::Toolkit& toolkit;
    SymbologyContext& context;
    bool kp30 = false;
    platform::ui::Rect place;  // the page's place in the main window
    // Shows an option page of the option dialog (symbology mode) modally.
    std::function<void(int page)> openPage;
    // Shows or hides the main window's image capture control.
    std::function<void(bool shown)> showImageCapture;
};

class BarcodeSettingDialog final : public SymbologyPage, private platform::ui::WindowHandler {
  public:
    explicit BarcodeSettingDialog(BarcodeSettingParts parts);
    ~BarcodeSettingDialog() override;

    void create(platform::ui::Window& mainWindow) override;
    void show(bool visible) override;
    void destroy() override;
    void setRowsEnabled(bool enabled) override;
    void refreshAfterReset() override;

    // The page (null before create and after destroy) and its rows.
    platform::ui::Window* window() const { return window_.get(); }
    const std::vector<SymbologyRow>& rows() const { return rows_; }
    // The controls of row i: its check box and its button.
    static int checkBoxId(std::size_t row);
    static int buttonId(std::size_t row);

  private:
    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}

    void addRowControls(std::size_t row);
    void loadRows();
    void setRowState(std::size_t row, bool on);
    void checkClicked(std::size_t row);
    bool smallScreen() const;

    BarcodeSettingParts parts_;
    std::vector<SymbologyRow> rows_;
    std::unique_ptr<platform::ui::Window> window_;
    bool rowsEnabled_ = true;
};

}  // namespace tessel::settings
