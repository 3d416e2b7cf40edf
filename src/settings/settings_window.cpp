#include "settings/settings_window.h"

#include "platform/platform.h"
#include "taskbar/screen_geometry.h"

namespace {
QPointer<QWidget>& trackedWindow() {
    static QPointer<QWidget> window;
    return window;
}
}  // namespace

QWidget* SettingsWindow::window() { return trackedWindow().data(); }

void SettingsWindow::setWindow(QWidget* window) { trackedWindow() = window; }

void SettingsWindow::reset() {
    if (auto* w = trackedWindow().data()) {
        w->close();
        delete w;
    }
    trackedWindow() = nullptr;
}

std::optional<platform::Screen> SettingsWindow::targetScreen(std::optional<platform::DisplayID> displayID) {
    auto& displays = platform::displays();
    const auto screens = displays.screens();
    if (displayID)
        if (auto s = screen_geometry::screenWithID(screens, *displayID)) return s;
    if (auto s = screen_geometry::screenUnderPointer(screens, displays.pointerLocation())) return s;
    return displays.mainScreen();
}

void SettingsWindow::show(const std::function<void()>& openSettings, std::optional<platform::DisplayID> displayID) {
    const auto screen = targetScreen(displayID);
    QWidget* w = trackedWindow().data();
    if (!w) {
        if (openSettings) openSettings();
        w = trackedWindow().data();
        if (!w) {
            w = new QWidget(nullptr, Qt::Window);
            w->setObjectName(QStringLiteral("SettingsWindow"));
            w->setWindowTitle(QStringLiteral("Settings"));
            w->resize(defaultWidth, defaultHeight);
            trackedWindow() = w;
        }
    }
    if (screen) {
        const auto screens = platform::displays().screens();
        const platform::Rect visible =
            screen_geometry::flipped(screen->visibleFrame, screen_geometry::primaryHeight(screens));
        const QSize size = w->size();
        // Centred without clamping: a window larger than the visible frame
        // extends beyond it on both sides.
        const double x = visible.midX() - size.width() * 0.5;
        const double y = visible.midY() - size.height() * 0.5;
        w->setGeometry(QRect(int(std::lround(x)), int(std::lround(y)), size.width(), size.height()));
    }
    platform::application().activateIgnoringOtherApps();
    w->showNormal();
    w->raise();
    w->activateWindow();
}
