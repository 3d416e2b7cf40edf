#pragma once
// Application icons on a Linux desktop: a desktop entry's Icon names an icon
// of the user's icon theme (PNG, XPM or SVG, any size; the theme's parents
// and hicolor stand in for what it lacks) or is an absolute file; a running
// client may carry its own pixels in _NET_WM_ICON.
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform::x11 {

// Lets Qt's icon loader find the desktop's icons whatever Qt platform theme
// runs: the XDG icon folders ($XDG_DATA_HOME/icons, ~/.icons, each of
// $XDG_DATA_DIRS/icons) are searched, and /usr/share/pixmaps holds icons
// outside any theme. With no theme named (an XSETTINGS daemon names one
// later), the theme is the one GTK programs use, else the first installed
// desktop theme, else hicolor. GUI thread.
void prepareIconLookup();

// The icon theme GTK reads when no XSETTINGS daemon runs: gtk-icon-theme-name
// of [Settings] in the first of the files that names one; empty when none does.
QString gtkIconThemeName(const QStringList& settingsFiles);
// $XDG_CONFIG_HOME/gtk-3.0/settings.ini, then each $XDG_CONFIG_DIRS one, then /etc's.
QStringList gtkSettingsFiles();
// The usual desktop themes (Adwaita first) that have an index.theme in one
// of the folders, in that order: where an icon the user's theme lacks is
// looked for before hicolor.
QStringList installedFallbackThemes(const QStringList& searchPaths);
// The file of the icon in the theme itself (not its parents), the one
// nearest the size: empty when the theme has none.
QString themeIconFile(const QString& theme, const QString& name, int size, const QStringList& searchPaths);

// The icon a desktop entry names, rendered at the size; none when neither
// the icon theme nor the file system has it. Theme lookups need the GUI
// thread; elsewhere only absolute files and the plain icon folders are read.
std::optional<QImage> desktopIcon(const QString& name, int size = 64);

// The image file of the icon a desktop entry names, found on any thread by
// plain file look-ups through the themes the GUI thread's loader had when
// prepareIconLookup last ran (the theme, its parents, the installed desktop
// themes, hicolor), then the plain icon folders; empty when none has it or
// the lookup was never prepared.
QString desktopIconFile(const QString& name, int size = 64);

// The icon _NET_WM_ICON gives as ARGB pixels (row by row), or none.
std::optional<QImage> imageFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height);

}  // namespace platform::x11
