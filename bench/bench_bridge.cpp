// Speed of the window thread's share of a scan: building the delivery (code-page decoding of a
// 2D text symbol, the typed text) and running it against a page that answers at once, with
// keyboard emulation in character mode into a keyboard that drops its input.
//
// Inputs: a 2D QR Code of 100 and of 2,000 bytes of UTF-8 text.
// Counters: delivery_us (microseconds per scan, build and run) and MBps (scan bytes per second).
#include <benchmark/benchmark.h>

#include <string>

#include "browser/bridge/delivery_runner.h"

namespace {

using namespace tessel;

class NullKeyboard final : public platform::Keyboard {
public:
    void postKeybdMessage(std::intptr_t, std::uint32_t, std::uint32_t,
                          std::span<const std::uint32_t>, std::span<const std::uint32_t>) override {}
    void keybdEvent(std::uint8_t, std::uint8_t, std::uint32_t) override {}
};

class AnsweringPage final : public platform::PageDocument {
public:
    platform::PageCall call(std::u16string_view, std::span<const std::u16string> args) override {
        benchmark::DoNotOptimize(args.data());
        return {platform::PageCall::Outcome::Returned, {}, 0};
    }
};

void scanDelivery(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> data;
    const std::string unit = "Ma\xC3\xB1" "ana-";
    while (data.size() < size) data.push_back(static_cast<std::uint8_t>(unit[data.size() % 8]));
    const bridge::BarcodeScan scan{reader::ReaderType::Imager2D, 28, "QR Code", data};

    NullKeyboard keyboard;
    platform::VirtualClock clock;
    bridge::KeyboardEmulation keys(keyboard, clock);
    platform::Semaphore vibration(0, 1, clock);
    platform::Semaphore goodRead(0, 1, clock);
    bridge::ScriptInvoker invoker;
    invoker.setDocument(std::make_shared<AnsweringPage>());
    bridge::DeliveryRunner runner(keys, vibration, goodRead, [](std::u16string_view) {}, invoker);
    settings::BrowserOptions options;
    options.displayCodeType = 1;
    options.displayCodeLength = 1;

    for (auto _ : state) runner.run(bridge::deliverBarcode(scan, options, 0));

    const auto scans = static_cast<double>(state.iterations());
    state.counters["delivery_us"] =
        benchmark::Counter(scans * 1e-6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["MBps"] = benchmark::Counter(scans * static_cast<double>(size) / 1e6,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(scanDelivery)->Arg(100)->Arg(2000);

}  // namespace

BENCHMARK_MAIN();
