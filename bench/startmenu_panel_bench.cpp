// Cost of opening the start menu over 2,000 and 20,000 applications (panel
// shown, first rows drawn) and of one keystroke in its search field (filter
// and redraw). Goal: each under 16 ms, one frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QFile>
#include <QTemporaryDir>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "startmenu/start_menu_controller.h"
#include "startmenu/start_menu_view.h"
#include "taskbar/app_icon_provider.h"
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

// Deterministic names of one to three words, a few Han names among them.
std::vector<InstalledApp> makeApps(int n) {
    static const char* words[] = {"Photo", "Music", "Code", "Note", "Mail", "Map", "Studio", "Pro", "Player", "Editor",
                                  "Viewer", "Term", "Draw", "Calc", "Chat", "Sync", "Cloud", "Book", "Game", "Zip"};
    std::vector<InstalledApp> apps;
    apps.reserve(std::size_t(n));
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int i = 0; i < n; ++i) {
        QString name;
        if (i % 10 == 9) {
            name = QString::fromUtf8("应用程序") + QString::number(i);
        } else {
            const int count = 1 + int(next() % 3);
            for (int w = 0; w < count; ++w) name += (w ? " " : "") + QString::fromLatin1(words[next() % 20]);
            name += QString::number(i);
        }
        apps.push_back({name, QStringLiteral("/Applications/%1.app").arg(i), QStringLiteral("com.example.app%1").arg(i)});
    }
    return apps;
}

StartMenuController& menuWith(int n) {
    desktop();
    static int loaded = 0;
    auto& menu = StartMenuController::shared();
    if (loaded != n) {
        // Shared, so that the scanner's copies (one per scan) do not copy the list.
        auto apps = std::make_shared<const std::vector<InstalledApp>>(makeApps(n));
        menu.setScanner([apps](const std::vector<InstalledApp>&) { return *apps; });
        menu.loadAppsIfNeeded();
        desktop()->pump();
        loaded = n;
    }
    return menu;
}

void drawFirstRows(StartMenuView* view, QImage& image) {
    image.fill(Qt::transparent);
    view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    benchmark::DoNotOptimize(image.constBits());
}

// The second argument: 1 when the closed menu had the time to make the next
// opening's panel ahead, 0 for an opening right after a close.
void BM_OpenStartMenu(benchmark::State& state) {
    auto& menu = menuWith(int(state.range(0)));
    const bool madeAhead = state.range(1) != 0;
    QImage image(360, 420, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        menu.open();
        drawFirstRows(menu.panel()->view(), image);
        state.PauseTiming();
        menu.close();
        desktop()->pump();  // the rescan every opening starts, and the panel's release
        if (madeAhead) desktop()->advance(StartMenuController::spareDelay);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenStartMenu)->Args({2000, 0})->Args({2000, 1})->Args({20000, 0})->Args({20000, 1})->Unit(benchmark::kMillisecond);

void BM_KeystrokeFilterAndRedraw(benchmark::State& state) {
    auto& menu = menuWith(int(state.range(0)));
    menu.open();
    desktop()->pump();
    StartMenuView* view = menu.panel()->view();
    QImage image(360, 420, QImage::Format_ARGB32_Premultiplied);
    // Typing "m" then "ma", then back to "m", and so on: each is one keystroke.
    const QString queries[] = {QStringLiteral("m"), QStringLiteral("ma")};
    int i = 0;
    for (auto _ : state) {
        view->handleQueryChange(queries[i++ % 2]);
        drawFirstRows(view, image);
    }
    menu.close();
    desktop()->pump();
}
BENCHMARK(BM_KeystrokeFilterAndRedraw)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The part of an opening that belongs to the data side: the model's search
// index over the scanned list (lower-cased names, name order).
void BM_ModelIndexAtOpening(benchmark::State& state) {
    desktop();
    const auto apps = makeApps(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(LauncherSearchIndex(apps).nameOrder().data());
}
BENCHMARK(BM_ModelIndexAtOpening)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// One row icon as the background queue decodes it: a 256-pixel PNG scaled
// to the row's 64, or an SVG drawn at 64 (arg 0: PNG, 1: SVG).
void BM_DecodeRowIcon(benchmark::State& state) {
    desktop();
    static QTemporaryDir dir;
    const bool svg = state.range(0) == 1;
    const QString file = dir.filePath(svg ? "icon.svg" : "icon.png");
    if (svg) {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly))
            f.write("<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'><circle cx='24' cy='24' r='20' "
                    "fill='#3070c0'/><rect x='12' y='12' width='24' height='24' fill='#f0f0f0'/></svg>");
    } else {
        QImage image(256, 256, QImage::Format_ARGB32);
        image.fill(QColor(48, 112, 192));
        image.save(file);
    }
    for (auto _ : state) benchmark::DoNotOptimize(AppIconProvider::decodeIconFile(file).constBits());
}
BENCHMARK(BM_DecodeRowIcon)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    const int status = runBenchmarks<QApplication>(argc, argv);
    StartMenuController::resetShared();
    return status;
}
