// How fast the simulated desktop answers the requests the program makes
// most often: the window list, attribute reads, and loading a scenario.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "bench_main.h"

using namespace platform;

namespace {

std::shared_ptr<sim::SimulatedDesktop> populated(int apps, int windowsPerApp) {
    auto desktop = sim::SimulatedDesktop::create();
    for (int a = 0; a < apps; ++a) {
        auto pid = desktop->addApplication({.bundleID = QStringLiteral("com.example.app%1").arg(a),
                                            .name = QStringLiteral("App %1").arg(a)});
        for (int w = 0; w < windowsPerApp; ++w)
            desktop->addWindow(pid, {.title = QStringLiteral("Window %1").arg(w),
                                     .frame = Rect(10.0 * w, 25.0 + 5 * a, 800, 600)});
    }
    desktop->install();
    return desktop;
}

void BM_CopyWindowList(benchmark::State& state) {
    auto desktop = populated(int(state.range(0)), 10);
    for (auto _ : state) {
        auto list = windowServer().copyWindowList(windowListOnScreenOnly | windowListExcludeDesktopElements, 0);
        benchmark::DoNotOptimize(list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 10);
    uninstall();
}
BENCHMARK(BM_CopyWindowList)->Arg(5)->Arg(50);

void BM_ReadWindowFrame(benchmark::State& state) {
    auto desktop = populated(20, 10);
    auto el = desktop->windowElement(desktop->windowsOf(desktop->frontmostPid() ? desktop->frontmostPid() : 201).front());
    for (auto _ : state) {
        ax::Value pos, size;
        ax::api().copyAttribute(el, ax::names::position, pos);
        ax::api().copyAttribute(el, ax::names::size, size);
        benchmark::DoNotOptimize(pos);
        benchmark::DoNotOptimize(size);
    }
    uninstall();
}
BENCHMARK(BM_ReadWindowFrame);

void BM_ReadApplicationWindows(benchmark::State& state) {
    auto desktop = populated(20, int(state.range(0)));
    auto app = ax::api().applicationElement(201);
    for (auto _ : state) {
        ax::Value v;
        ax::api().copyAttribute(app, ax::names::windows, v);
        benchmark::DoNotOptimize(v);
    }
    uninstall();
}
BENCHMARK(BM_ReadApplicationWindows)->Arg(1)->Arg(20);

void BM_LoadDemoScenario(benchmark::State& state) {
    QFile f(QStringLiteral(QUORVEL_SOURCE_DIR "/resources/scenarios/demo.json"));
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("demo scenario not found");
        return;
    }
    const QByteArray json = f.readAll();
    for (auto _ : state) {
        QString error;
        auto desktop = sim::SimulatedDesktop::fromScenarioJson(json, {}, &error);
        benchmark::DoNotOptimize(desktop);
    }
}
BENCHMARK(BM_LoadDemoScenario);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
