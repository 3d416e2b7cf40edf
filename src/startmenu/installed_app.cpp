#include "startmenu/installed_app.h"

#include "platform/application_folders.h"
#include "platform/platform.h"
#include "startmenu/launcher_search.h"

QString droppingLast(const QString& text, qsizetype n) {
    if (n <= 0) return text;
    if (n >= text.size()) return {};
    return text.left(text.size() - n);
}

QStringList InstalledApp::filterPaths(const QStringList& paths, const QSet<QString>& keep) {
    QStringList out;
    if (paths.isEmpty() || keep.isEmpty()) return out;
    for (const QString& p : paths)
        if (keep.contains(p)) out << p;
    return out;
}

QStringList InstalledApp::seedPaths(const QStringList& bundleIDs, const std::vector<InstalledApp>& apps) {
    // The first application of each identifier, found through one index.
    QHash<QString, QString> firstPathOf;
    for (const InstalledApp& app : apps)
        if (app.bundleID && !firstPathOf.contains(*app.bundleID)) firstPathOf.insert(*app.bundleID, app.path);
    QStringList out;
    for (const QString& id : bundleIDs)
        if (auto it = firstPathOf.constFind(id); it != firstPathOf.constEnd()) out << *it;
    return out;
}

QHash<QString, InstalledApp> InstalledApp::indexByPath(const std::vector<InstalledApp>& apps) {
    QHash<QString, InstalledApp> index;
    index.reserve(qsizetype(apps.size()));
    for (const InstalledApp& app : apps)
        if (!index.contains(app.path)) index.insert(app.path, app);
    return index;
}

std::vector<InstalledApp> InstalledApp::apps(const QStringList& paths, const std::vector<InstalledApp>& apps) {
    std::vector<InstalledApp> out;
    if (paths.isEmpty()) return out;
    const auto index = indexByPath(apps);
    QSet<QString> taken;
    for (const QString& p : paths) {
        if (taken.contains(p)) continue;
        taken.insert(p);
        if (auto it = index.constFind(p); it != index.constEnd()) out.push_back(*it);
    }
    return out;
}

std::vector<InstalledApp> InstalledApp::sortByName(const std::vector<InstalledApp>& apps) {
    return LauncherSearchIndex(apps).sortedByName();
}

QStringList movePath(const QStringList& list, const QString& moved, const QString& target) {
    if (moved == target) return list;
    const qsizetype i = list.indexOf(moved);
    const qsizetype j = list.indexOf(target);
    if (i < 0 || j < 0) return list;
    QStringList out = list;
    out.removeAt(i);
    out.insert(j, moved);
    return out;
}

namespace InstalledAppScanner {

std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known) {
    platform::ApplicationFolders& folders = platform::applicationFolders();
    return collect(folders.roots(), folders.extras(), known, folders);
}

std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known, LastScan& last) {
    return scan(known, last, platform::applicationFolders());
}

std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known, LastScan& last,
                               platform::ApplicationFolders& folders) {
    // Asked before the folders are looked at: a change while they are
    // scanned gives the next scan a new mark.
    const std::optional<std::uint64_t> generation = folders.contentsGeneration();
    if (generation && last.generation == generation) return last.apps;
    last.generation = generation;
    last.apps = collect(folders.roots(), folders.extras(), known, folders);
    return last.apps;
}

std::vector<InstalledApp> collect(const QStringList& roots, const QStringList& extras,
                                  const std::vector<InstalledApp>& known) {
    return collect(roots, extras, known, platform::applicationFolders());
}

std::vector<InstalledApp> collect(const QStringList& roots, const QStringList& extras,
                                  const std::vector<InstalledApp>& known, platform::ApplicationFolders& folders) {
    ScanState state;
    state.known = InstalledApp::indexByPath(known);
    state.folders = &folders;
    for (const QString& root : roots) scanDirectory(root, 0, state);
    for (const QString& extra : extras) {
        if (!folders.fileExists(extra) || state.seen.contains(extra)) continue;
        state.seen.insert(extra);
        state.result.push_back(makeApp(extra, state.known, folders));
    }
    return std::move(state.result);
}

void scanDirectory(const QString& folder, int depth, ScanState& state) {
    platform::ApplicationFolders& folders = *state.folders;
    const std::optional<QStringList> names = folders.contentsOfDirectory(folder);
    if (!names) return;
    for (const QString& name : *names) {
        const QString full = folder + u'/' + name;
        if (folders.isApplicationEntry(folder, name)) {
            // An application is never descended into, whatever it is.
            if (state.seen.contains(full)) continue;
            state.seen.insert(full);
            state.result.push_back(makeApp(full, state.known, folders));
        } else if (depth == 0) {
            bool isDirectory = false;
            if (folders.fileExists(full, &isDirectory) && isDirectory) scanDirectory(full, 1, state);
        }
    }
}

InstalledApp makeApp(const QString& path, const KnownIndex& known, platform::ApplicationFolders& folders) {
    if (auto it = known.constFind(path); it != known.constEnd() && it->bundleID) return *it;
    QString name = folders.displayName(path);
    if (name.endsWith(QStringLiteral(".app"))) name = droppingLast(name, 4);
    return InstalledApp{name, path, folders.bundleIdentifier(path)};
}

}  // namespace InstalledAppScanner
