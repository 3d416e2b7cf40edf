#include "platform/x11/x11_system.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <malloc.h>
#include <unistd.h>
#include <algorithm>
#include <set>
#include <cmath>
#include <cstdlib>

#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/x11/x11_icons.h"

namespace platform::x11 {
namespace {

constexpr std::uint32_t allDesktops = 0xffffffffu;
// Qt's own window-type property: the type it sets when it (re)applies flags.
const char* const qtWindowTypeProperty = "_q_xcb_wm_window_type";
constexpr int qtDockType = 0x000004;
constexpr int qtPopupMenuType = 0x000200;
const char* const announcedProperty = "_quorvel_panel_announced";
const char* const reframeProperty = "_quorvel_panel_reframe";
const char* const strutProperty = "_quorvel_panel_strut";
const char* const placedProperty = "_quorvel_popup_placed";
const char* const focusBeforeProperty = "_quorvel_popup_focus_before";
const char* const activationsBeforeProperty = "_quorvel_popup_activations_before";

// Every strip a panel of ours reserved in this run. Kept after the panel is
// hidden or rebuilt: a usable area is given back only where it stops exactly
// at such a strip, which a hidden panel's strip no longer does, and a bar
// being rebuilt must not see its own strip as lost space for a moment.
std::mutex reservedMutex;
std::vector<Rect>& reservedAreas() {
    static std::vector<Rect> areas;
    return areas;
}

void noteReserved(const Rect& area) {
    std::lock_guard lock(reservedMutex);
    auto& areas = reservedAreas();
    if (std::find(areas.begin(), areas.end(), area) != areas.end()) return;
    if (areas.size() >= 64) areas.erase(areas.begin());
    areas.push_back(area);
}

// Withdraws one of our mapped windows (ICCCM: unmap, and the synthetic
// unmap notification for the manager), and waits, briefly, until the
// manager let go of it: back on the root window, its WM_STATE gone.
void withdraw(Connection& conn, xcb_window_t w) {
    xcb_connection_t* c = conn.xcb();
    xcb_unmap_window(c, w);
    xcb_unmap_notify_event_t unmap{};
    unmap.response_type = XCB_UNMAP_NOTIFY;
    unmap.event = conn.root();
    unmap.window = w;
    xcb_send_event(c, 0, conn.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&unmap));
    conn.flush();
    auto wmState = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 8, "WM_STATE"), nullptr);
    const xcb_atom_t stateAtom = wmState ? wmState->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(wmState);
    auto released = [&] {
        auto tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
        const bool onRoot = tree && tree->parent == conn.root();
        std::free(tree);
        if (!onRoot || stateAtom == XCB_ATOM_NONE) return onRoot;
        auto state = xcb_get_property_reply(c, xcb_get_property(c, 0, w, stateAtom, stateAtom, 0, 1), nullptr);
        const bool managed = state && xcb_get_property_value_length(state) >= 4 &&
                             *static_cast<const std::uint32_t*>(xcb_get_property_value(state)) != 0;
        std::free(state);
        return !managed;
    };
    QElapsedTimer waited;
    waited.start();
    while (!released() && waited.elapsed() < 500) QThread::msleep(5);
}

}  // namespace

std::array<std::uint32_t, 12> strutFor(const Rect& panel, const Rect& display, const Rect& root) {
    std::array<std::uint32_t, 12> v{};
    if (panel.isEmpty() || root.isEmpty()) return v;
    auto clampTo = [](double x, double hi) { return std::uint32_t(std::clamp(std::lround(x), 0L, long(hi))); };
    const double startX = panel.minX(), endX = panel.maxX() - 1;
    if (panel.maxY() >= display.maxY() && panel.minY() > display.minY()) {
        v[3] = clampTo(root.maxY() - panel.minY(), root.height());  // bottom
        v[10] = clampTo(startX, root.width());
        v[11] = clampTo(endX, root.width());
    } else if (panel.minY() <= display.minY() && panel.maxY() < display.maxY()) {
        v[2] = clampTo(panel.maxY() - root.minY(), root.height());  // top
        v[8] = clampTo(startX, root.width());
        v[9] = clampTo(endX, root.width());
    }
    return v;
}

void releaseStartUpMemory() { ::malloc_trim(0); }

