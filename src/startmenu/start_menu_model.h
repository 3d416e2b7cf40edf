#pragma once
// The state behind one opened start menu: the scanned applications, whether
// the first scan is still running, the typed query and the keyboard
// selection; and from these and the two launcher stores the sections shown
// (pinned, recent, all applications) or the ranked search results.
//
// Assigning a property its current value publishes nothing. The derived
// lists are computed on every read; only the per-list preparation for
// ranking (lower-cased names, name order) is kept, and it is rebuilt when the
// application list changes. Main thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "startmenu/installed_app.h"
#include "startmenu/launcher_search.h"
#include "startmenu/launcher_stores.h"

class StartMenuModel : public QObject {
    Q_OBJECT
public:
    StartMenuModel(std::vector<InstalledApp> apps, bool isLoadingApps, LauncherPinStore* pinStore,
                   LauncherRecentsStore* recentsStore, QString query = {}, int selection = 0,
                   QObject* parent = nullptr);

    const std::vector<InstalledApp>& apps() const { return index_->apps(); }
    void setApps(const std::vector<InstalledApp>& apps);
    bool isLoadingApps() const { return isLoadingApps_; }
    void setIsLoadingApps(bool loading);
    const QString& query() const { return query_; }
    void setQuery(const QString& query);
    int selection() const { return selection_; }
    void setSelection(int selection);

    LauncherPinStore* pinStore() const { return pinStore_; }
    LauncherRecentsStore* recentsStore() const { return recentsStore_; }

    // The query with white space and line breaks trimmed is not empty.
    bool isSearching() const;
    // Empty while searching.
    std::vector<InstalledApp> pinnedApps() const;
    // Empty while searching; never holds a pinned application.
    std::vector<InstalledApp> recentApps() const;
    // The ranked results while searching; otherwise every application in
    // neither section above, in name order.
    std::vector<InstalledApp> listApps() const;
    // Pinned, recent and list, concatenated: what the selection indexes.
    std::vector<InstalledApp> flatList() const;

    // Steps the selection, stopping at the first and last rows; does nothing
    // without rows.
    void moveSelection(int step);
    std::optional<InstalledApp> selectedApp() const;

signals:
    void appsChanged();
    void isLoadingAppsChanged();
    void queryChanged();
    void selectionChanged();
    // Any input of the derived lists changed (also a store's list).
    void changed();

private:
    std::shared_ptr<const LauncherSearchIndex> index_;
    bool isLoadingApps_;
    QPointer<LauncherPinStore> pinStore_;
    QPointer<LauncherRecentsStore> recentsStore_;
    QString query_;
    int selection_;
    // The derived lists as last made; forgotten when an input they read changes.
    mutable std::optional<std::vector<InstalledApp>> list_;
    mutable std::optional<std::vector<InstalledApp>> flat_;
    void forgetRows();
    std::vector<InstalledApp> makeListApps() const;
    const std::vector<InstalledApp>& flatRows() const;
};
