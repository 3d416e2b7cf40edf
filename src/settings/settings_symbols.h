#pragma once
// The few system symbols the settings panes and the crop sheet draw that the
// bar does not: "checkmark", "plus", "xmark.circle.fill", "minus.circle.fill",
// "minus.magnifyingglass" and "plus.magnifyingglass". Anything else goes to
// the bar's symbol painter.
#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace settings_symbols {

// Draws the symbol centred in `rect`, scaled to fit; `bold` thickens the strokes.
void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color, bool bold = false);
// The symbol as an icon of the given size.
QIcon icon(const QString& name, int size, const QColor& color);

}  // namespace settings_symbols
