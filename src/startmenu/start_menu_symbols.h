#pragma once
// The start menu's own symbols: the magnifying glass, the power row's lock,
// moon, log-out arrow, restart arrow and power sign, and the gear. Any other
// name goes to the bar's symbol painter ("app.dashed" and the rest).
#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace start_menu_symbols {
bool canDraw(const QString& name);
void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);
}  // namespace start_menu_symbols
