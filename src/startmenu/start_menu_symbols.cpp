#include "startmenu/start_menu_symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "taskbar/symbol_painter.h"

namespace start_menu_symbols {

namespace {
const QStringList ownNames = {QStringLiteral("magnifyingglass"), QStringLiteral("lock"), QStringLiteral("moon"),
                              QStringLiteral("rectangle.portrait.and.arrow.right"), QStringLiteral("arrow.clockwise"),
                              QStringLiteral("power"), QStringLiteral("gearshape")};
}

bool canDraw(const QString& name) { return ownNames.contains(name) || symbols::SymbolPainter::canDraw(name); }

void paint(QPainter& p, const QString& name, const QRectF& rect, const QColor& color) {
    if (!ownNames.contains(name)) {
        symbols::SymbolPainter::paint(p, name, rect, color);
        return;
    }
    // Drawn in a 16-unit box centred in the rectangle.
    const double side = std::min(rect.width(), rect.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(rect.center() - QPointF(side / 2, side / 2));
    p.scale(side / 16.0, side / 16.0);
    QPen pen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (name == QLatin1String("magnifyingglass")) {
        p.drawEllipse(QRectF(2, 2, 9, 9));
        p.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
    } else if (name == QLatin1String("lock")) {
        p.drawArc(QRectF(4.5, 1.5, 7, 8), 0, 180 * 16);
        p.drawLine(QPointF(4.5, 5.5), QPointF(4.5, 7));
        p.drawLine(QPointF(11.5, 5.5), QPointF(11.5, 7));
        p.setBrush(color);
        p.drawRoundedRect(QRectF(3, 7, 10, 7.5), 1.5, 1.5);
    } else if (name == QLatin1String("moon")) {
        QPainterPath moon;
        moon.addEllipse(QRectF(2, 2, 12, 12));
        QPainterPath bite;
        bite.addEllipse(QRectF(6, 0, 11, 11));
        p.drawPath(moon.subtracted(bite));
    } else if (name == QLatin1String("rectangle.portrait.and.arrow.right")) {
        p.drawRoundedRect(QRectF(1.5, 1.5, 8, 13), 1.5, 1.5);
        p.drawLine(QPointF(6, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
        p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
    } else if (name == QLatin1String("arrow.clockwise")) {
        p.drawArc(QRectF(2, 2.5, 12, 12), 60 * 16, 300 * 16);
        p.drawLine(QPointF(11, 1.5), QPointF(11.2, 4.6));
        p.drawLine(QPointF(11.2, 4.6), QPointF(8.2, 5.2));
    } else if (name == QLatin1String("power")) {
        p.drawArc(QRectF(2, 2.5, 12, 12), 120 * 16, -240 * 16);
        p.drawLine(QPointF(8, 1), QPointF(8, 8));
    } else if (name == QLatin1String("gearshape")) {
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            p.drawLine(QPointF(8 + 5 * std::cos(a), 8 + 5 * std::sin(a)), QPointF(8 + 7 * std::cos(a), 8 + 7 * std::sin(a)));
        }
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.drawEllipse(QRectF(6, 6, 4, 4));
    }
    p.restore();
}

}  // namespace start_menu_symbols
