#include "platform/x11/x11_accessibility.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <csignal>

#include "platform/dispatch.h"
#include "platform/x11/x11_client_groups.h"
#include "platform/x11/x11_system.h"

namespace platform::x11 {

using element_ids::Kind;
namespace names = ax::names;

namespace {

// _NET_MOVERESIZE_WINDOW flags: gravity in the low byte, which of x, y,
// width, height are given, and the source (2: a pager, which the window
// manager obeys without second-guessing).
constexpr std::uint32_t northWestGravity = 1;
constexpr std::uint32_t moveResizeX = 1u << 8, moveResizeY = 1u << 9, moveResizeW = 1u << 10,
                        moveResizeH = 1u << 11;

// A client group (x11_client_groups.h) names no process: it lives through
// its windows alone, and is never asked about as a process.
bool processAlive(std::int32_t pid) {
    if (pid <= 0 || isClientGroup(pid)) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }
bool finite(const Size& s) { return std::isfinite(s.width) && std::isfinite(s.height); }

std::int32_t toCoordinate(double v) { return std::int32_t(std::clamp(std::lround(v), -32768L, 32767L)); }

}  // namespace

// ---- observer ---------------------------------------------------------------

class X11Observer : public ax::Observer, public std::enable_shared_from_this<X11Observer> {
public:
    X11Observer(std::int32_t pid, ax::ObserverCallback callback) : pid_(pid), callback_(std::move(callback)) {}
    std::int32_t processID() const override { return pid_; }
    ax::Error addNotification(const ax::Element& element, const QString& notification) override {
        if (!element.isValid() || notification.isEmpty()) return ax::Error::illegalArgument;
        std::lock_guard lock(mutex_);
        if (!valid_) return ax::Error::invalidElement;
        subscriptions_.insert({element.identity(), notification});
        return ax::Error::success;
    }
    ax::Error removeNotification(const ax::Element& element, const QString& notification) override {
        std::lock_guard lock(mutex_);
        return subscriptions_.erase({element.identity(), notification}) ? ax::Error::success
                                                                          : ax::Error::failure;
    }
    void invalidate() override {
        std::lock_guard lock(mutex_);
        valid_ = false;
        subscriptions_.clear();
    }
    // A notification about `element` reaches this observer when it asked for
    // it on that element or on the element of the whole application.
    bool wants(const ax::Element& element, const QString& notification) const {
        std::lock_guard lock(mutex_);
        if (!valid_) return false;
        const auto app = element_ids::make(Kind::application, std::uint32_t(pid_));
        return subscriptions_.count({element.identity(), notification}) || subscriptions_.count({app, notification});
    }
    void fire(const ax::Element& element, const QString& notification) {
        ax::ObserverCallback cb;
        {
            std::lock_guard lock(mutex_);
            if (!valid_) return;
            cb = callback_;
        }
        if (cb) cb(element, notification);
    }

private:
    const std::int32_t pid_;
    ax::ObserverCallback callback_;
    mutable std::mutex mutex_;
    bool valid_ = true;
    std::set<std::pair<std::uint64_t, QString>> subscriptions_;
};

// ---- accessibility ----------------------------------------------------------

X11Accessibility::X11Accessibility(std::shared_ptr<Connection> connection) : conn_(std::move(connection)) {
    conn_->addListener(this);
}

X11Accessibility::~X11Accessibility() { conn_->removeListener(this); }

void X11Accessibility::readExistingWindows() {
    firstRead_.ensure([this] {
        auto clients = conn_->knownClients();
        for (const auto& info : conn_->windowInfos({clients.begin(), clients.end()}))
            if (info.exists) remember(info);
        const xcb_window_t active = conn_->activeWindow();
        std::lock_guard lock(mutex_);
        lastActive_ = active;
    });
}

bool X11Accessibility::isProcessTrusted(bool) { return true; }

ax::Element X11Accessibility::applicationElement(std::int32_t pid) {
    if (pid <= 0) return {};
    return ax::Element(element_ids::make(Kind::application, std::uint32_t(pid)), pid);
}

ax::Element X11Accessibility::windowElement(xcb_window_t window, std::int32_t pid) const {
    return ax::Element(element_ids::make(Kind::window, window), pid);
}

std::vector<WindowInfo> X11Accessibility::windowsOf(std::int32_t pid) {
    auto stacking = conn_->clientListStacking();
    std::reverse(stacking.begin(), stacking.end());
    const std::uint32_t desktop = conn_->currentDesktop();
    return conn_->windowInfos(stacking, [&](const WindowInfo& info) {
        if (!info.exists || info.pid != pid) return false;
        return !info.desktop || *info.desktop == desktop || *info.desktop == 0xffffffffu;
    });
}

ax::Error X11Accessibility::readWindow(xcb_window_t window, WindowInfo& info) {
    if (!conn_->isClient(window)) {
        // The event thread may not have seen the newest client list yet.
        auto live = conn_->readClientList();
        if (std::find(live.begin(), live.end(), window) == live.end()) return ax::Error::invalidElement;
    }
    info = conn_->windowInfo(window);
    if (!info.exists) return ax::Error::invalidElement;
    return ax::Error::success;
}

bool X11Accessibility::isClosable(const WindowInfo& info) const {
    auto* e = conn_->ewmh();
    if (info.hasType(e->_NET_WM_WINDOW_TYPE_DOCK) || info.hasType(e->_NET_WM_WINDOW_TYPE_DESKTOP)) return false;
    if (!info.allowedActions) return true;  // a manager that does not say allows it
    const auto& a = *info.allowedActions;
    return std::find(a.begin(), a.end(), e->_NET_WM_ACTION_CLOSE) != a.end();
}

QString X11Accessibility::subroleOf(const WindowInfo& info) const {
    auto* e = conn_->ewmh();
    // Windows that ask to stay off task bars are not standard windows.
    if (info.hasState(e->_NET_WM_STATE_SKIP_TASKBAR)) return QStringLiteral("AXFloatingWindow");
    if (info.types.empty()) return info.transientFor ? QStringLiteral("AXDialog") : names::standardWindow;
    // The first type the window lists that we know decides.
    for (auto t : info.types) {
        if (t == e->_NET_WM_WINDOW_TYPE_NORMAL) return names::standardWindow;
        if (t == e->_NET_WM_WINDOW_TYPE_DIALOG) return QStringLiteral("AXDialog");
        if (t == e->_NET_WM_WINDOW_TYPE_UTILITY || t == e->_NET_WM_WINDOW_TYPE_TOOLBAR ||
            t == e->_NET_WM_WINDOW_TYPE_MENU)
            return QStringLiteral("AXFloatingWindow");
        if (t == e->_NET_WM_WINDOW_TYPE_SPLASH || t == e->_NET_WM_WINDOW_TYPE_DOCK ||
            t == e->_NET_WM_WINDOW_TYPE_DESKTOP || t == e->_NET_WM_WINDOW_TYPE_NOTIFICATION)
            return QStringLiteral("AXUnknown");
    }
    return QStringLiteral("AXUnknown");
}

ax::Error X11Accessibility::copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) {
    const auto id = element.identity();
    const auto value = element_ids::valueOf(id);
    switch (element_ids::kindOf(id)) {
        case Kind::application: {
            const auto pid = std::int32_t(value);
            auto windows = windowsOf(pid);
            if (windows.empty() && !processAlive(pid)) return ax::Error::invalidElement;
            if (attribute == names::windows || attribute == names::children) {
                ax::ElementList list;
                for (const auto& w : windows) list.push_back(windowElement(w.window, pid));
                out = list;
                return ax::Error::success;
            }
            if (attribute == names::focusedWindow || attribute == names::mainWindow) {
                const xcb_window_t active = conn_->activeWindow();
                for (const auto& w : windows)
                    if (w.window == active) {
                        out = windowElement(w.window, pid);
                        return ax::Error::success;
                    }
                auto* e = conn_->ewmh();
                for (const auto& w : windows)
                    if (!w.hasState(e->_NET_WM_STATE_HIDDEN)) {
                        out = windowElement(w.window, pid);
                        return ax::Error::success;
                    }
                return ax::Error::noValue;
            }
            if (attribute == names::role) {
                out = QStringLiteral("AXApplication");
                return ax::Error::success;
            }
            if (attribute == names::title) {
                if (windows.empty()) return ax::Error::noValue;
                out = windows.front().wmClassClass;
                return ax::Error::success;
            }
            if (attribute == QStringLiteral("AXFrontmost")) {
                const xcb_window_t active = conn_->activeWindow();
                out = std::any_of(windows.begin(), windows.end(),
                                  [&](const WindowInfo& w) { return w.window == active; });
                return ax::Error::success;
            }
            return ax::Error::attributeUnsupported;
        }
        case Kind::window: {
            WindowInfo info;
            if (auto err = readWindow(value, info); err != ax::Error::success) return err;
            auto* e = conn_->ewmh();
            const Rect frame = info.frame();
            if (attribute == names::position) {
                out = frame.origin;
            } else if (attribute == names::size) {
                out = frame.size;
            } else if (attribute == names::minimized) {
                out = info.hasState(e->_NET_WM_STATE_HIDDEN);
            } else if (attribute == names::fullScreen) {
                out = info.hasState(e->_NET_WM_STATE_FULLSCREEN);
            } else if (attribute == names::maximized) {
                out = info.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) && info.hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
            } else if (attribute == names::title) {
                out = info.title;
            } else if (attribute == names::demandsAttention) {
                out = info.urgencyHint || info.hasState(e->_NET_WM_STATE_DEMANDS_ATTENTION);
            } else if (attribute == names::role) {
                out = QStringLiteral("AXWindow");
            } else if (attribute == names::subrole) {
                out = subroleOf(info);
            } else if (attribute == names::closeButton) {
                if (!isClosable(info)) return ax::Error::noValue;
                out = ax::Element(element_ids::make(Kind::closeButton, value), info.pid);
            } else if (attribute == QStringLiteral("AXFocused") || attribute == QStringLiteral("AXMain")) {
                out = conn_->activeWindow() == info.window;
            } else if (attribute == names::children) {
                ax::ElementList list;
                if (isClosable(info)) list.push_back(ax::Element(element_ids::make(Kind::closeButton, value), info.pid));
                out = list;
            } else {
                return ax::Error::attributeUnsupported;
            }
            return ax::Error::success;
        }
        case Kind::closeButton: {
            WindowInfo info;
            if (auto err = readWindow(value, info); err != ax::Error::success) return err;
            if (attribute == names::role) {
                out = QStringLiteral("AXButton");
            } else if (attribute == names::subrole) {
                out = QStringLiteral("AXCloseButton");
            } else {
                return ax::Error::attributeUnsupported;
            }
            return ax::Error::success;
        }
        default: return ax::Error::invalidElement;
    }
}

