#pragma once
// Application icons on a Linux desktop: a desktop entry's Icon names an icon
// of the user's icon theme (PNG, XPM or SVG, any size; the theme's parents
// and hicolor stand in for what it lacks) or is an absolute file; a running
// client may carry its own pixels in _NET_WM_ICON.
#include <QImage>
#include <QString>
#include <optional>

namespace platform::x11 {

// Lets Qt's icon loader find the desktop's icons whatever Qt platform theme
// runs: the XDG icon folders ($XDG_DATA_HOME/icons, ~/.icons, each of
// $XDG_DATA_DIRS/icons) are searched, the theme is hicolor when none is set,
// and /usr/share/pixmaps holds icons outside any theme. GUI thread.
void prepareIconLookup();

// The icon a desktop entry names, rendered at the size; none when neither
// the icon theme nor the file system has it. Theme lookups need the GUI
// thread; elsewhere only absolute files and the plain icon folders are read.
std::optional<QImage> desktopIcon(const QString& name, int size = 64);

// The icon _NET_WM_ICON gives as ARGB pixels (row by row), or none.
std::optional<QImage> imageFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height);

}  // namespace platform::x11