std::vector<Rect> ownReservedAreas() {
    std::lock_guard lock(reservedMutex);
    return reservedAreas();
}

bool isPanelWindowFlags(int windowFlags) {
    const Qt::WindowFlags f = Qt::WindowFlags::fromInt(windowFlags);
    return (f & Qt::WindowType_Mask) == Qt::Tool && f.testFlag(Qt::FramelessWindowHint) &&
           f.testFlag(Qt::WindowStaysOnTopHint) && f.testFlag(Qt::WindowDoesNotAcceptFocus);
}

// On the event thread: configure notifications of our own panels and frame
// changes of our own windows, handed to the main thread.
class X11Application::Watcher : public EventListener {
public:
    Watcher(std::shared_ptr<Connection> conn, std::weak_ptr<X11Application*> owner)
        : conn_(std::move(conn)), owner_(std::move(owner)) {
        conn_->addListener(this);
    }
    ~Watcher() override { conn_->removeListener(this); }
    void watch(xcb_window_t window, bool watched) {
        {
            std::lock_guard lock(mutex_);
            if (watched)
                windows_.insert(window);
            else
                windows_.erase(window);
        }
        if (watched) {
            conn_->watchWindow(window);
            conn_->flush();
        }
    }
    void xEvent(const xcb_generic_event_t* event) override {
        const std::uint8_t type = event->response_type & 0x7f;
        xcb_window_t window = XCB_WINDOW_NONE;
        bool frame = false;
        if (type == XCB_CONFIGURE_NOTIFY) {
            window = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
        } else if (type == XCB_PROPERTY_NOTIFY) {
            auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (p->atom != conn_->ewmh()->_NET_FRAME_EXTENTS) return;
            window = p->window;
            frame = true;
        } else {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (!windows_.count(window)) return;
        }
        conn_->postToMain([owner = owner_, window, frame] {
            if (auto self = owner.lock()) {
                if (frame)
                    (*self)->ownFrameChanged(window);
                else
                    (*self)->ownWindowConfigured(window);
            }
        });
    }

private:
    std::shared_ptr<Connection> conn_;
    std::weak_ptr<X11Application*> owner_;
    std::mutex mutex_;
    std::set<xcb_window_t> windows_;
};

bool isPopupPanelWindowFlags(int windowFlags) {
    const Qt::WindowFlags f = Qt::WindowFlags::fromInt(windowFlags);
    return (f & Qt::WindowType_Mask) == Qt::Tool && f.testFlag(Qt::FramelessWindowHint) &&
           f.testFlag(Qt::WindowStaysOnTopHint) && !f.testFlag(Qt::WindowDoesNotAcceptFocus);
}

