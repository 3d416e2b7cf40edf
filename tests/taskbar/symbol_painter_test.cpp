// Our symbol drawing: every symbol we name draws something, an unknown name
// draws the default start symbol, and battery levels fill as they should.
#include <gtest/gtest.h>

#include <QPainter>

#include "taskbar/symbol_painter.h"

namespace {

using symbols::SymbolPainter;

QImage draw(const QString& name, QSize size = QSize(40, 40)) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    SymbolPainter::paint(p, name, QRectF(QPointF(0, 0), QSizeF(size)), Qt::black);
    return img;
}

int ink(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) > 128;
    return n;
}

TEST(SymbolPainter, EveryNamedSymbolDrawsAndUnknownNamesFallBack) {
    const QStringList required{"square.grid.2x2.fill", "square.grid.3x3.fill", "circle.grid.3x3.fill",
                               "square.stack.fill",    "battery.0",            "battery.25",
                               "battery.50",           "battery.75",           "battery.100",
                               "bolt.fill",            "powerplug.fill",       "app.dashed"};
    for (const QString& name : required) {
        EXPECT_TRUE(SymbolPainter::canDraw(name)) << name.toStdString();
        EXPECT_GT(ink(draw(name)), 20) << name.toStdString();
    }
    const QImage fallback = draw("square.grid.2x2.fill");
    for (const QString& name : {QString(), QString("apple.logo"), QString("Square.Grid.2x2.Fill")}) {
        EXPECT_FALSE(SymbolPainter::canDraw(name));
        EXPECT_EQ(SymbolPainter::resolvedName(name), "square.grid.2x2.fill");
        EXPECT_EQ(draw(name), fallback) << name.toStdString();
    }
    // Different start symbols look different.
    EXPECT_NE(draw("square.grid.3x3.fill"), fallback);
    EXPECT_NE(draw("circle.grid.3x3.fill"), draw("square.grid.3x3.fill"));
}

TEST(SymbolPainter, BatteryFillGrowsWithTheLevel) {
    const QSize wide(84, 40);
    int previous = -1;
    for (const char* name : {"battery.0", "battery.25", "battery.50", "battery.75", "battery.100"}) {
        const int n = ink(draw(name, wide));
        EXPECT_GT(n, previous) << name;
        previous = n;
    }
    // A wide symbol keeps its aspect inside a square box.
    const auto size = SymbolPainter::sizeForFontSize("battery.50", 13);
    EXPECT_GT(size.width(), size.height() * 1.8);
}

}  // namespace
