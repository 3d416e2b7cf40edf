#include "platform/x11/x11_system.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPalette>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QFile>
#include <QTimer>
#include <QWindow>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/x11/x11_icons.h"

namespace platform::x11 {
namespace {

constexpr std::uint32_t sourcePager = 2;
constexpr std::uint32_t allDesktops = 0xffffffffu;
// Qt's own window-type property: the type it sets when it (re)applies flags.
const char* const qtWindowTypeProperty = "_q_xcb_wm_window_type";
constexpr int qtDockType = 0x000004;
const char* const announcedProperty = "_quorvel_panel_announced";
const char* const strutProperty = "_quorvel_panel_strut";

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

MemoryRelease releaseStartUpMemory() {
    MemoryRelease result;
    // Heap the start-up freed goes back to the system.
    result.heapTrimmed = ::malloc_trim(0) != 0;
    // Code and read-only data of the libraries and the program that only
    // the start-up ran (parsing, building the bars, loading fonts and
    // translations): pages mapped by this process alone are dropped, and
    // the few the bar uses again come back on their own when touched.
    // Pages other processes share are left alone by the kernel.
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return result;
    const long page = ::sysconf(_SC_PAGESIZE);
    for (const QByteArray& line : maps.readAll().split('\n')) {
        // "start-end perms offset dev inode path"
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || !f[5].startsWith('/')) continue;  // file-backed only
        if (f[1].size() < 4 || f[1][1] == 'w' || f[1][3] != 'p') continue;  // never written, private
        const int dash = f[0].indexOf('-');
        bool ok1 = false, ok2 = false;
        const quintptr start = f[0].left(dash).toULongLong(&ok1, 16);
        const quintptr end = f[0].mid(dash + 1).toULongLong(&ok2, 16);
        if (!ok1 || !ok2 || end <= start || start % quintptr(page)) continue;
#ifdef MADV_PAGEOUT
        if (::madvise(reinterpret_cast<void*>(start), end - start, MADV_PAGEOUT) == 0) ++result.mappingsReleased;
#endif
    }
    return result;
}

std::vector<Rect> ownReservedAreas() {
    std::lock_guard lock(reservedMutex);
    return reservedAreas();
}

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
        // The desktop's palette changed (a light/dark switch, a new theme).
        if (object == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
            owner_->notify();
            return false;
        }
        auto* window = qobject_cast<QWindow*>(object);
        if (window && event->type() == QEvent::Show) owner_->noteShown(window);
        if (!window || !isPanelWindowFlags(int(window->flags()))) return false;
        if (event->type() == QEvent::PlatformSurface &&
            static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                QPlatformSurfaceEvent::SurfaceCreated) {
            owner_->preparePanel(window);
        } else if (event->type() == QEvent::Expose && window->isVisible() &&
                   !window->property(announcedProperty).toBool()) {
            owner_->announcePanel(window);
            owner_->reservePanelArea(window, true);
            if (owner_->releaseTimer_) owner_->releaseTimer_->start();
        } else if (event->type() == QEvent::Hide) {
            window->setProperty(announcedProperty, false);
            owner_->reservePanelArea(window, false);
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                    event->type() == QEvent::ScreenChangeInternal) &&
                   window->isVisible()) {
            owner_->reservePanelArea(window, true);
        } else if (event->type() == QEvent::PlatformSurface &&
                   static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                       QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
            window->setProperty(strutProperty, QVariant());
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

void X11Application::reservePanelArea(QWindow* window, bool shown) {
    QRect g = window->geometry();
    const bool onX = QGuiApplication::platformName() == QStringLiteral("xcb");
    // Qt can take a configure notification relative to the manager's frame
    // for the window's place (a fresh panel then reads as at the top left);
    // a strip reserved from that would push windows down from the top. The
    // X server knows where the window really is.
    if (onX && shown) {
        auto cookie = xcb_translate_coordinates(conn_->xcb(), xcb_window_t(window->winId()), conn_->root(), 0, 0);
        if (auto* r = xcb_translate_coordinates_reply(conn_->xcb(), cookie, nullptr)) {
            const double dpr = window->devicePixelRatio();
            g.moveTopLeft(QPoint(int(std::lround(r->dst_x / dpr)), int(std::lround(r->dst_y / dpr))));
            std::free(r);
        }
    }
    if (shown) noteReserved(Rect(g.x(), g.y(), g.width(), g.height()));
    if (!onX) return;
    std::array<std::uint32_t, 12> values{};
    if (shown) {
        const double dpr = window->devicePixelRatio();
        const QRect d = window->screen() ? window->screen()->geometry() : g;
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
    if (!theme.isEmpty() && theme != QIcon::themeName()) QIcon::setThemeName(theme);
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
