#include "windows/task_items.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>

namespace AppBundleInfo {
namespace {

bool isTrueValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return v.toLongLong() != 0;
    case QMetaType::QString: {
        const QString s = v.toString().toLower();
        return s == QLatin1String("1") || s == QLatin1String("yes") || s == QLatin1String("true");
    }
    default:
        return false;
    }
}

}  // namespace

bool isAgentApp(const std::optional<QVariantMap>& info) {
    if (!info) return false;
    if (isTrueValue(info->value(QStringLiteral("LSUIElement")))) return true;
    return isTrueValue(info->value(QStringLiteral("LSBackgroundOnly")));
}

bool isAppPath(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        if (parts[i].endsWith(QLatin1String(".app"), Qt::CaseSensitive)) return true;
    return false;
}

}  // namespace AppBundleInfo

namespace TaskStripItems {
namespace {

std::int64_t windowBadge(const AppItem& app) {
    const auto n = static_cast<std::int64_t>(app.windows.size());
    return n >= 2 ? n : 0;
}

TaskButtonItem appItem(const AppItem& app, std::int64_t badge, bool pinned, const std::optional<QString>& bundleID) {
    return TaskButtonItem{
        .id = TaskButtonItem::appIdentity(app.pid),
        .kind = TaskButtonKind::app(app.pid),
        .pid = app.pid,
        .bundleID = bundleID,
        .label = app.name,
        .badge = badge,
        .isActive = app.isActive && app.hasVisibleWindow && !app.isHidden,
        .isDimmed = !app.hasVisibleWindow || app.isHidden,
        .isPinned = pinned,
        .isRunning = true,
        .hasUnread = app.hasUnread || std::any_of(app.windows.begin(), app.windows.end(),
                                                  [](const WindowItem& w) { return w.hasUnread; }),
    };
}

QCollator& nameCollator() {
    // The strip lays out on the main thread; one collator per thread keeps
    // other callers safe. Rebuilt when the current locale changes.
    thread_local QLocale locale;
    thread_local QCollator collator = [] {
        QCollator c{locale};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    if (QLocale() != locale) {
        locale = QLocale();
        collator = QCollator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
    }
    return collator;
}

}  // namespace

std::vector<TaskButtonItem> build(const std::vector<AppItem>& apps, bool perWindow, const QSet<QString>& excluded,
                                  const QStringList& pinned, const QStringList& userOrder) {
    const QSet<QString> pinnedSet(pinned.begin(), pinned.end());
    std::vector<AppItem> candidates;
    candidates.reserve(apps.size());
    for (const AppItem& app : apps) {
        if (app.bundleID && (pinnedSet.contains(*app.bundleID) || excluded.contains(*app.bundleID))) continue;
        candidates.push_back(app);
    }
    std::vector<TaskButtonItem> items = pinnedItems(pinned, apps);
    std::vector<TaskButtonItem> running = runningItems(candidates, perWindow, userOrder);
    items.insert(items.end(), std::make_move_iterator(running.begin()), std::make_move_iterator(running.end()));
    return items;
}

std::vector<TaskButtonItem> build(const std::vector<AppItem>& apps, bool perWindow, const QStringList& excluded,
                                  const QStringList& pinned, const QStringList& userOrder) {
    return build(apps, perWindow, QSet<QString>(excluded.begin(), excluded.end()), pinned, userOrder);
}

std::vector<TaskButtonItem> pinnedItems(const QStringList& pinned, const std::vector<AppItem>& apps) {
    std::vector<TaskButtonItem> items;
    if (pinned.isEmpty()) return items;

    QHash<QString, const AppItem*> byBundle;
    for (const AppItem& app : apps)
        if (app.bundleID && !byBundle.contains(*app.bundleID)) byBundle.insert(*app.bundleID, &app);

    // Identities must be unique within the strip, so an identifier that the
    // stored list repeats gets its first position only.
    QSet<QString> emitted;
    items.reserve(pinned.size());
    for (const QString& bundleID : pinned) {
        if (emitted.contains(bundleID)) continue;
        emitted.insert(bundleID);
        if (const AppItem* app = byBundle.value(bundleID, nullptr)) {
            items.push_back(appItem(*app, windowBadge(*app), true, bundleID));
            continue;
        }
        items.push_back(TaskButtonItem{
            .id = TaskButtonItem::pinIdentity(bundleID),
            .kind = TaskButtonKind::app(0),
            .pid = 0,
            .bundleID = bundleID,
            .label = QString(),
            .badge = 0,
            .isActive = false,
            .isDimmed = true,
            .isPinned = true,
            .isRunning = false,
            .hasUnread = false,
        });
    }
    return items;
}

QHash<QString, int> orderIndex(const QStringList& userOrder) {
    QHash<QString, int> index;
    index.reserve(userOrder.size());
    for (int i = 0; i < userOrder.size(); ++i) index.insert(userOrder[i], i);
    return index;
}

bool runningOrder(const AppItem& a, const AppItem& b, const QHash<QString, int>& index) {
    auto indexOf = [&](const AppItem& app) -> std::optional<int> {
        if (!app.bundleID) return std::nullopt;
        auto it = index.constFind(*app.bundleID);
        if (it == index.constEnd()) return std::nullopt;
        return *it;
    };
    const auto ia = indexOf(a);
    const auto ib = indexOf(b);
    if (ib) return ia && *ia < *ib;
    if (ia) return true;
    const int c = nameCollator().compare(a.name, b.name);
    if (c != 0) return c < 0;
    return a.pid < b.pid;
}

std::vector<TaskButtonItem> runningItems(const std::vector<AppItem>& candidates, bool perWindow,
                                         const QStringList& userOrder) {
    const QHash<QString, int> index = orderIndex(userOrder);
    std::vector<const AppItem*> sorted;
    sorted.reserve(candidates.size());
    for (const AppItem& app : candidates) sorted.push_back(&app);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const AppItem* a, const AppItem* b) { return runningOrder(*a, *b, index); });

    std::vector<TaskButtonItem> items;
    items.reserve(sorted.size());
    for (const AppItem* app : sorted) {
        if (perWindow) {
            auto windows = windowItems(*app);
            items.insert(items.end(), std::make_move_iterator(windows.begin()), std::make_move_iterator(windows.end()));
        } else {
            items.push_back(appItem(*app, windowBadge(*app), false, app->bundleID));
        }
    }
    return items;
}

std::vector<TaskButtonItem> windowItems(const AppItem& app) {
    std::vector<TaskButtonItem> items;
    if (app.windows.empty()) {
        items.push_back(appItem(app, 0, false, app.bundleID));
        return items;
    }
    std::vector<const WindowItem*> windows;
    windows.reserve(app.windows.size());
    for (const WindowItem& w : app.windows) windows.push_back(&w);
    std::stable_sort(windows.begin(), windows.end(), [](const WindowItem* a, const WindowItem* b) { return a->id < b->id; });

    items.reserve(windows.size());
    for (const WindowItem* w : windows) {
        items.push_back(TaskButtonItem{
            .id = TaskButtonItem::windowIdentity(w->id),
            .kind = TaskButtonKind::window(w->id, app.pid),
            .pid = app.pid,
            .bundleID = app.bundleID,
            .label = w->title.isEmpty() ? app.name : w->title,
            .badge = 0,
            .isActive = app.isActive && w->isFocused && !w->isMinimized,
            .isDimmed = w->isMinimized || app.isHidden,
            .isPinned = false,
            .isRunning = true,
            .hasUnread = app.hasUnread || w->hasUnread,
        });
    }
    return items;
}

}  // namespace TaskStripItems
