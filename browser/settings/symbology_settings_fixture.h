#pragma once
// Test support: the symbology list and option pages on the headless toolkit, over port 1 joined
// to a simulated engine of a chosen kind on the virtual line and clock.

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "browser/reader/engine_port_fixture.h"
#include "browser/settings/symbology_option_pages.h"
#include "platform/headless/headless_ui.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace tessel::settings::testing {

using platform::headless::HeadlessToolkit;
using platform::headless::HeadlessWindow;
namespace packet = sim::packet;

// An option dialog window showing one page: it hands the window's commands to the pages and
// applies the page on OK, as the option dialog does.
class PageHost final : public platform::ui::WindowHandler {
  public:
    PageHost(HeadlessToolkit& toolkit, OptionPages& pages, int page)
        : pages_(pages), page_(page), window_(toolkit.createWindow(*this, nullptr)) {
        window_->show(true);
        pages_.build(*window_, page_);
    }
    HeadlessWindow& window() { return static_cast<HeadlessWindow&>(*window_); }
    void ok() { pages_.apply(*window_, page_); }

    void onCommand(int id, platform::ui::Notify notify) override {
        pages_.onCommand(*window_, page_, id, notify);
    }
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}

  private:
    OptionPages& pages_;
    int page_;
    std::unique_ptr<platform::ui::Window> window_;
};

class SymbologySettingsTest : public reader::testing::EnginePortTest {
  protected:
    // Fits an engine of kind (2, 3, 4, 8 or 9) on port 1 at 115200 baud, ready and quiet.
    void fit(int kind) {
        const auto type = static_cast<reader::ReaderType>(kind);
        port.closePort();
        if (kind == 2) {
            connect(ccd, type, 115200);
        } else {
            engine =
                std::make_unique<sim::PacketEngine>(static_cast<sim::PacketKind>(kind), 115200);
            connect(*engine, type, 115200);
        }
        context =
            std::make_unique<SymbologyContext>(SymbologyContext{config, store, options, kind});
        clearCommands();
    }

    void clearCommands() { engine ? engine->clearCommands() : ccd.clearCommands(); }
    const std::vector<reader::Bytes>& commands() const {
        return engine ? engine->commands() : ccd.commands();
    }
    int engineValue(packet::ParamId id) const { return engine->parameter(id).value_or(-1); }

    // The text engine's block with bit of byte set to on, as the port holds it.
    void setCcdBit(int byte, int bit, bool on) {
        reader::Bytes block = ccd.configBlock();
        const auto mask = static_cast<std::uint8_t>(1u << bit);
        block[byte] = static_cast<std::uint8_t>(on ? block[byte] | mask : block[byte] & ~mask);
        ccd.setConfigBlock(block);
        ASSERT_TRUE(reader::readConfiguration(port));
    }

    std::optional<int> stored(std::string_view section, std::string_view key) {
        int value = 0;
        const IniSection* found = store.findSection(section);
        if (!found || !store.getInt(found, key, value)) return std::nullopt;
        return value;
    }

    void loadStore(std::string_view text) {
        ASSERT_TRUE(store.loadBytes(
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    }

    sim::CcdLaserEngine ccd;
    std::unique_ptr<sim::PacketEngine> engine;
    IniStore store;
    BrowserOptions options;
    HeadlessToolkit toolkit;
    std::unique_ptr<SymbologyContext> context;
};

}  // namespace tessel::settings::testing
