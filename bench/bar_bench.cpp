// Cost of drawing one bar (1440x44, symbol face, tray with battery and
// clock), of the tray's layout alone, and of one full-screen detection over
// a desktop of 40 applications.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "startmenu/start_menu_controller.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_view.h"
#include "taskbar/clock_text.h"
#include "taskbar/fullscreen_monitor.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/tray_view.h"
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

void BM_PaintBar(benchmark::State& state) {
    desktop();
    RunningAppsStore store;
    PinStore pins;
    auto service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
    BarView view(&store, service, &pins, StartIconStore::shared(), StartMenuController::shared(), 1);
    view.tray()->setBattery(TrayView::Battery{80, false, true});
    view.resize(1440, 44);
    view.show();
    QImage img(1440, 44, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        img.fill(Qt::white);
        view.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(img.constBits());
    }
}
BENCHMARK(BM_PaintBar)->Unit(benchmark::kMicrosecond);

void BM_TrayLayout(benchmark::State& state) {
    desktop();
    TrayView tray;
    tray.setBattery(TrayView::Battery{42, true, true});
    tray.resize(200, 44);
    for (auto _ : state) benchmark::DoNotOptimize(tray.layout());
}
BENCHMARK(BM_TrayLayout)->Unit(benchmark::kMicrosecond);

void BM_FullscreenDetect(benchmark::State& state) {
    auto sim = desktop();
    static std::int32_t front = [&] {
        std::int32_t last = 0;
        for (int i = 0; i < 40; ++i) {
            platform::sim::AppSpec spec;
            spec.bundleID = QStringLiteral("com.example.app%1").arg(i);
            spec.active = i == 39;
            last = sim->addApplication(spec);
            for (int w = 0; w < 5; ++w) {
                platform::sim::WindowSpec ws;
                ws.frame = platform::Rect(20 * w, 20 * w, 800, 600);
                ws.focused = w == 0;
                sim->addWindow(last, ws);
            }
        }
        return last;
    }();
    AXFullscreenDetector detector;
    for (auto _ : state) benchmark::DoNotOptimize(detector.detect(front));
}
BENCHMARK(BM_FullscreenDetect)->Unit(benchmark::kMicrosecond);

// Icons of 100 terminals of one application on a fresh provider, as the
// task strip asks for them at start.
void BM_TaskIconsOfOneApplication(benchmark::State& state) {
    auto sim = desktop();
    static const std::vector<std::int32_t> pids = [&] {
        std::vector<std::int32_t> out;
        for (int i = 0; i < 100; ++i) {
            platform::sim::AppSpec given;
            given.bundleID = QStringLiteral("org.example.terminal");
            given.name = QStringLiteral("Terminal");
            out.push_back(sim->addApplication(given));
        }
        return out;
    }();
    for (auto _ : state) {
        AppIconProvider provider;
        for (auto pid : pids) benchmark::DoNotOptimize(provider.icon(pid));
    }
}
BENCHMARK(BM_TaskIconsOfOneApplication)->Unit(benchmark::kMicrosecond);

// The tray clock's text for one minute: time and date in the user's locale.
void BM_ClockText(benchmark::State& state) {
    const QLocale locale(QStringLiteral("de_DE"));
    const QTimeZone zone("Europe/Berlin");
    QDateTime at = QDateTime::currentDateTime();
    for (auto _ : state) {
        at = at.addSecs(60);
        benchmark::DoNotOptimize(ClockText::time(at, locale, zone));
        benchmark::DoNotOptimize(ClockText::date(at, locale, zone));
    }
}
BENCHMARK(BM_ClockText)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
