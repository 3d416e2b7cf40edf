#include "platform/x11/x11_connection.h"

#include <xcb/xcb_icccm.h>

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/x11/x11_client_groups.h"
#include "platform/x11/x11_window_properties.h"

namespace platform::x11 {
namespace {

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(double seconds) {
    seconds = std::clamp(seconds, 0.0, 60.0);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The 32-bit items of a property reply; empty for another format.
std::vector<std::uint32_t> cardinals(const xcb_get_property_reply_t* r) {
    if (!r || r->format != 32) return {};
    int n = xcb_get_property_value_length(r) / 4;
    auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
    return std::vector<std::uint32_t>(v, v + std::max(0, n));
}

}  // namespace

Rect visibleFrame(const Rect& clientArea, const FrameExtents& d, const FrameExtents& s) {
    return Rect(clientArea.origin.x - d.left + s.left, clientArea.origin.y - d.top + s.top,
                clientArea.size.width + d.left + d.right - s.left - s.right,
                clientArea.size.height + d.top + d.bottom - s.top - s.bottom);
}

Size clientSizeFor(const Size& visibleSize, const FrameExtents& d, const FrameExtents& s) {
    return Size{visibleSize.width - d.left - d.right + s.left + s.right,
                visibleSize.height - d.top - d.bottom + s.top + s.bottom};
}

bool WindowInfo::hasState(xcb_atom_t atom) const {
    return atom != XCB_ATOM_NONE && std::find(state.begin(), state.end(), atom) != state.end();
}
bool WindowInfo::hasType(xcb_atom_t atom) const {
    return atom != XCB_ATOM_NONE && std::find(types.begin(), types.end(), atom) != types.end();
}

namespace {
std::mutex& lostHandlerMutex() {
    static auto* m = new std::mutex;  // never destroyed: event threads may outlive statics
    return *m;
}
std::function<void()>& lostHandler() {
    static auto* h = new std::function<void()>;
    return *h;
}
}  // namespace

void Connection::setConnectionLostHandler(std::function<void()> handler) {
    std::lock_guard lock(lostHandlerMutex());
    lostHandler() = std::move(handler);
}

std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c, const std::vector<QByteArray>& names) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const QByteArray& name : names)
        cookies.push_back(xcb_intern_atom(c, 0, std::uint16_t(name.size()), name.constData()));
    std::vector<xcb_atom_t> atoms;
    atoms.reserve(names.size());
    for (const auto& cookie : cookies) {
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, cookie, nullptr));
        atoms.push_back(r ? r->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return atoms;
}

std::shared_ptr<Connection> Connection::open(const QString& displayName, QString* error) {
    std::shared_ptr<Connection> c(new Connection());
    if (!c->setUp(displayName, error)) return nullptr;
    return c;
}

bool Connection::setUp(const QString& displayName, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    QByteArray name = displayName.toLocal8Bit();
    const char* envDisplay = std::getenv("DISPLAY");
    if (name.isEmpty() && (!envDisplay || !*envDisplay)) return fail(QStringLiteral("DISPLAY is not set"));
    conn_ = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screenNumber_);
    if (!conn_ || xcb_connection_has_error(conn_)) {
        if (conn_) xcb_disconnect(conn_);
        conn_ = nullptr;
        return fail(QStringLiteral("cannot connect to the X display %1")
                        .arg(name.isEmpty() ? QString::fromLocal8Bit(envDisplay) : displayName));
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber_ && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return fail(QStringLiteral("the X display has no screen %1").arg(screenNumber_));
    root_ = it.data->root;

    // Every atom in one round trip, ours with the EWMH ones: the bars wait
    // for the connection.
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(conn_, &ewmh_);
    const std::pair<xcb_atom_t*, const char*> own[] = {
        {&atoms_.utf8String, "UTF8_STRING"},
        {&atoms_.wmChangeState, "WM_CHANGE_STATE"},
        {&atoms_.wmState, "WM_STATE"},
        {&atoms_.wmProtocols, "WM_PROTOCOLS"},
        {&atoms_.windowOpacity, "_NET_WM_WINDOW_OPACITY"},
        {&atoms_.gtkFrameExtents, "_GTK_FRAME_EXTENTS"},
        {&atoms_.gtkApplicationId, "_GTK_APPLICATION_ID"},
        {&atoms_.wakeUp, "_QUORVEL_WAKE_UP"},
        {&atoms_.clientLeader, "WM_CLIENT_LEADER"},
        {&atoms_.kdeDesktopFile, "_KDE_NET_WM_DESKTOP_FILE"},
        {&atoms_.bamfDesktopFile, "_BAMF_DESKTOP_FILE"},
    };
    std::vector<QByteArray> names;
    for (const auto& [atom, name] : own) names.emplace_back(name);
    const auto interned = internAtoms(conn_, names);
    for (std::size_t i = 0; i < std::size(own); ++i) *own[i].first = interned[i];
    if (!cookies || !xcb_ewmh_init_atoms_replies(&ewmh_, cookies, nullptr))
        return fail(QStringLiteral("cannot intern the EWMH atoms"));
    ewmhReady_ = true;

    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) hostName_ = QString::fromLocal8Bit(host);

    // A private window that only carries the wake-up message to our own
    // thread, and the server's time when a property of it changes.
    wakeWindow_ = xcb_generate_id(conn_);
    const std::uint32_t wakeMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, wakeWindow_, root_, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &wakeMask);
    const std::uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &rootMask);
    xcb_flush(conn_);

    refreshClients();
    thread_ = std::thread([this] { eventLoop(); });
    return true;
}

