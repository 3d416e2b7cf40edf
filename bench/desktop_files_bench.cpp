// The desktop's own files as the bar reads them: a settings file of
// thousands of lines (an icon theme's index is as long), the icon lookup
// made ready at start-up over such an index, a running client's
// desktop entry among 2,000, and the start menu's unchanged rescan of 2,000
// desktop entries without a folder of the user's own: listed and looked at
// again, and as an opening scans them while the watched folders tell no
// change.
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>

#include "bench_main.h"

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

// The user's theme names hicolor as its parent, and hicolor's index is as
// long as the real one (55 kB: its folder list, then 2,000 folder groups).
void BM_PrepareIconLookup(benchmark::State& state) {
    QTemporaryDir dir;
    const QString icons = dir.path() + "/share/icons";
    QDir().mkpath(icons + "/hicolor");
    QDir().mkpath(icons + "/Blue");
    QByteArray hicolor = "[Icon Theme]\nName=Hicolor\nComment=Fallback icon theme\nHidden=true\nDirectories=";
    QByteArray groups;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray folder = QByteArray::number(16 + i % 48) + "x" + QByteArray::number(16 + i % 48) + "/g" +
                                  QByteArray::number(i);
        hicolor += (i ? "," : "") + folder;
        groups += "\n[" + folder + "]\nSize=" + QByteArray::number(16 + i % 48) + "\nContext=Applications\nType=Threshold\n";
    }
    writeFile(icons + "/hicolor/index.theme", hicolor + "\n" + groups);
    writeFile(icons + "/Blue/index.theme", "[Icon Theme]\nName=Blue\nInherits=hicolor\nDirectories=48x48/apps\n");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.path() + "/share"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/home"));
    QIcon::setThemeName(QStringLiteral("Blue"));
    for (auto _ : state) platform::x11::prepareIconLookup();
    if (QIcon::themeName() != QStringLiteral("Blue")) state.SkipWithError("the fixture's theme was not kept");
}
BENCHMARK(BM_PrepareIconLookup)->Unit(benchmark::kMicrosecond);

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

// The icon lookup is made ready on the GUI thread.
int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
