// The task strip on a snapshot of 60 applications with 300 windows: one
// rebuild (items, fit, buttons) in grouped and per-window mode, and the time
// from a changed snapshot to the repaint of the buttons it affects.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "core/settings_model.h"
#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "taskbar/task_button.h"
#include "taskbar/task_strip.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/window_service.h"
#include "bench_main.h"

namespace {

std::shared_ptr<platform::sim::SimulatedDesktop> desktop() {
    static auto sim = [] {
        auto s = platform::sim::SimulatedDesktop::create();
        s->install();
        return s;
    }();
    return sim;
}

std::vector<AppItem> snapshot(int apps, int windowsEach) {
    std::vector<AppItem> out;
    for (int i = 0; i < apps; ++i) {
        AppItem a;
        a.id = a.pid = 1000 + i;
        a.bundleID = QStringLiteral("com.example.app%1").arg(i);
        a.name = QStringLiteral("Application %1").arg(i);
        a.hasVisibleWindow = true;
        for (int w = 0; w < windowsEach; ++w)
            a.windows.push_back(WindowItem{WindowToken(i * 100 + w), QStringLiteral("Window %1 of %2").arg(w).arg(i),
                                           false, false});
        out.push_back(std::move(a));
    }
    return out;
}

struct Strip {
    explicit Strip(bool grouped, int width) {
        platform::prefs::userDefaults().setString(settings::keys::interactionModel,
                                                  grouped ? QStringLiteral("grouped") : QStringLiteral("perWindow"));
        service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
        store.setApps(snapshot(60, 5));
        QStringList pinned;
        for (int i = 0; i < 8; ++i) pinned << QStringLiteral("com.example.app%1").arg(i * 7);
        pins.setPinnedBundleIDs(pinned);
        view = std::make_unique<TaskStripView>(&store, service, &pins, std::nullopt);
        view->resize(width, 44);
        view->show();
        QApplication::processEvents();
    }
    std::shared_ptr<platform::sim::SimulatedDesktop> sim = desktop();  // first: the stores read it
    RunningAppsStore store;
    PinStore pins;
    std::shared_ptr<WindowService> service;
    std::unique_ptr<TaskStripView> view;
};

void BM_RebuildStrip(benchmark::State& state) {
    const bool grouped = state.range(0) == 1;
    // 8000 points: wide enough that every button of the run is shown.
    Strip s(grouped, int(state.range(1)));
    const auto groups = s.view->groups();
    const double items = double(groups.pinned.size() + groups.running.size());
    for (auto _ : state) s.view->rebuild();
    state.counters["items"] = items;
    state.counters["shown"] = double(s.view->pinnedButtons().size() + s.view->runningButtons().size());
    state.counters["per_item"] = benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_RebuildStrip)
    ->ArgNames({"grouped", "width"})
    ->Args({1, 1200})
    ->Args({1, 8000})
    ->Args({0, 1200})
    ->Args({0, 16000})
    ->Unit(benchmark::kMicrosecond);

// One application becomes active: the snapshot is published, the strip
// rebuilds and the event loop paints what changed.
void BM_ChangedSnapshotToRepaint(benchmark::State& state) {
    Strip s(true, 8000);
    auto a = snapshot(60, 5);
    auto b = a;
    b[30].isActive = true;
    b[30].windows[0].isFocused = true;
    bool flip = false;
    long long painted = 0;
    auto paints = [&] {
        long long n = 0;
        for (auto* button : s.view->runningButtons()) n += button->paintCount();
        for (auto* button : s.view->pinnedButtons()) n += button->paintCount();
        return n;
    };
    for (auto _ : state) {
        const long long before = paints();
        s.store.setApps(flip ? a : b);
        flip = !flip;
        QApplication::processEvents();
        painted += paints() - before;
    }
    const double items = double(s.view->pinnedButtons().size() + s.view->runningButtons().size());
    state.counters["items"] = items;
    state.counters["repainted_per_change"] = double(painted) / double(state.iterations());
    state.counters["per_item"] = benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_ChangedSnapshotToRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
