// The start menu's data side: one keystroke's ranking over 300, 2,000 and
// 20,000 installed applications (the model's search list, as the view reads
// it, and the bare ranking), the once-per-scan preparation of a list, and an
// unchanged rescan of 2,000 application bundles on disk.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <random>

#include "platform/application_folders.h"
#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "startmenu/installed_app.h"
#include "startmenu/launcher_search.h"
#include "startmenu/start_menu_model.h"

namespace {

std::shared_ptr<platform::sim::SimulatedDesktop> desktop() {
    static auto sim = [] {
        auto s = platform::sim::SimulatedDesktop::create();
        s->install();
        return s;
    }();
    return sim;
}

// Names like real application names: one to three words from a pool.
std::vector<InstalledApp> makeApps(int count) {
    static const char* words[] = {"Safari", "Mail", "Notes", "Terminal", "Music", "Preview", "Calendar", "Photo",
                                  "Studio", "Pro", "Editor", "Viewer", "Sync", "Cloud", "Code", "Draw", "Map",
                                  "Weather", "Atlas", "Zephyr", "Écran", "Übersicht", "Office", "Player", "Manager"};
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pick(0, int(std::size(words)) - 1), len(1, 3);
    std::vector<InstalledApp> out;
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        QString name;
        for (int w = len(rng); w > 0; --w) name += QString::fromUtf8(words[pick(rng)]) + (w > 1 ? " " : "");
        name += QStringLiteral(" %1").arg(i % 97);
        out.push_back({name, QStringLiteral("/Applications/App%1.app").arg(i), QStringLiteral("com.example.app%1").arg(i)});
    }
    return out;
}

// What a user types, one keystroke at a time.
const QStringList keystrokes{"s", "sa", "saf", "n", "no", "not", "e", "ed", "edi", "co", "clo", "z", "pro s"};

void BM_ModelSearchKeystroke(benchmark::State& state) {
    desktop();
    LauncherPinStore pins;
    LauncherRecentsStore recents;
    StartMenuModel model(makeApps(int(state.range(0))), false, &pins, &recents);
    qsizetype k = 0;
    for (auto _ : state) {
        model.setQuery(keystrokes[k++ % keystrokes.size()]);
        benchmark::DoNotOptimize(model.listApps());
    }
    state.SetLabel("typed query, ranked list read");
}
BENCHMARK(BM_ModelSearchKeystroke)->Arg(300)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// One arrow key over a typed query's results: the selection steps and the
// view reads the selected row back.
void BM_ModelArrowKey(benchmark::State& state) {
    desktop();
    LauncherPinStore pins;
    LauncherRecentsStore recents;
    StartMenuModel model(makeApps(int(state.range(0))), false, &pins, &recents);
    model.setQuery(QStringLiteral("s"));
    benchmark::DoNotOptimize(model.listApps());
    int step = 1;
    for (auto _ : state) {
        if (model.selection() >= 50) step = -1;
        if (model.selection() <= 0) step = 1;
        model.moveSelection(step);
        benchmark::DoNotOptimize(model.selectedApp());
    }
    state.SetLabel("search results, selection moved and read");
}
BENCHMARK(BM_ModelArrowKey)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_RankIndices(benchmark::State& state) {
    const LauncherSearchIndex index(makeApps(int(state.range(0))));
    qsizetype k = 0;
    for (auto _ : state) benchmark::DoNotOptimize(index.rankIndices(keystrokes[k++ % keystrokes.size()]));
}
BENCHMARK(BM_RankIndices)->Arg(300)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_AllAppsList(benchmark::State& state) {
    desktop();
    LauncherPinStore pins;
    LauncherRecentsStore recents;
    StartMenuModel model(makeApps(int(state.range(0))), false, &pins, &recents);
    for (auto _ : state) benchmark::DoNotOptimize(model.flatList());
}
BENCHMARK(BM_AllAppsList)->Arg(300)->Arg(20000)->Unit(benchmark::kMicrosecond);

// Once per scanned list: lower-cased names and collation sort keys.
void BM_PrepareList(benchmark::State& state) {
    const auto apps = makeApps(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(LauncherSearchIndex(apps));
}
BENCHMARK(BM_PrepareList)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

class CountingFolders : public platform::BundleFolders {
public:
    using BundleFolders::BundleFolders;
    QString displayName(const QString& path) override {
        ++reads;
        return BundleFolders::displayName(path);
    }
    std::optional<QString> bundleIdentifier(const QString& path) override {
        ++reads;
        return BundleFolders::bundleIdentifier(path);
    }
    long reads = 0;
};

// 2,000 bundles: three roots, a fifth of them in twenty sub-folders.
void BM_UnchangedRescan2000(benchmark::State& state) {
    QTemporaryDir dir;
    const QString prefix = dir.path() + "/System", home = dir.path();
    for (int i = 0; i < 2000; ++i) {
        QString folder = i % 3 == 0   ? prefix + "/Applications"
                         : i % 3 == 1 ? prefix + "/System/Applications"
                                      : home + "/Applications";
        if (i % 5 == 0) folder += QStringLiteral("/Folder%1").arg(i % 20);
        platform::sim::SimulatedDesktop::writeBundle(folder, QStringLiteral("App %1.app").arg(i),
                                                     QStringLiteral("com.example.app%1").arg(i));
    }
    CountingFolders folders({}, {});
    folders.setUnderPrefix(prefix, home);
    const auto known = InstalledAppScanner::collect(folders.roots(), folders.extras(), {}, folders);
    if (known.size() != 2000) state.SkipWithError("fixture tree incomplete");
    folders.reads = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(InstalledAppScanner::collect(folders.roots(), folders.extras(), known, folders));
    state.counters["bundleReads"] = double(folders.reads);
}
BENCHMARK(BM_UnchangedRescan2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