void Connection::setApplicationKey(ApplicationKey key) {
    std::lock_guard lock(mutex_);
    applicationKey_ = std::move(key);
}

QString Connection::defaultApplicationKey(const WindowInfo& info) {
    if (!info.gtkApplicationId.isEmpty()) return QStringLiteral("gtk:") + info.gtkApplicationId;
    if (!info.wmClassClass.isEmpty()) return QStringLiteral("class:") + info.wmClassClass.toLower();
    return {};
}

Connection::~Connection() {
    if (thread_.joinable()) {
        stopping_ = true;
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = wakeWindow_;
        ev.type = atoms_.wakeUp;
        xcb_send_event(conn_, 0, wakeWindow_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
        xcb_flush(conn_);
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach();
        else
            thread_.join();
    }
    // Windows no other connection holds are no application any more.
    ApplicationGroups::shared().leaveAll(this);
    if (ewmhReady_) xcb_ewmh_connection_wipe(&ewmh_);
    if (conn_) xcb_disconnect(conn_);
}

bool Connection::isBroken() const { return !conn_ || xcb_connection_has_error(conn_); }
bool Connection::isEventThread() const { return std::this_thread::get_id() == thread_.get_id(); }

Rect Connection::rootGeometry() const {
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, root_), nullptr));
    if (!g) return Rect();
    return Rect(0, 0, g->width, g->height);
}

void Connection::eventLoop() {
    while (!stopping_) {
        xcb_generic_event_t* ev = xcb_wait_for_event(conn_);
        if (!ev) break;  // the connection is gone
        if (!stopping_) handle(ev);
        std::free(ev);
    }
    {
        std::lock_guard lock(mutex_);
        ++eventSerial_;
        eventCv_.notify_all();
    }
    if (stopping_) return;
    std::function<void()> handler;
    {
        std::lock_guard lock(lostHandlerMutex());
        handler = lostHandler();
    }
    if (handler) handler();
}

bool Connection::isWindowInfoAtom(xcb_atom_t atom) const {
    const xcb_atom_t atoms[] = {ewmh_._NET_WM_PID,         XCB_ATOM_WM_CLIENT_MACHINE,  ewmh_._NET_WM_DESKTOP,
                                ewmh_._NET_WM_STATE,       ewmh_._NET_WM_WINDOW_TYPE,   ewmh_._NET_WM_ALLOWED_ACTIONS,
                                ewmh_._NET_FRAME_EXTENTS,  atoms_.gtkFrameExtents,      ewmh_._NET_WM_NAME,
                                XCB_ATOM_WM_NAME,          XCB_ATOM_WM_CLASS,           atoms_.gtkApplicationId,
                                XCB_ATOM_WM_TRANSIENT_FOR, atoms_.windowOpacity,     atoms_.clientLeader,
                                XCB_ATOM_WM_HINTS};
    return std::find(std::begin(atoms), std::end(atoms), atom) != std::end(atoms);
}

