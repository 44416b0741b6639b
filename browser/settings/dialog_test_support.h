#pragma once
// Test support for the settings dialogs: a headless window thread, and a reader manager on the
// virtual port and clock joined to simulated readers, with recording stand-ins for the shell,
// the reader threads and the symbology page.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "browser/reader/reader_manager.h"
#include "browser/rfid/managed_rfid_reader.h"
#include "browser/settings/browser_options.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/shell_control.h"
#include "browser/settings/symbology_page.h"
#include "platform/headless/headless_ui.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_text_reader.h"

namespace tessel::settings::test {

using platform::headless::HeadlessToolkit;
using platform::headless::HeadlessWindow;
using reader::ReaderType;

class RecordingShell final : public ShellControl {
public:
    struct Sent {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    void unlockNow() override { ++unlocks; }
    void tickTrayItem(int item, bool ticked) override { ticks.emplace_back(item, ticked); }
    void sendToMain(std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
        messages.push_back({m, w, l});
    }
    int unlocks = 0;
    std::vector<std::pair<int, bool>> ticks;
    std::vector<Sent> messages;
};

class RecordingReading final : public ReadingControl {
public:
    void setDecodeWaitSeconds(int seconds) override { decodeWait = seconds; }
    void releaseTriggerWaits() override { ++releases; }
    void awaitTriggerIdle(std::uint32_t ms) override { idleWaits.push_back(ms); }
    int decodeWait = -1;
    int releases = 0;
    std::vector<std::uint32_t> idleWaits;
};

class StubSymbologies final : public SymbologyPage {
public:
    void create(platform::ui::Window&) override {}
    void show(bool) override {}
    void destroy() override {}
    void setRowsEnabled(bool enabled) override { rowsEnabled = enabled; }
    void refreshAfterReset() override { ++refreshes; }
    std::optional<bool> rowsEnabled;
    int refreshes = 0;
};

// A reader manager on the virtual port and clock, with a simulated reader of every kind ready
// to be fitted on ports 1 and 2 (a K220 until setModel says otherwise).
class SimulatedReaders {
public:
    SimulatedReaders() { setModel("DEVK220CE"); }

    void setModel(const char* ident) {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz(ident));
    }
    // Starts the manager with engine on port 1 and rfid on port 2 (either may be null).
    void startReaders(platform::DeviceModel* engine, ReaderType engineType,
                      platform::DeviceModel* rfidReader = nullptr) {
        if (engine) opener.plug("COM1:", *engine);
        if (rfidReader) opener.plug("COM2:", *rfidReader);
        manager.start(engine ? engineType : ReaderType::None,
                      rfidReader ? ReaderType::Auto : ReaderType::None);
    }

    // The simulated readers outlive the manager, whose end closes the ports.
    sim::CcdLaserEngine ccd;
    sim::PacketEngine imager{sim::PacketKind::Imager2D, 115200};
    sim::PacketEngine imager4507{sim::PacketKind::Imager2D4507, 115200};
    sim::PacketEngine longRange{sim::PacketKind::LongRange1D, 38400};
    sim::RfidTextReader textReader{1, 57600};
    sim::RfidFrameReader frameReader;

    platform::TempDir dir;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    rfid::RfidLink link{opener, clock};
    rfid::FrameReaderFlags flags;
    rfid::ManagedRfidReader rfid{link, flags, {.idleThread = false}};
    reader::ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
};

// The value of key in section of store; nullopt when either is missing.
inline std::optional<int> storedValue(IniStore& store, std::string_view section,
                                      std::string_view key) {
    int value = 0;
    const IniSection* found = store.findSection(section);
    if (!found || !store.getInt(found, key, value)) return std::nullopt;
    return value;
}

class DialogTest : public ::testing::Test, public SimulatedReaders {
protected:
    DialogTest() {
        windowThread_ = std::thread([this] { toolkit.run(); });
    }
    ~DialogTest() override {
        toolkit.quit();
        windowThread_.join();
    }

    // Runs f on the window thread and waits for it.
    template <class F>
    void ui(F f) {
        toolkit.send(std::function<void()>(std::move(f)));
    }

    std::optional<int> stored(std::string_view section, std::string_view key) {
        return storedValue(store, section, key);
    }

    HeadlessToolkit toolkit;
    BrowserOptions options;
    IniStore store;
    RecordingShell shell;
    RecordingReading reading;
    StubSymbologies symbologies;

private:
    std::thread windowThread_;
};

}  // namespace tessel::settings::test
