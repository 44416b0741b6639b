// Speed of the scan-engine transport against a simulated engine on a pseudo-terminal that paces
// its output at the line rate:
//   image_overhead_ratio  time to receive a 30 KB image at 115200, divided by what the line
//                         itself needs: the line time of every byte sent either way plus the
//                         fixed waits the transfer asks the sleeper for (target ≤ 1.10);
//   decode_overhead_ms    time from the engine writing the last byte of a decode message to the
//                         decode being returned (target < 1 ms);
//   config_roundtrip_ms   reading every symbology section of an imager and writing the values
//                         back to it, beside config_line_ms, the line time of the bytes exchanged
//                         plus the fixed waits (target: within 1.10 × that).
// The engine answers without processing time of its own, so what remains is the host's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <thread>
#include <vector>

#include "browser/reader/engine.h"
#include "browser/reader/reader_port.h"
#include "browser/reader/symbology_config.h"
#include "platform/device_fs.h"
#include "platform/pty_device.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "sim/packet_engine.h"

namespace {

using namespace tessel;
using platform::Micros;

constexpr std::uint32_t kImagerBaud = 115200;
constexpr std::size_t kImageBytes = 30 * 1024;

// Real time, with every fixed wait added up.
class MeasuringClock final : public platform::Clock {
  public:
    Micros now() const override { return platform::realClock().now(); }
    void sleep(Micros d) override {
        waited_ += d.count();
        platform::realClock().sleep(d);
    }
    bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Micros d,
                 const std::function<bool()>& ready) override {
        const bool done = platform::realClock().waitFor(cv, lock, d, ready);
        if (!done) {
            waited_ += d.count();
        }
        return done;
    }
    Micros waited() const { return Micros(waited_.load()); }

  private:
    std::atomic<std::int64_t> waited_{0};
};

// Passes everything through to an engine, counting the bytes each side puts on the line.
class CountingModel final : public platform::DeviceModel, private platform::DeviceLink {
  public:
    explicit CountingModel(platform::DeviceModel& inner) : inner_(inner) {}

    void attach(platform::DeviceLink& link) override {
        link_ = &link;
        inner_.attach(*this);
    }
    void receive(std::span<const std::uint8_t> bytes, Micros t) override {
        fromHost_ += bytes.size();
        inner_.receive(bytes, t);
    }
    void lineChanged(const platform::LineState& line, Micros t) override {
        inner_.lineChanged(line, t);
    }
    std::optional<bool> cts(Micros t) const override { return inner_.cts(t); }

    std::size_t bytesBothWays() const { return fromHost_ + fromDevice_; }

  private:
    void send(std::span<const std::uint8_t> bytes, Micros at) override {
        fromDevice_ += bytes.size();
        link_->send(bytes, at);
    }
    platform::LineState line() const override { return link_->line(); }
    Micros now() const override { return link_->now(); }

    platform::DeviceModel& inner_;
    platform::DeviceLink* link_ = nullptr;
    std::atomic<std::size_t> fromHost_{0};
    std::atomic<std::size_t> fromDevice_{0};
};

// An imager on a paced pseudo-terminal, published as "COM1:" in a scratch device root, and a
// reader port opened on it and brought to the imager's speed.
struct Bench {
    explicit Bench(std::uint32_t baud)
        : root(std::filesystem::temp_directory_path() /
               ("bench_engine_" + std::to_string(::getpid()))),
          engine(sim::PacketKind::Imager2D, baud),
          counting(engine),
          registry(root / "registry") {
        engine.setResponseDelay(Micros(0));
        engine.setDecodeDelay(Micros(0));
        int error = 0;
        std::filesystem::create_directories(root);
        pty = platform::PtyDevice::start(counting, {}, error);
        if (!pty) {
            return;
        }
        registry.create(platform::Hive::LocalMachine, platform::kPortMapKey)
            ->set("COM1", platform::RegValue::sz(pty->slavePath().string()));
        opener.emplace(registry, root);
        port.emplace(1, *opener, clock);
        port->type = reader::ReaderType::Imager2D;
        ready = port->openPort() && port->setSpeed(baud);
    }
    ~Bench() {
        port.reset();
        pty.reset();
        std::filesystem::remove_all(root);
    }

    std::filesystem::path root;
    sim::PacketEngine engine;
    CountingModel counting;
    platform::Registry registry;
    std::unique_ptr<platform::PtyDevice> pty;
    std::optional<platform::PortMapOpener> opener;
    MeasuringClock clock;
    std::optional<reader::ReaderPort> port;
    reader::AimToggle toggle;
    bool ready = false;

    // Marks the start of a measured stretch of line traffic.
    void startMeasure() {
        bytesBefore_ = counting.bytesBothWays();
        waitedBefore_ = clock.waited();
        start_ = clock.now();
    }
    // Adds the time from startMeasure to end, and what the line needed for the bytes exchanged
    // since then plus the fixed waits asked for meanwhile.
    void stopMeasure(Micros end) {
        const auto lineTime = platform::characterTime(port->serial()->settings(),
                                                      counting.bytesBothWays() - bytesBefore_);
        measured += static_cast<double>((end - start_).count());
        needed += static_cast<double>((lineTime + clock.waited() - waitedBefore_).count());
    }
    double measured = 0;  // µs
    double needed = 0;    // µs

