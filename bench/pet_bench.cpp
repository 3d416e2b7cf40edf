// What the pet costs.
//
//   pet_bench                          one frame's drawing, per pet and pose
//   pet_bench --process-cpu=MODE [--seconds=N]
//                                      the whole process's CPU time over N
//                                      seconds (default 10) with a bar window
//                                      showing the pet on the real clock:
//     still      idle motion and pointer following off: nothing moves
//     idle       the default settings, pointer away: blinks and wags now and then
//     animating  the pet asleep and breathing: frames run all the time
//     pointer    the pointer circling the pet at 60 moves a second
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numbers>
#include <string>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "taskbar/pet/pet_art.h"
#include "taskbar/pet/pet_drawing_view.h"
#include "taskbar/pet/pet_overlay_anchor.h"

namespace {

// ---- one frame --------------------------------------------------------------

PetPose benchPose(int which) {
    switch (which) {
        case 1: return {0, 0.4, -0.2, 0.5, 0.7, 0, 0};  // blinking and wagging
        case 2: return {1, 0, 0, 0, 0, 0, 0};           // start menu open
        case 3: return {0, 0, 0.6, 1, 0, 1, 0.5};       // asleep with the bubble
        default: return {};
    }
}

const char* poseName(int which) {
    static const char* names[] = {"neutral", "blink+wag", "menu", "asleep"};
    return names[which];
}

// One frame as the drawing view paints it: a fresh painter on a 36 x 44
// point cell at 2 pixels per point, the view's transform, the artwork.
void BM_DrawFrame(benchmark::State& state) {
    const StartPet pet = allStartPets[state.range(0)];
    const PetPose pose = benchPose(int(state.range(1)));
    QImage target(72, 88, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        QPainter p(&target);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(18 - 15, 44 - (22 + 14));
        p.scale(0.5, 0.5);
        if (pose.rest > 0) {
            p.translate(0, 54);
            p.scale(1, petSquash(pose.rest, pose.breath));
            p.translate(0, -54);
        }
        PetArt::draw(pet, p, false, PetArt::darkDetailColor, PetArt::eyeColor, pose);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(rawValue(pet).toStdString() + " " + poseName(int(state.range(1))));
}
BENCHMARK(BM_DrawFrame)->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}})->Unit(benchmark::kMicrosecond);

// ---- whole process ------------------------------------------------------------

int processCpu(int argc, char** argv, const std::string& mode, double seconds) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::sim::SimulatedDesktop::Options options;
    options.threaded = true;
    auto desktop = platform::sim::SimulatedDesktop::create(options);
    desktop->install();
    desktop->setPointer({1000, 200});

    auto bar = std::make_unique<QWidget>();
    bar->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    bar->setGeometry(0, 856, 600, 44);
    auto* button = new QWidget(bar.get());
    button->setGeometry(6, 8, 36, 28);
    auto* anchor = new PetOverlayAnchor(button);
    anchor->setGeometry(0, 0, 36, 28);
    bar->show();
    const bool motion = mode != "still";
    anchor->setState(StartPet::cat, false, motion, motion);
    PetDrawingView* drawing = anchor->drawing();
    // Asleep from 0.8 s on, for the next 23 s.
    if (mode == "animating") drawing->rest.lastTouch = platform::uptime() - 60;

    QTimer pointerMover;
    if (mode == "pointer") {
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&pointerMover, &QTimer::timeout, [&] {
            const double a = clock.elapsed() / 1000.0 * 2 * std::numbers::pi / 2;  // a lap every 2 s
            desktop->setPointer({24 + 40 * std::cos(a), 856 + 20 + 30 * std::sin(a)});
        });
        pointerMover.start(1000 / 60);
    }

    // Warm up for a second (first paint, first idle tick), then measure.
    std::clock_t cpuStart = 0;
    int framesStart = 0;
    QTimer::singleShot(1000, [&] {
        cpuStart = std::clock();
        framesStart = drawing->framesDrawn();
        QTimer::singleShot(int(seconds * 1000), [&] { app.quit(); });
    });
    app.exec();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const int frames = drawing->framesDrawn() - framesStart;
    std::printf("mode=%s platform=%s seconds=%.1f process_cpu=%.3fs (%.2f%% of one core) frames=%d (%.1f/s)\n",
                mode.c_str(), qPrintable(QGuiApplication::platformName()), seconds, cpu, 100 * cpu / seconds, frames,
                frames / seconds);
    bar.reset();
    platform::uninstall();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode;
    double seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--process-cpu=", 0) == 0) mode = arg.substr(14);
        else if (arg.rfind("--seconds=", 0) == 0) seconds = std::stod(arg.substr(10));
    }
    if (!mode.empty()) {
        if (mode != "still" && mode != "idle" && mode != "animating" && mode != "pointer") {
            std::fprintf(stderr, "unknown mode %s (still, idle, animating, pointer)\n", mode.c_str());
            return 2;
        }
        return processCpu(argc, argv, mode, seconds);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
