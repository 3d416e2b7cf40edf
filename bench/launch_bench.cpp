// How long a launch takes to show its bar, on a simulated desktop of 100
// applications: `/1` shows the bar first (the copy that holds the lock), `/0`
// the order of a copy that must first read the running applications and
// builds the bar's view before showing it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include "app/app_delegate.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "taskbar/bar_panel.h"
#include "bench_main.h"

namespace {

// When the first bar is shown, counted from `start()`.
class FirstBarShown : public QObject {
public:
    void start() {
        shownAfter = -1;
        clock.start();
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (shownAfter < 0 && event->type() == QEvent::Show && qobject_cast<BarPanel*>(object))
            shownAfter = clock.nsecsElapsed();
        return false;
    }
    qint64 shownAfter = -1;
    qint64 elapsed() const { return clock.nsecsElapsed(); }

private:
    QElapsedTimer clock;
};

void BM_LaunchUntilTheBarIsShown(benchmark::State& state) {
    auto desktop = platform::sim::SimulatedDesktop::create();
    for (int a = 0; a < 100; ++a) {
        const auto pid = desktop->addApplication({.bundleID = QStringLiteral("com.example.app%1").arg(a),
                                                  .name = QStringLiteral("App %1").arg(a)});
        desktop->addWindow(pid, {.title = QStringLiteral("Window"), .frame = platform::Rect(40, 40, 800, 600)});
    }
    desktop->install();
    platform::prefs::userDefaults().setBool(settings::keys::dockSetupCompleted, true);
    FirstBarShown shown;
    qApp->installEventFilter(&shown);
    double launchedMicroseconds = 0;
    for (auto _ : state) {
        AppDelegate delegate;
        delegate.setShowsBarsFirst(state.range(0) != 0);
        shown.start();
        delegate.applicationDidFinishLaunching();
        if (shown.shownAfter < 0) {
            state.SkipWithError("no bar was shown");
            break;
        }
        state.SetIterationTime(double(shown.shownAfter) / 1e9);
        launchedMicroseconds += double(shown.elapsed()) / 1e3;
        delegate.applicationWillTerminate();
        desktop->pump();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The whole launch, shown bar and started workspace.
    state.counters["launch_us"] = benchmark::Counter(launchedMicroseconds, benchmark::Counter::kAvgIterations);
    qApp->removeEventFilter(&shown);
    platform::uninstall();
}
BENCHMARK(BM_LaunchUntilTheBarIsShown)->Arg(0)->Arg(1)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