// Under mutex_: marks what the event changed as stale.
void Connection::invalidate(const xcb_generic_event_t* event) {
    auto staleGeometry = [this](xcb_window_t w) {
        if (auto it = cache_.find(w); it != cache_.end()) {
            it->second.geometryValid = false;
            ++it->second.changes;
        }
    };
    switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY: {
            auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            ++configureCounts_[e->window];
            staleGeometry(e->window);
            break;
        }
        case XCB_MAP_NOTIFY: staleGeometry(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window); break;
        case XCB_UNMAP_NOTIFY: staleGeometry(reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window); break;
        case XCB_REPARENT_NOTIFY:
            staleGeometry(reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window);
            break;
        case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            configureCounts_.erase(e->window);
            cache_.erase(e->window);
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root_) {
                auto stale = [](auto& slot) {
                    slot.valid = false;
                    ++slot.changes;
                };
                if (e->atom == ewmh_._NET_CLIENT_LIST_STACKING) stale(stacking_);
                else if (e->atom == ewmh_._NET_ACTIVE_WINDOW) stale(active_);
                else if (e->atom == ewmh_._NET_CURRENT_DESKTOP) stale(desktop_);
                else if (e->atom == ewmh_._NET_NUMBER_OF_DESKTOPS) stale(desktopCount_);
            } else if (isWindowInfoAtom(e->atom)) {
                if (auto it = cache_.find(e->window); it != cache_.end()) {
                    it->second.propertiesValid = false;
                    ++it->second.changes;
                }
            }
            break;
        }
        default: break;
    }
}

void Connection::handle(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    bool clientListChanged = false;
    {
        std::lock_guard lock(mutex_);
        invalidate(event);
        if (type == XCB_PROPERTY_NOTIFY) {
            auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            clientListChanged = e->window == root_ && e->atom == ewmh_._NET_CLIENT_LIST;
            // Only the time asked for: nothing of the desktop changed.
            if (e->window == wakeWindow_) {
                ++stampsSeen_;
                stamp_ = e->time;
                ++eventSerial_;
                eventCv_.notify_all();
                return;
            }
        }
    }
    std::vector<xcb_window_t> added, removed;
    if (clientListChanged) {
        auto now = readClientList();
        std::set<xcb_window_t> fresh(now.begin(), now.end());
        {
            std::lock_guard lock(mutex_);
            for (auto w : fresh)
                if (!clients_.count(w)) added.push_back(w);
            for (auto w : clients_)
                if (!fresh.count(w)) removed.push_back(w);
        }
        // Watched before anyone can read them through the cache, so no
        // change after the first read goes unnoticed.
        for (auto w : added) watchWindow(w);
        if (!added.empty()) flush();
        {
            std::lock_guard lock(mutex_);
            for (auto w : added) cache_[w] = CachedWindow{};
            for (auto w : removed) {
                cache_.erase(w);
                ApplicationGroups::shared().leave(this, w);
            }
            clients_ = std::move(fresh);
            clientOrder_ = std::move(now);
        }
    }
    std::lock_guard dispatch(dispatchMutex_);
    std::vector<EventListener*> targets;
    {
        std::lock_guard lock(mutex_);
        ++eventSerial_;
        targets = listeners_;
    }
    eventCv_.notify_all();
    for (auto* l : targets) {
        if (!added.empty() || !removed.empty()) l->clientsChanged(added, removed);
        l->xEvent(event);
    }
    // Last, so that a reader who sees the new count also sees what the
    // event changed, in the caches and in every listener.
    count(targets);
}

void Connection::count(const std::vector<EventListener*>& targets) {
    changes_.fetch_add(1, std::memory_order_acq_rel);
    for (auto* l : targets) l->counted();
}

void Connection::noteChange() {
    std::unique_lock<std::mutex> dispatch;
    if (!isEventThread()) dispatch = std::unique_lock(dispatchMutex_);
    std::vector<EventListener*> targets;
    {
        std::lock_guard lock(mutex_);
        targets = listeners_;
    }
    count(targets);
}

void Connection::addListener(EventListener* listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(listener);
}

