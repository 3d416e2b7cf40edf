#include "taskbar/label_fitting.h"

#include <algorithm>
#include <cmath>

#include "core/settings_model.h"

namespace TaskStripLayout {

namespace {

BarHeight heightOf(const QString& raw) { return fromRawValue<BarHeight>(raw).value_or(BarHeight::medium); }

double pick(const QString& raw, double narrow, double medium, double tall) {
    switch (heightOf(raw)) {
        case BarHeight::narrow: return narrow;
        case BarHeight::tall: return tall;
        case BarHeight::medium: break;
    }
    return medium;
}

}  // namespace

double naturalWidth(const std::vector<bool>& wideFlags, double iconSize) {
    const auto wide = std::count(wideFlags.begin(), wideFlags.end(), true);
    return naturalWidth(static_cast<long long>(wideFlags.size()), wide, iconSize);
}

double naturalWidth(long long count, long long wideCount, double iconSize) {
    if (count <= 0) return 0;
    const long long k = std::clamp<long long>(wideCount, 0, count);
    return double(count - 1) * spacing + double(k) * (iconSize + iconOnlyBadgeExtra) +
           double(count - k) * (iconSize + iconOnlyExtra);
}

TaskStripFit fit(const std::vector<bool>& wideFlags, bool iconsOnly, double width, double x) {
    const auto n = static_cast<long long>(wideFlags.size());
    if (n == 0) return {};
    if (!(width > 0)) return TaskStripFit{false, true, 0, 0};  // also catches NaN

    const double available = std::max(0.0, width - runningMargin);
    if (available < naturalWidth(wideFlags, x)) {
        double total = x + overflowExtra;
        int visible = int(n);
        for (long long i = 0; i < n; ++i) {
            total += spacing + (wideFlags[i] ? x + iconOnlyBadgeExtra : x + iconOnlyExtra);
            if (total > available) {
                visible = int(i);
                break;
            }
        }
        return TaskStripFit{false, true, visible, 0};
    }
    if (iconsOnly) return TaskStripFit{false, false, int(n), 0};

    const auto k = std::count(wideFlags.begin(), wideFlags.end(), true);
    const double per = (available - spacing * double(n - 1)) / double(n) - (x + labelledFixedExtra) -
                       labelledBadgeExtra * double(k) / double(n);
    if (per >= narrowestLabel)
        return TaskStripFit{true, false, int(n), std::min(widestLabelledButton - (x + labelledFixedExtra), per)};
    return TaskStripFit{false, false, int(n), 0};
}

double iconSize(const QString& raw) { return pick(raw, 16, 18, 22); }
double overflowButtonHeight(const QString& raw) { return pick(raw, 24, 34, 44); }
double buttonHeight(const QString& raw) { return pick(raw, 24, 34, 44); }
double labelFontSize(const QString& raw) { return pick(raw, 11, 11, 12); }
double runningDotReferenceHeight(const QString& raw) { return pick(raw, 34, 44, 54); }

double runningDotOffset(double referenceHeight, double iconSize) {
    return std::min(std::max((referenceHeight - iconSize) * 0.5 - 1.75, 0.0), 6.5);
}

std::optional<QStringList> reorderedRunning(const QStringList& order, const QString& dragged, const QString& target) {
    if (dragged == target) return std::nullopt;
    const qsizetype i = order.indexOf(target);
    if (i < 0) return std::nullopt;
    QStringList next = order;
    next.removeAll(dragged);
    next.insert(std::min(i, next.size()), dragged);
    return next;
}

}  // namespace TaskStripLayout

namespace TaskButtonStyle {

State state(bool dragged, bool active) {
    if (dragged) return State::dragged;
    return active ? State::active : State::normal;
}

Colors colors(State state, const QColor& selection, const QColor& primary) {
    auto at = [](QColor c, double opacity) {
        c.setAlphaF(float(c.alphaF() * opacity));
        return c;
    };
    switch (state) {
        case State::dragged: return {at(selection, 0.45), at(selection, 0.9), 1.5};
        case State::active: return {at(selection, 0.25), at(selection, 0.5), 1};
        case State::normal: break;
    }
    return {at(primary, 0.001), QColor(Qt::transparent), 1};
}

}  // namespace TaskButtonStyle