ax::Error X11Accessibility::setAttribute(const ax::Element& element, const QString& attribute, const ax::Value& value) {
    const auto id = element.identity();
    const double wait = waitFor(id);
    if (element_ids::kindOf(id) == Kind::application) {
        if (attribute != QStringLiteral("AXFrontmost")) return ax::Error::attributeUnsupported;
        auto flag = ax::as<bool>(value);
        if (!flag) return ax::Error::illegalArgument;
        if (!*flag) return ax::Error::success;
        auto windows = windowsOf(std::int32_t(element_ids::valueOf(id)));
        if (windows.empty()) return ax::Error::cannotComplete;
        return raise(windows.front().window, wait);
    }
    if (element_ids::kindOf(id) != Kind::window) return ax::Error::invalidElement;
    const xcb_window_t window = element_ids::valueOf(id);
    if (attribute == names::position) {
        auto p = ax::as<Point>(value);
        if (!p || !finite(*p)) return ax::Error::illegalArgument;
        return moveResize(window, *p, std::nullopt, wait);
    }
    if (attribute == names::size) {
        auto s = ax::as<Size>(value);
        if (!s || !finite(*s) || s->width < 0 || s->height < 0) return ax::Error::illegalArgument;
        return moveResize(window, std::nullopt, *s, wait);
    }
    if (attribute == names::minimized) {
        auto b = ax::as<bool>(value);
        if (!b) return ax::Error::illegalArgument;
        return setMinimized(window, *b, wait);
    }
    if (attribute == names::fullScreen) {
        auto b = ax::as<bool>(value);
        if (!b) return ax::Error::illegalArgument;
        return setFullScreen(window, *b, wait);
    }
    if (attribute == names::maximized) {
        auto b = ax::as<bool>(value);
        if (!b) return ax::Error::illegalArgument;
        return setMaximized(window, *b, wait);
    }
    if (attribute == QStringLiteral("AXMain") || attribute == QStringLiteral("AXFocused")) {
        auto b = ax::as<bool>(value);
        if (!b) return ax::Error::illegalArgument;
        return *b ? raise(window, wait) : ax::Error::success;
    }
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    return ax::Error::attributeUnsupported;
}