void Connection::removeListener(EventListener* listener) {
    std::unique_lock<std::mutex> dispatch;
    if (!isEventThread()) dispatch = std::unique_lock(dispatchMutex_);
    std::lock_guard lock(mutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Connection::setDispatcher(std::shared_ptr<Dispatcher> dispatcher) {
    std::lock_guard lock(mutex_);
    dispatcher_ = std::move(dispatcher);
}

void Connection::postToMain(Task task) {
    std::shared_ptr<Dispatcher> d;
    {
        std::lock_guard lock(mutex_);
        d = dispatcher_;
    }
    if (d) d->mainQueue().async(std::move(task));
}

void Connection::watchWindow(xcb_window_t window) {
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
}

std::set<xcb_window_t> Connection::knownClients() {
    std::lock_guard lock(mutex_);
    return clients_;
}

void Connection::refreshClients() {
    auto now = readClientList();
    for (auto w : now) watchWindow(w);
    flush();
    std::lock_guard lock(mutex_);
    std::set<xcb_window_t> fresh(now.begin(), now.end());
    for (auto w : clients_)
        if (!fresh.count(w)) ApplicationGroups::shared().leave(this, w);
    clients_ = std::move(fresh);
    cache_.clear();
    for (auto w : clients_) cache_[w] = CachedWindow{};
    clientOrder_ = std::move(now);
}

std::vector<xcb_window_t> Connection::windowListProperty(xcb_atom_t atom) {
    auto cookie = xcb_get_property(conn_, 0, root_, atom, XCB_ATOM_WINDOW, 0, 1u << 16);
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn_, cookie, nullptr));
    auto v = cardinals(r.get());
    return std::vector<xcb_window_t>(v.begin(), v.end());
}

template <typename T>
T Connection::cachedRoot(CachedRootValue<T> Connection::*slot, const std::function<T()>& read) {
    std::uint64_t changes;
    {
        std::lock_guard lock(mutex_);
        const auto& v = this->*slot;
        if (v.valid) return v.value;
        changes = v.changes;
    }
    T fresh = read();
    std::lock_guard lock(mutex_);
    auto& v = this->*slot;
    // Kept only when no event made it stale while it was read.
    if (v.changes == changes && !isBroken()) {
        v.value = fresh;
        v.valid = true;
    }
    return fresh;
}

std::vector<xcb_window_t> Connection::readClientList() { return windowListProperty(ewmh_._NET_CLIENT_LIST); }

std::vector<xcb_window_t> Connection::clientList() {
    std::lock_guard lock(mutex_);
    return clientOrder_;
}

std::vector<xcb_window_t> Connection::clientListStacking() {
    return cachedRoot<std::vector<xcb_window_t>>(
        &Connection::stacking_, [this] { return windowListProperty(ewmh_._NET_CLIENT_LIST_STACKING); });
}

xcb_window_t Connection::activeWindow() {
    return cachedRoot<xcb_window_t>(&Connection::active_, [this] {
        auto v = windowListProperty(ewmh_._NET_ACTIVE_WINDOW);
        return v.empty() ? xcb_window_t(XCB_WINDOW_NONE) : v.front();
    });
}

std::uint32_t Connection::currentDesktop() {
    return cachedRoot<std::uint32_t>(&Connection::desktop_, [this] {
        std::uint32_t d = 0;
        if (xcb_ewmh_get_current_desktop_reply(&ewmh_, xcb_ewmh_get_current_desktop(&ewmh_, screenNumber_), &d,
                                               nullptr))
            return d;
        return std::uint32_t(0);
    });
}

std::optional<std::uint32_t> Connection::numberOfDesktops() {
    return cachedRoot<std::optional<std::uint32_t>>(&Connection::desktopCount_, [this] {
        std::uint32_t n = 0;
        if (xcb_ewmh_get_number_of_desktops_reply(
                &ewmh_, xcb_ewmh_get_number_of_desktops(&ewmh_, screenNumber_), &n, nullptr))
            return std::optional<std::uint32_t>(n);
        return std::optional<std::uint32_t>();
    });
}

