#pragma once
// The one place where the bar, the start menu and the settings obtain
// application icons and display names. Answers come from in-memory caches;
// a path without an icon is remembered as such until told to look again;
// a process's icon is forgotten when the process ends, because process ids
// are reused, and an application's (shared by its processes) when its last
// known process ends. Only real icons are cached: a lookup that found none (or only
// the platform's stand-in) is made again when the icon is next asked for, so
// an icon that arrives later (a window that sets its icon after mapping, a
// theme installed meanwhile) replaces the placeholder. The path icons (and
// the paths known to have none) are kept for the most recently asked paths
// only: a desktop may list tens of thousands of entries, of which the menu
// shows a few dozen at a time.
#include <QCache>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch.h"

class AppIconProvider {
public:
    // The shared instance, made on first use over the installed workspace.
    static AppIconProvider& shared();
    // Forgets the shared instance (a fresh platform installation needs one).
    static void resetShared();

    AppIconProvider();
    ~AppIconProvider();
    AppIconProvider(const AppIconProvider&) = delete;
    AppIconProvider& operator=(const AppIconProvider&) = delete;

    std::optional<QImage> icon(std::int32_t pid);
    std::optional<QImage> iconForBundleID(const QString& bundleID);
    std::optional<QImage> iconForPath(const QString& path);
    // The next iconForPath of a path that had no icon (or only the stand-in) looks again.
    void forgetMissingPathIcons();
    // Reads and decodes the icons of these paths on a background queue, from
    // the image files the workspace names for them, and puts them in the
    // path cache on the main thread, a batch at a time. A later preload
    // replaces this one: its results still on the way are dropped, and so is
    // a result for a path whose icon the cache learnt meanwhile. `rest` gets,
    // on the main thread, the paths the background could not tell an icon
    // for; those need iconForPath on the main thread.
    void preloadPathIcons(const QStringList& paths, std::function<void(QStringList rest)> rest);
    // An icon file decoded at most `size` pixels on a side (vector files drawn
    // at that size), premultiplied for drawing; null when it cannot be read.
    // Safe on any thread.
    static QImage decodeIconFile(const QString& file, int size = 64);
    QString displayName(const QString& bundleID);

    // Cache sizes, for tests and diagnostics.
    int cachedPidIcons() const { return int(iconByPid_.size()); }
    int cachedBundleIcons() const { return int(iconByBundle_.size()); }
    int cachedPathIcons() const { return int(iconByPath_.size()); }
    int cachedMissingPathIcons() const { return int(missingByPath_.size()); }
    // How many paths each of the two path caches keeps, well above the rows
    // a menu shows and scrolls through at once.
    static constexpr int pathCacheLimit = 1024;

private:
    void applicationTerminated(std::int32_t pid);
    void keep(std::int32_t pid, const QString& appID, const QImage& image);

    QHash<std::int32_t, QImage> iconByPid_;
    QHash<QString, QImage> iconByApp_;
    QHash<std::int32_t, QString> appOfPid_;
    QHash<QString, int> processesOfApp_;
    QHash<QString, QImage> iconByBundle_;
    // Least recently asked paths go first.
    QCache<QString, QImage> iconByPath_{pathCacheLimit};
    QCache<QString, QImage> missingByPath_{pathCacheLimit};  // the stand-in, or null for none
    QHash<QString, QString> nameByBundle_;
    int observerToken_ = 0;
    std::uint64_t preloadGeneration_ = 0;
    std::optional<platform::SerialQueue> preloadQueue_;
    std::shared_ptr<bool> alive_;
};
