// The desktop's own files as the bar reads them: a settings file of
// thousands of lines (an icon theme's index is as long), a running client's
// desktop entry among 2,000, and the start menu's unchanged rescan of 2,000
// desktop entries without a folder of the user's own: listed and looked at
// again, and as an opening scans them while the watched folders tell no
// change.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/linux/xdg_application_folders.h"
#include "platform/x11/x11_desktop_entries.h"
#include "platform/x11/x11_icons.h"
#include "startmenu/installed_app.h"

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(text);
}

void writeEntries(const QString& folder, int count) {
    for (int i = 0; i < count; ++i)
        writeFile(folder + QStringLiteral("/gen-%1.desktop").arg(i, 4, 10, QChar(u'0')),
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=Generated %1\nExec=true\nIcon=app%2\n")
                      .arg(i)
                      .arg(i % 31)
                      .toUtf8());
}

void BM_SettingsFileOfManyLines(benchmark::State& state) {
    QTemporaryDir dir;
    QByteArray text = "[Icon Theme]\nName=Big\n";
    for (int i = 0; i < state.range(0); ++i) text += "[" + QByteArray::number(i) + "x16/apps]\nSize=16\n";
    text += "[Settings]\ngtk-icon-theme-name=Found\n";
    writeFile(dir.path() + "/settings.ini", text);
    for (auto _ : state) benchmark::DoNotOptimize(platform::x11::gtkIconThemeName({dir.path() + "/settings.ini"}));
}
BENCHMARK(BM_SettingsFileOfManyLines)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_ClientEntryAmong2000(benchmark::State& state) {
    QTemporaryDir dir;
    writeEntries(dir.path(), 2000);
    platform::x11::DesktopEntryIndex index({dir.path()});
    if (index.size() != 2000) state.SkipWithError("fixture entries incomplete");
    // A class no entry names: every step of the matching is taken.
    for (auto _ : state)
        benchmark::DoNotOptimize(index.match({}, QStringLiteral("XTerm"), QStringLiteral("xterm")));
}
BENCHMARK(BM_ClientEntryAmong2000)->Unit(benchmark::kMicrosecond);

// The system folder of the scan benchmarks, with 2,000 entries.
QString systemFolderOf2000(const QTemporaryDir& dir) {
    const QString system = dir.path() + "/applications";
    QDir().mkpath(system);
    writeEntries(system, 2000);
    return system;
}

// That folder, and a user's folder that does not exist.
struct XdgFixture {
    QTemporaryDir dir;
    platform::linux_backend::XdgApplicationFolders folders{
        {dir.path() + "/home-applications", systemFolderOf2000(dir)}, QStringLiteral("C"), {}};
};

void BM_UnchangedXdgRescan2000(benchmark::State& state) {
    XdgFixture fixture;
    auto& folders = fixture.folders;
    const auto known = InstalledAppScanner::collect(folders.roots(), {}, {}, folders);
    if (known.size() != 2000) state.SkipWithError("fixture entries incomplete");
    for (auto _ : state) benchmark::DoNotOptimize(InstalledAppScanner::collect(folders.roots(), {}, known, folders));
}
BENCHMARK(BM_UnchangedXdgRescan2000)->Unit(benchmark::kMillisecond);

void BM_UnchangedWatchedXdgScan2000(benchmark::State& state) {
    XdgFixture fixture;
    auto& folders = fixture.folders;
    InstalledAppScanner::LastScan last;
    const auto known = InstalledAppScanner::scan({}, last, folders);
    if (known.size() != 2000 || !last.generation) state.SkipWithError("fixture entries incomplete or unwatched");
    for (auto _ : state) benchmark::DoNotOptimize(InstalledAppScanner::scan(known, last, folders));
}
BENCHMARK(BM_UnchangedWatchedXdgScan2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
