#pragma once
// Our own drawing of the handful of system symbols the bar, the tray and the
// settings use ("square.grid.2x2.fill", the battery levels, "bolt.fill", ...).
// A name we cannot draw falls back to the default start symbol, so a face that
// asks for a symbol is never blank.
#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;

namespace symbols {

inline const QString defaultStartSymbol = QStringLiteral("square.grid.2x2.fill");

class SymbolPainter {
public:
    // True when the name is one we draw ourselves.
    static bool canDraw(const QString& name);
    // Every name we draw, in a stable order.
    static QStringList drawableNames();
    // The name actually drawn for a request: the name itself, or the default
    // start symbol for an empty or unknown name.
    static QString resolvedName(const QString& name);
    // Width over height of the symbol's natural box (batteries are wide).
    static double aspectRatio(const QString& name);
    // The symbol's box for a font of the given pixel size, as a glyph of that
    // size would occupy it.
    static QSizeF sizeForFontSize(const QString& name, double pixelSize);
    // Draws the symbol centred in `rect`, scaled to fit, in `color`.
    static void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);
};

}  // namespace symbols
