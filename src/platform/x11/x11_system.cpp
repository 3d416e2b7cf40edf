#include "platform/x11/x11_system.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QWindow>

#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/process.h"

namespace platform::x11 {
namespace {

constexpr std::uint32_t sourcePager = 2;
constexpr std::uint32_t allDesktops = 0xffffffffu;
// Qt's own window-type property: the type it sets when it (re)applies flags.
const char* const qtWindowTypeProperty = "_q_xcb_wm_window_type";
constexpr int qtDockType = 0x000004;
const char* const announcedProperty = "_quorvel_panel_announced";

}  // namespace

bool isPanelWindowFlags(int windowFlags) {
    const Qt::WindowFlags f = Qt::WindowFlags::fromInt(windowFlags);
    return (f & Qt::WindowType_Mask) == Qt::Tool && f.testFlag(Qt::FramelessWindowHint) &&
           f.testFlag(Qt::WindowStaysOnTopHint) && f.testFlag(Qt::WindowDoesNotAcceptFocus);
}

// Watches our own windows: a panel gets its type before it is mapped and is
// announced to the window manager once it is shown.
class X11Application::Filter : public QObject {
public:
    explicit Filter(X11Application* owner) : owner_(owner) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* window = qobject_cast<QWindow*>(object);
        if (!window || !isPanelWindowFlags(int(window->flags()))) return false;
        if (event->type() == QEvent::PlatformSurface &&
            static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                QPlatformSurfaceEvent::SurfaceCreated) {
            owner_->preparePanel(window);
        } else if (event->type() == QEvent::Expose && window->isVisible() &&
                   !window->property(announcedProperty).toBool()) {
            owner_->announcePanel(window);
        } else if (event->type() == QEvent::Hide) {
            window->setProperty(announcedProperty, false);
        }
        return false;
    }

private:
    X11Application* owner_;
};

X11Application::X11Application(std::shared_ptr<Connection> connection, std::function<void()> quit)
    : conn_(std::move(connection)), quit_(std::move(quit)) {
    if (auto* app = QCoreApplication::instance()) {
        filter_ = std::make_unique<Filter>(this);
        app->installEventFilter(filter_.get());
    }
}

X11Application::~X11Application() {
    if (auto* app = QCoreApplication::instance(); app && filter_) app->removeEventFilter(filter_.get());
}

void X11Application::preparePanel(QWindow* window) {
    window->setProperty(qtWindowTypeProperty, qtDockType);
    // Only a window of the same X server can be changed with our connection.
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* e = conn_->ewmh();
    // Set on the unmapped window, so the manager takes it as it manages it.
    xcb_atom_t dock = e->_NET_WM_WINDOW_TYPE_DOCK;
    xcb_change_property(conn_->xcb(), XCB_PROP_MODE_REPLACE, w, e->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1, &dock);
    xcb_change_property(conn_->xcb(), XCB_PROP_MODE_REPLACE, w, e->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    conn_->flush();
}

void X11Application::announcePanel(QWindow* window) {
    window->setProperty(announcedProperty, true);
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* e = conn_->ewmh();
    conn_->sendRootMessage(w, e->_NET_WM_DESKTOP, allDesktops, sourcePager);
    conn_->sendRootMessage(w, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_ADD, e->_NET_WM_STATE_STICKY,
                           e->_NET_WM_STATE_SKIP_TASKBAR, sourcePager);
    conn_->sendRootMessage(w, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_ADD, e->_NET_WM_STATE_SKIP_PAGER,
                           e->_NET_WM_STATE_ABOVE, sourcePager);
    conn_->flush();
}

void X11Application::setActivationPolicy(ActivationPolicy policy) {
    std::lock_guard lock(mutex_);
    policy_ = policy;
}

ActivationPolicy X11Application::activationPolicy() {
    std::lock_guard lock(mutex_);
    return policy_;
}

void X11Application::activateIgnoringOtherApps() {
    // The topmost of our windows that may take the focus (never a panel).
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && !isPanelWindowFlags(int(w->flags())) && !(w->flags() & Qt::WindowDoesNotAcceptFocus)) {
            w->requestActivate();
            return;
        }
}

void X11Application::setAppearance(std::optional<Appearance> appearance) {
    {
        std::lock_guard lock(mutex_);
        if (appearance_ == appearance) return;
        appearance_ = appearance;
    }
    notify();
}

std::optional<Appearance> X11Application::appearance() {
    std::lock_guard lock(mutex_);
    return appearance_;
}

Appearance X11Application::effectiveAppearance() {
    if (auto a = appearance()) return *a;
    // The desktop's palette: a dark window background means a dark desktop.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5 ? Appearance::darkAqua : Appearance::aqua;
}

bool X11Application::reduceMotion() { return false; }

QColor X11Application::accentColor() { return QGuiApplication::palette().color(QPalette::Highlight); }

int X11Application::addObserver(std::function<void()> callback) {
    std::lock_guard lock(mutex_);
    int token = next_++;
    observers_[token] = std::move(callback);
    return token;
}

void X11Application::removeObserver(int token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

void X11Application::notify() {
    std::vector<std::function<void()>> targets;
    {
        std::lock_guard lock(mutex_);
        for (auto& [t, cb] : observers_) targets.push_back(cb);
    }
    for (auto& cb : targets)
        if (cb) cb();
}

void X11Application::terminate() {
    if (quit_) {
        quit_();
        return;
    }
    if (auto* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, "quit", Qt::QueuedConnection);
}

int DefaultButtonAlerts::runModal(const Alert& alert) {
    platform::log(QStringLiteral("[Quorvel] alert: %1 %2").arg(alert.messageText, alert.informativeText));
    return alertFirstButtonReturn;
}

void DefaultButtonAlerts::beep() {}

}  // namespace platform::x11
