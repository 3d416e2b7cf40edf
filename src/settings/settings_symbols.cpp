#include "settings/settings_symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

#include "taskbar/symbol_painter.h"

namespace settings_symbols {

void paint(QPainter& p, const QString& name, const QRectF& rect, const QColor& color, bool bold) {
    const double s = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - s / 2, rect.center().y() - s / 2, s, s);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double stroke = s * (bold ? 0.16 : 0.11);
    QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto at = [&](double x, double y) { return QPointF(box.left() + x * s, box.top() + y * s); };
    if (name == QLatin1String("checkmark")) {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath path(at(0.12, 0.55));
        path.lineTo(at(0.40, 0.82));
        path.lineTo(at(0.88, 0.18));
        p.drawPath(path);
    } else if (name == QLatin1String("plus")) {
        p.setPen(pen);
        p.drawLine(at(0.5, 0.12), at(0.5, 0.88));
        p.drawLine(at(0.12, 0.5), at(0.88, 0.5));
    } else if (name == QLatin1String("xmark.circle.fill")) {
        // A filled disc with the cross cut out of it.
        QPainterPath disc;
        disc.addEllipse(box.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04));
        QPainterPathStroker stroker;
        stroker.setWidth(s * 0.12);
        stroker.setCapStyle(Qt::RoundCap);
        QPainterPath cross(at(0.34, 0.34));
        cross.lineTo(at(0.66, 0.66));
        cross.moveTo(at(0.66, 0.34));
        cross.lineTo(at(0.34, 0.66));
        p.fillPath(disc.subtracted(stroker.createStroke(cross)), color);
    } else if (name == QLatin1String("minus.circle.fill")) {
        // A filled disc with a bar cut out of it.
        QPainterPath disc;
        disc.addEllipse(box.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04));
        QPainterPath bar;
        bar.addRoundedRect(QRectF(at(0.26, 0.44), at(0.74, 0.56)), s * 0.06, s * 0.06);
        p.fillPath(disc.subtracted(bar), color);
    } else if (name == QLatin1String("minus.magnifyingglass") || name == QLatin1String("plus.magnifyingglass")) {
        pen.setWidthF(s * 0.09);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QPointF centre = at(0.42, 0.42);
        p.drawEllipse(centre, s * 0.32, s * 0.32);
        p.drawLine(at(0.66, 0.66), at(0.9, 0.9));
        p.drawLine(at(0.28, 0.42), at(0.56, 0.42));
        if (name.startsWith(QLatin1String("plus"))) p.drawLine(at(0.42, 0.28), at(0.42, 0.56));
    } else {
        symbols::SymbolPainter::paint(p, name, rect, color);
    }
    p.restore();
}

QIcon icon(const QString& name, int size, const QColor& color) {
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paint(p, name, QRectF(0, 0, size, size), color);
    p.end();
    return QIcon(pixmap);
}

}  // namespace settings_symbols
