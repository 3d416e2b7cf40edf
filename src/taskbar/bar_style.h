#pragma once
// Colours and fonts shared by the bar's views: the system's named colours in
// the light and dark appearance, the themed background with its opacity, and
// fonts sized in pixels (sizes are given in points of a 72-dpi screen).
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

#include "platform/application.h"

class QMenu;
class QWidget;

namespace bar_style {

struct Palette {
    QColor primary;           // labels and symbols
    QColor secondary;         // the date under the time
    QColor separator;         // the hairline along the bar's top edge
    QColor windowBackground;  // the background without a theme
};

Palette palette(platform::Appearance appearance);
// The palette of the appearance in effect now.
Palette currentPalette();
platform::Appearance currentAppearance();

// Theme colour of an appearance-mode text; none for system, light, dark and
// every text that names no mode.
std::optional<QColor> themeColor(const QString& appearanceModeRaw);
// Background opacity by transparency level, with and without a theme colour.
double backgroundOpacity(qint64 transparencyLevel, bool hasThemeColor);
// The bar's background: theme colour or window background, at its opacity.
// Without a compositing manager nothing blends a translucent window with
// the desktop behind it (the X server would show the colour darkened by its
// alpha), so the same colour is then drawn opaque.
QColor backgroundColor(const QString& appearanceModeRaw, qint64 transparencyLevel, platform::Appearance appearance,
                       bool composited = true);
// Whether a compositing manager blends our windows now.
bool composited();

// Shows a bar's popup menu at the pointer's x, with its bottom edge on the
// top edge of the bar's window (never over the bar, its clock or tray),
// kept inside the bar's screen, and drawn opaque without a compositor.
// The bar's window is placed by where the press really was (`pointerInWidget`
// is the pointer in `barWidget`'s coordinates), not by the toolkit's last
// word on the window's position, which a manager may still be changing.
void popUpAboveBar(QMenu* menu, const QPoint& pointer, const QPoint& pointerInWidget, const QWidget* barWidget);
// Where such a menu of the given size goes.
QPoint popupPosition(const QSize& menuSize, const QPoint& pointer, const QRect& barWindow, const QRect& screen);
// A menu entry's text for a name or title shown as it is: a menu reads "&" as
// the mark of a keyboard mnemonic, so "AT&T Connect" would lose it.
QString menuEntryText(const QString& text);

QFont font(double pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace bar_style
