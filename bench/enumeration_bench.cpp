// One enumeration pass of the window service over a simulated desktop:
// time per pass and per window, for growing numbers of windows.
#include <benchmark/benchmark.h>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "windows/window_enumerator.h"

namespace {

constexpr int windowsPerApp = 5;

struct Desktop {
    std::shared_ptr<platform::sim::SimulatedDesktop> sim;
    std::vector<WindowEnumerator::AppDescriptor> descriptors;
};

// `apps` 0: one application per `windowsPerApp` windows.
Desktop makeDesktop(int windows, int apps = 0) {
    Desktop d;
    d.sim = platform::sim::SimulatedDesktop::create();
    d.sim->install();
    if (apps <= 0) apps = std::max(1, windows / windowsPerApp);
    const int perApp = (windows + apps - 1) / apps;
    int made = 0;
    for (int a = 0; a < apps; ++a) {
        platform::sim::AppSpec spec;
        spec.name = QStringLiteral("App %1").arg(a);
        spec.bundleID = QStringLiteral("com.example.app%1").arg(a);
        spec.bundlePath = QStringLiteral("/Applications/App%1.app").arg(a);
        const auto pid = d.sim->addApplication(spec);
        d.descriptors.push_back({pid, spec.bundleID, spec.name, a == 0, false});
        for (int w = 0; w < perApp && made < windows; ++w, ++made) {
            platform::sim::WindowSpec ws;
            ws.title = QStringLiteral("Window %1").arg(made);
            ws.frame = platform::Rect(10.0 * w, 10.0 * w, 600 + w, 400 + w);
            d.sim->addWindow(pid, ws);
        }
    }
    return d;
}

void runPasses(benchmark::State& state, int windows, int apps = 0) {
    auto d = makeDesktop(windows, apps);
    WindowEnumerator::ElementMap elements;
    WindowToken nextToken = 1;
    WindowEnumerator::TitleCache titles;
    WindowEnumerator::TokenSet known;
    for (auto _ : state) {
        auto result = WindowEnumerator::enumerate(d.descriptors, elements, nextToken, titles, known);
        elements = std::move(result.elements);
        benchmark::DoNotOptimize(result.apps);
    }
    if (elements.size() != static_cast<std::size_t>(windows)) state.SkipWithError("not every window was kept");
    state.SetComplexityN(windows);
    state.counters["apps"] = static_cast<double>(d.descriptors.size());
    state.counters["windows"] = windows;
    state.counters["per_window"] =
        benchmark::Counter(windows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    platform::uninstall();
}

void BM_EnumerationPass40Apps200Windows(benchmark::State& state) { runPasses(state, 200); }
BENCHMARK(BM_EnumerationPass40Apps200Windows)->Unit(benchmark::kMicrosecond);

void BM_EnumerationPassByWindows(benchmark::State& state) { runPasses(state, static_cast<int>(state.range(0))); }
BENCHMARK(BM_EnumerationPassByWindows)->Arg(50)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond)->Complexity();

// The simulated desktop answers "AXWindows" by walking every window it has,
// so with the number of applications growing along with the windows its
// share of a pass grows quadratically. With a fixed number of applications
// that share is linear too, and the pass as a whole shows its own growth.
void BM_EnumerationPass40AppsByWindows(benchmark::State& state) {
    runPasses(state, static_cast<int>(state.range(0)), 40);
}
BENCHMARK(BM_EnumerationPass40AppsByWindows)->Arg(50)->Arg(200)->Arg(800)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