// Watches our own windows: a panel gets its type before it is mapped and is
// announced to the window manager once it is shown.
class X11Application::Filter : public QObject {
public:
    explicit Filter(X11Application* owner) : owner_(owner) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        // The desktop's palette changed (a light/dark switch, a new theme).
        if (object == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
            owner_->notify();
            return false;
        }
        auto* window = qobject_cast<QWindow*>(object);
        if (window && event->type() == QEvent::Show) owner_->noteShown(window);
        if (window && isPopupPanelWindowFlags(int(window->flags()))) {
            if (event->type() == QEvent::PlatformSurface &&
                static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                    QPlatformSurfaceEvent::SurfaceCreated)
                owner_->preparePopup(window);
            else if (event->type() == QEvent::Expose && window->isVisible() &&
                     !window->property(placedProperty).toBool())
                owner_->placePopup(window);
            else if (event->type() == QEvent::Hide)
                owner_->releasePopup(window);
            return false;
        }
        if (!window || !isPanelWindowFlags(int(window->flags()))) return false;
        if (event->type() == QEvent::PlatformSurface &&
            static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                QPlatformSurfaceEvent::SurfaceCreated) {
            owner_->preparePanel(window);
        } else if (event->type() == QEvent::Show) {
            // Reserved before the map, so windows make room for the bar as
            // the manager takes it in, not once it has drawn (the expose
            // checks the strip again where the manager put the bar). Qt
            // maps on its own connection: ours is carried out first.
            owner_->reservePanelArea(window, true);
            owner_->conn_->sync();
        } else if (event->type() == QEvent::Expose && window->isVisible() &&
                   !window->property(announcedProperty).toBool()) {
            owner_->announcePanel(window);
            owner_->reservePanelArea(window, true);
            if (owner_->releaseTimer_) owner_->releaseTimer_->start();
        } else if (event->type() == QEvent::Hide) {
            window->setProperty(announcedProperty, false);
            window->setProperty(reframeProperty, false);
            owner_->reservePanelArea(window, false);
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                    event->type() == QEvent::ScreenChangeInternal) &&
                   window->isVisible()) {
            owner_->reservePanelArea(window, true);
        } else if (event->type() == QEvent::PlatformSurface &&
                   static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                       QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
            window->setProperty(strutProperty, QVariant());
            owner_->forgetPanel(window);
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
        // Once the bars are up and quiet, what only the start-up (or the
        // rebuild of the bars) needed goes; every panel shown restarts the wait.
        if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
            releaseTimer_ = std::make_unique<QTimer>();
            releaseTimer_->setSingleShot(true);
            releaseTimer_->setInterval(int(startUpSettleSeconds * 1000));
            QObject::connect(releaseTimer_.get(), &QTimer::timeout, [] { releaseStartUpMemory(); });
        }
    }
    self_ = std::make_shared<X11Application*>(this);
    std::weak_ptr<X11Application*> weak = self_;
    watcher_ = std::make_unique<Watcher>(conn_, weak);
    // Called on the main thread, where the application is destroyed too.
    xsettings_ = std::make_unique<XSettingsWatcher>(conn_, [weak] {
        if (auto self = weak.lock()) {
            (*self)->followIconTheme();
            (*self)->notify();
        }
    });
    prepareIconLookup();
    followIconTheme();
}

X11Application::~X11Application() {
    watcher_.reset();
    xsettings_.reset();
    self_.reset();
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
    // No round trip here: the one as the panel is shown carries these out
    // before Qt's map, which comes on Qt's own connection.
    // The manager's moves of the panel come as configure notifications; the
    // strip it reserves is checked again on each.
    panels_[w] = window;
    watcher_->watch(w, true);
}