bool Connection::hasWindowManager(double timeoutSeconds) {
    auto deadline = deadlineAfter(timeoutSeconds);
    for (;;) {
        xcb_window_t check = XCB_WINDOW_NONE;
        if (xcb_ewmh_get_supporting_wm_check_reply(
                &ewmh_, xcb_ewmh_get_supporting_wm_check(&ewmh_, root_), &check, nullptr) &&
            check != XCB_WINDOW_NONE) {
            xcb_window_t again = XCB_WINDOW_NONE;
            if (xcb_ewmh_get_supporting_wm_check_reply(
                    &ewmh_, xcb_ewmh_get_supporting_wm_check(&ewmh_, check), &again, nullptr) &&
                again == check)
                return true;
        }
        if (Clock::now() >= deadline || isBroken()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

QString Connection::windowManagerName() {
    xcb_window_t check = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(&ewmh_, xcb_ewmh_get_supporting_wm_check(&ewmh_, root_), &check,
                                                nullptr))
        return {};
    xcb_ewmh_get_utf8_strings_reply_t name{};
    if (!xcb_ewmh_get_wm_name_reply(&ewmh_, xcb_ewmh_get_wm_name(&ewmh_, check), &name, nullptr)) return {};
    QString s = QString::fromUtf8(name.strings, int(name.strings_len));
    xcb_ewmh_get_utf8_strings_reply_wipe(&name);
    return s;
}

std::vector<WindowInfo> Connection::windowInfos(const std::vector<xcb_window_t>& windows) {
    return windowInfos(windows, nullptr);
}

bool Connection::isClient(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    return clients_.count(window) > 0;
}

std::vector<WindowInfo> Connection::windowInfos(const std::vector<xcb_window_t>& windows,
                                                const std::function<bool(const WindowInfo&)>& keep) {
    std::vector<std::optional<WindowInfo>> out(windows.size());
    std::vector<WindowRead> reads;
    std::vector<std::size_t> positions;
    std::vector<std::optional<std::uint64_t>> changesAt;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            auto it = cache_.find(windows[i]);
            if (it != cache_.end() && it->second.propertiesValid && it->second.geometryValid) {
                if (!keep || keep(it->second.info)) out[i] = it->second.info;
                continue;
            }
            WindowRead r;
            if (it != cache_.end()) {
                r.info = it->second.info;
                r.properties = !it->second.propertiesValid;
                r.geometry = !it->second.geometryValid;
                changesAt.push_back(it->second.changes);
            } else {
                changesAt.push_back(std::nullopt);
            }
            r.info.window = windows[i];
            reads.push_back(std::move(r));
            positions.push_back(i);
        }
    }
    auto result = [&] {
        std::vector<WindowInfo> kept;
        kept.reserve(windows.size());
        for (auto& o : out)
            if (o) kept.push_back(std::move(*o));
        return kept;
    };
    if (reads.empty()) return result();
    ApplicationKey key;
    {
        std::lock_guard lock(mutex_);
        key = applicationKey_;
    }
    readWindows(reads);
    for (auto& r : reads)
        if (r.properties && r.info.exists) r.info.applicationKey = key ? key(r.info) : defaultApplicationKey(r.info);
    std::unique_lock lock(mutex_);
    for (std::size_t k = 0; k < reads.size(); ++k) {
        // Freshly read properties give the window's own identifier; its
        // application is the one its key already has.
        WindowInfo& info = reads[k].info;
        if (reads[k].properties && info.exists) {
            auto& groups = ApplicationGroups::shared();
            info.pid = clients_.count(info.window) ? groups.join(this, info.window, info.applicationKey, info.pid)
                                                   : groups.peek(info.window, info.applicationKey, info.pid);
        }
        if (changesAt[k] && !isBroken()) {
            auto it = cache_.find(reads[k].info.window);
            if (it != cache_.end() && it->second.changes == *changesAt[k]) {
                it->second.info = reads[k].info;
                it->second.propertiesValid = it->second.geometryValid = true;
            }
        }
        if (!keep || keep(reads[k].info)) out[positions[k]] = std::move(reads[k].info);
    }
    lock.unlock();
    return result();
}

namespace {

// The requests behind one window's read: its properties, and where it is.
struct WindowCookies {
    std::array<xcb_get_property_cookie_t, 16> properties{};
    xcb_get_window_attributes_cookie_t attrs{};
    xcb_get_geometry_cookie_t geometry{};
    xcb_translate_coordinates_cookie_t origin{};
};

// Which property fills which part of WindowProperties, and how it is asked for.
struct PropertyRequest {
    PropertyValue WindowProperties::*slot;
    xcb_atom_t atom;
    xcb_atom_t type;
    std::uint32_t length;  // in 32-bit units
};

}  // namespace

