#include "startmenu/start_menu_model.h"

#include <QSet>
#include <algorithm>

StartMenuModel::StartMenuModel(std::vector<InstalledApp> apps, bool isLoadingApps, LauncherPinStore* pinStore,
                               LauncherRecentsStore* recentsStore, QString query, int selection, QObject* parent)
    : QObject(parent),
      index_(std::make_shared<LauncherSearchIndex>(std::move(apps))),
      isLoadingApps_(isLoadingApps),
      pinStore_(pinStore),
      recentsStore_(recentsStore),
      query_(std::move(query)),
      selection_(selection) {
    auto storeChanged = [this] {
        forgetRows();
        emit changed();
    };
    if (pinStore_) connect(pinStore_, &LauncherPinStore::pinnedPathsChanged, this, storeChanged);
    if (recentsStore_) connect(recentsStore_, &LauncherRecentsStore::pathsChanged, this, storeChanged);
}

void StartMenuModel::forgetRows() {
    list_.reset();
    flat_.reset();
}

void StartMenuModel::setApps(const std::vector<InstalledApp>& apps) {
    if (apps == index_->apps()) return;
    index_ = std::make_shared<LauncherSearchIndex>(apps);
    forgetRows();
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
    forgetRows();
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
    if (isSearching() || !pinStore_) return {};
    return index_->apps(pinStore_->pinnedPaths());
}

std::vector<InstalledApp> StartMenuModel::recentApps() const {
    if (isSearching() || !recentsStore_) return {};
    const QStringList pinned = pinStore_ ? pinStore_->pinnedPaths() : QStringList{};
    const QSet<QString> pinnedSet(pinned.begin(), pinned.end());
    std::vector<InstalledApp> out = index_->apps(recentsStore_->paths());
    out.erase(std::remove_if(out.begin(), out.end(), [&](const InstalledApp& a) { return pinnedSet.contains(a.path); }),
              out.end());
    return out;
}

std::vector<InstalledApp> StartMenuModel::listApps() const {
    if (!list_) list_ = makeListApps();
    return *list_;
}

std::vector<InstalledApp> StartMenuModel::makeListApps() const {
    if (isSearching()) return index_->rank(query_);
    // Hidden by path: marked at the first application of each path, which
    // every application of that path points to.
    const auto& all = apps();
    std::vector<char> hidden(all.size(), 0);
    auto hide = [&](const QString& path) {
        if (const int i = index_->indexOfPath(path); i >= 0) hidden[std::size_t(i)] = 1;
    };
    if (pinStore_)
        for (const QString& p : pinStore_->pinnedPaths()) hide(p);
    for (const InstalledApp& a : recentApps()) hide(a.path);
    // The prepared name order of the whole list, with the sections' entries
    // left out, is the name sort of what remains.
    std::vector<InstalledApp> out;
    out.reserve(all.size());
    const auto& first = index_->firstOfPath();
    for (int i : index_->nameOrder())
        if (!hidden[std::size_t(first[std::size_t(i)])]) out.push_back(all[std::size_t(i)]);
    return out;
}

std::vector<InstalledApp> StartMenuModel::flatList() const { return flatRows(); }

const std::vector<InstalledApp>& StartMenuModel::flatRows() const {
    if (flat_) return *flat_;
    if (!list_) list_ = makeListApps();
    if (isSearching()) {
        flat_ = *list_;
        return *flat_;
    }
    std::vector<InstalledApp> out = pinnedApps();
    for (auto&& a : recentApps()) out.push_back(std::move(a));
    out.insert(out.end(), list_->begin(), list_->end());
    flat_ = std::move(out);
    return *flat_;
}

void StartMenuModel::moveSelection(int step) {
    // The rows are kept until an input changes: a key press neither ranks
    // nor copies them again.
    const auto& rows = flatRows();
    if (rows.empty()) return;
    const qint64 last = qint64(rows.size()) - 1;
    const qint64 next = std::clamp(qint64(selection_) + step, qint64(0), last);
    setSelection(int(next));
}

std::optional<InstalledApp> StartMenuModel::selectedApp() const {
    const auto& rows = flatRows();
    if (selection_ < 0 || std::size_t(selection_) >= rows.size()) return std::nullopt;
    return rows[std::size_t(selection_)];
}
