// From the scan engine to the page: the time from the engine simulator writing the last byte of
// a decode message on a pseudo-terminal to the headless document's "onScanBarcode" running.
//
// A text engine in a listening scan mode sends each decode at once; a reader thread reads it
// through the reader manager and posts "WM_DECODE" to the window thread, as the single-shot scan
// thread does; the window thread delivers it through the scan bridge to a JSON-line document.
// Counters: scan_to_callback_ms_p50 and scan_to_callback_ms_p99 over 1,000 scans.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "browser/app/scan_bridge.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/json_line.h"
#include "platform/pty_device.h"
#include "platform/serial_posix.h"
#include "sim/ccd_laser_engine.h"

namespace {

using namespace tessel;
using platform::Micros;

constexpr int kScans = 1000;

struct ScanRig {
    ScanRig()
        : root(std::filesystem::temp_directory_path() /
               ("bench_scan_" + std::to_string(::getpid()))),
          registry(root / "registry") {
        std::filesystem::create_directories(root);
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
        int error = 0;
        pty = platform::PtyDevice::start(engine, {}, error);
        if (!pty) return;
        registry.create(platform::Hive::LocalMachine, platform::kPortMapKey)
            ->set("COM1", platform::RegValue::sz(pty->slavePath().string()));
        reader::KeyValues listen{{"scanMode", 1}};
        ready = manager.start(reader::ReaderType::CcdLaser, reader::ReaderType::None) &&
                manager.symbology().configure("Barcode Reader CCD/Laser", 'w', listen);
    }
    ~ScanRig() {
        manager.shutdown();
        pty.reset();
        std::filesystem::remove_all(root);
    }

    std::filesystem::path root;
    platform::Registry registry;
    sim::CcdLaserEngine engine;
    std::unique_ptr<platform::PtyDevice> pty;
    platform::PortMapOpener opener{registry, root};
    platform::TableLibraryLoader loader;
    rfid::RfidLink link{opener, platform::realClock()};
    rfid::ManagedRfidReader rfid{link};
    reader::ReaderManager manager{
        {opener, platform::realClock(), registry, loader, platform::jpegImaging(), &rfid}};
    bool ready = false;
};

void BM_ScanToCallback(benchmark::State& state) {
    ScanRig rig;
    if (!rig.ready) {
        state.SkipWithError("no text engine on a pseudo-terminal");
        return;
    }
    platform::headless::HeadlessToolkit toolkit;
    std::thread windowThread([&] { toolkit.run(); });

    // The page marks the moment its callback runs.
    std::promise<Micros>* called = nullptr;
    auto page = std::make_shared<platform::headless::JsonLineDocument>(
        [&](const std::string&) { called->set_value(platform::realClock().now()); });
    app::ManagerScanResults results(rig.manager, rig.rfid);
    settings::BrowserOptions options;
    options.keyboardEmu = 0;
    platform::NoKeyboard keyboard;
    bridge::KeyboardEmulation keys(keyboard, platform::realClock());
    platform::Semaphore vibration(0, 1, platform::realClock());
    platform::Semaphore goodRead(0, 1, platform::realClock());
    platform::DeviceFs fs(rig.root);
    app::ScanBridge bridge({results, options, [] { return 0; }, keys, vibration, goodRead,
                            [](std::u16string_view) {}, [](std::u16string_view) {}, fs,
                            u"\\Program Files\\Tessel\\"});
    bridge.documentChanged(page);

    std::vector<double> latencies;
    bool complete = true;
    for (auto _ : state) {
        latencies.clear();
        for (int i = 0; i < kScans && complete; ++i) {
            std::promise<Micros> promise;
            called = &promise;
            auto done = promise.get_future();
            // The reader thread: one read, then "WM_DECODE" posted to the window thread.
            std::thread reader([&] {
                reader::ScanResult result;
                if (rig.manager.readBarcode(3000, result))
                    toolkit.post([&] { bridge.onDecode(1); });
            });
            rig.pty->withModel([](platform::DeviceModel& m) {
                static_cast<sim::CcdLaserEngine&>(m).queueDecode({'A', {'4', '0', '0', '6', '3'}});
            });
            reader.join();
            if (done.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
                complete = false;
                break;
            }
            const Micros at = done.get();
            latencies.push_back(static_cast<double>((at - rig.pty->lastWrite()).count()) / 1000.0);
        }
    }
    toolkit.quit();
    windowThread.join();
    if (!complete || latencies.empty()) {
        state.SkipWithError("a scan did not reach the page");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies[std::min(latencies.size() - 1,
                                  static_cast<std::size_t>(q * latencies.size()))];
    };
    state.counters["scan_to_callback_ms_p50"] = at(0.50);
    state.counters["scan_to_callback_ms_p99"] = at(0.99);
}
BENCHMARK(BM_ScanToCallback)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