void Connection::readWindows(std::vector<WindowRead>& reads) {
    const xcb_atom_t any = XCB_GET_PROPERTY_TYPE_ANY;
    const std::array<PropertyRequest, 16> requests{{
        {&WindowProperties::pid, ewmh_._NET_WM_PID, XCB_ATOM_CARDINAL, 1},
        {&WindowProperties::machine, XCB_ATOM_WM_CLIENT_MACHINE, any, 256},
        {&WindowProperties::desktop, ewmh_._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1},
        {&WindowProperties::state, ewmh_._NET_WM_STATE, XCB_ATOM_ATOM, 64},
        {&WindowProperties::types, ewmh_._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 64},
        {&WindowProperties::actions, ewmh_._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, 64},
        {&WindowProperties::frame, ewmh_._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4},
        {&WindowProperties::shadow, atoms_.gtkFrameExtents, XCB_ATOM_CARDINAL, 4},
        {&WindowProperties::netName, ewmh_._NET_WM_NAME, atoms_.utf8String, 1024},
        {&WindowProperties::wmName, XCB_ATOM_WM_NAME, any, 1024},
        {&WindowProperties::wmClass, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256},
        {&WindowProperties::gtkId, atoms_.gtkApplicationId, atoms_.utf8String, 256},
        {&WindowProperties::transient, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1},
        {&WindowProperties::opacity, atoms_.windowOpacity, XCB_ATOM_CARDINAL, 1},
        {&WindowProperties::leader, atoms_.clientLeader, XCB_ATOM_WINDOW, 1},
        {&WindowProperties::hints, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 9},
    }};
    // Every request first, then every answer: one round trip for the batch.
    std::vector<WindowCookies> cookies(reads.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const xcb_window_t w = reads[i].info.window;
        WindowCookies& c = cookies[i];
        if (reads[i].properties)
            for (std::size_t k = 0; k < requests.size(); ++k)
                c.properties[k] = xcb_get_property(conn_, 0, w, requests[k].atom, requests[k].type, 0, requests[k].length);
        if (reads[i].geometry) {
            c.attrs = xcb_get_window_attributes(conn_, w);
            c.geometry = xcb_get_geometry(conn_, w);
            c.origin = xcb_translate_coordinates(conn_, w, root_, 0, 0);
        }
    }
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const WindowCookies& c = cookies[i];
        WindowInfo& info = reads[i].info;
        bool exists = true;
        if (reads[i].properties) {
            std::array<Reply<xcb_get_property_reply_t>, 16> replies;
            WindowProperties properties;
            for (std::size_t k = 0; k < requests.size(); ++k) {
                replies[k].reset(xcb_get_property_reply(conn_, c.properties[k], nullptr));
                properties.*(requests[k].slot) = PropertyValue::of(replies[k].get());
            }
            exists = decodeWindowProperties(properties, atoms_.utf8String, info);
            // The application: the process for a client of this machine that
            // names one, else the client group (read once with the properties,
            // so an unchanged window costs nothing here).
            if (exists)
                info.pid = applicationIdFor(info.processID, isLocalMachine(info.clientMachine, hostName_),
                                            info.clientLeader != XCB_WINDOW_NONE ? info.clientLeader : info.window,
                                            info.wmClassClass);
        }
        if (reads[i].geometry) {
            Reply<xcb_get_window_attributes_reply_t> attrs(xcb_get_window_attributes_reply(conn_, c.attrs, nullptr));
            Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(conn_, c.geometry, nullptr));
            Reply<xcb_translate_coordinates_reply_t> origin(
                xcb_translate_coordinates_reply(conn_, c.origin, nullptr));
            exists = exists && attrs && geometry && origin;
            if (exists) {
                info.viewable = attrs->map_state == XCB_MAP_STATE_VIEWABLE;
                info.clientArea = Rect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
            }
        } else {
            exists = exists && info.exists;
        }
        info.exists = exists;
        if (!exists) {
            const xcb_window_t window = info.window;
            info = WindowInfo();
            info.window = window;
        }
    }
}

WindowInfo Connection::windowInfo(xcb_window_t window) { return windowInfos({window}).front(); }

std::vector<QString> Connection::textProperties(const std::vector<xcb_window_t>& windows, xcb_atom_t property) {
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(windows.size());
    for (auto w : windows) cookies.push_back(xcb_get_property(conn_, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024));
    std::vector<QString> out;
    out.reserve(windows.size());
    for (auto cookie : cookies) {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn_, cookie, nullptr));
        QByteArray b = bytes(PropertyValue::of(r.get()));
        if (const int nul = b.indexOf('\0'); nul >= 0) b.truncate(nul);
        out.push_back(QString::fromUtf8(b));
    }
    return out;
}

