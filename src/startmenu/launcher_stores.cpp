#include "startmenu/launcher_stores.h"

#include "startmenu/installed_app.h"

namespace {

platform::prefs::Domain* resolve(platform::prefs::Domain* given) {
    return given ? given : &platform::prefs::userDefaults();
}

}  // namespace

// ---- pins

LauncherPinStore::LauncherPinStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent), useStandardDefaults_(defaults == nullptr), defaults_(resolve(defaults)) {
    pinnedPaths_ = defaults_->stringArrayValue(pinnedPathsKey).value_or(QStringList{});
}

platform::prefs::Domain& LauncherPinStore::defaults() const {
    // The standard defaults are looked up at each use: the installed
    // platform may have been replaced since construction.
    return useStandardDefaults_ || !defaults_ ? platform::prefs::userDefaults() : *defaults_;
}

void LauncherPinStore::write() { defaults().setStringArray(pinnedPathsKey, pinnedPaths_); }

void LauncherPinStore::setPinnedPaths(const QStringList& paths) {
    if (paths == pinnedPaths_) return;
    pinnedPaths_ = paths;
    emit pinnedPathsChanged();
}

void LauncherPinStore::prune(const QSet<QString>& scannedPaths) {
    const QStringList next = InstalledApp::filterPaths(pinnedPaths_, scannedPaths);
    if (next == pinnedPaths_) return;
    setPinnedPaths(next);
    write();
}

bool LauncherPinStore::isSeeded() const { return defaults().boolValue(pinsSeededKey).value_or(false); }

void LauncherPinStore::seedIfNeeded(const QStringList& seedPaths) {
    if (defaults().boolValue(pinsSeededKey).value_or(false)) return;
    if (pinnedPaths_.isEmpty()) {
        setPinnedPaths(seedPaths);
        write();
    }
    defaults().setBool(pinsSeededKey, true);
}

void LauncherPinStore::toggle(const QString& path) {
    QStringList next = pinnedPaths_;
    const qsizetype at = next.indexOf(path);
    if (at < 0)
        next.append(path);
    else
        next.removeAt(at);
    setPinnedPaths(next);
    write();
}

void LauncherPinStore::move(const QString& dragged, const QString& target) {
    const QStringList next = movePath(pinnedPaths_, dragged, target);
    if (next == pinnedPaths_) return;
    setPinnedPaths(next);
    write();
}

// ---- recents

LauncherRecentsStore::LauncherRecentsStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent), useStandardDefaults_(defaults == nullptr), defaults_(resolve(defaults)) {
    paths_ = defaults_->stringArrayValue(recentPathsKey).value_or(QStringList{});
}

platform::prefs::Domain& LauncherRecentsStore::defaults() const {
    return useStandardDefaults_ || !defaults_ ? platform::prefs::userDefaults() : *defaults_;
}

void LauncherRecentsStore::write() { defaults().setStringArray(recentPathsKey, paths_); }

void LauncherRecentsStore::setPaths(const QStringList& paths) {
    if (paths == paths_) return;
    paths_ = paths;
    emit pathsChanged();
}

QStringList LauncherRecentsStore::recentPaths(const QString& path, const QStringList& list, int limit) {
    QStringList out;
    out.reserve(list.size() + 1);
    out << path;
    for (const QString& p : list)
        if (p != path) out << p;
    if (limit >= 0 && out.size() > limit) out.resize(limit);
    return out;
}

void LauncherRecentsStore::record(const QString& path) {
    const QStringList next = recentPaths(path, paths_, limit);
    if (next == paths_) return;
    setPaths(next);
    write();
}

void LauncherRecentsStore::prune(const QSet<QString>& scannedPaths) {
    const QStringList next = InstalledApp::filterPaths(paths_, scannedPaths);
    if (next == paths_) return;
    setPaths(next);
    write();
}
