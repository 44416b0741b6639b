#pragma once
// AboutDialog: the modal About box of the Tools menu. Its text names the program and its
// version and, for each fitted reader, the decoder version that reader reports.
//
//   AboutDialog(toolkit, manager, screen).doModal();

#include <memory>
#include <string>
#include <string_view>

#include "browser/reader/reader_manager.h"
#include "browser/settings/dialog_layout.h"
#include "platform/ui.h"

namespace tessel::app {

inline constexpr int kAboutText = 7;
inline constexpr int kAboutLogo = 8;
inline constexpr char16_t kAboutCaption[] = u"About Tessel Browser";

// The About text; a part for a reader only when one is fitted (its version may be empty).
std::u16string aboutText(const std::optional<std::string>& barcodeVersion,
                         const std::optional<std::string>& rfidVersion);

class AboutDialog final : public platform::ui::WindowHandler {
public:
    AboutDialog(platform::ui::Toolkit& toolkit, reader::ReaderManager& readers,
                settings::DialogScreen screen);
    ~AboutDialog() override;

    // Asks the readers for their versions, shows the box maximised and waits for it to close.
    void doModal();
    platform::ui::Window* window() { return window_.get(); }

    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void onOk() override { onCommand(platform::ui::kIdOk, platform::ui::Notify::Clicked); }
    void onClose() override { onCommand(platform::ui::kIdOk, platform::ui::Notify::Clicked); }

private:
    platform::ui::Toolkit& toolkit_;
    reader::ReaderManager& readers_;
    settings::DialogScreen screen_;
    std::unique_ptr<platform::ui::Window> window_;
};

}  // namespace tessel::app
