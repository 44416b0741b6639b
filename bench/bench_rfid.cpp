// What the RFID link adds to a secured command beyond the time its bytes spend on the line.
//
// The module simulator runs on a pseudo-terminal in real time, pacing its answer at 19200 bit/s;
// the library talks to it through the termios port. Each iteration is one Mifare block read in
// mode 1 (link update, rotation, link bytes checked on the way back). The line time of the bytes
// is subtracted from the measured time. A pseudo-terminal passes the host's writes on at once,
// so only the answer spends its line time inside the measurement: the request's line time is
// subtracted only where it was spent (kRequestPaced).
//
// Counter link_cmd_overhead_ms: mean overhead per command (target: under 1 ms);
// link_cmd_overhead_median_ms: its median.
//
// BM_ScanLatency: one tag scan with 10 bytes of user data per reader kind (5 text, 6 frame,
// 7 module) against its simulator, paced on a pseudo-terminal. Counters: scan_latency_ms from
// the scan call to the result; scan_line_ms the line time of the bytes received; scan_waits_ms
// the waits the protocol mandates (sleeps, and the silences that end frame replies);
// scan_overhead_ms what is left (target: under 2 ms); scan_silence_taken_ms how long the
// silence waits really took (a loaded machine wakes the reader late from each of them).
// Second argument 0: the simulator sends
// as fast as the pty takes the bytes, so no line time is counted.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "browser/rfid/link/link_test_support.h"
#include "browser/rfid/link/rfid_link.h"
#include "browser/rfid/rfid_reader.h"
#include "platform/pty_device.h"
#include "platform/serial_posix.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"

namespace {

using namespace tessel;

constexpr std::uint32_t kSpeed = 19200;
constexpr std::string_view kKeyText = "1A2B3C4D";
constexpr int kHandle = 2;
// Whether the host's writes take their line time (they do not on a pseudo-terminal).
constexpr bool kRequestPaced = false;

struct ByteCount {
    std::size_t sent = 0;
    std::size_t received = 0;
    platform::Micros silence{0};  // the time-outs of reads that waited them out
    std::chrono::steady_clock::duration silenceTaken{0};  // how long those reads really took
};

// Counts the bytes that cross the line in each direction.
class CountingPort final : public rfid::ForwardingPort {
  public:
    CountingPort(std::unique_ptr<platform::SerialPort> port, ByteCount& count)
        : ForwardingPort(std::move(port)), count_(count) {}

    bool readByte(std::uint8_t& out, platform::Millis timeout) override {
        const auto start = std::chrono::steady_clock::now();
        const bool got = ForwardingPort::readByte(out, timeout);
        count_.received += got ? 1 : 0;
        if (!got) {
            count_.silence += timeout;
            count_.silenceTaken += std::chrono::steady_clock::now() - start;
        }
        return got;
    }
    std::size_t write(std::span<const std::uint8_t> bytes, platform::Millis timeout) override {
        const std::size_t sent = ForwardingPort::write(bytes, timeout);
        count_.sent += sent;
        return sent;
    }

  private:
    ByteCount& count_;
};

// Opens the pseudo-terminal's slave side as every port.
class PtyOpener final : public platform::SerialPortOpener {
  public:
    PtyOpener(std::filesystem::path slave, ByteCount& count)
        : slave_(std::move(slave)), count_(count) {}
    std::unique_ptr<platform::SerialPort> open(std::string_view, int& error) override {
        auto port = platform::TermiosSerialPort::open(slave_, error);
        if (!port) return nullptr;
        return std::make_unique<CountingPort>(std::move(port), count_);
    }

  private:
    std::filesystem::path slave_;
    ByteCount& count_;
};

// Range 0: 1 paces the module's answer at the line rate, 0 sends it as fast as the pty takes it
// (what is left is the library and the pty's own cost).
void BM_SecuredMifareRead(benchmark::State& state) {
    const bool paced = state.range(0) != 0;
    sim::RfidModuleSim::Config config;
    config.speed = kSpeed;
    config.key = rfid::parseKeyText(kKeyText);
    config.replyDelay = platform::Micros(0);
    sim::RfidModuleSim module(config);
    module.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, {0x11, 0x22, 0x33, 0x44}));

    int error = 0;
    platform::PtyDevice::Options options;
    options.paced = paced;
    auto pty = platform::PtyDevice::start(module, options, error);
    if (!pty) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ByteCount count;
    PtyOpener opener(pty->slavePath(), count);
    rfid::RfidLink link(opener, platform::realClock());
    if (link.open(kHandle, kSpeed, kKeyText, 1, 0).result != rfid::LinkResult::Success ||
        link.selectProtocol(kHandle, 'A') != rfid::LinkResult::Success) {
        state.SkipWithError("the module did not connect");
        return;
    }

    const platform::LineSettings line{kSpeed};
    std::array<std::uint8_t, 16> block{};
    using Ms = std::chrono::duration<double, std::milli>;
    std::vector<Ms> overheads;
    overheads.reserve(std::size_t(state.max_iterations));
    std::int64_t failures = 0;
    std::size_t lineBytes = 0;
    for (auto _ : state) {
        count = {};
        const auto start = std::chrono::steady_clock::now();
        const rfid::LinkResult result = link.mifareRead(kHandle, rfid::MifareKeyType::A, 4,
                                                        sim::MifareClassic::kTransportKey, block);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        failures += result == rfid::LinkResult::Success ? 0 : 1;
        const std::size_t onLine = paced ? count.received + (kRequestPaced ? count.sent : 0) : 0;
        overheads.push_back(elapsed - platform::characterTime(line, onLine));
        lineBytes += count.sent + count.received;
        benchmark::DoNotOptimize(block);
    }
    link.close(kHandle);
    const double n = double(state.iterations());
    Ms total{0};
    for (Ms o : overheads) total += o;
    // The median shows the usual cost when a loaded machine stalls the odd command.
    std::nth_element(overheads.begin(), overheads.begin() + long(overheads.size() / 2),
                     overheads.end());
    const double median = overheads.empty() ? 0.0 : overheads[overheads.size() / 2].count();
    state.counters[paced ? "link_cmd_overhead_ms" : "unpaced_cmd_ms"] = total.count() / n;
    state.counters[paced ? "link_cmd_overhead_median_ms" : "unpaced_cmd_median_ms"] = median;
    state.counters["failed_reads"] = double(failures);
    state.counters["line_bytes_per_cmd"] = double(lineBytes) / n;
}

