#pragma once
// How thick the bar is, which displays carry one, and what room remains
// above it. Nothing is cached: every call reads the settings and the
// displays afresh, so a changed setting or display is seen at once.
#include <QString>
#include <optional>
#include <vector>

#include "platform/displays.h"
#include "platform/geometry.h"
#include "windows/window_layout_calculator.h"

enum class BarDisplayMode { allDisplays, mainDisplay };

QString rawValue(BarDisplayMode mode);
// "mainDisplay" is mainDisplay; a missing value and every other text are allDisplays.
BarDisplayMode barDisplayModeFromText(const std::optional<QString>& text);

namespace BarMetrics {

inline const QString barHeightKey = QStringLiteral("appearanceBarHeight");
inline const QString displayModeKey = QStringLiteral("barDisplayMode");

// Posted (no object) after "appearanceBarHeight" / "barDisplayMode" changed.
const QString& barHeightChangedNotification();
const QString& displayModeChangedNotification();

// 34, 44 or 54 points for "narrow", "medium", "tall"; any other or no text is "medium".
double barThickness();
// Bar thickness for a stored text, by the same rule.
double barThickness(const std::optional<QString>& text);

BarDisplayMode displayMode();

// Bounds of every active display in the window server's order; the main
// display's bounds alone when the list cannot be read or is empty.
std::vector<platform::Rect> allDisplayBounds();
// Bounds of the displays that carry a bar.
std::vector<platform::Rect> targetDisplays();
// One area per screen with a display number, in screen order; the usable
// frame of a screen without a bar is its visible area.
std::vector<WindowLayoutCalculator::DisplayArea> screenBarFrames();
// The screens that get a bar panel. In main-display mode with no screen
// matching the main display, the first screen.
std::vector<platform::Screen> barScreens();

}  // namespace BarMetrics
