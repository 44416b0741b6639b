// The WebKit page on the demo application: how long from creating the view to the home page
// loaded, how long a host → page callback (onScanBarcode) takes, and the resident memory of this
// process and its WebKit child processes with the page shown.
//
// Counters: start_to_home_loaded_ms (mean of the runs), scan_to_page_callback_ms_p99, and the
// memory figures of countMemory. Without a display the program runs itself again under Xvfb.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/gtk/gtk_toolkit.h"
#include "platform/headless/headless_ui.h"
#include "platform/temp_dir.h"
#include "platform/webkit/webkit_web_view.h"

namespace {

using namespace tessel::platform;
using Clock = std::chrono::steady_clock;

class LoadEvents final : public WebViewEvents {
public:
    void beforeNavigate(std::u16string_view) override {}
    void documentComplete(std::u16string_view) override { loaded = true; }
    void navigateError(std::u16string_view) override { failed = true; }
    void commandStateChange(int, bool) override {}
    bool loaded = false;
    bool failed = false;
};

class NoHandler final : public ui::WindowHandler {
public:
    void onCommand(int, ui::Notify) override {}
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
};

// One window with the view showing the demo's home page.
struct DemoPage {
    DemoPage() {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        factory = std::make_unique<webkit::WebKitWebViewFactory>([fixed](ui::Window&, int) { return fixed; });
        host = toolkit.createWindow(handler, nullptr);
        view = factory->create(*host, 61, events);
        view->place({0, 0, 240, 294});
        gtk_widget_show_all(window);
        gchar* uri = g_filename_to_uri(TESSEL_DEMO_DIR "/index.htm", nullptr, nullptr);
        const std::string text(uri);
        g_free(uri);
        view->navigate(std::u16string(text.begin(), text.end()));
        while (!events.loaded && !events.failed) g_main_context_iteration(nullptr, TRUE);
    }
    ~DemoPage() {
        view.reset();
        gtk_widget_destroy(window);
    }

    headless::HeadlessToolkit toolkit;
    NoHandler handler;
    LoadEvents events;
    GtkWidget* window = nullptr;
    std::unique_ptr<webkit::WebKitWebViewFactory> factory;
    std::unique_ptr<ui::Window> host;
    std::unique_ptr<WebView> view;
};

// Resident memory of one process from /proc/PID/smaps_rollup: "Rss:" counts every page it maps,
// "Pss:" divides each shared page among the processes that map it.
struct Resident {
    double rssMb = 0;
    double pssMb = 0;
};

Resident residentOf(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    Resident resident;
    std::string key;
    double kb = 0;
    while (rollup >> key) {
        if (key == "Rss:" && rollup >> kb) resident.rssMb = kb / 1024.0;
        if (key == "Pss:" && rollup >> kb) resident.pssMb = kb / 1024.0;
        rollup.ignore(1 << 16, '\n');
    }
    return resident;
}

// This process and every process below it (WebKit's web and network processes), by name.
void collectTree(pid_t root, std::map<std::string, Resident>& byName) {
    std::ifstream comm("/proc/" + std::to_string(root) + "/comm");
    std::string name;
    std::getline(comm, name);
    const Resident own = residentOf(root);
    byName[name].rssMb += own.rssMb;
    byName[name].pssMb += own.pssMb;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, command, state;
        pid_t parent = 0;
        if (stat >> pid >> command >> state >> parent && parent == root) collectTree(std::stoi(pid), byName);
    }
    if (proc) closedir(proc);
}

// rss_total_mb is the honest total: the sum of the processes' PSS, so that a shared library
// mapped by all three processes counts once, not three times (rss_sum_mb, the plain sum of
// RSS, counts it per process). The per-process figures are PSS too.
void countMemory(benchmark::State& state) {
    std::map<std::string, Resident> byName;
    collectTree(getpid(), byName);
    double pss = 0, rss = 0;
    for (const auto& [name, resident] : byName) {
        pss += resident.pssMb;
        rss += resident.rssMb;
    }
    state.counters["rss_total_mb"] = pss;
    state.counters["rss_sum_mb"] = rss;
    state.counters["ui_pss_mb"] = byName["bench_gui"].pssMb;
    state.counters["web_pss_mb"] = byName["WebKitWebProces"].pssMb;
    state.counters["network_pss_mb"] = byName["WebKitNetworkPr"].pssMb;
}

void BM_StartToHomeLoaded(benchmark::State& state) {
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        DemoPage page;
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!page.events.loaded) state.SkipWithError("the demo page did not load");
    }
    state.counters["start_to_home_loaded_ms"] = totalMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StartToHomeLoaded)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanToPageCallback(benchmark::State& state) {
    DemoPage page;
    auto document = page.view->document();
    if (!document) {
        state.SkipWithError("the demo page did not load");
        return;
    }
    const std::vector<std::u16string> args{u"EAN13", u"4006381333931"};
    std::vector<double> ms;
    for (auto _ : state) {
        const auto start = Clock::now();
        const PageCall call = document->call(u"onScanBarcode", args);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (call.outcome != PageCall::Outcome::Returned) state.SkipWithError("the callback failed");
    }
    std::sort(ms.begin(), ms.end());
    state.counters["scan_to_page_callback_ms_p99"] = ms[(ms.size() - 1) * 99 / 100];
    countMemory(state);
}
BENCHMARK(BM_ScanToPageCallback)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("DISPLAY")) {
        std::vector<char*> command{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                   const_cast<char*>("-s"), const_cast<char*>("-screen 0 1280x1024x24")};
        command.insert(command.end(), argv, argv + argc);
        command.push_back(nullptr);
        execvp(command[0], command.data());
        return 1;
    }
    TempDir home;
    for (const char* name : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        setenv(name, home.path().c_str(), 1);
    // GTK started as the browser starts it (GtkToolkit sets its rendering environment first).
    if (!gtk::GtkToolkit::available()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
