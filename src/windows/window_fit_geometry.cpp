#include "windows/window_fit_geometry.h"

#include <algorithm>
#include <cmath>

namespace WindowFit {
namespace {

using platform::Rect;

constexpr double kCoverRatio = 0.9;
constexpr double kSnapSlack = 16.0;
constexpr double kMatchTolerance = 1.0;
// A bottom edge this far inside the bar is not worth a write.
constexpr double kBarTolerance = 0.5;

struct Overlap {
    double width;
    double height;
};

Overlap overlapOf(const Rect& w, const Rect& r) {
    return {std::min(w.maxX(), r.maxX()) - std::max(w.minX(), r.minX()),
            std::min(w.maxY(), r.maxY()) - std::max(w.minY(), r.minY())};
}

bool matchesRegion(const Rect& w, const Rect& r) {
    const Overlap o = overlapOf(w, r);
    if (!(o.width > 0) || !(o.height > 0)) return false;
    if (!(o.width >= kCoverRatio * r.width()) || !(o.height >= kCoverRatio * r.height())) return false;
    if (!(std::abs(w.minX() - r.minX()) <= kSnapSlack)) return false;
    if (!(std::abs(w.maxX() - r.maxX()) <= kSnapSlack)) return false;
    // Only the top edge may not stand more than the slack above the region;
    // a lower top edge is covered by the 90 % height rule.
    if (!(w.minY() >= r.minY() - kSnapSlack)) return false;
    return std::abs(w.maxY() - r.maxY()) <= kSnapSlack;
}

double intersectionArea(const Rect& a, const Rect& b) {
    const Rect i = a.intersection(b);
    if (i.isNull()) return 0;
    return i.width() * i.height();
}

}  // namespace

bool coversScreen(const Rect& window, const Rect& display) {
    if (window.isNull() || display.isNull()) return false;
    const Overlap o = overlapOf(window, display);
    if (!(o.width > 0) || !(o.height > 0)) return false;
    return o.width >= kCoverRatio * display.width() && o.height >= kCoverRatio * display.height();
}

bool isSnapped(const Rect& w, const Rect& d) {
    if (w.isNull() || d.isNull()) return false;
    if (!(w.width() > 0) || !(w.height() > 0) || !(d.width() > 0) || !(d.height() > 0)) return false;
    if (!(w.minX() >= d.minX() - kSnapSlack && w.maxX() <= d.maxX() + kSnapSlack &&
          w.minY() >= d.minY() - kSnapSlack && w.maxY() <= d.maxY() + kSnapSlack))
        return false;

    // A full-height column at either side, of any width.
    const bool atSide = std::abs(w.minX() - d.minX()) <= kSnapSlack || std::abs(w.maxX() - d.maxX()) <= kSnapSlack;
    if (atSide && overlapOf(w, d).height >= kCoverRatio * d.height()) return true;

    // Bottom half and bottom quarters; with odd sizes the lower and the
    // right region take the extra point.
    const double top = d.minY() + std::floor(d.height() * 0.5);
    const double h = d.maxY() - top;
    const double half = std::floor(d.width() * 0.5);
    const Rect regions[] = {
        Rect(d.minX(), top, d.width(), h),
        Rect(d.minX(), top, half, h),
        Rect(d.minX() + half, top, d.width() - half, h),
    };
    for (const Rect& r : regions)
        if (matchesRegion(w, r)) return true;
    return false;
}

bool framesMatch(const Rect& a, const Rect& b) {
    return std::abs(a.minX() - b.minX()) <= kMatchTolerance && std::abs(a.minY() - b.minY()) <= kMatchTolerance &&
           std::abs(a.width() - b.width()) <= kMatchTolerance && std::abs(a.height() - b.height()) <= kMatchTolerance;
}

std::optional<Rect> clampAboveBar(const Rect& w, const Rect& d, double barThickness, bool minimized, bool fullScreen,
                                  const std::optional<Rect>& lastApplied) {
    if (minimized || fullScreen) return std::nullopt;
    if (!coversScreen(w, d) && !isSnapped(w, d)) return std::nullopt;
    const double barTop = d.maxY() - barThickness;
    if (!(w.maxY() > barTop + kBarTolerance)) return std::nullopt;
    if (lastApplied && framesMatch(w, *lastApplied)) return std::nullopt;
    // A window whose top edge is already at or below the bar top cannot be
    // cut to end there; a zero-height frame would make it vanish.
    const double height = barTop - w.minY();
    if (!(height > 0)) return std::nullopt;
    return Rect(w.minX(), w.minY(), w.width(), height);
}

std::optional<Rect> chooseDisplay(const Rect& w, const std::vector<Rect>& displays) {
    if (displays.empty()) return std::nullopt;
    std::size_t best = 0;
    double bestArea = intersectionArea(w, displays[0]);
    for (std::size_t i = 1; i < displays.size(); ++i) {
        const double area = intersectionArea(w, displays[i]);
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (bestArea > 0) return displays[best];

    auto distance2 = [&](const Rect& d) {
        const double dx = w.midX() - d.midX();
        const double dy = w.midY() - d.midY();
        return dx * dx + dy * dy;
    };
    best = 0;
    double bestDistance = distance2(displays[0]);
    for (std::size_t i = 1; i < displays.size(); ++i) {
        const double dist = distance2(displays[i]);
        if (dist < bestDistance) {
            best = i;
            bestDistance = dist;
        }
    }
    return displays[best];
}

}  // namespace WindowFit
