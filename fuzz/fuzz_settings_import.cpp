// Imports arbitrary settings files into simulated engines of three kinds and exports them again:
// detection requests, the section routes and the values sent to the engine must stay in range
// whatever the file holds, and the exported store must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "browser/settings/persistence.h"
#include "platform/imaging.h"
#include "platform/library_loader.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace {

using namespace tessel;

// One terminal with an engine found at start-up, kept for every input.
struct Terminal {
    Terminal(platform::DeviceModel& engine, reader::ReaderType kind, const char* model)
        : registry(root.path() / "registry.txt", clock) {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz(model));
        opener.plug("COM1:", engine);
        manager.start(kind, reader::ReaderType::None);
    }

    platform::TempDir root;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry;
    platform::TableLibraryLoader loader;
    reader::ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), nullptr}};
};

Terminal& terminal(std::uint8_t choice) {
    static sim::CcdLaserEngine ccd;
    static sim::PacketEngine imager(sim::PacketKind::Imager2D, 115200);
    static sim::PacketEngine laser(sim::PacketKind::LongRange1D955, 38400);
    static Terminal terminals[] = {
        {ccd, reader::ReaderType::CcdLaser, "DEVK220CE"},
        {imager, reader::ReaderType::Imager2D, "DEVK220CE"},
        {laser, reader::ReaderType::LongRange1D955, "DEVK210CE"},
    };
    return terminals[choice % 3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Terminal& t = terminal(data[0]);
    settings::IniStore store;
    if (!store.loadBytes(std::span(data + 1, size - 1))) return 0;
    settings::detectionRequests(store);
    settings::BrowserOptions options;
    settings::SettingsPersistence persistence(
        {store, options, t.manager, platform::DeviceFs(t.root.path()), u"\\browser.exe", nullptr});
    persistence.importSettings();
    persistence.exportSettings();
    const std::string text = store.text();
    settings::IniStore again;
    if (!again.loadBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())))
        std::abort();
    return 0;
}