ax::Error X11Accessibility::performAction(const ax::Element& element, const QString& action) {
    const auto id = element.identity();
    const xcb_window_t window = element_ids::valueOf(id);
    switch (element_ids::kindOf(id)) {
        case Kind::window:
            if (action != names::raise) return ax::Error::actionUnsupported;
            return raise(window, waitFor(id));
        case Kind::closeButton: {
            if (action != names::press) return ax::Error::actionUnsupported;
            WindowInfo info;
            if (auto err = readWindow(window, info); err != ax::Error::success) return err;
            if (!isClosable(info)) return ax::Error::cannotComplete;
            conn_->sendRootMessage(window, conn_->ewmh()->_NET_CLOSE_WINDOW, 0, sourcePager);
            conn_->flush();
            return ax::Error::success;
        }
        case Kind::application: return ax::Error::actionUnsupported;
        default: return ax::Error::invalidElement;
    }
}

ax::Error X11Accessibility::setMessagingTimeout(const ax::Element& element, double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return ax::Error::illegalArgument;
    std::lock_guard lock(mutex_);
    // Elements come and go; keep the table from growing without bound.
    if (timeouts_.size() > 4096) timeouts_.clear();
    if (seconds == 0)
        timeouts_.erase(element.identity());
    else
        timeouts_[element.identity()] = seconds;
    return ax::Error::success;
}

