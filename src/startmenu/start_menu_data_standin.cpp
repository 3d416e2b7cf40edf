#include "startmenu/start_menu_data_standin.h"

#include <QCollator>
#include <QHash>
#include <algorithm>

#include "core/settings_model.h"
#include "platform/preferences.h"

namespace {
bool nameBefore(const QCollator& c, const QString& a, const QString& b) { return c.compare(a, b) < 0; }
QCollator collator() {
    QCollator c;
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
}
}  // namespace

std::vector<InstalledApp> InstalledApp::sortByName(std::vector<InstalledApp> apps) {
    const QCollator c = collator();
    std::stable_sort(apps.begin(), apps.end(),
                     [&](const InstalledApp& a, const InstalledApp& b) { return nameBefore(c, a.name, b.name); });
    return apps;
}

std::vector<InstalledApp> InstalledApp::apps(const QStringList& paths, const std::vector<InstalledApp>& apps) {
    QHash<QString, const InstalledApp*> index;
    for (const auto& a : apps)
        if (!index.contains(a.path)) index.insert(a.path, &a);
    std::vector<InstalledApp> out;
    QSet<QString> taken;
    for (const auto& p : paths) {
        if (taken.contains(p)) continue;
        taken.insert(p);
        if (auto* a = index.value(p, nullptr)) out.push_back(*a);
    }
    return out;
}

QStringList InstalledApp::seedPaths(const QStringList& bundleIDs, const std::vector<InstalledApp>& apps) {
    QStringList out;
    for (const auto& id : bundleIDs)
        for (const auto& a : apps)
            if (a.bundleID == id) {
                out.push_back(a.path);
                break;
            }
    return out;
}

std::vector<InstalledApp> LauncherSearch::rank(const QString& query, const std::vector<InstalledApp>& apps) {
    const QString q = query.trimmed().toLower();
    if (q.isEmpty()) return InstalledApp::sortByName(apps);
    std::vector<std::pair<InstalledApp, int>> pairs;
    for (const auto& a : apps) {
        const QString n = a.name.toLower();
        int tier = -1;
        if (n.startsWith(q)) tier = 0;
        else {
            for (const auto& w : n.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (w.startsWith(q)) {
                    tier = 1;
                    break;
                }
            if (tier < 0 && n.contains(q)) tier = 2;
        }
        if (tier >= 0) pairs.emplace_back(a, tier);
    }
    const QCollator c = collator();
    std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& x, const auto& y) {
        if (x.second != y.second) return x.second < y.second;
        return nameBefore(c, x.first.name, y.first.name);
    });
    std::vector<InstalledApp> out;
    out.reserve(pairs.size());
    for (auto& p : pairs) out.push_back(std::move(p.first));
    return out;
}

LauncherPinStore::LauncherPinStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent), defaults_(defaults ? *defaults : platform::prefs::userDefaults()), pinnedPaths_(defaults_.stringArrayValue(settings::keys::launcherPinnedPaths).value_or(QStringList{})) {}

void LauncherPinStore::assign(const QStringList& list) {
    if (list == pinnedPaths_) return;
    pinnedPaths_ = list;
    emit pinnedPathsChanged();
}

void LauncherPinStore::prune(const QSet<QString>& keep) {
    QStringList l;
    for (const auto& p : pinnedPaths_)
        if (keep.contains(p)) l.push_back(p);
    if (l == pinnedPaths_) return;
    assign(l);
    defaults_.setStringArray(settings::keys::launcherPinnedPaths, pinnedPaths_);
}

void LauncherPinStore::seedIfNeeded(const QStringList& seeds) {
    if (defaults_.boolValue(settings::keys::launcherPinsSeeded).value_or(false)) return;
    if (pinnedPaths_.isEmpty()) {
        assign(seeds);
        defaults_.setStringArray(settings::keys::launcherPinnedPaths, pinnedPaths_);
    }
    defaults_.setBool(settings::keys::launcherPinsSeeded, true);
}

void LauncherPinStore::toggle(const QString& path) {
    QStringList l = pinnedPaths_;
    if (l.contains(path)) l.removeOne(path);
    else l.push_back(path);
    pinnedPaths_ = l;
    emit pinnedPathsChanged();
    defaults_.setStringArray(settings::keys::launcherPinnedPaths, pinnedPaths_);
}

