#include "windows/bar_metrics.h"

#include <algorithm>

#include "platform/preferences.h"

using platform::Rect;

QString rawValue(BarDisplayMode mode) {
    return mode == BarDisplayMode::mainDisplay ? QStringLiteral("mainDisplay") : QStringLiteral("allDisplays");
}

BarDisplayMode barDisplayModeFromText(const std::optional<QString>& text) {
    return text && *text == QStringLiteral("mainDisplay") ? BarDisplayMode::mainDisplay : BarDisplayMode::allDisplays;
}

namespace BarMetrics {
namespace {

Rect mainDisplayBounds() {
    auto& d = platform::displays();
    return d.displayBounds(d.mainDisplayID());
}

}  // namespace

const QString& barHeightChangedNotification() {
    static const QString name = QStringLiteral("QuorvelBarHeightChanged");
    return name;
}

const QString& displayModeChangedNotification() {
    static const QString name = QStringLiteral("QuorvelDisplayModeChanged");
    return name;
}

double barThickness(const std::optional<QString>& text) {
    if (text == QStringLiteral("narrow")) return 34;
    if (text == QStringLiteral("tall")) return 54;
    return 44;
}

double barThickness() { return barThickness(platform::prefs::userDefaults().stringValue(barHeightKey)); }

BarDisplayMode displayMode() {
    return barDisplayModeFromText(platform::prefs::userDefaults().stringValue(displayModeKey));
}

std::vector<Rect> allDisplayBounds() {
    auto& d = platform::displays();
    const auto ids = d.activeDisplayList();
    if (!ids || ids->empty()) return {mainDisplayBounds()};
    std::vector<Rect> bounds;
    bounds.reserve(ids->size());
    for (platform::DisplayID id : *ids) bounds.push_back(d.displayBounds(id));
    return bounds;
}

std::vector<Rect> targetDisplays() {
    if (displayMode() == BarDisplayMode::mainDisplay) return {mainDisplayBounds()};
    return allDisplayBounds();
}

std::vector<WindowLayoutCalculator::DisplayArea> screenBarFrames() {
    auto& d = platform::displays();
    const double mainHeight = mainDisplayBounds().height();
    const std::vector<Rect> targets = targetDisplays();
    const double thickness = barThickness();

    std::vector<WindowLayoutCalculator::DisplayArea> areas;
    for (const platform::Screen& screen : d.screens()) {
        if (screen.id == 0) continue;  // no display number
        const Rect bounds = d.displayBounds(screen.id);
        const Rect& v = screen.visibleFrame;
        const Rect visible(v.minX(), mainHeight - v.maxY(), v.width(), v.height());
        const bool hasBar = std::find(targets.begin(), targets.end(), bounds) != targets.end();
        areas.push_back({bounds, WindowLayoutCalculator::usableFrame(bounds, visible, hasBar ? thickness : 0)});
    }
    return areas;
}

std::vector<platform::Screen> barScreens() {
    auto& d = platform::displays();
    const BarDisplayMode mode = displayMode();
    const platform::DisplayID mainID = d.mainDisplayID();
    const std::vector<platform::Screen> screens = d.screens();

    std::vector<platform::Screen> kept;
    for (const platform::Screen& s : screens)
        if (mode == BarDisplayMode::allDisplays || s.id == mainID) kept.push_back(s);
    // A screen without a display number has id 0 and never matches.
    if (mode == BarDisplayMode::mainDisplay) {
        kept.erase(std::remove_if(kept.begin(), kept.end(), [](const platform::Screen& s) { return s.id == 0; }),
                   kept.end());
        if (kept.empty() && !screens.empty()) kept.push_back(screens.front());
    }
    return kept;
}

}  // namespace BarMetrics