double X11Accessibility::waitFor(std::uint64_t identity) const {
    std::lock_guard lock(mutex_);
    auto it = timeouts_.find(identity);
    return it == timeouts_.end() ? defaultWriteWait : std::clamp(it->second, 0.05, 5.0);
}

ax::Error X11Accessibility::pid(const ax::Element& element, std::int32_t& out) {
    const auto id = element.identity();
    switch (element_ids::kindOf(id)) {
        case Kind::application: {
            const auto app = std::int32_t(element_ids::valueOf(id));
            if (!processAlive(app) && windowsOf(app).empty()) return ax::Error::invalidElement;
            out = app;
            return ax::Error::success;
        }
        case Kind::window:
        case Kind::closeButton: {
            WindowInfo info;
            if (auto err = readWindow(element_ids::valueOf(id), info); err != ax::Error::success) return err;
            if (info.pid <= 0) return ax::Error::cannotComplete;
            out = info.pid;
            return ax::Error::success;
        }
        default: return ax::Error::invalidElement;
    }
}

ax::Error X11Accessibility::moveResize(xcb_window_t window, std::optional<Point> position, std::optional<Size> size,
                                       double wait) {
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    auto* e = conn_->ewmh();
    const Rect current = info.frame();
    if (position && *position == current.origin) position.reset();
    if (size && *size == current.size) size.reset();
    if (!position && !size) return ax::Error::success;

    // A maximised window keeps its maximised frame whatever it is asked; a
    // write that is to apply takes the window out of that state first (its
    // decoration may change with it) and then gives it the whole frame, as
    // the restore would move it elsewhere.
    auto isMaximised = [e](const WindowInfo& i) {
        return i.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) || i.hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    };
    // A frame write to a maximised window only ever comes to keep it off our
    // own panels. A manager that honours the strips they reserve fits
    // maximised windows to the rest of the screen by itself, only perhaps not
    // yet (a bar that just grew, a maximise half done), and the frame the
    // caller worked from may be one of those moments. So the manager gets the
    // time first: a window it keeps clear of our strips stays maximised, with
    // its restore size. One that ignores reserved strips gets the write.
    if (isMaximised(info)) {
        const auto strips = ownReservedAreas();
        auto clearOfStrips = [&](const Rect& frame) {
            return std::none_of(strips.begin(), strips.end(), [&](const Rect& strip) {
                return frame.maxY() > strip.minY() + 1 && frame.minY() < strip.maxY() - 1 &&
                       frame.minX() < strip.maxX() && strip.minX() < frame.maxX();
            });
        };
        if (!strips.empty() &&
            conn_->waitUntil(
                [&] {
                    info = conn_->windowInfo(window);
                    return !info.exists || !isMaximised(info) || clearOfStrips(info.frame());
                },
                wait) &&
            info.exists && isMaximised(info))
            return ax::Error::success;
        if (!info.exists) return ax::Error::invalidElement;
    }
    if (isMaximised(info)) {
        if (!position) position = current.origin;
        if (!size) size = current.size;
        const std::uint64_t restoreBefore = conn_->configureCount(window);
        conn_->sendRootMessage(window, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_REMOVE, e->_NET_WM_STATE_MAXIMIZED_VERT,
                               e->_NET_WM_STATE_MAXIMIZED_HORZ, sourcePager);
        conn_->flush();
        conn_->waitUntil(
            [&] {
                info = conn_->windowInfo(window);
                return !info.exists || !isMaximised(info);
            },
            wait);
        // Let the restore finish, so the decoration read next is the restored one.
        settle(window, restoreBefore, std::nullopt, std::nullopt, wait);
        info = conn_->windowInfo(window);
        if (!info.exists) return ax::Error::invalidElement;
    }
    // The request is in client-area terms, so it depends on the decoration;
    // when the decoration changed while the manager answered (a restore from
    // maximised takes a moment), the request is made once more with it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::uint64_t before = conn_->configureCount(window);
        std::uint32_t flags = northWestGravity | (sourcePager << 12);
        std::int32_t x = 0, y = 0, w = 0, h = 0;
        if (position) {
            flags |= moveResizeX | moveResizeY;
            x = toCoordinate(position->x - info.clientShadow.left);
            y = toCoordinate(position->y - info.clientShadow.top);
        }
        if (size) {
            flags |= moveResizeW | moveResizeH;
            Size client = clientSizeFor(*size, info.decoration, info.clientShadow);
            w = std::max(1, toCoordinate(client.width));
            h = std::max(1, toCoordinate(client.height));
        }
        conn_->sendRootMessage(window, e->_NET_MOVERESIZE_WINDOW, flags, std::uint32_t(x), std::uint32_t(y),
                               std::uint32_t(w), std::uint32_t(h));
        conn_->flush();
        settle(window, before, position, size, wait);
        WindowInfo after = conn_->windowInfo(window);
        if (!after.exists) return ax::Error::success;
        if (after.decoration == info.decoration && after.clientShadow == info.clientShadow) break;
        info = std::move(after);
    }
    return ax::Error::success;
}

