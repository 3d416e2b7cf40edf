#include "platform/x11/x11_displays.h"

#include <xcb/xinput.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>

#include "platform/dispatch.h"
#include "platform/x11/x11_system.h"

namespace platform::x11 {

DisplayID displayIDForName(const QString& name, int index) {
    if (name.isEmpty()) return DisplayID(index + 1);
    // FNV-1a over the UTF-8 name.
    std::uint32_t h = 2166136261u;
    for (char c : name.toUtf8()) {
        h ^= std::uint8_t(c);
        h *= 16777619u;
    }
    return h == 0 ? 1 : h;
}

Rect giveBackOwnReservation(const Rect& bounds, const Rect& available, const std::vector<Rect>& reserved) {
    Rect out = available;
    // The manager's work area is one rectangle for the whole screen, so a
    // strip of ours on any display cuts the usable area of every display it
    // spans in height: a usable area that stops exactly at the near edge of
    // one of our strips lost that part to us alone.
    for (const Rect& r : reserved) {
        // Stops at the top edge of a strip along a bottom edge.
        if (out.maxY() < bounds.maxY() && r.minY() > bounds.minY() && out.maxY() <= r.minY() + 0.5 &&
            out.maxY() >= r.minY() - 0.5)
            out.size.height = bounds.maxY() - out.minY();
        // Starts at the bottom edge of a strip along a top edge.
        else if (out.minY() > bounds.minY() && r.maxY() < bounds.maxY() && out.minY() >= r.maxY() - 0.5 &&
                 out.minY() <= r.maxY() + 0.5) {
            const double bottom = out.maxY();
            out.origin.y = bounds.minY();
            out.size.height = bottom - out.origin.y;
        }
    }
    return out;
}

bool sameMonitors(const std::vector<Screen>& a, const std::vector<Screen>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Screen& x, const Screen& y) {
        return x.id == y.id && x.name == y.name && x.bounds == y.bounds && x.frame == y.frame &&
               x.backingScale == y.backingScale;
    });
}

std::vector<Screen> makeScreens(const std::vector<ScreenSource>& sources) {
    std::vector<Screen> out;
    if (sources.empty()) return out;
    const double primaryHeight = sources.front().bounds.height();
    auto flip = [&](const Rect& r) {
        return Rect(r.minX(), primaryHeight - r.maxY(), r.width(), r.height());
    };
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const auto& s = sources[i];
        Screen screen;
        screen.name = s.name;
        screen.id = displayIDForName(s.name, int(i));
        // Two outputs whose names hash alike still get distinct ids.
        for (bool clash = true; clash;) {
            clash = false;
            for (const auto& other : out)
                if (other.id == screen.id) {
                    screen.id = screen.id + 1 == 0 ? 1 : screen.id + 1;
                    clash = true;
                }
        }
        screen.bounds = s.bounds;
        screen.frame = flip(s.bounds);
        screen.visibleFrame = flip(s.available.isEmpty() ? s.bounds : s.available);
        screen.backingScale = s.scale;
        out.push_back(screen);
    }
    return out;
}

struct X11Displays::Shared {
    std::mutex mutex;
    std::vector<Screen> screens;
    int next = 1;
    std::map<int, std::function<void()>> observers;
    std::map<int, std::function<void()>> mouseDownMonitors;
    std::uint8_t inputOpcode = 0;  // the input extension's major opcode; 0 until raw presses are selected
};

X11Displays::X11Displays(std::shared_ptr<Connection> connection)
    : conn_(std::move(connection)), shared_(std::make_shared<Shared>()), context_(std::make_unique<QObject>()) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->screens = makeScreens(readSources());
    }
    watchQtScreens();
    conn_->addListener(this);
}

X11Displays::~X11Displays() { conn_->removeListener(this); }

std::vector<ScreenSource> X11Displays::readSources() {
    std::vector<ScreenSource> sources;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app && QGuiApplication::platformName() == QStringLiteral("xcb")) {
        QScreen* primary = QGuiApplication::primaryScreen();
        const std::vector<Rect> reserved = ownReservedAreas();
        auto add = [&](QScreen* s) {
            const QRect g = s->geometry(), a = s->availableGeometry();
            const Rect bounds(g.x(), g.y(), g.width(), g.height());
            sources.push_back({s->name(), bounds, giveBackOwnReservation(bounds, Rect(a.x(), a.y(), a.width(), a.height()), reserved),
                               s->devicePixelRatio()});
        };
        if (primary) add(primary);
        for (QScreen* s : QGuiApplication::screens())
            if (s != primary) add(s);
        if (!sources.empty()) return sources;
    }
    // Qt runs elsewhere (offscreen tests): the X screen is one display.
    const Rect root = conn_->rootGeometry();
    if (!root.isEmpty())
        sources.push_back({QStringLiteral(":%1").arg(conn_->screenNumber()), root, root, 1.0});
    return sources;
}

