#pragma once
// Stand-in for the start menu's data side (installed applications, launcher
// stores, the model of one opened menu) until that work lands; it keeps to
// the same names and operations so the panel can be built against it.
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace platform::prefs {
class Domain;
}

struct InstalledApp {
    QString name;
    QString path;
    std::optional<QString> bundleID;
    const QString& id() const { return path; }
    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;

    static std::vector<InstalledApp> sortByName(std::vector<InstalledApp> apps);
    static std::vector<InstalledApp> apps(const QStringList& paths, const std::vector<InstalledApp>& apps);
    static QStringList seedPaths(const QStringList& bundleIDs, const std::vector<InstalledApp>& apps);
};

namespace LauncherSearch {
std::vector<InstalledApp> rank(const QString& query, const std::vector<InstalledApp>& apps);
}

class LauncherPinStore : public QObject {
    Q_OBJECT
public:
    explicit LauncherPinStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);
    const QStringList& pinnedPaths() const { return pinnedPaths_; }
    void prune(const QSet<QString>& keep);
    void seedIfNeeded(const QStringList& seeds);
    void toggle(const QString& path);
    void move(const QString& dragged, const QString& target);
signals:
    void pinnedPathsChanged();

private:
    void assign(const QStringList& list);
    platform::prefs::Domain& defaults_;
    QStringList pinnedPaths_;
};

class LauncherRecentsStore : public QObject {
    Q_OBJECT
public:
    static constexpr int limit = 6;
    explicit LauncherRecentsStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);
    const QStringList& paths() const { return paths_; }
    void record(const QString& path);
    void prune(const QSet<QString>& keep);
signals:
    void pathsChanged();

private:
    void assign(const QStringList& list);
    platform::prefs::Domain& defaults_;
    QStringList paths_;
};

class StartMenuModel : public QObject {
    Q_OBJECT
public:
    StartMenuModel(std::vector<InstalledApp> apps, bool isLoadingApps, LauncherPinStore* pins,
                   LauncherRecentsStore* recents, QString query = {}, int selection = 0, QObject* parent = nullptr);
    const std::vector<InstalledApp>& apps() const { return apps_; }
    void setApps(std::vector<InstalledApp> apps);
    bool isLoadingApps() const { return isLoadingApps_; }
    void setIsLoadingApps(bool loading);
    const QString& query() const { return query_; }
    void setQuery(const QString& query);
    int selection() const { return selection_; }
    void setSelection(int selection);
    LauncherPinStore* pinStore() const { return &pins_; }
    LauncherRecentsStore* recentsStore() const { return &recents_; }

    bool isSearching() const;
    std::vector<InstalledApp> pinnedApps() const;
    std::vector<InstalledApp> recentApps() const;
    std::vector<InstalledApp> listApps() const;
    std::vector<InstalledApp> flatList() const;
    void moveSelection(int step);
    std::optional<InstalledApp> selectedApp() const;

signals:
    void appsChanged();
    void isLoadingAppsChanged();
    void queryChanged();
    void selectionChanged();
    void changed();

private:
    std::vector<InstalledApp> apps_;
    bool isLoadingApps_;
    LauncherPinStore& pins_;
    LauncherRecentsStore& recents_;
    QString query_;
    int selection_ = 0;
};