void X11Accessibility::settle(xcb_window_t window, std::uint64_t before, std::optional<Point> position,
                              std::optional<Size> size, double wait) {
    // The manager answers with configure notifications (a synthetic one when
    // nothing changed). Done as soon as the frame reads as asked; a clamped
    // or refused frame is done once the manager answered and then stayed
    // quiet for a moment, so it reads back as the manager left it.
    constexpr double quiet = 0.03;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
    std::uint64_t seen = before;
    for (;;) {
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) return;
        if (conn_->waitForConfigure(window, seen, std::min(left, quiet))) {
            seen = conn_->configureCount(window);
            WindowInfo now = conn_->windowInfo(window);
            if (!now.exists) return;
            const Rect f = now.frame();
            if ((!position || f.origin == *position) && (!size || f.size == *size)) return;
        } else if (seen > before) {
            return;
        }
    }
}

ax::Error X11Accessibility::setMinimized(xcb_window_t window, bool minimized, double wait) {
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    const xcb_atom_t hidden = conn_->ewmh()->_NET_WM_STATE_HIDDEN;
    if (info.hasState(hidden) == minimized) return ax::Error::success;
    if (minimized) {
        conn_->askToMinimize(window);
        conn_->flush();
        const bool done = conn_->waitUntil([&] { return conn_->windowInfo(window).hasState(hidden); }, wait);
        // The manager marks a window hidden before it unmaps it; a caller that
        // reads the window next finds it unmapped too. A manager that keeps
        // minimised windows mapped is not waited for long.
        if (done)
            conn_->waitUntil(
                [&] {
                    const WindowInfo now = conn_->windowInfo(window);
                    return !now.exists || !now.viewable;
                },
                std::min(wait, 0.5));
        return done ? ax::Error::success : ax::Error::cannotComplete;
    }
    return restoreMinimized(window, wait) ? ax::Error::success : ax::Error::cannotComplete;
}

