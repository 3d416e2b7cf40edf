#pragma once
// Decision geometry of the window constraint engine: does a window fill its
// display or sit snapped to a side, half or quarter, and which frame keeps
// it clear of the bar. Pure functions on global top-left rectangles (y grows
// downward); safe on any thread.
#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace WindowFit {

// The window covers at least 90 % of the display's width and of its height.
bool coversScreen(const platform::Rect& window, const platform::Rect& display);

// The window fills a full-height column at the display's left or right edge,
// the bottom half, the bottom-left quarter or the bottom-right quarter
// (16 points of slack on each edge, 90 % of each dimension).
bool isSnapped(const platform::Rect& window, const platform::Rect& display);

// x, y, width and height each differ by at most one point.
bool framesMatch(const platform::Rect& a, const platform::Rect& b);

// The frame a filled or snapped window should get so that its bottom edge is
// the bar's top edge; none when the window is to be left as it is (minimised,
// full screen, neither filled nor snapped, its bottom at most half a point
// inside the bar, still the frame we gave it, or no positive height left).
std::optional<platform::Rect> clampAboveBar(const platform::Rect& window, const platform::Rect& display,
                                            double barThickness, bool minimized, bool fullScreen,
                                            const std::optional<platform::Rect>& lastApplied);

// The display the window belongs to: largest intersection area, else the
// nearest centre; the first display wins ties. None for an empty list.
std::optional<platform::Rect> chooseDisplay(const platform::Rect& window,
                                            const std::vector<platform::Rect>& displays);

}  // namespace WindowFit