  private:
    std::size_t bytesBefore_ = 0;
    Micros waitedBefore_{0};
    Micros start_{0};
};

void BM_ImageTransfer(benchmark::State& state) {
    Bench bench(kImagerBaud);
    if (!bench.ready || !reader::imagerMode(*bench.port, 1)) {
        state.SkipWithError("no imager on a pseudo-terminal");
        return;
    }
    sim::Bytes picture(kImageBytes);
    for (std::size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<std::uint8_t>(i * 7);
    }
    bench.pty->withModel([&](platform::DeviceModel&) { bench.engine.setImage(picture); });

    bool whole = true;
    for (auto _ : state) {
        bench.startMeasure();
        reader::Bytes image;
        const bool pulled = reader::trigger(*bench.port, true, bench.toggle);
        const bool received = pulled && reader::receiveImage(*bench.port, {}, image);
        const auto end = bench.clock.now();
        while (!bench.pty->outputIdle()) {
            std::this_thread::yield();
        }
        reader::trigger(*bench.port, false, bench.toggle);
        whole = whole && received && image.size() >= picture.size() &&
                std::equal(picture.begin(), picture.end(), image.begin());
        bench.stopMeasure(end);
    }
    if (!whole) {
        state.SkipWithError("the image did not arrive whole");
        return;
    }
    state.counters["image_overhead_ratio"] = bench.measured / bench.needed;
    state.counters["transfer_ms"] = bench.measured / 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ImageTransfer)->Iterations(1)->Unit(benchmark::kMillisecond);

// range(0): the form of the decode message; range(1): its data length.
void BM_DecodeLatency(benchmark::State& state) {
    const sim::Decode decode{3, sim::Bytes(static_cast<std::size_t>(state.range(1)), '7'),
                             static_cast<sim::DecodeForm>(state.range(0))};
    Bench bench(kImagerBaud);
    if (!bench.ready) {
        state.SkipWithError("no imager on a pseudo-terminal");
        return;
    }
    std::vector<double> overheadsMs;
    bool decoded = true;
    for (auto _ : state) {
        bench.pty->withModel([&](platform::DeviceModel&) { bench.engine.queueDecode(decode); });
        const bool pulled = reader::trigger(*bench.port, true, bench.toggle);
        decoded = pulled && reader::receiveDecode(*bench.port, {}) && decoded;
        const auto returned = bench.clock.now();
        while (!bench.pty->outputIdle()) {
            std::this_thread::yield();
        }
        overheadsMs.push_back(static_cast<double>((returned - bench.pty->lastWrite()).count()) /
                              1000);
        reader::trigger(*bench.port, false, bench.toggle);
    }
    if (!decoded) {
        state.SkipWithError("a decode was lost");
        return;
    }
    // The median is the figure: on a shared machine a few decodes wait for the scheduler, which
    // the mean and the maximum show.
    std::sort(overheadsMs.begin(), overheadsMs.end());
    state.counters["decode_overhead_ms"] = overheadsMs[overheadsMs.size() / 2];
    state.counters["decode_overhead_mean_ms"] =
        std::accumulate(overheadsMs.begin(), overheadsMs.end(), 0.0) /
        static_cast<double>(overheadsMs.size());
    state.counters["decode_overhead_max_ms"] = overheadsMs.back();
}
// One packet, and a message in status-2 packets, each acknowledged: neither may end on a
// time-out once its last packet is in.
BENCHMARK(BM_DecodeLatency)
    ->Args({static_cast<int>(sim::DecodeForm::Single), 40})
    ->Args({static_cast<int>(sim::DecodeForm::Continuation), 600})
    ->ArgNames({"form", "bytes"})
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

// Reads every section with one configuration and writes the values back with a fresh one, whose
// empty cache makes it send every value that is not 0.
void BM_ConfigRoundtrip(benchmark::State& state) {
    Bench bench(kImagerBaud);
    if (!bench.ready) {
        state.SkipWithError("no imager on a pseudo-terminal");
        return;
    }
    const auto type = reader::ReaderType::Imager2D;
    bool complete = true;
    for (auto _ : state) {
        bench.startMeasure();
        reader::SymbologyConfig reading(*bench.port);
        reader::SymbologyConfig writing(*bench.port);
        for (const reader::PacketOperation& op : reader::packetOperations()) {
            if (!op.on(type)) continue;
            reader::KeyValues values;
            complete = reading.configure(op.section, 'r', values) &&
                       writing.configure(op.section, 'w', values) && complete;
        }
        bench.stopMeasure(bench.clock.now());
    }
    if (!complete) {
        state.SkipWithError("a section was refused");
        return;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["config_roundtrip_ms"] = bench.measured / 1000 / iterations;
    state.counters["config_line_ms"] = bench.needed / 1000 / iterations;
    state.counters["config_overhead_ratio"] = bench.measured / bench.needed;
}
BENCHMARK(BM_ConfigRoundtrip)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