bool X11Accessibility::restoreMinimized(xcb_window_t window, double wait) {
    const xcb_atom_t hidden = conn_->ewmh()->_NET_WM_STATE_HIDDEN;
    auto restored = [&] {
        const WindowInfo now = conn_->windowInfo(window);
        return !now.exists || !now.hasState(hidden);
    };
    // Activation is how a pager restores a window: every manager that
    // minimises answers it at once, and none waits for the unmap first.
    conn_->askToActivate(window);
    conn_->flush();
    if (conn_->waitUntil(restored, std::min(wait, restoreByActivationSeconds))) {
        conn_->noteRestoredByActivation();
        return true;
    }
    // A manager known to answer activation is only slow (a busy machine).
    if (conn_->restoresByActivation()) return conn_->waitUntil(restored, wait);
    // A manager that only activates shown windows restores one it is asked
    // to map (ICCCM), once the window is unmapped.
    conn_->waitUntil(
        [&] {
            const WindowInfo now = conn_->windowInfo(window);
            return !now.exists || !now.viewable || !now.hasState(hidden);
        },
        std::min(wait, 0.5));
    if (restored()) return true;
    conn_->askToRestore(conn_->windowInfo(window), conn_->serverTime());
    conn_->flush();
    return conn_->waitUntil(restored, wait);
}

ax::Error X11Accessibility::setFullScreen(xcb_window_t window, bool fullScreen, double wait) {
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    const xcb_atom_t fs = conn_->ewmh()->_NET_WM_STATE_FULLSCREEN;
    if (info.hasState(fs) == fullScreen) return ax::Error::success;
    conn_->sendRootMessage(window, conn_->ewmh()->_NET_WM_STATE,
                           fullScreen ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, fs, 0, sourcePager);
    conn_->flush();
    bool done = conn_->waitUntil([&] { return conn_->windowInfo(window).hasState(fs) == fullScreen; }, wait);
    return done ? ax::Error::success : ax::Error::cannotComplete;
}

ax::Error X11Accessibility::setMaximized(xcb_window_t window, bool maximized, double wait) {
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    auto* e = conn_->ewmh();
    auto isMaximized = [e](const WindowInfo& i) {
        return i.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) && i.hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    };
    auto isRestored = [e](const WindowInfo& i) {
        return !i.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) && !i.hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    };
    if (maximized ? isMaximized(info) : isRestored(info)) return ax::Error::success;
    conn_->sendRootMessage(window, e->_NET_WM_STATE, maximized ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                           e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ, sourcePager);
    conn_->flush();
    // A manager that refuses (a fixed-size window, a tiling manager) leaves
    // the state as it was: the caller then places the window itself.
    const bool done = conn_->waitUntil(
        [&] {
            const WindowInfo now = conn_->windowInfo(window);
            return now.exists && (maximized ? isMaximized(now) : isRestored(now));
        },
        wait);
    return done ? ax::Error::success : ax::Error::cannotComplete;
}

ax::Error X11Accessibility::raise(xcb_window_t window, double wait) {
    WindowInfo info;
    if (auto err = readWindow(window, info); err != ax::Error::success) return err;
    (void)wait;
    // Sent and done: the manager's answer comes back as the active-window
    // change, which updates what is read and tells the observers. Nobody
    // waits for it (our own bar stays above every window, so "on top" is
    // not something to wait for either).
    conn_->askToActivate(window);
    conn_->flush();
    return ax::Error::success;
}

void X11Accessibility::remember(const WindowInfo& info) {
    auto* e = conn_->ewmh();
    std::lock_guard lock(mutex_);
    seen_[info.window] = Seen{info.pid, info.clientArea, info.hasState(e->_NET_WM_STATE_HIDDEN),
                              info.hasState(e->_NET_WM_STATE_FULLSCREEN)};
}

std::shared_ptr<ax::Observer> X11Accessibility::createObserver(std::int32_t pid, ax::ObserverCallback callback) {
    if (pid <= 0 || !callback) return nullptr;
    readExistingWindows();
    auto observer = std::make_shared<X11Observer>(pid, std::move(callback));
    std::lock_guard lock(mutex_);
    observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                    [](const std::weak_ptr<X11Observer>& o) { return o.expired(); }),
                     observers_.end());
    observers_.push_back(observer);
    return observer;
}

void X11Accessibility::deliver(std::int32_t pid, const ax::Element& element, const QString& notification) {
    if (pid <= 0) return;
    std::vector<std::weak_ptr<X11Observer>> targets;
    {
        std::lock_guard lock(mutex_);
        for (auto& weak : observers_) {
            auto o = weak.lock();
            if (o && o->processID() == pid && o->wants(element, notification)) targets.push_back(weak);
        }
    }
    for (auto& weak : targets)
        conn_->postToMain([weak, element, notification] {
            if (auto o = weak.lock()) o->fire(element, notification);
        });
}