void X11Displays::watchQtScreens() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    auto hook = [this](QScreen* s) {
        QObject::connect(s, &QScreen::geometryChanged, context_.get(), [this] { refresh(); });
        QObject::connect(s, &QScreen::availableGeometryChanged, context_.get(), [this] { refresh(); });
    };
    for (QScreen* s : QGuiApplication::screens()) hook(s);
    QObject::connect(app, &QGuiApplication::screenAdded, context_.get(), [this, hook](QScreen* s) {
        hook(s);
        refresh();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, context_.get(), [this] { refresh(); });
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, context_.get(), [this] { refresh(); });
}

void X11Displays::refresh() {
    auto fresh = makeScreens(readSources());
    std::vector<std::function<void()>> targets;
    {
        std::lock_guard lock(shared_->mutex);
        if (fresh == shared_->screens) return;
        // Only a display's own geometry or the set of displays is news: the
        // usable areas move whenever a panel (ours among them) reserves or
        // frees a strip, and the bars are built from the full geometry.
        const bool news = !sameMonitors(fresh, shared_->screens);
        shared_->screens = std::move(fresh);
        if (!news) return;
        for (auto& [token, cb] : shared_->observers) targets.push_back(cb);
    }
    for (auto& cb : targets)
        if (cb) cb();
}

bool X11Displays::selectRawPresses() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->inputOpcode) return true;
    }
    auto* c = conn_->xcb();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present) return false;
    std::unique_ptr<xcb_input_xi_query_version_reply_t, decltype(&std::free)> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr), &std::free);
    if (!version || version->major_version < 2) return false;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    xcb_void_cookie_t cookie = xcb_input_xi_select_events_checked(c, conn_->root(), 1, &mask.head);
    if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
        std::free(error);
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    shared_->inputOpcode = ext->major_opcode;
    return true;
}

int X11Displays::addMouseDownMonitor(std::function<void()> callback) {
    if (!callback || !selectRawPresses()) return 0;
    std::lock_guard lock(shared_->mutex);
    int token = shared_->next++;
    shared_->mouseDownMonitors[token] = std::move(callback);
    return token;
}

void X11Displays::removeMouseDownMonitor(int token) {
    std::lock_guard lock(shared_->mutex);
    shared_->mouseDownMonitors.erase(token);
}

void X11Displays::xEvent(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
        auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        std::uint8_t opcode;
        bool anyone;
        {
            std::lock_guard lock(shared_->mutex);
            opcode = shared_->inputOpcode;
            anyone = !shared_->mouseDownMonitors.empty();
        }
        if (!opcode || ge->extension != opcode || ge->event_type != XCB_INPUT_RAW_BUTTON_PRESS || !anyone) return;
        auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
        if (raw->detail > 3) return;  // wheel steps are no press
        std::weak_ptr<Shared> alive = shared_;
        conn_->postToMain([alive] {
            auto shared = alive.lock();
            if (!shared) return;
            std::vector<std::function<void()>> targets;
            {
                std::lock_guard lock(shared->mutex);
                for (auto& [token, cb] : shared->mouseDownMonitors) targets.push_back(cb);
            }
            for (auto& cb : targets)
                if (cb) cb();
        });
        return;
    }
    if ((event->response_type & 0x7f) != XCB_CONFIGURE_NOTIFY) return;
    auto* c = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
    if (c->window != conn_->root()) return;
    // The root window changed size: read the screens again on the main thread.
    std::weak_ptr<Shared> alive = shared_;
    conn_->postToMain([this, alive] {
        if (alive.lock()) refresh();
    });
}

std::vector<Screen> X11Displays::screens() {
    std::lock_guard lock(shared_->mutex);
    return shared_->screens;
}

std::optional<Screen> X11Displays::mainScreen() {
    auto list = screens();
    if (list.empty()) return std::nullopt;
    // The screen of the active window holds the keyboard focus.
    const xcb_window_t active = conn_->activeWindow();
    if (active != XCB_WINDOW_NONE) {
        WindowInfo info = conn_->windowInfo(active);
        if (info.exists) {
            const Rect f = info.frame();
            const Point centre{f.midX(), f.midY()};
            for (const auto& s : list)
                if (s.bounds.contains(centre)) return s;
        }
    }
    return list.front();
}

DisplayID X11Displays::mainDisplayID() {
    auto list = screens();
    return list.empty() ? 0 : list.front().id;
}

Point X11Displays::pointerLocation() {
    auto* c = conn_->xcb();
    std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> r(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, conn_->root()), nullptr), &std::free);
    auto list = screens();
    if (!r || list.empty()) return {};
    return Point{double(r->root_x), list.front().bounds.height() - double(r->root_y)};
}

int X11Displays::addObserver(std::function<void()> callback) {
    std::lock_guard lock(shared_->mutex);
    int token = shared_->next++;
    shared_->observers[token] = std::move(callback);
    return token;
}

void X11Displays::removeObserver(int token) {
    std::lock_guard lock(shared_->mutex);
    shared_->observers.erase(token);
}

}  // namespace platform::x11
