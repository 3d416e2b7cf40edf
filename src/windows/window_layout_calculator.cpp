#include "windows/window_layout_calculator.h"

#include <algorithm>
#include <cmath>

#include "windows/window_fit_geometry.h"

namespace WindowLayoutCalculator {

using platform::Rect;

Rect usableFrame(const Rect& screenBounds, const Rect& visibleFrame, double barThickness) {
    const Rect i = screenBounds.intersection(visibleFrame);
    if (i.isNull()) return Rect::null();
    const double bottom = std::min(screenBounds.maxY() - barThickness, i.maxY());
    if (!(i.minY() < bottom)) return Rect::null();
    return Rect(i.minX(), i.minY(), i.width(), bottom - i.minY());
}

std::optional<Rect> frame(Placement placement, const Rect& window, const std::vector<DisplayArea>& displays) {
    std::vector<Rect> bounds;
    bounds.reserve(displays.size());
    for (const auto& d : displays) bounds.push_back(d.bounds);
    const auto chosen = WindowFit::chooseDisplay(window, bounds);
    if (!chosen) return std::nullopt;

    const auto area = std::find_if(displays.begin(), displays.end(),
                                   [&](const DisplayArea& d) { return d.bounds == *chosen; });
    if (area == displays.end()) return std::nullopt;
    const Rect u = area->usableFrame;
    if (u.isNull() || !(u.width() > 0) || !(u.height() > 0)) return std::nullopt;

    const double half = std::floor(u.width() * 0.5);
    switch (placement) {
    case Placement::maximize:
        return u;
    case Placement::leftHalf:
        return Rect(u.minX(), u.minY(), half, u.height());
    case Placement::rightHalf:
        return Rect(u.minX() + half, u.minY(), u.width() - half, u.height());
    }
    return std::nullopt;
}

}  // namespace WindowLayoutCalculator
