// Building the task-strip items, and one full constraint scan, for a busy
// desktop of 60 applications with 300 windows. Reported per item.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "windows/task_items.h"
#include "windows/window_constraint_engine.h"
#include "bench_main.h"

namespace {

constexpr int kApps = 60;
constexpr int kWindowsPerApp = 5;

std::vector<AppItem> snapshot() {
    std::vector<AppItem> apps;
    WindowToken token = 1;
    for (int i = 0; i < kApps; ++i) {
        AppItem a;
        a.id = a.pid = 1000 + (i * 7919) % 9973;
        if (i % 10 != 9) a.bundleID = QStringLiteral("com.vendor.app%1").arg(i);
        a.name = (i % 2 ? QStringLiteral("app %1") : QStringLiteral("App %1")).arg((i * 37) % kApps);
        a.isActive = i == 3;
        a.hasVisibleWindow = i % 4 != 0;
        a.isHidden = i % 13 == 0;
        a.hasUnread = i % 11 == 0;
        for (int w = 0; w < kWindowsPerApp; ++w)
            a.windows.push_back(WindowItem{token++, w == 2 ? QString() : QStringLiteral("Document %1").arg(w),
                                           w == 4, a.isActive && w == 0});
        apps.push_back(std::move(a));
    }
    return apps;
}

void taskItems(benchmark::State& state, bool perWindow) {
    const auto apps = snapshot();
    QStringList pinned, order, excluded;
    for (int i = 0; i < 8; ++i) pinned << QStringLiteral("com.vendor.app%1").arg(i * 5);
    pinned << QStringLiteral("com.vendor.notrunning");
    for (int i = 0; i < 12; ++i) order << QStringLiteral("com.vendor.app%1").arg(59 - i * 3);
    for (int i = 0; i < 3; ++i) excluded << QStringLiteral("com.vendor.app%1").arg(i * 7 + 1);
    const QSet<QString> excludedSet(excluded.begin(), excluded.end());

    std::size_t produced = 0;
    for (auto _ : state) {
        auto items = TaskStripItems::build(apps, perWindow, excludedSet, pinned, order);
        produced = items.size();
        benchmark::DoNotOptimize(items);
    }
    state.counters["items"] = double(produced);
    state.counters["per_window"] = benchmark::Counter(double(kApps * kWindowsPerApp),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}

void BM_TaskItemsPerWindow(benchmark::State& state) { taskItems(state, true); }
void BM_TaskItemsGrouped(benchmark::State& state) { taskItems(state, false); }

// A simulated desktop of 60 regular applications, 5 windows each; every
// `clampEvery`-th window is maximised over the bar.
struct Desktop {
    std::shared_ptr<platform::sim::SimulatedDesktop> sim;
    std::vector<std::uint64_t> windows;
    explicit Desktop() {
        sim = platform::sim::SimulatedDesktop::create();
        sim->install();
        for (int i = 0; i < kApps; ++i) {
            platform::sim::AppSpec spec;
            spec.bundleID = QStringLiteral("com.vendor.app%1").arg(i);
            spec.name = QStringLiteral("App %1").arg(i);
            const auto pid = sim->addApplication(spec);
            for (int w = 0; w < kWindowsPerApp; ++w) {
                platform::sim::WindowSpec ws;
                ws.frame = platform::Rect(40.0 * w, 60, 800, 500);
                windows.push_back(sim->addWindow(pid, ws));
            }
        }
    }
    ~Desktop() {
        sim->pump();
        platform::uninstall();
    }
    void maximiseAll() {
        for (auto w : windows) sim->setWindowFrame(w, platform::Rect(0, 25, 1440, 875));
        sim->pump();
    }
};

// One full scan: start queues it, the pump runs it, stop forgets what it did.
void fullScan(benchmark::State& state, bool clampAll) {
    Desktop desktop;
    auto engine = WindowConstraintEngine::create();
    for (auto _ : state) {
        if (clampAll) {
            state.PauseTiming();
            desktop.maximiseAll();
            desktop.sim->clearLog();
            state.ResumeTiming();
        }
        engine->start();
        desktop.sim->pump();
        engine->stop();
        desktop.sim->pump();
    }
    state.counters["per_window"] = benchmark::Counter(double(desktop.windows.size()),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}

void BM_FullScanNothingToDo(benchmark::State& state) { fullScan(state, false); }
void BM_FullScanClampEveryWindow(benchmark::State& state) { fullScan(state, true); }

}  // namespace

BENCHMARK(BM_TaskItemsPerWindow);
BENCHMARK(BM_TaskItemsGrouped);
BENCHMARK(BM_FullScanNothingToDo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScanClampEveryWindow)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