BENCHMARK(BM_SecuredMifareRead)->Arg(1)->Arg(0)->Iterations(200)->Unit(benchmark::kMillisecond);

// The real clock, with the sleeps it was asked for added up.
class SleepCountingClock final : public platform::Clock {
  public:
    platform::Micros now() const override { return platform::realClock().now(); }
    void sleep(platform::Micros d) override {
        slept += d;
        platform::realClock().sleep(d);
    }
    bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 platform::Micros d, const std::function<bool()>& ready) override {
        return platform::realClock().waitFor(cv, lock, d, ready);
    }
    platform::Micros slept{0};
};

struct ScanRig {
    std::unique_ptr<platform::DeviceModel> device;
    reader::ModelIndex model;
    std::uint32_t speed;
};

ScanRig scanRig(int kind) {
    const sim::Iso15693Tag tag(sim::Iso15693Tag::kMakerPhilips, 0x123456, 64);
    if (kind == 5) {
        auto text = std::make_unique<sim::RfidTextReader>(1, 57600);
        text->setReplyDelay(platform::Micros(0));
        text->insert(tag);
        return {std::move(text), reader::ModelIndex::K230, 57600};
    }
    if (kind == 6) {
        auto frame = std::make_unique<sim::RfidFrameReader>();
        frame->setReplyDelay(platform::Micros(0));
        frame->insert(tag);
        return {std::move(frame), reader::ModelIndex::K220, 115200};
    }
    sim::RfidModuleSim::Config config;
    config.key = rfid::parseKeyText(rfid::RfidReader::kModuleKeyText);
    config.replyDelay = platform::Micros(0);
    auto module = std::make_unique<sim::RfidModuleSim>(config);
    module->insert(tag);
    return {std::move(module), reader::ModelIndex::K240, 19200};
}

void BM_ScanLatency(benchmark::State& state) {
    ScanRig rig = scanRig(int(state.range(0)));
    const bool paced = state.range(1) != 0;
    int error = 0;
    platform::PtyDevice::Options options;
    options.paced = paced;
    auto pty = platform::PtyDevice::start(*rig.device, options, error);
    if (!pty) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ByteCount count;
    PtyOpener opener(pty->slavePath(), count);
    SleepCountingClock clock;
    reader::ReaderPort port(2, opener, clock);
    port.model = rig.model;
    rfid::RfidLink link(opener, clock);
    rfid::FrameReaderFlags flags;
    rfid::RfidReader reader(port, link, flags, {.idleThread = false});
    if (!reader.start(reader::ReaderType::Auto)) {
        state.SkipWithError("the reader was not found");
        return;
    }
    const rfid::TagRequest request{0, 10, "FFFFFFFFFFFF", 0};
    const platform::LineSettings line{rig.speed};
    using Ms = std::chrono::duration<double, std::milli>;
    Ms latency{0}, lineTime{0}, waits{0}, silenceTaken{0};
    std::int64_t failures = 0;
    for (auto _ : state) {
        count = {};
        clock.slept = {};
        rfid::RfidTagResult result;
        const auto start = std::chrono::steady_clock::now();
        const bool found = reader.scan(request, result);
        latency += std::chrono::steady_clock::now() - start;
        failures += found && result.userData.size() == 10 ? 0 : 1;
        const std::size_t onLine = paced ? count.received + (kRequestPaced ? count.sent : 0) : 0;
        lineTime += platform::characterTime(line, onLine);
        waits += clock.slept + count.silence;
        silenceTaken += count.silenceTaken;
    }
    reader.close();
    const double n = double(state.iterations());
    state.counters["scan_latency_ms"] = latency.count() / n;
    state.counters["scan_line_ms"] = lineTime.count() / n;
    state.counters["scan_waits_ms"] = waits.count() / n;
    state.counters["scan_overhead_ms"] = (latency - lineTime - waits).count() / n;
    state.counters["scan_silence_taken_ms"] = silenceTaken.count() / n;
    state.counters["failed_scans"] = double(failures);
}

BENCHMARK(BM_ScanLatency)
    ->ArgsProduct({{5, 6, 7}, {1, 0}})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