void X11Accessibility::postApplicationNotification(std::int32_t pid, const QString& notification) {
    deliver(pid, applicationElement(pid), notification);
}

void X11Accessibility::clientsChanged(const std::vector<xcb_window_t>& added, const std::vector<xcb_window_t>& removed) {
    if (!firstRead_.done()) return;
    for (const auto& info : conn_->windowInfos(added)) {
        if (!info.exists) continue;
        remember(info);
        deliver(info.pid, windowElement(info.window, info.pid), names::windowCreated);
    }
    for (auto w : removed) {
        std::int32_t pid = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = seen_.find(w);
            if (it == seen_.end()) continue;
            pid = it->second.pid;
            seen_.erase(it);
        }
        deliver(pid, windowElement(w, pid), names::uiElementDestroyed);
    }
}

void X11Accessibility::xEvent(const xcb_generic_event_t* event) {
    if (!firstRead_.done()) return;
    const std::uint8_t type = event->response_type & 0x7f;
    const bool synthetic = event->response_type & 0x80;
    auto* e = conn_->ewmh();
    if (type == XCB_CONFIGURE_NOTIFY) {
        auto* c = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        bool moved = false, resized = false;
        std::int32_t pid = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = seen_.find(c->window);
            if (it == seen_.end()) return;
            Seen& s = it->second;
            pid = s.pid;
            if (s.clientArea.size.width != c->width || s.clientArea.size.height != c->height) {
                resized = true;
                s.clientArea.size = Size{double(c->width), double(c->height)};
            }
            // Only the manager's synthetic notifications carry root coordinates.
            if (synthetic && (s.clientArea.origin.x != c->x || s.clientArea.origin.y != c->y)) {
                moved = true;
                s.clientArea.origin = Point{double(c->x), double(c->y)};
            }
        }
        if (moved) deliver(pid, windowElement(c->window, pid), names::windowMoved);
        if (resized) deliver(pid, windowElement(c->window, pid), names::windowResized);
        return;
    }
    if (type != XCB_PROPERTY_NOTIFY) return;
    auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (p->window == conn_->root()) {
        if (p->atom != e->_NET_ACTIVE_WINDOW) return;
        const xcb_window_t active = conn_->activeWindow();
        std::int32_t oldPid = 0, newPid = 0;
        {
            std::lock_guard lock(mutex_);
            if (active == lastActive_) return;
            if (auto it = seen_.find(lastActive_); it != seen_.end()) oldPid = it->second.pid;
            if (auto it = seen_.find(active); it != seen_.end()) newPid = it->second.pid;
            lastActive_ = active;
        }
        if (newPid > 0) {
            deliver(newPid, windowElement(active, newPid), names::focusedWindowChanged);
            deliver(newPid, windowElement(active, newPid), names::mainWindowChanged);
        }
        if (oldPid != newPid) {
            if (oldPid > 0) deliver(oldPid, applicationElement(oldPid), names::applicationDeactivated);
            if (newPid > 0) deliver(newPid, applicationElement(newPid), names::applicationActivated);
        }
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (!seen_.count(p->window)) return;
    }
    if (p->atom == e->_NET_WM_STATE) {
        WindowInfo info = conn_->windowInfo(p->window);
        if (!info.exists) return;
        const bool hidden = info.hasState(e->_NET_WM_STATE_HIDDEN);
        const bool fullScreen = info.hasState(e->_NET_WM_STATE_FULLSCREEN);
        Seen before;
        {
            std::lock_guard lock(mutex_);
            auto& s = seen_[p->window];
            before = s;
            s.hidden = hidden;
            s.fullScreen = fullScreen;
        }
        const auto el = windowElement(p->window, before.pid);
        if (hidden != before.hidden)
            deliver(before.pid, el, hidden ? names::windowMiniaturized : names::windowDeminiaturized);
        if (fullScreen != before.fullScreen) deliver(before.pid, el, names::windowResized);
    } else if (p->atom == e->_NET_WM_NAME || p->atom == XCB_ATOM_WM_NAME) {
        std::int32_t pid;
        {
            std::lock_guard lock(mutex_);
            pid = seen_[p->window].pid;
        }
        deliver(pid, windowElement(p->window, pid), names::titleChanged);
    }
}

}  // namespace platform::x11
