#include "taskbar/bar_style.h"

#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "platform/platform.h"

namespace bar_style {

Palette palette(platform::Appearance appearance) {
    if (appearance == platform::Appearance::darkAqua)
        return Palette{QColor(255, 255, 255, 217), QColor(255, 255, 255, 140), QColor(255, 255, 255, 26),
                       QColor(50, 50, 50)};
    return Palette{QColor(0, 0, 0, 217), QColor(0, 0, 0, 128), QColor(0, 0, 0, 26), QColor(236, 236, 236)};
}

platform::Appearance currentAppearance() {
    if (!platform::isInstalled() || !platform::installed().application) return platform::Appearance::aqua;
    return platform::application().effectiveAppearance();
}

Palette currentPalette() { return palette(currentAppearance()); }

std::optional<QColor> themeColor(const QString& raw) {
    if (raw == QLatin1String("neoSilver")) return QColor::fromRgbF(0.84f, 0.86f, 0.89f);
    if (raw == QLatin1String("neoBlush")) return QColor::fromRgbF(0.94f, 0.81f, 0.84f);
    if (raw == QLatin1String("neoCitrus")) return QColor::fromRgbF(0.88f, 0.91f, 0.64f);
    if (raw == QLatin1String("neoIndigo")) return QColor::fromRgbF(0.18f, 0.21f, 0.36f);
    return std::nullopt;
}

double backgroundOpacity(qint64 level, bool hasThemeColor) {
    switch (level) {
        case 1:
        case 2: return hasThemeColor ? 0.82 : 0.85;
        case 4:
        case 5: return hasThemeColor ? 0.32 : 0.0;
        default: return hasThemeColor ? 0.58 : 0.4;
    }
}

QColor backgroundColor(const QString& raw, qint64 level, platform::Appearance appearance, bool composited) {
    const auto theme = themeColor(raw);
    QColor c = theme ? *theme : palette(appearance).windowBackground;
    c.setAlphaF(composited ? float(backgroundOpacity(level, theme.has_value())) : 1.0f);
    return c;
}

bool composited() { return platform::compositingActive(); }

QPoint popupPosition(const QSize& menuSize, const QPoint& pointer, const QRect& barWindow, const QRect& screen) {
    int x = pointer.x();
    if (x + menuSize.width() > screen.right() + 1) x = screen.right() + 1 - menuSize.width();
    x = std::max(x, screen.left());
    // A menu taller than the room above the bar starts at the screen's top;
    // the bar stays uncovered as long as anything fits.
    const int y = std::max(screen.top(), barWindow.top() - menuSize.height());
    return QPoint(x, y);
}

QString menuEntryText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void popUpAboveBar(QMenu* menu, const QPoint& pointer, const QPoint& pointerInWidget, const QWidget* barWidget) {
    if (!composited()) {
        // Nothing would blend transparent corners or a translucent fill.
        menu->setAttribute(Qt::WA_TranslucentBackground, false);
        menu->setAutoFillBackground(true);
    }
    const QWidget* window = barWidget ? barWidget->window() : nullptr;
    if (!window) {
        menu->popup(pointer);
        return;
    }
    const QRect barWindow(pointer - barWidget->mapTo(window, pointerInWidget), window->size());
    QScreen* screen = window->screen();
    const QRect screenRect = screen ? screen->geometry() : barWindow;
    menu->ensurePolished();
    menu->popup(popupPosition(menu->sizeHint(), pointer, barWindow, screenRect));
}

QFont font(double pixelSize, QFont::Weight weight) {
    QFont f;
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setWeight(weight);
    return f;
}

}  // namespace bar_style
