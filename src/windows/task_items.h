#pragma once
// Which running applications are listed, and the ordered buttons of the task
// strip built from a snapshot. Pure functions without state.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>
#include <vector>

#include "windows/window_types.h"

namespace AppBundleInfo {

// The bundle declares itself an agent ("LSUIElement" or "LSBackgroundOnly"
// true as a Boolean, a non-zero whole number, or "1"/"yes"/"true").
bool isAgentApp(const std::optional<QVariantMap>& info);

// The bundle at this path lies inside another application bundle: some
// component before the last one ends with ".app" (case-sensitive).
bool isAppPath(const QString& path);

}  // namespace AppBundleInfo

namespace TaskStripItems {

// The pinned group (one item per pinned identifier, in pin order) followed by
// the running applications that are neither pinned nor excluded, ordered by
// the user's order, then by name, then by process id.
std::vector<TaskButtonItem> build(const std::vector<AppItem>& apps, bool perWindow, const QSet<QString>& excluded,
                                  const QStringList& pinned, const QStringList& userOrder);
std::vector<TaskButtonItem> build(const std::vector<AppItem>& apps, bool perWindow, const QStringList& excluded,
                                  const QStringList& pinned, const QStringList& userOrder);

// One item per distinct pinned identifier; a repeated identifier in the
// stored list is shown once, at its first position.
std::vector<TaskButtonItem> pinnedItems(const QStringList& pinned, const std::vector<AppItem>& apps);

std::vector<TaskButtonItem> runningItems(const std::vector<AppItem>& candidates, bool perWindow,
                                         const QStringList& userOrder);

// Position of each identifier in the user's order; a repeated one takes its
// last position.
QHash<QString, int> orderIndex(const QStringList& userOrder);

// True when a goes before b: listed in the user's order first (by position),
// then the rest by localised case-insensitive name, ties by process id.
bool runningOrder(const AppItem& a, const AppItem& b, const QHash<QString, int>& index);

// One item per window in ascending token order, or one application item for
// an application without windows.
std::vector<TaskButtonItem> windowItems(const AppItem& app);

}  // namespace TaskStripItems
