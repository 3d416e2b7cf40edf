#pragma once
// The main of a benchmark executable: the Qt application its objects need
// (widgets draw offscreen, so no display is used), then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <type_traits>

template <class Application>
int runBenchmarks(int argc, char** argv) {
    if constexpr (std::is_base_of_v<QGuiApplication, Application>) qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