void LauncherPinStore::move(const QString& dragged, const QString& target) {
    QStringList l = pinnedPaths_;
    const int i = int(l.indexOf(dragged)), j = int(l.indexOf(target));
    if (dragged == target || i < 0 || j < 0) return;
    l.removeAt(i);
    l.insert(j, dragged);
    if (l == pinnedPaths_) return;
    assign(l);
    defaults_.setStringArray(settings::keys::launcherPinnedPaths, pinnedPaths_);
}

LauncherRecentsStore::LauncherRecentsStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent), defaults_(defaults ? *defaults : platform::prefs::userDefaults()), paths_(defaults_.stringArrayValue(settings::keys::launcherRecentPaths).value_or(QStringList{})) {}

void LauncherRecentsStore::assign(const QStringList& list) {
    if (list == paths_) return;
    paths_ = list;
    emit pathsChanged();
}

void LauncherRecentsStore::record(const QString& path) {
    QStringList l = paths_;
    l.removeAll(path);
    l.prepend(path);
    while (l.size() > limit) l.removeLast();
    if (l == paths_) return;
    assign(l);
    defaults_.setStringArray(settings::keys::launcherRecentPaths, paths_);
}

void LauncherRecentsStore::prune(const QSet<QString>& keep) {
    QStringList l;
    for (const auto& p : paths_)
        if (keep.contains(p)) l.push_back(p);
    if (l == paths_) return;
    assign(l);
    defaults_.setStringArray(settings::keys::launcherRecentPaths, paths_);
}

StartMenuModel::StartMenuModel(std::vector<InstalledApp> apps, bool isLoadingApps, LauncherPinStore* pins,
                               LauncherRecentsStore* recents, QString query, int selection, QObject* parent)
    : QObject(parent), apps_(std::move(apps)), isLoadingApps_(isLoadingApps), pins_(*pins), recents_(*recents),
      query_(std::move(query)), selection_(selection) {
    connect(&pins_, &LauncherPinStore::pinnedPathsChanged, this, &StartMenuModel::changed);
    connect(&recents_, &LauncherRecentsStore::pathsChanged, this, &StartMenuModel::changed);
}

void StartMenuModel::setApps(std::vector<InstalledApp> apps) {
    if (apps == apps_) return;
    apps_ = std::move(apps);
    emit appsChanged();
    emit changed();
}

void StartMenuModel::setIsLoadingApps(bool loading) {
    if (loading == isLoadingApps_) return;
    isLoadingApps_ = loading;
    emit isLoadingAppsChanged();
    emit changed();
}

void StartMenuModel::setQuery(const QString& query) {
    if (query == query_) return;
    query_ = query;
    emit queryChanged();
    emit changed();
}

void StartMenuModel::setSelection(int selection) {
    if (selection == selection_) return;
    selection_ = selection;
    emit selectionChanged();
    emit changed();
}

bool StartMenuModel::isSearching() const { return !query_.trimmed().isEmpty(); }

std::vector<InstalledApp> StartMenuModel::pinnedApps() const {
    if (isSearching()) return {};
    return InstalledApp::apps(pins_.pinnedPaths(), apps_);
}

std::vector<InstalledApp> StartMenuModel::recentApps() const {
    if (isSearching()) return {};
    std::vector<InstalledApp> out;
    for (auto& a : InstalledApp::apps(recents_.paths(), apps_))
        if (!pins_.pinnedPaths().contains(a.path)) out.push_back(std::move(a));
    return out;
}

std::vector<InstalledApp> StartMenuModel::listApps() const {
    if (isSearching()) return LauncherSearch::rank(query_, apps_);
    QSet<QString> skip(pins_.pinnedPaths().begin(), pins_.pinnedPaths().end());
    for (const auto& a : recentApps()) skip.insert(a.path);
    std::vector<InstalledApp> out;
    for (const auto& a : apps_)
        if (!skip.contains(a.path)) out.push_back(a);
    return InstalledApp::sortByName(std::move(out));
}

std::vector<InstalledApp> StartMenuModel::flatList() const {
    auto flat = pinnedApps();
    for (auto& a : recentApps()) flat.push_back(std::move(a));
    for (auto& a : listApps()) flat.push_back(std::move(a));
    return flat;
}

void StartMenuModel::moveSelection(int step) {
    const int n = int(flatList().size());
    if (n == 0) return;
    setSelection(std::clamp(selection_ + step, 0, n - 1));
}

std::optional<InstalledApp> StartMenuModel::selectedApp() const {
    const auto flat = flatList();
    if (selection_ < 0 || selection_ >= int(flat.size())) return std::nullopt;
    return flat[std::size_t(selection_)];
}
