#pragma once
// Where windows may go on a display: the area above its bar, and the frames
// of the maximise and left/right-half placements. Pure; safe on any thread.
#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace WindowLayoutCalculator {

// One display's bounds and the part of it windows may use (inside the
// visible frame and above the bar); the null rectangle when nothing remains.
// Both in global top-left coordinates.
struct DisplayArea {
    platform::Rect bounds;
    platform::Rect usableFrame;
    friend bool operator==(const DisplayArea&, const DisplayArea&) = default;
};

enum class Placement { maximize, leftHalf, rightHalf };

// The visible part of the screen above a bar of the given thickness (0 for a
// display without a bar); the null rectangle when nothing usable remains.
platform::Rect usableFrame(const platform::Rect& screenBounds, const platform::Rect& visibleFrame,
                           double barThickness);

// The target frame of a placement on the display the window belongs to; none
// without displays or when that display has no usable area.
std::optional<platform::Rect> frame(Placement placement, const platform::Rect& window,
                                    const std::vector<DisplayArea>& displays);

}  // namespace WindowLayoutCalculator
