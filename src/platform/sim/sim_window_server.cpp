#include "platform/sim/sim_window_server.h"

#include <algorithm>

namespace platform::sim {
namespace {

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

bool isInteger(const QVariant& v) { return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float; }

std::optional<std::int64_t> integer(const QVariantMap& m, const QString& key) {
    auto it = m.constFind(key);
    if (it == m.constEnd()) return std::nullopt;
    if (isInteger(*it)) return it->toLongLong();
    // A whole real counts as the integer it holds, as the number type allows.
    if (isNumber(*it)) {
        double d = it->toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::abs(d) < 9.0e18) return std::int64_t(d);
    }
    return std::nullopt;
}

std::optional<double> real(const QVariantMap& m, const QString& key) {
    auto it = m.constFind(key);
    if (it == m.constEnd() || !isNumber(*it)) return std::nullopt;
    double d = it->toDouble();
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

QVariantMap boundsMap(const Rect& r) {
    return QVariantMap{{"X", r.origin.x}, {"Y", r.origin.y}, {"Width", r.size.width}, {"Height", r.size.height}};
}

}  // namespace

WindowRecord SimWindowServer::toRecord(const QVariantMap& entry) {
    WindowRecord r;
    r.number = integer(entry, window_keys::number);
    r.ownerPID = integer(entry, window_keys::ownerPID);
    r.layer = integer(entry, window_keys::layer);
    r.alpha = real(entry, window_keys::alpha);
    auto on = entry.constFind(window_keys::isOnScreen);
    if (on != entry.constEnd() && on->typeId() == QMetaType::Bool) r.isOnScreen = on->toBool();
    auto owner = entry.constFind(window_keys::ownerName);
    if (owner != entry.constEnd() && owner->typeId() == QMetaType::QString) r.ownerName = owner->toString();
    auto name = entry.constFind(window_keys::name);
    if (name != entry.constEnd() && name->typeId() == QMetaType::QString) r.name = name->toString();
    auto b = entry.constFind(window_keys::bounds);
    if (b != entry.constEnd() && b->typeId() == QMetaType::QVariantMap) {
        QVariantMap m = b->toMap();
        auto x = real(m, "X"), y = real(m, "Y"), w = real(m, "Width"), h = real(m, "Height");
        if (x && y && w && h) r.bounds = Rect(*x, *y, *w, *h);
    }
    return r;
}

std::optional<std::vector<QVariantMap>> SimWindowServer::describeWindowList(unsigned options, std::int64_t relativeTo) {
    std::lock_guard lock(core_->mutex);
    if (core_->windowListUnavailable) return std::nullopt;
    const bool onScreenOnly = options & (windowListOnScreenOnly | windowListOnScreenAboveWindow | windowListOnScreenBelowWindow);

    struct Item {
        std::int64_t number;  // 0 for raw entries
        QVariantMap entry;
        bool visible;
    };
    std::vector<Item> items;
    for (auto n : core_->zOrder) {
        const WindowState& w = core_->windows[n];
        const AppState* a = core_->app(w.pid);
        if (!a || a->terminated) continue;
        bool visible = core_->isWindowVisible(w);
        QVariantMap e{
            {window_keys::number, qlonglong(w.number)},
            {window_keys::ownerPID, qlonglong(w.pid)},
            {window_keys::layer, qlonglong(w.given.layer)},
            {window_keys::bounds, boundsMap(w.given.frame)},
            {window_keys::alpha, w.given.alpha},
            {window_keys::isOnScreen, visible},
            {window_keys::ownerName, a->given.name},
            {window_keys::name, w.given.title},
        };
        auto c = core_->corruptions.find(n);
        if (c != core_->corruptions.end()) {
            for (auto& [key, value] : c->second) {
                if (value) e.insert(key, *value);
                else e.remove(key);
            }
        }
        items.push_back({std::int64_t(n), e, visible});
    }
    for (auto& [position, entry] : core_->rawEntries) {
        Item it{0, entry, true};
        std::size_t at = std::clamp<std::size_t>(std::size_t(std::max(0, position)), 0, items.size());
        items.insert(items.begin() + std::ptrdiff_t(at), it);
    }

    // Relative to a window: the ones above it (in front) or below it.
    std::ptrdiff_t anchor = -1;
    if (relativeTo != 0) {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].number == relativeTo) anchor = std::ptrdiff_t(i);
    }
    std::vector<QVariantMap> out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        const std::ptrdiff_t idx = std::ptrdiff_t(i);
        if (options & windowListOnScreenAboveWindow) {
            if (anchor >= 0 && idx >= anchor && !(idx == anchor && (options & windowListIncludingWindow))) continue;
        } else if (options & windowListOnScreenBelowWindow) {
            if (anchor >= 0 && idx <= anchor && !(idx == anchor && (options & windowListIncludingWindow))) continue;
        } else if ((options & windowListIncludingWindow) && !(options & windowListOnScreenOnly)) {
            // Only the one window.
            if (idx != anchor) continue;
        }
        if (onScreenOnly && !it.visible) continue;
        if (options & windowListExcludeDesktopElements) {
            auto layer = integer(it.entry, window_keys::layer);
            if (layer && *layer <= desktopIconLayer) continue;
        }
        out.push_back(it.entry);
    }
    return out;
}

std::optional<std::vector<WindowRecord>> SimWindowServer::copyWindowList(unsigned options, std::int64_t relativeTo) {
    copies_.fetch_add(1, std::memory_order_relaxed);
    auto described = describeWindowList(options, relativeTo);
    if (!described) return std::nullopt;
    std::vector<WindowRecord> out;
    out.reserve(described->size());
    for (const auto& e : *described) out.push_back(toRecord(e));
    return out;
}

}  // namespace platform::sim
