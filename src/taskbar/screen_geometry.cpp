#include "taskbar/screen_geometry.h"

#include <cmath>

namespace screen_geometry {

double primaryHeight(const std::vector<platform::Screen>& screens) {
    return screens.empty() ? 0.0 : screens.front().frame.height();
}

platform::Rect flipped(const platform::Rect& rect, double primaryHeight) {
    const platform::Rect r = rect.standardized();
    return platform::Rect(r.minX(), primaryHeight - r.maxY(), r.width(), r.height());
}

QRect toQRect(const platform::Rect& r) {
    const int x = int(std::lround(r.minX()));
    const int y = int(std::lround(r.minY()));
    const int right = int(std::lround(r.maxX()));
    const int bottom = int(std::lround(r.maxY()));
    return QRect(x, y, right - x, bottom - y);
}

std::optional<platform::Screen> screenWithID(const std::vector<platform::Screen>& screens, platform::DisplayID id) {
    for (const auto& s : screens)
        if (s.id == id) return s;
    return std::nullopt;
}

std::optional<platform::Screen> screenUnderPointer(const std::vector<platform::Screen>& screens,
                                                   const platform::Point& pointer) {
    for (const auto& s : screens)
        if (s.frame.contains(pointer)) return s;
    return std::nullopt;
}

}  // namespace screen_geometry
