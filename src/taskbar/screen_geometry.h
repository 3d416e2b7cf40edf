#pragma once
// Conversions between the platform's screen coordinates (origin at the
// bottom left of the primary display, y upwards) and Qt's global widget
// coordinates (origin at the top left of the primary display, y downwards,
// the same system as display bounds).
#include <QRect>
#include <QPoint>
#include <optional>
#include <vector>

#include "platform/displays.h"

namespace screen_geometry {

// Height of the primary display's frame, against which y is flipped.
double primaryHeight(const std::vector<platform::Screen>& screens);
// A bottom-left rectangle in top-left coordinates: y = primary height - maxY.
platform::Rect flipped(const platform::Rect& rect, double primaryHeight);
QRect toQRect(const platform::Rect& topLeftRect);

// The screen with that display id; absent for 0 matches.
std::optional<platform::Screen> screenWithID(const std::vector<platform::Screen>& screens, platform::DisplayID id);
// The first screen whose frame contains the pointer; absent when none does.
std::optional<platform::Screen> screenUnderPointer(const std::vector<platform::Screen>& screens,
                                                   const platform::Point& pointer);

}  // namespace screen_geometry
