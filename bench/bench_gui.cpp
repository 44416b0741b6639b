// The WebKit page on the demo application: how long from creating the view to the home page
// loaded, how long a host → page callback (onScanBarcode) takes, and the resident memory of this
// process and its WebKit child processes with the page shown.
//
// Counters: start_to_home_loaded_ms (mean of the runs), scan_to_page_callback_ms_p99, and
// rss_total_mb. Without a display the program runs itself again under Xvfb.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

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

double rssMbOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// This process and every process below it.
double rssTotalMb(pid_t root) {
    double total = rssMbOf(root);
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, comm, state;
        pid_t parent = 0;
        if (stat >> pid >> comm >> state >> parent && parent == root) total += rssTotalMb(std::stoi(pid));
    }
    if (proc) closedir(proc);
    return total;
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
    state.counters["rss_total_mb"] = rssTotalMb(getpid());
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
    gtk_init(&argc, &argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
