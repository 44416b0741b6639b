// From the scan engine to the page: the time from the engine simulator writing the last byte of
// a decode message on a pseudo-terminal to the headless document's "onScanBarcode" running.
//
// The scans go the program's own way: a text engine in a listening scan mode; the reader threads
// (the single-shot thread, released as a trigger press releases it) read through the reader
// manager and post "WM_DECODE"; on the window thread the scan bridge delivers it to a JSON-line
// document. The threads' 200 ms pause after each read runs on a virtual clock, so that scans
// follow each other at once.
// Counters: scan_to_callback_ms_p50 and scan_to_callback_ms_p99 over 1,000 scans.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "browser/app/manager_readers.h"
#include "browser/app/scan_bridge.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/json_line.h"
#include "platform/pty_device.h"
#include "platform/serial_posix.h"
#include "platform/sound.h"
#include "sim/ccd_laser_engine.h"

namespace {

using namespace tessel;
using platform::Micros;

constexpr int kScans = 1000;

// Starts the text engine in scan mode 1 (it sends each decode as soon as it has one) and the
// reader threads.
void startListening(app::ManagerReaders& readers) {
    reader::KeyValues listen{{"scanMode", 1}};
    reader::ReaderManager& manager = readers.manager();
    if (manager.start(reader::ReaderType::CcdLaser, reader::ReaderType::None) &&
        manager.symbology().configure("Barcode Reader CCD/Laser", 'w', listen)) {
        readers.startThreads();
    }
}

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
        readers.startUp();
        ready = readers.threads().running() > 0;
    }
    ~ScanRig() {
        readers.close();
        pty.reset();
        std::filesystem::remove_all(root);
    }

    // Waits until the single-shot thread listens on the engine's port: it holds the port lock.
    bool awaitListening() {
        platform::Semaphore& lock = manager.port(1).portLock;
        for (int i = 0; i < 30000; ++i) {
            if (!lock.tryWait()) return true;
            lock.release();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
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
    platform::headless::HeadlessToolkit toolkit;
    app::RegisteredMessages messages{toolkit};
    app::DecodeSink* sink = nullptr;  // the window thread's, once the bridge stands
    platform::VirtualClock pauses;
    platform::RecordingSoundPlayer sounds;
    app::ManagerReaders readers{
        {manager, rfid, toolkit, pauses, sounds,
         [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
             if (sink && messages.is(message, app::Msg::Decode)) sink->onDecode(wParam);
         }},
        startListening};
    bool ready = false;
};

void BM_ScanToCallback(benchmark::State& state) {
    ScanRig rig;
    if (!rig.ready) {
        state.SkipWithError("no text engine on a pseudo-terminal");
        return;
    }
    std::thread windowThread([&] { rig.toolkit.run(); });

    // The page marks the moment its callback runs.
    std::promise<Micros>* called = nullptr;
    auto page = std::make_shared<platform::headless::JsonLineDocument>(
        [&](const std::string&) { called->set_value(platform::realClock().now()); });
    app::ManagerScanResults results(rig.readers);
    settings::BrowserOptions options;
    options.keyboardEmu = 0;
    platform::NoKeyboard keyboard;
    bridge::KeyboardEmulation keys(keyboard, platform::realClock());
    platform::DeviceFs fs(rig.root);
    app::ReaderThreads& threads = rig.readers.threads();
    app::ScanBridge bridge({results, options, [] { return 0; }, keys, *threads.vibration(),
                            *threads.goodRead(), [](std::u16string_view) {},
                            [](std::u16string_view) {}, fs, u"\\Program Files\\Tessel\\"});
    bridge.documentChanged(page);
    rig.toolkit.send(std::function<void()>([&] { rig.sink = &bridge; }));

    std::vector<double> latencies;
    bool complete = true;
    for (auto _ : state) {
        latencies.clear();
        for (int i = 0; i < kScans && complete; ++i) {
            std::promise<Micros> promise;
            called = &promise;
            auto done = promise.get_future();
            threads.singleShot().release();  // a trigger press
            if (!rig.awaitListening()) {
                complete = false;
                break;
            }
            rig.pty->withModel([](platform::DeviceModel& m) {
                static_cast<sim::CcdLaserEngine&>(m).queueDecode({'A', {'4', '0', '0', '6', '3'}});
            });
            if (done.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
                complete = false;
                break;
            }
            const Micros at = done.get();
            latencies.push_back(static_cast<double>((at - rig.pty->lastWrite()).count()) / 1000.0);
        }
    }
    rig.toolkit.send(std::function<void()>([&] { rig.sink = nullptr; }));
    rig.toolkit.quit();
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
