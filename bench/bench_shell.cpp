// How fast a message reaches the window thread: a send() from another thread into the headless
// window thread, and a registered message by name from another process's point of view (one
// request over the device root's socket, handled on the window thread, answered).
//
// Counters: us_per_send and us_per_request (wall time per round trip), sends_per_s and
// requests_per_s. A trigger press travels the second road.
#include <benchmark/benchmark.h>

#include <thread>

#include "platform/headless/headless_ui.h"
#include "platform/message_channel.h"
#include "platform/temp_dir.h"

namespace {

using namespace tessel::platform;

struct RunningLoop {
    RunningLoop() : thread([this] { toolkit.run(); }) {}
    ~RunningLoop() {
        toolkit.quit();
        thread.join();
    }
    headless::HeadlessToolkit toolkit;
    std::thread thread;
};

void reportRoundTrips(benchmark::State& state, const char* perOne, const char* rate) {
    state.counters[perOne] = benchmark::Counter(static_cast<double>(state.iterations()) * 1e-6,
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters[rate] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_SendToWindowThread(benchmark::State& state) {
    RunningLoop loop;
    int handled = 0;
    for (auto _ : state) loop.toolkit.send([&] { ++handled; });
    benchmark::DoNotOptimize(handled);
    reportRoundTrips(state, "us_per_send", "sends_per_s");
}
BENCHMARK(BM_SendToWindowThread)->UseRealTime();

void BM_RequestByName(benchmark::State& state) {
    RunningLoop loop;
    TempDir root;
    MessageServer::Opened opened{};
    std::string error;
    auto server = MessageServer::open(root.path(), opened, error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    int handled = 0;
    server->start([&](const ChannelRequest&) {
        return loop.toolkit.send([&] { ++handled; }) ? std::string("ok") : std::string("error");
    });
    const ChannelRequest trigger{ChannelRequest::Kind::Post, "WM_USER1DOWN", 0, 0};
    for (auto _ : state) benchmark::DoNotOptimize(sendRequest(root.path(), trigger, error));
    server->stop();
    reportRoundTrips(state, "us_per_request", "requests_per_s");
}
BENCHMARK(BM_RequestByName)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
