#include "taskbar/symbol_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <functional>
#include <map>

namespace symbols {
namespace {

// Each symbol draws itself into a box of its own aspect ratio at the origin.
using Draw = std::function<void(QPainter&, const QRectF&, const QColor&)>;

struct Symbol {
    double aspect;
    Draw draw;
};

void fillRounded(QPainter& p, const QRectF& r, double radius, const QColor& c) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, c);
}

Draw squareGrid(int n) {
    return [n](QPainter& p, const QRectF& box, const QColor& c) {
        const double gap = box.width() * (n == 2 ? 0.14 : 0.1);
        const double cell = (box.width() - gap * (n - 1)) / n;
        for (int row = 0; row < n; ++row)
            for (int col = 0; col < n; ++col) {
                QRectF r(box.left() + col * (cell + gap), box.top() + row * (cell + gap), cell, cell);
                fillRounded(p, r, cell * 0.22, c);
            }
    };
}

void circleGrid(QPainter& p, const QRectF& box, const QColor& c) {
    const double gap = box.width() * 0.08;
    const double cell = (box.width() - gap * 2) / 3;
    QPainterPath path;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            path.addEllipse(QRectF(box.left() + col * (cell + gap), box.top() + row * (cell + gap), cell, cell));
    p.fillPath(path, c);
}

void squareStack(QPainter& p, const QRectF& box, const QColor& c) {
    const double s = box.width() * 0.74;
    QRectF back(box.right() - s, box.top(), s, s);
    QRectF front(box.left(), box.bottom() - s, s, s);
    QPainterPath frontPath;
    frontPath.addRoundedRect(front, s * 0.18, s * 0.18);
    QPainterPath gapPath;
    const double g = box.width() * 0.08;
    gapPath.addRoundedRect(front.adjusted(-g, -g, g, g), s * 0.22, s * 0.22);
    QPainterPath backPath;
    backPath.addRoundedRect(back, s * 0.18, s * 0.18);
    p.fillPath(backPath.subtracted(gapPath), c);
    p.fillPath(frontPath, c);
}

Draw battery(int level) {
    return [level](QPainter& p, const QRectF& box, const QColor& c) {
        const double h = box.height();
        const double stroke = h * 0.09;
        const double nubW = h * 0.12;
        QRectF body(box.left() + stroke / 2, box.top() + stroke / 2, box.width() - nubW - stroke * 1.5, h - stroke);
        QPainterPath outline;
        outline.addRoundedRect(body, h * 0.22, h * 0.22);
        QPen pen(c, stroke);
        pen.setJoinStyle(Qt::RoundJoin);
        p.strokePath(outline, pen);
        QRectF nub(box.right() - nubW, box.top() + h * 0.33, nubW, h * 0.34);
        QPainterPath nubPath;
        nubPath.addRoundedRect(nub, nubW * 0.5, nubW * 0.5);
        p.fillPath(nubPath, c);
        if (level > 0) {
            QRectF inner = body.adjusted(stroke * 1.6, stroke * 1.6, -stroke * 1.6, -stroke * 1.6);
            inner.setWidth(inner.width() * level / 100.0);
            fillRounded(p, inner, h * 0.1, c);
        }
    };
}

void bolt(QPainter& p, const QRectF& b, const QColor& c) {
    auto at = [&](double x, double y) { return QPointF(b.left() + x * b.width(), b.top() + y * b.height()); };
    QPolygonF poly{at(0.62, 0.0), at(0.05, 0.58), at(0.45, 0.58), at(0.36, 1.0), at(0.95, 0.40), at(0.55, 0.40),
                   at(0.62, 0.0)};
    QPainterPath path;
    path.addPolygon(poly);
    p.fillPath(path, c);
}

void powerplug(QPainter& p, const QRectF& b, const QColor& c) {
    auto r = [&](double x, double y, double w, double h) {
        return QRectF(b.left() + x * b.width(), b.top() + y * b.height(), w * b.width(), h * b.height());
    };
    QPainterPath path;
    path.addRoundedRect(r(0.22, 0.0, 0.16, 0.32), b.width() * 0.06, b.width() * 0.06);  // prongs
    path.addRoundedRect(r(0.62, 0.0, 0.16, 0.32), b.width() * 0.06, b.width() * 0.06);
    path.addRoundedRect(r(0.0, 0.28, 1.0, 0.42), b.width() * 0.16, b.width() * 0.16);   // body
    path.addRect(r(0.38, 0.68, 0.24, 0.32));                                             // cable
    path.setFillRule(Qt::WindingFill);
    p.fillPath(path, c);
}

void appDashed(QPainter& p, const QRectF& box, const QColor& c) {
    QPen pen(c, box.width() * 0.07);
    pen.setStyle(Qt::DashLine);
    pen.setCapStyle(Qt::FlatCap);
    const double inset = box.width() * 0.06;
    QPainterPath path;
    path.addRoundedRect(box.adjusted(inset, inset, -inset, -inset), box.width() * 0.22, box.width() * 0.22);
    p.strokePath(path, pen);
}

const std::map<QString, Symbol>& table() {
    static const std::map<QString, Symbol> t = {
        {QStringLiteral("square.grid.2x2.fill"), {1.0, squareGrid(2)}},
        {QStringLiteral("square.grid.3x3.fill"), {1.0, squareGrid(3)}},
        {QStringLiteral("circle.grid.3x3.fill"), {1.0, circleGrid}},
        {QStringLiteral("square.stack.fill"), {1.0, squareStack}},
        {QStringLiteral("battery.0"), {2.1, battery(0)}},
        {QStringLiteral("battery.25"), {2.1, battery(25)}},
        {QStringLiteral("battery.50"), {2.1, battery(50)}},
        {QStringLiteral("battery.75"), {2.1, battery(75)}},
        {QStringLiteral("battery.100"), {2.1, battery(100)}},
        {QStringLiteral("bolt.fill"), {0.62, bolt}},
        {QStringLiteral("powerplug.fill"), {0.72, powerplug}},
        {QStringLiteral("app.dashed"), {1.0, appDashed}},
    };
    return t;
}

}  // namespace

bool SymbolPainter::canDraw(const QString& name) { return table().count(name) > 0; }

QStringList SymbolPainter::drawableNames() {
    QStringList out;
    for (const auto& [name, _] : table()) out << name;
    return out;
}

QString SymbolPainter::resolvedName(const QString& name) { return canDraw(name) ? name : defaultStartSymbol; }

double SymbolPainter::aspectRatio(const QString& name) { return table().at(resolvedName(name)).aspect; }

QSizeF SymbolPainter::sizeForFontSize(const QString& name, double pixelSize) {
    // A symbol glyph sits about as tall as the font's cap height plus a little.
    const double aspect = aspectRatio(name);
    const double height = aspect > 1.5 ? pixelSize * 0.78 : pixelSize * 0.95;
    return QSizeF(height * aspect, height);
}

void SymbolPainter::paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const Symbol& symbol = table().at(resolvedName(name));
    double w = rect.width();
    double h = w / symbol.aspect;
    if (h > rect.height()) {
        h = rect.height();
        w = h * symbol.aspect;
    }
    const QRectF box(rect.center().x() - w / 2, rect.center().y() - h / 2, w, h);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    symbol.draw(painter, box, color);
    painter.restore();
}

}  // namespace symbols
