#include "settings/category_badge.h"

#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

// The symbols in a 20 x 20 box, drawn at a 12-point size in the middle.
// The outline of a screen, shared by the task bar's and the Dock's symbols.
void drawScreenFrame(QPainter& p) {
    QPainterPath frame;
    frame.addRoundedRect(QRectF(3.5, 4.5, 13, 11), 2, 2);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(5, 6, 10, 8), 1, 1);
    p.drawPath(frame.subtracted(inner));
}

void paintSymbol(QPainter& p, SettingsCategory category) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF c(10, 10);
    switch (category) {
        case SettingsCategory::general: {
            QPainterPath gear;
            gear.setFillRule(Qt::WindingFill);
            gear.addEllipse(c, 4.6, 4.6);
            for (int i = 0; i < 8; ++i) {
                QPainterPath tooth;
                tooth.addRoundedRect(QRectF(-1.3, -6.4, 2.6, 3.2), 0.6, 0.6);
                QTransform t;
                t.translate(c.x(), c.y());
                t.rotate(45.0 * i);
                gear.addPath(t.map(tooth));
            }
            QPainterPath hole;
            hole.addEllipse(c, 1.9, 1.9);
            p.drawPath(gear.simplified().subtracted(hole));
            break;
        }
        case SettingsCategory::appearance: {
            QPainterPath palette;
            palette.addEllipse(QRectF(4, 4.5, 12, 11));
            QPainterPath holes;
            holes.addEllipse(QPointF(7.4, 8.2), 1.2, 1.2);
            holes.addEllipse(QPointF(10.4, 6.9), 1.2, 1.2);
            holes.addEllipse(QPointF(13.2, 8.6), 1.2, 1.2);
            holes.addEllipse(QPointF(11.2, 12.8), 1.9, 1.9);
            p.drawPath(palette.subtracted(holes));
            break;
        }
        case SettingsCategory::taskBar: {
            drawScreenFrame(p);
            p.drawRoundedRect(QRectF(6, 11, 8, 2), 0.6, 0.6);
            break;
        }
        case SettingsCategory::dock: {
            drawScreenFrame(p);
            for (int i = 0; i < 3; ++i) p.drawRoundedRect(QRectF(6.6 + i * 2.5, 11.2, 1.8, 1.8), 0.4, 0.4);
            break;
        }
    }
}

}  // namespace

void paintCategoryBadge(QPainter& painter, SettingsCategory category, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / 20.0, rect.height() / 20.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(settings_category::badgeColor(category));
    painter.drawRoundedRect(QRectF(0, 0, 20, 20), 5, 5);
    paintSymbol(painter, category);
    painter.restore();
}

QIcon categoryBadge(SettingsCategory category) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pm(20 * scale, 20 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintCategoryBadge(p, category, QRectF(0, 0, 20 * scale, 20 * scale));
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}

void paintWarningSymbol(QPainter& painter, const QRectF& r, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(r.center().x(), r.top() + r.height() * 0.08);
    tri.lineTo(r.right() - r.width() * 0.04, r.bottom() - r.height() * 0.1);
    tri.lineTo(r.left() + r.width() * 0.04, r.bottom() - r.height() * 0.1);
    tri.closeSubpath();
    QPainterPath mark;
    const double w = r.width() * 0.11;
    mark.addRoundedRect(QRectF(r.center().x() - w / 2, r.top() + r.height() * 0.35, w, r.height() * 0.3), w / 2, w / 2);
    mark.addEllipse(QPointF(r.center().x(), r.bottom() - r.height() * 0.22), w * 0.6, w * 0.6);
    painter.setPen(QPen(color, r.width() * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(color);
    painter.drawPath(tri);
    painter.fillPath(mark, Qt::white);
    painter.restore();
}

QIcon warningIcon() {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pm(16 * scale, 16 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintWarningSymbol(p, QRectF(0, 0, 16 * scale, 16 * scale), QColor(255, 149, 0));
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}
