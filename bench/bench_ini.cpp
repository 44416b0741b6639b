// Speed of IniStore: parsing, building the text and saving it to a file.
//
// Inputs: generated files of 10,000 and 100,000 entries (200 entries per section, so the larger
// has 500 sections) and a browserINI.txt of real size holding every section of the catalogue.
// Counters: parse_MBps and load_MBps (bytes of file per second, from memory and from disk),
// save_MBps and text_MBps (bytes written per second, to a file and to memory), ns_per_entry
// to compare the two generated sizes, and save_real_file_us (one save of the real-sized file,
// flushed to storage as every save is). The file benchmarks count wall time, since much of a
// save's cost is the file system's work rather than this process's CPU time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "browser/settings/ini_store.h"
#include "browser/settings/options_catalogue.h"

namespace {

namespace fs = std::filesystem;
using tessel::settings::IniStore;
using tessel::settings::KeyKind;

struct Sample {
    std::string bytes;
    std::size_t entries = 0;
};

Sample generated(std::size_t entries) {
    constexpr std::size_t kPerSection = 200;
    Sample sample{{}, entries};
    for (std::size_t i = 0; i < entries; ++i) {
        if (i % kPerSection == 0) {
            sample.bytes += "\r\n[Generated Section " + std::to_string(i / kPerSection) + "]\r\n";
        }
        sample.bytes += "optionKey" + std::to_string(i % kPerSection) + "=value of entry " +
                        std::to_string(i) + "\r\n";
    }
    return sample;
}

// Every catalogue section with every key, as the program would write it.
Sample realBrowserIni() {
    IniStore store;
    Sample sample;
    for (const auto& section : tessel::settings::optionsCatalogue()) {
        auto* written = store.addSection(section.name);
        for (const auto& key : section.keys) {
            const std::string value = key.defaultValue            ? std::string(*key.defaultValue)
                                      : key.kind == KeyKind::Flag ? "1"
                                                                  : "30";
            store.setString(written, key.name, std::u16string(value.begin(), value.end()));
        }
    }
    for (const auto* section : store.sections()) sample.entries += section->entries().size();
    sample.bytes = store.text();
    return sample;
}

const Sample& sample(int which) {
    static const Sample small = generated(10'000);
    static const Sample large = generated(100'000);
    static const Sample real = realBrowserIni();
    return which == 0 ? real : which == 1 ? small : large;
}

std::span<const std::uint8_t> asBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void setCounters(benchmark::State& state, const char* rateName, const Sample& input) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters[rateName] = benchmark::Counter(
        iterations * static_cast<double>(input.bytes.size()) / 1e6, benchmark::Counter::kIsRate);
    // Entries per nanosecond, inverted: nanoseconds per entry.
    state.counters["ns_per_entry"] =
        benchmark::Counter(iterations * static_cast<double>(input.entries) / 1e9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

class TempFolder {
  public:
    TempFolder()
        : path_(fs::temp_directory_path() /
                ("bench_ini_" + std::to_string(std::random_device{}()))) {
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void loadOrAbort(IniStore& store, const Sample& input) {
    if (!store.loadBytes(asBytes(input.bytes))) std::abort();
}

void BM_Parse(benchmark::State& state) {
    const Sample& input = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        IniStore store;
        benchmark::DoNotOptimize(store.loadBytes(asBytes(input.bytes)));
    }
    setCounters(state, "parse_MBps", input);
}

void BM_LoadFile(benchmark::State& state) {
    const Sample& input = sample(static_cast<int>(state.range(0)));
    TempFolder folder;
    const fs::path file = folder.path() / "browserINI.txt";
    std::ofstream(file, std::ios::binary) << input.bytes;
    for (auto _ : state) {
        IniStore store;
        benchmark::DoNotOptimize(store.load(file));
    }
    setCounters(state, "load_MBps", input);
}

void BM_BuildText(benchmark::State& state) {
    const Sample& input = sample(static_cast<int>(state.range(0)));
    IniStore store;
    loadOrAbort(store, input);
    for (auto _ : state) benchmark::DoNotOptimize(store.text());
    setCounters(state, "text_MBps", input);
}

void BM_SaveFile(benchmark::State& state) {
    const Sample& input = sample(static_cast<int>(state.range(0)));
    IniStore store;
    loadOrAbort(store, input);
    TempFolder folder;
    const fs::path file = folder.path() / "browserINI.txt";
    for (auto _ : state) {
        if (!store.save(file)) state.SkipWithError("save failed");
    }
    setCounters(state, "save_MBps", input);
    if (state.range(0) == 0) {
        // Microseconds per save of the real file, its flushes to storage included.
        state.counters["save_real_file_us"] =
            benchmark::Counter(static_cast<double>(state.iterations()) / 1e6,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}

// Argument: 0 the real-sized browserINI.txt, 1 10,000 entries, 2 100,000 entries.
BENCHMARK(BM_Parse)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BuildText)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveFile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