void X11Application::preparePopup(QWindow* window) {
    // A popup panel (the start menu) is shown outside the manager's care from
    // its first map, as menus are: every manager leaves it where it opens and
    // none decorates, tiles or focuses it behind its back. One the manager
    // took first and that had to be withdrawn again handed the activation to
    // the window beneath, which read as another application being chosen.
    window->setProperty(qtWindowTypeProperty, qtPopupMenuType);
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    const std::uint32_t overrideRedirect = 1;
    xcb_change_window_attributes(conn_->xcb(), w, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    // For compositors, which draw a menu's shadow and fade by its type.
    xcb_atom_t popupMenu = conn_->ewmh()->_NET_WM_WINDOW_TYPE_POPUP_MENU;
    xcb_change_property(conn_->xcb(), XCB_PROP_MODE_REPLACE, w, conn_->ewmh()->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM,
                        32, 1, &popupMenu);
    // Carried out before Qt's map, which comes on Qt's own connection: on a
    // busy server the map could otherwise reach the manager first.
    conn_->sync();
}

void X11Application::placePopup(QWindow* window) {
    window->setProperty(placedProperty, true);
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    // No manager gives the focus to a window outside its care: the popup
    // takes it, and gives it back to the window it came from as it goes.
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* before = xcb_get_input_focus_reply(conn_->xcb(), xcb_get_input_focus(conn_->xcb()), nullptr);
    if (before && before->focus != w) window->setProperty(focusBeforeProperty, quint32(before->focus));
    std::free(before);
    window->setProperty(activationsBeforeProperty, quint64(conn_->activationsAsked()));
    xcb_set_input_focus(conn_->xcb(), XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME);
    conn_->flush();
}

void X11Application::releasePopup(QWindow* window) {
    window->setProperty(placedProperty, false);
    const QVariant before = window->property(focusBeforeProperty);
    window->setProperty(focusBeforeProperty, QVariant());
    const bool activatedMeanwhile =
        window->property(activationsBeforeProperty).toULongLong() != conn_->activationsAsked();
    if (!before.isValid() || activatedMeanwhile || QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    // The keyboard goes back where it was, unless the person already chose
    // another window: by the press that closed the popup, or in it (an
    // application opened from the menu, whose activation the manager may not
    // have carried out yet; the focus given back would be newer and win).
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* now = xcb_get_input_focus_reply(conn_->xcb(), xcb_get_input_focus(conn_->xcb()), nullptr);
    const bool stillOurs = now && (now->focus == w || now->focus == XCB_WINDOW_NONE ||
                                   now->focus == XCB_INPUT_FOCUS_POINTER_ROOT || now->focus == conn_->root());
    std::free(now);
    const xcb_window_t back = xcb_window_t(before.toUInt());
    if (!stillOurs || back == XCB_WINDOW_NONE || back == XCB_INPUT_FOCUS_POINTER_ROOT) return;
    const WindowInfo info = conn_->windowInfo(back);
    if (!info.exists || !info.viewable) return;
    xcb_set_input_focus(conn_->xcb(), XCB_INPUT_FOCUS_POINTER_ROOT, back, XCB_CURRENT_TIME);
    conn_->flush();
}

void X11Application::forgetPanel(QWindow* window) {
    for (auto it = panels_.begin(); it != panels_.end();)
        if (it->second == window) {
            watcher_->watch(it->first, false);
            it = panels_.erase(it);
        } else {
            ++it;
        }
}

void X11Application::ownWindowConfigured(xcb_window_t window) {
    auto it = panels_.find(window);
    if (it == panels_.end()) return;
    QWindow* panel = it->second;
    if (!panel->isVisible() || !panel->property(announcedProperty).toBool()) return;
    reservePanelArea(panel, true);
    keepFrameOnScreen(panel, window);
}

void X11Application::keepFrameOnScreen(QWindow* panel, xcb_window_t window) {
    // A manager that frames docks (fvwm's stock configuration gives them a
    // title bar) may leave the frame hanging over the display's edge: the
    // panel moves so its whole frame is on its display, as the manager keeps
    // other panels' frames there.
    const WindowInfo info = conn_->windowInfo(window);
    const FrameExtents d = info.decoration;
    QScreen* screen = panel->screen();
    if (!info.exists || !screen || (d.top == 0 && d.bottom == 0)) return;
    const double dpr = panel->devicePixelRatio();
    const QRect g = screen->geometry();
    const double top = g.y() * dpr, bottom = (g.y() + g.height()) * dpr;
    const Rect f = info.frame();
    if (f.height() > bottom - top) return;
    double shift = 0;
    if (f.maxY() > bottom + 0.5)
        shift = bottom - f.maxY();
    else if (f.minY() < top - 0.5)
        shift = top - f.minY();
    if (shift == 0) return;
    // Qt maps its windows with static gravity: the position asked for is the client's own.
    const std::int32_t y = std::int32_t(std::lround(info.clientArea.minY() + shift));
    const std::uint32_t value = std::uint32_t(y);
    xcb_configure_window(conn_->xcb(), window, XCB_CONFIG_WINDOW_Y, &value);
    conn_->flush();
}

void X11Application::remanage(xcb_window_t window) {
    withdraw(*conn_, window);
    xcb_map_window(conn_->xcb(), window);
    conn_->flush();
}

void X11Application::ownFrameChanged(xcb_window_t window) {
    if (auto panel = panels_.find(window); panel != panels_.end() && panel->second->isVisible()) {
        QWindow* w = panel->second;
        if (w->property(reframeProperty).toBool() && conn_->windowInfo(window).decoration.isFramed()) {
            w->setProperty(reframeProperty, false);
            remanage(window);
            return;
        }
        keepFrameOnScreen(w, window);
    }
    auto it = frameFollowers_.find(window);
    if (it == frameFollowers_.end()) return;
    auto changed = it->second;  // the callback may stop following
    changed();
}

void X11Application::followFrame(QWindow* window, std::function<void()> changed) {
    if (!window || QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    if (!changed) {
        frameFollowers_.erase(w);
        if (!panels_.count(w)) watcher_->watch(w, false);
        return;
    }
    frameFollowers_[w] = std::move(changed);
    watcher_->watch(w, true);
    // A manager that knows the frame it will give says so before the window
    // is mapped (EWMH), so the first placement already has it.
    if (!window->isVisible()) {
        conn_->sendRootMessage(w, conn_->ewmh()->_NET_REQUEST_FRAME_EXTENTS, 0);
        conn_->flush();
    }
    QObject::connect(window, &QObject::destroyed, [weak = std::weak_ptr<X11Application*>(self_), w] {
        if (auto self = weak.lock()) {
            (*self)->frameFollowers_.erase(w);
            if (!(*self)->panels_.count(w)) (*self)->watcher_->watch(w, false);
        }
    });
}

std::optional<QMargins> X11Application::frameMargins(QWindow* window) {
    if (!window || !window->isVisible() || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return std::nullopt;
    const WindowInfo info = conn_->windowInfo(xcb_window_t(window->winId()));
    const FrameExtents d = info.decoration;
    if (!info.exists || (d.left == 0 && d.right == 0 && d.top == 0 && d.bottom == 0)) return std::nullopt;
    const double dpr = window->devicePixelRatio();
    auto points = [dpr](int v) { return int(std::lround(v / dpr)); };
    return QMargins(points(d.left), points(d.top), points(d.right), points(d.bottom));
}

void X11Application::moveToCurrentDesktop(QWindow* window) {
    if (!window || QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    const std::uint32_t current = conn_->currentDesktop();
    const WindowInfo info = conn_->windowInfo(w);
    if (!info.exists || !info.desktop || *info.desktop == current || *info.desktop == allDesktops) return;
    // Asked of the manager (EWMH); it moves the window and updates the property.
    conn_->sendRootMessage(w, conn_->ewmh()->_NET_WM_DESKTOP, current, sourcePager);
    conn_->flush();
}

void X11Application::announcePanel(QWindow* window) {
    window->setProperty(announcedProperty, true);
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* e = conn_->ewmh();
    // Qt marks every tool window transient for its client leader as it maps
    // it, and a manager can take a transient dock for a dialog (awesome
    // gives it a title bar and keeps it off the edge). A bar is a dock and
    // nothing else: the hint goes, and a panel the manager framed for it is
    // withdrawn and mapped again (ICCCM), to be managed as the dock it is.
    auto transient = xcb_get_property_reply(
        conn_->xcb(), xcb_get_property(conn_->xcb(), 0, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool wasTransient = transient && xcb_get_property_value_length(transient) > 0;
    std::free(transient);
    if (wasTransient) {
        xcb_delete_property(conn_->xcb(), w, XCB_ATOM_WM_TRANSIENT_FOR);
        if (conn_->windowInfo(w).decoration.isFramed())
            remanage(w);
        else
            // On a busy machine the manager may state the frame it chose only
            // after this: it is remanaged then.
            window->setProperty(reframeProperty, true);
    }
    conn_->sendRootMessage(w, e->_NET_WM_DESKTOP, allDesktops, sourcePager);
    conn_->sendRootMessage(w, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_ADD, e->_NET_WM_STATE_STICKY,
                           e->_NET_WM_STATE_SKIP_TASKBAR, sourcePager);
    conn_->sendRootMessage(w, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_ADD, e->_NET_WM_STATE_SKIP_PAGER,
                           e->_NET_WM_STATE_ABOVE, sourcePager);
    conn_->flush();
}

void X11Application::reservePanelArea(QWindow* window, bool shown) {
    QRect g = window->geometry();
    const bool onX = QGuiApplication::platformName() == QStringLiteral("xcb");
    if (!onX) {
        if (shown) noteReserved(Rect(g.x(), g.y(), g.width(), g.height()));
        return;
    }
    if (shown) {
        // A bar sits along the bottom edge of its display, and its strip
        // follows that display and edge, never a passing position: Qt can
        // take a configure notification relative to the manager's frame for
        // the window's place (a fresh panel then reads as at the top left),
        // a manager can hold the frame at the origin for a moment as it
        // shows the window again, or move a dock where it likes. The X
        // server knows where the window is now; where neither that nor Qt's
        // geometry is on a display's bottom edge, the strip already reserved
        // stays, and the next configure notification checks again.
        auto bottomEdgeScreen = [](const QRect& r) -> QScreen* {
            for (QScreen* screen : QGuiApplication::screens()) {
                const QRect d = screen->geometry();
                if (r.bottom() == d.bottom() && r.left() >= d.left() && r.right() <= d.right()) return screen;
            }
            return nullptr;
        };
        QRect atX = g;
        auto cookie = xcb_translate_coordinates(conn_->xcb(), xcb_window_t(window->winId()), conn_->root(), 0, 0);
        if (auto* r = xcb_translate_coordinates_reply(conn_->xcb(), cookie, nullptr)) {
            const double dpr = window->devicePixelRatio();
            atX.moveTopLeft(QPoint(int(std::lround(r->dst_x / dpr)), int(std::lround(r->dst_y / dpr))));
            std::free(r);
        }
        if (bottomEdgeScreen(atX)) {
            g = atX;
        } else if (!bottomEdgeScreen(g)) {
            const QVariantList reserved = window->property(strutProperty).toList();
            if (std::any_of(reserved.begin(), reserved.end(), [](const QVariant& v) { return v.toUInt() != 0; }))
                return;
            // Nothing reserved yet: the bottom of the display Qt puts it on.
            const QRect d = window->screen() ? window->screen()->geometry() : g;
            g = QRect(std::clamp(g.x(), d.left(), std::max(d.left(), d.right() + 1 - g.width())),
                      d.bottom() + 1 - g.height(), std::min(g.width(), d.width()), g.height());
        }
        noteReserved(Rect(g.x(), g.y(), g.width(), g.height()));
    }
    std::array<std::uint32_t, 12> values{};
    if (shown) {
        const double dpr = window->devicePixelRatio();
        QScreen* screen = QGuiApplication::screenAt(g.center());
        if (!screen) screen = window->screen();
        const QRect d = screen ? screen->geometry() : g;
        auto device = [dpr](const QRect& r) {
            return Rect(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr);
        };
        values = strutFor(device(g), device(d), conn_->rootGeometry());
    }
    // Written only when the values change: every write makes the manager
    // recompute the work area and reshape maximised windows.
    QVariantList key;
    for (auto v : values) key.push_back(v);
    if (window->property(strutProperty).toList() == key) return;
    window->setProperty(strutProperty, key);
    const xcb_window_t w = xcb_window_t(window->winId());
    auto* e = conn_->ewmh();
    xcb_change_property(conn_->xcb(), XCB_PROP_MODE_REPLACE, w, e->_NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL, 32, 12,
                        values.data());
    // The older four-value form, for managers that know only that one.
    xcb_change_property(conn_->xcb(), XCB_PROP_MODE_REPLACE, w, e->_NET_WM_STRUT, XCB_ATOM_CARDINAL, 32, 4,
                        values.data());
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

void X11Application::noteShown(QWindow* window) {
    if (!window->isTopLevel()) return;
    std::erase_if(shown_, [window](const QPointer<QWindow>& w) { return !w || w == window; });
    shown_.emplace_back(window);
}

void X11Application::activateIgnoringOtherApps() {
    // X11 has no active application, only an active window: the one of ours
    // shown last that may take the focus (never a bar), which is the one the
    // caller is bringing up. Another of ours (an open settings window) would
    // take the focus from it, and a menu that loses the focus closes.
    auto takesFocus = [](QWindow* w) {
        return w && w->isVisible() && !isPanelWindowFlags(int(w->flags())) &&
               !(w->flags() & Qt::WindowDoesNotAcceptFocus);
    };
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
        if (takesFocus(*it)) {
            (*it)->requestActivate();
            return;
        }
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (takesFocus(w)) {
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
    if (auto dark = xsettings_->look().dark) return *dark ? Appearance::darkAqua : Appearance::aqua;
    // The desktop's palette: a dark window background means a dark desktop.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5 ? Appearance::darkAqua : Appearance::aqua;
}

bool X11Application::reduceMotion() { return xsettings_->look().reduceMotion; }

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

void X11Application::followIconTheme() {
    // Application icons come from the theme the desktop names; Qt's own
    // platform theme may not know it.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    const QString theme = xsettings_ ? xsettings_->look().iconTheme : QString();
    if (!theme.isEmpty() && theme != QIcon::themeName()) {
        QIcon::setThemeName(theme);
        prepareIconLookup();  // the background's icon look-ups follow too
    }
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

}  // namespace platform::x11
