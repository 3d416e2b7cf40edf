#include "settings/settings_window.h"

#include <QEvent>
#include <QPointer>
#include <QWindow>
#include <QTimer>
#include <cmath>

#include "platform/platform.h"
#include "settings/settings_pane.h"
#include "settings/settings_view.h"
#include "taskbar/screen_geometry.h"

namespace {

// Presentation state; main thread only.
struct Presentation {
    QPointer<QWidget> trackedWindow;
    std::optional<platform::Screen> targetScreen;
    bool pending = false;
    QPointer<QObject> centring;
};

Presentation& state() {
    static Presentation p;
    return p;
}

// Centres the window's frame (title bar and borders included, as far as
// they are known) in the visible frame, without clamping. The client area is
// placed, not the frame: window managers place a frame position
// inconsistently while they are still adding the frame. Returns the frame
// size it centred.
// The window's frame: as the window manager states it, else as Qt reckons it.
QRect frameOf(QWidget* w) {
    if (QWindow* handle = w->windowHandle())
        if (auto margins = platform::application().frameMargins(handle)) return w->geometry().marginsAdded(*margins);
    return w->frameGeometry();
}

QSize centreWindow(QWidget* w, const platform::Rect& visible) {
    const QRect frame = frameOf(w);
    const QRect client = w->geometry();
    const bool known = frame.isValid() && w->isVisible();
    const QSize size = known ? frame.size() : client.size();
    const QPoint inset = known ? client.topLeft() - frame.topLeft() : QPoint();
    const QPoint origin(int(std::lround(visible.midX() - size.width() * 0.5)),
                        int(std::lround(visible.midY() - size.height() * 0.5)));
    w->setGeometry(QRect(origin + inset, client.size()));
    return size;
}

// A window manager adds its frame (the title bar) a moment after a new
// window is shown, so the first centring measured the window without it.
// When the frame arrives soon after, the window is centred once more with it.
// The frame size can also arrive alone, with no move or resize of the
// window: the window manager's word on the frame is followed too.
class FrameCentring : public QObject {
public:
    FrameCentring(QWidget* window, platform::Rect visible, QSize measured)
        : QObject(window), window_(window), visible_(visible), measured_(measured) {
        window->installEventFilter(this);
        if (QWindow* handle = window->windowHandle())
            platform::application().followFrame(handle, [guard = QPointer<FrameCentring>(this)] {
                if (guard) guard->frameMayHaveChanged();
            });
        QTimer::singleShot(2000, this, [this] { deleteLater(); });
    }
    ~FrameCentring() override {
        if (window_)
            if (QWindow* handle = window_->windowHandle()) platform::application().followFrame(handle, {});
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) frameMayHaveChanged();
        return false;
    }
    void frameMayHaveChanged() {
        if (!window_) return;
        const QSize now = frameOf(window_).size();
        if (now != measured_ && now.width() >= window_->width() && now.height() >= window_->height())
            measured_ = centreWindow(window_, visible_);
    }

private:
    QPointer<QWidget> window_;
    platform::Rect visible_;
    QSize measured_;
};

}  // namespace

QWidget* SettingsWindow::window() { return state().trackedWindow.data(); }

SettingsView* SettingsWindow::view() {
    QWidget* w = window();
    if (!w) return nullptr;
    if (auto* v = qobject_cast<SettingsView*>(w)) return v;
    return w->findChild<SettingsView*>();
}

void SettingsWindow::setWindow(QWidget* window) { state().trackedWindow = window; }

void SettingsWindow::reset() {
    if (auto* w = state().trackedWindow.data()) {
        w->close();
        delete w;
    }
    state() = Presentation{};
}

std::optional<platform::Screen> SettingsWindow::lastTargetScreen() { return state().targetScreen; }

bool SettingsWindow::presentationPending() { return state().pending; }

std::optional<platform::Screen> SettingsWindow::targetScreen(std::optional<platform::DisplayID> displayID) {
    auto& displays = platform::displays();
    const auto screens = displays.screens();
    if (displayID)
        if (auto s = screen_geometry::screenWithID(screens, *displayID)) return s;
    if (auto s = screen_geometry::screenUnderPointer(screens, displays.pointerLocation())) return s;
    return displays.mainScreen();
}

void SettingsWindow::show(const std::function<void()>& openSettings, std::optional<platform::DisplayID> displayID) {
    requestPresentation(targetScreen(displayID), [openSettings] {
        if (openSettings) openSettings();
    });
}

void SettingsWindow::requestPresentation(std::optional<platform::Screen> screen, std::function<void()> open) {
    auto& s = state();
    s.targetScreen = screen ? screen : platform::displays().mainScreen();
    s.pending = true;
    if (QWidget* w = s.trackedWindow.data()) {
        scheduleBringToFront(w);
        return;
    }
    platform::MainQueue::async([open = std::move(open)] { openOrFocus(open); });
}

void SettingsWindow::openOrFocus(const std::function<void()>& open) {
    if (QWidget* w = state().trackedWindow.data()) {
        scheduleBringToFront(w);
        return;
    }
    platform::application().activateIgnoringOtherApps();
    open();
    // The window the action did not make is made here, as opening the
    // settings scene would.
    if (!state().trackedWindow) openScene();
}

void SettingsWindow::openScene() {
    QWidget* w = state().trackedWindow.data();
    if (!w) {
        auto* v = new SettingsView;
        v->setAttribute(Qt::WA_DeleteOnClose, false);
        // A preferences window is a dialog to the desktop: tiling window
        // managers float it at its own size instead of squeezing it into a
        // tile below its minimum; it keeps every button of a window.
        v->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        v->resize(defaultWidth, defaultHeight);
        w = v;
    }
    // The frame the manager will give is asked for before the window is
    // shown, so the first centring can count it.
    if (!w->isVisible()) {
        w->winId();
        if (QWindow* handle = w->windowHandle()) platform::application().followFrame(handle, [] {});
    }
    // Showing it reports the window (viewDidMoveToWindow).
    w->show();
    w->raise();
    w->activateWindow();
}

void SettingsWindow::viewDidMoveToWindow(QWidget* window) {
    if (!window) return;
    auto& s = state();
    s.trackedWindow = window;
    if (s.pending) scheduleBringToFront(window);
}

void SettingsWindow::scheduleBringToFront(QWidget* window) {
    platform::MainQueue::async([weak = QPointer<QWidget>(window)] { bringToFront(weak); });
}

void SettingsWindow::bringToFront(const QPointer<QWidget>& weak) {
    QWidget* w = weak.data();
    auto& s = state();
    if (!w || w != s.trackedWindow.data() || !s.pending) return;
    s.pending = false;
    if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    if (s.targetScreen) {
        const auto screens = platform::displays().screens();
        const platform::Rect visible =
            screen_geometry::flipped(s.targetScreen->visibleFrame, screen_geometry::primaryHeight(screens));
        // The whole frame, title bar included, is centred; no clamping, so a
        // window larger than the visible frame extends beyond it on both sides.
        const QSize size = centreWindow(w, visible);
        delete s.centring.data();
        s.centring = new FrameCentring(w, visible, size);
    }
    w->show();
    // Open on another virtual desktop, it comes to the user's.
    if (QWindow* handle = w->windowHandle()) platform::application().moveToCurrentDesktop(handle);
    w->raise();
    platform::application().activateIgnoringOtherApps();
    w->activateWindow();
}