std::vector<std::uint32_t> Connection::iconPixels(xcb_window_t window, int preferredSize, int& width, int& height) {
    width = height = 0;
    auto cookie = xcb_get_property(conn_, 0, window, ewmh_._NET_WM_ICON, XCB_ATOM_CARDINAL, 0, 1u << 22);
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn_, cookie, nullptr));
    auto v = cardinals(r.get());
    // Entries: width, height, then width*height pixels. Every length is
    // checked against what is left, so a hostile property cannot overrun.
    std::size_t best = v.size();
    std::uint32_t bestW = 0, bestH = 0;
    std::size_t i = 0;
    while (i + 2 <= v.size()) {
        std::uint32_t w = v[i], h = v[i + 1];
        if (w == 0 || h == 0 || w > 1024 || h > 1024) break;
        std::size_t count = std::size_t(w) * h;
        if (count > v.size() - i - 2) break;
        bool better = best == v.size();
        if (!better) {
            bool bigEnough = int(w) >= preferredSize, bestBigEnough = int(bestW) >= preferredSize;
            if (bigEnough != bestBigEnough)
                better = bigEnough;
            else
                better = bigEnough ? w < bestW : w > bestW;
        }
        if (better) {
            best = i;
            bestW = w;
            bestH = h;
        }
        i += 2 + count;
    }
    if (best == v.size()) return {};
    width = int(bestW);
    height = int(bestH);
    return std::vector<std::uint32_t>(v.begin() + long(best) + 2, v.begin() + long(best) + 2 + long(bestW) * bestH);
}

xcb_timestamp_t Connection::serverTime() {
    if (isEventThread() || isBroken()) return XCB_CURRENT_TIME;
    std::uint64_t asked;
    {
        std::lock_guard lock(mutex_);
        asked = ++stampsAsked_;
    }
    // Appending nothing changes nothing, yet the server tells the change.
    xcb_change_property(conn_, XCB_PROP_MODE_APPEND, wakeWindow_, atoms_.wakeUp, XCB_ATOM_CARDINAL, 32, 0, nullptr);
    flush();
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    waitUntil(
        [&] {
            std::lock_guard lock(mutex_);
            if (stampsSeen_ < asked) return false;
            time = stamp_;
            return true;
        },
        1.0);
    return time;
}

void Connection::askToActivate(xcb_window_t window, xcb_timestamp_t time) {
    activationsAsked_.fetch_add(1, std::memory_order_relaxed);
    sendRootMessage(window, ewmh_._NET_ACTIVE_WINDOW, sourcePager, time, 0);
}

void Connection::askToMinimize(xcb_window_t window) {
    constexpr std::uint32_t iconicState = 3;
    sendRootMessage(window, atoms_.wmChangeState, iconicState);
}

bool Connection::askToRestore(const WindowInfo& info, xcb_timestamp_t time) {
    // A map request for a window that is still mapped is no request at
    // all, and one after an activation can spoil the activation (fvwm).
    if (info.viewable || restoresByActivation()) {
        askToActivate(info.window, time);
        return false;
    }
    xcb_map_window(conn_, info.window);
    return true;
}

void Connection::sendRootMessage(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1,
                                 std::uint32_t d2, std::uint32_t d3, std::uint32_t d4) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    ev.data.data32[0] = d0;
    ev.data.data32[1] = d1;
    ev.data.data32[2] = d2;
    ev.data.data32[3] = d3;
    ev.data.data32[4] = d4;
    xcb_send_event(conn_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
}

void Connection::flush() { xcb_flush(conn_); }

void Connection::sync() { std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

std::uint64_t Connection::configureCount(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    auto it = configureCounts_.find(window);
    return it == configureCounts_.end() ? 0 : it->second;
}

bool Connection::waitForConfigure(xcb_window_t window, std::uint64_t after, double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    return eventCv_.wait_until(lock, deadlineAfter(timeoutSeconds), [&] {
        auto it = configureCounts_.find(window);
        return (it != configureCounts_.end() && it->second > after) || stopping_ || isBroken();
    });
}

bool Connection::waitUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    auto deadline = deadlineAfter(timeoutSeconds);
    for (;;) {
        std::uint64_t serial;
        {
            std::lock_guard lock(mutex_);
            serial = eventSerial_;
        }
        if (predicate()) return true;
        if (Clock::now() >= deadline || isBroken()) return false;
        std::unique_lock lock(mutex_);
        auto until = std::min(deadline, Clock::now() + std::chrono::milliseconds(20));
        eventCv_.wait_until(lock, until, [&] { return eventSerial_ != serial; });
    }
}

}  // namespace platform::x11
