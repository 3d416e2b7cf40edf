#pragma once
// The start menu's own lists in the user defaults: the applications the user
// pinned to the start menu, in the user's order, and those most recently
// launched from it, most recent first. Both hold application paths and never
// look at the file system. Main thread only.
//
// Assigning an equal list (same length, equal texts in order) stores it
// silently; a different list is stored and published. The defaults are read
// once, at construction, and written only when an operation changed a list.
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include "platform/preferences.h"

class LauncherPinStore : public QObject {
    Q_OBJECT
public:
    static inline const QString pinnedPathsKey = QStringLiteral("launcherPinnedPaths");
    static inline const QString pinsSeededKey = QStringLiteral("launcherPinsSeeded");

    // Reads the pins from the given defaults (the application's own when
    // null); a missing or wrongly typed value reads as the empty list.
    explicit LauncherPinStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);

    const QStringList& pinnedPaths() const { return pinnedPaths_; }
    void setPinnedPaths(const QStringList& paths);

    // Drops the pins whose path is not in `scannedPaths`, order kept; writes
    // only a real change.
    void prune(const QSet<QString>& scannedPaths);
    // Once per user: gives empty pins the seed list, then marks the pins as
    // seeded whatever happened.
    void seedIfNeeded(const QStringList& seedPaths);
    // Whether the pins had their seed (in this or an earlier run).
    bool isSeeded() const;
    // Appends an unpinned path, removes a pinned one; always publishes and
    // writes.
    void toggle(const QString& path);
    // The dragged path takes the index the target had; writes only a real
    // change.
    void move(const QString& dragged, const QString& target);

signals:
    void pinnedPathsChanged();

private:
    platform::prefs::Domain& defaults() const;
    void write();

    QStringList pinnedPaths_;
    bool useStandardDefaults_;
    QPointer<platform::prefs::Domain> defaults_;
};

class LauncherRecentsStore : public QObject {
    Q_OBJECT
public:
    static inline const QString recentPathsKey = QStringLiteral("launcherRecentPaths");
    static constexpr int limit = 6;

    explicit LauncherRecentsStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);

    // Most recent first. A longer list read from the defaults stays as read
    // until the next recording.
    const QStringList& paths() const { return paths_; }
    void setPaths(const QStringList& paths);

    // Puts the path first (once), keeping at most `limit` entries; writes
    // only a real change.
    void record(const QString& path);
    void prune(const QSet<QString>& scannedPaths);

    // The list without every occurrence of `path`, with `path` in front, cut
    // to `limit` entries.
    static QStringList recentPaths(const QString& path, const QStringList& list, int limit);

signals:
    void pathsChanged();

private:
    platform::prefs::Domain& defaults() const;
    void write();

    QStringList paths_;
    bool useStandardDefaults_;
    QPointer<platform::prefs::Domain> defaults_;
};
