#pragma once
// One connection to an X server with an EWMH window manager, shared by every
// part of the live desktop backend.
//
// xcb itself is thread-safe; what this object adds (the set of managed
// clients, the per-window configure counters, the listeners) is kept under
// its own mutex, so any thread may read windows while the event thread runs.
// Events are read by one thread of the connection's own and handed to the
// listeners there; listeners hop to the main queue themselves.
//
// What the backend reads over and over (the root window's lists and the
// managed clients' properties and geometry) is kept in a cache that the
// events keep current: an event marks what it touched as stale, and the next
// read fetches only that. A read that finds nothing changed makes no request.
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/geometry.h"

namespace platform::x11 {

struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    // The manager gives the window a frame of its own (a title bar, borders).
    bool isFramed() const { return top > 0 || left > 0 || right > 0 || bottom > 0; }
    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// The visible outer frame of a client: the client area grown by the window
// manager's decoration and shrunk by a client-side shadow margin.
Rect visibleFrame(const Rect& clientArea, const FrameExtents& decoration, const FrameExtents& clientShadow);
// The client-area size that gives a visible frame of the given size.
Size clientSizeFor(const Size& visibleSize, const FrameExtents& decoration, const FrameExtents& clientShadow);

// The source a request to the window manager names: a pager, which the
// manager obeys without second-guessing (EWMH).
inline constexpr std::uint32_t sourcePager = 2;

// What is known of one client window at one moment (a batch of reads).
struct WindowInfo {
    xcb_window_t window = XCB_WINDOW_NONE;
    bool exists = false;            // the window could be read at all
    // The application (x11_client_groups.h): every window of one desktop
    // entry (else WM_CLASS class) has the same one, named by the process of
    // its first window (else by a client group); 0 only for a window that is gone.
    std::int32_t pid = 0;
    QString applicationKey;         // what makes windows one application; empty: their process
    std::int32_t processID = 0;     // _NET_WM_PID as given; 0 when absent
    xcb_window_t clientLeader = XCB_WINDOW_NONE;  // WM_CLIENT_LEADER, else the WM_HINTS group
    bool urgencyHint = false;       // WM_HINTS urgency (ICCCM)
    std::optional<QString> clientMachine;
    std::optional<std::uint32_t> desktop;  // 0xFFFFFFFF: all desktops
    std::vector<xcb_atom_t> state;
    std::vector<xcb_atom_t> types;
    std::optional<std::vector<xcb_atom_t>> allowedActions;
    FrameExtents decoration;
    FrameExtents clientShadow;
    QString title;
    QString wmClassInstance;
    QString wmClassClass;
    QString gtkApplicationId;
    xcb_window_t transientFor = XCB_WINDOW_NONE;
    bool viewable = false;
    std::optional<double> opacity;  // 0...1
    Rect clientArea;                // root coordinates

    bool hasState(xcb_atom_t atom) const;
    bool hasType(xcb_atom_t atom) const;
    Rect frame() const { return visibleFrame(clientArea, decoration, clientShadow); }
};

// Seen by the listeners, on the event thread.
class EventListener {
public:
    virtual ~EventListener() = default;
    // Clients that entered or left the window manager's client list.
    virtual void clientsChanged(const std::vector<xcb_window_t>& added, const std::vector<xcb_window_t>& removed) {
        (void)added;
        (void)removed;
    }
    // Every event as it arrives (after the client list was brought up to date).
    virtual void xEvent(const xcb_generic_event_t* event) { (void)event; }
    // After every event, once changeCount() has moved.
    virtual void counted() {}
};

// The atoms of the names, in one round trip: every request goes out before
// the first reply is read. XCB_ATOM_NONE where the server gave none.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t* c, const std::vector<QByteArray>& names);

// A listener's first read of the windows already on the desktop, made when
// it is first needed rather than when the listener is made, so that making
// it costs no round trips while the bars are first shown. An event handled
// before that read is skipped: it has nobody to tell yet, and the read sees
// what it changed (the caches are brought up to date before any listener
// hears of it). An event that comes during the read waits for it.
class FirstRead {
public:
    template <class Read>
    void ensure(Read&& read) {
        if (done_.load(std::memory_order_acquire)) return;
        std::lock_guard lock(mutex_);
        if (done_.load(std::memory_order_relaxed)) return;
        read();
        done_.store(true, std::memory_order_release);
    }
    // For the event thread: false while the read has not begun.
    bool done() const {
        if (done_.load(std::memory_order_acquire)) return true;
        std::lock_guard lock(mutex_);
        return done_.load(std::memory_order_relaxed);
    }

private:
    mutable std::mutex mutex_;
    std::atomic<bool> done_{false};
};

class Connection {
public:
    struct Atoms {
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t wmChangeState = XCB_ATOM_NONE;
        xcb_atom_t wmState = XCB_ATOM_NONE;
        xcb_atom_t wmProtocols = XCB_ATOM_NONE;
        xcb_atom_t windowOpacity = XCB_ATOM_NONE;
        xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
        xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
        xcb_atom_t wakeUp = XCB_ATOM_NONE;
        xcb_atom_t clientLeader = XCB_ATOM_NONE;
        xcb_atom_t kdeDesktopFile = XCB_ATOM_NONE;   // _KDE_NET_WM_DESKTOP_FILE
        xcb_atom_t bamfDesktopFile = XCB_ATOM_NONE;  // _BAMF_DESKTOP_FILE
    };

    // Connects to the display (the environment's DISPLAY when empty).
    static std::shared_ptr<Connection> open(const QString& displayName, QString* error);
    // What the process does when a connection's X server goes away (not when
    // the connection is closed here): called once, on that connection's event
    // thread, after every waiter was woken. None by default.
    static void setConnectionLostHandler(std::function<void()> handler);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* xcb() const { return conn_; }
    xcb_ewmh_connection_t* ewmh() { return &ewmh_; }
    const Atoms& atoms() const { return atoms_; }
    xcb_window_t root() const { return root_; }
    int screenNumber() const { return screenNumber_; }
    Rect rootGeometry() const;
    bool isBroken() const;
    // Whether the manager has been seen to restore a minimised window on
    // activation alone. Once it has, no map request follows an activation:
    // some managers (fvwm) stop answering activation after one.
    bool restoresByActivation() const { return restoresByActivation_.load(std::memory_order_relaxed); }
    void noteRestoredByActivation() { restoresByActivation_.store(true, std::memory_order_relaxed); }
    // Asks the manager, as a pager, to activate the window (EWMH), or to
    // minimise it (ICCCM's change to the iconic state). Not flushed. The
    // activation carries a server time, by default the time of now: a
    // manager that prevents focus stealing (openbox) takes one without a
    // time for older than the person's last key press in the focused window
    // (our start menu, just typed into), and only marks the window as wanting
    // attention. A burst of activations takes one `serverTime` for all.
    void askToActivate(xcb_window_t window, xcb_timestamp_t time);
    void askToActivate(xcb_window_t window) { askToActivate(window, serverTime()); }
    // How many activations were asked for in this run.
    std::uint64_t activationsAsked() const { return activationsAsked_.load(std::memory_order_relaxed); }
    void askToMinimize(xcb_window_t window);
    // The server's time of now, from a property change made for it (one
    // round trip, at most a second); no time (XCB_CURRENT_TIME) on the event
    // thread, which would wait for itself.
    xcb_timestamp_t serverTime();
    // Asks the manager once more to restore a minimised window: by
    // activation, or by a map request where only that can work (a manager
    // not seen to restore on activation, and a window already unmapped).
    // True when it was a map request. Not flushed.
    bool askToRestore(const WindowInfo& info, xcb_timestamp_t time);
    // The host name, to tell local clients from remote ones.
    const QString& hostName() const { return hostName_; }
    // What names a window's application (the window's desktop entry, say);
    // by default its GTK application id, else its WM_CLASS class. Set before
    // windows are read; called on any thread, with no lock of ours held.
    using ApplicationKey = std::function<QString(const WindowInfo&)>;
    void setApplicationKey(ApplicationKey key);
    static QString defaultApplicationKey(const WindowInfo& info);

    // True when an EWMH window manager answers within the timeout.
    bool hasWindowManager(double timeoutSeconds);
    QString windowManagerName();

    // Root window state, from the cache (fetched when an event made it stale).
    std::vector<xcb_window_t> clientList();          // mapping order
    std::vector<xcb_window_t> clientListStacking();  // bottom to top
    xcb_window_t activeWindow();
    std::uint32_t currentDesktop();
    std::optional<std::uint32_t> numberOfDesktops();

    // The client list as the server has it now (one round trip).
    std::vector<xcb_window_t> readClientList();

    // Many windows at once: managed clients from the cache, re-reading only
    // the stale ones, all requests sent before any reply is awaited.
    std::vector<WindowInfo> windowInfos(const std::vector<xcb_window_t>& windows);
    // Only the windows that pass `keep`, in the same order: the others are
    // not copied out of the cache. `keep` runs under the cache's lock and
    // must not call back into the connection.
    std::vector<WindowInfo> windowInfos(const std::vector<xcb_window_t>& windows,
                                        const std::function<bool(const WindowInfo&)>& keep);
    // True when the window is in the manager's client list as last seen.
    bool isClient(xcb_window_t window);
    WindowInfo windowInfo(xcb_window_t window);
    // A text property of each window (any type, up to 4 KiB; empty when
    // unset), all requests sent before any reply is awaited. Read when asked,
    // never kept.
    std::vector<QString> textProperties(const std::vector<xcb_window_t>& windows, xcb_atom_t property);
    // The client's icon (_NET_WM_ICON) closest to the size, as ARGB pixels.
    std::vector<std::uint32_t> iconPixels(xcb_window_t window, int preferredSize, int& width, int& height);

    // Requests to the window manager (source indication: a pager).
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1 = 0,
                         std::uint32_t d2 = 0, std::uint32_t d3 = 0, std::uint32_t d4 = 0);
    void flush();
    // Flushes and waits until the server has carried out every request sent
    // so far. Requests of another connection (Qt's own) are ordered after
    // ours only once the server has answered: a window's attributes set here
    // before Qt maps it need this, or the map may come first.
    void sync();

    // Configure notifications seen for a window so far (real or synthetic).
    std::uint64_t configureCount(xcb_window_t window);
    // Waits until the window saw more than `after` configure notifications;
    // false when the time ran out.
    bool waitForConfigure(xcb_window_t window, std::uint64_t after, double timeoutSeconds);
    // Waits until the predicate holds; checked after every event and at least
    // every 20 ms. False when the time ran out.
    bool waitUntil(const std::function<bool()>& predicate, double timeoutSeconds);

    // Listeners are called on the event thread. After removeListener returns
    // the listener is never called again (it waits for a running delivery),
    // so an owner removes itself in its destructor.
    void addListener(EventListener* listener);
    void removeListener(EventListener* listener);

    // The dispatcher whose main queue receives what the listeners deliver.
    // Held here, so a delivery never depends on what is installed at that
    // moment (events keep coming while the platform is being replaced).
    void setDispatcher(std::shared_ptr<Dispatcher> dispatcher);
    // Runs the task on the main thread; dropped when there is no dispatcher.
    void postToMain(Task task);

    // Selects property and structure events of a client window.
    void watchWindow(xcb_window_t window);
    // The clients currently in the window manager's list, as last seen.
    std::set<xcb_window_t> knownClients();
    bool isEventThread() const;
    // Moves after every event, once the caches and the listeners have taken
    // it in: while it stays the same, nothing read through this connection
    // can have changed.
    std::uint64_t changeCount() const { return changes_.load(std::memory_order_acquire); }
    // For what changes outside the X server but is read as part of the
    // desktop (the session bus's badges): moves changeCount() and tells the
    // listeners as an event would.
    void noteChange();

private:
    // Moves changeCount() and tells the listeners, under the dispatch lock.
    void count(const std::vector<EventListener*>& targets);
    // A managed client as last read, and whether events made parts of it stale.
    struct CachedWindow {
        WindowInfo info;
        bool propertiesValid = false;
        bool geometryValid = false;
        std::uint64_t changes = 0;
    };
    template <typename T>
    struct CachedRootValue {
        T value{};
        bool valid = false;
        std::uint64_t changes = 0;
    };
    // One window to read, with the parts to read.
    struct WindowRead {
        WindowInfo info;
        bool properties = true;
        bool geometry = true;
    };
    void readWindows(std::vector<WindowRead>& reads);
    template <typename T>
    T cachedRoot(CachedRootValue<T> Connection::*slot, const std::function<T()>& read);
    // The window properties WindowInfo is made of: a change to one of them
    // makes the window's cached properties stale.
    bool isWindowInfoAtom(xcb_atom_t atom) const;
    void invalidate(const xcb_generic_event_t* event);

    Connection() = default;
    bool setUp(const QString& displayName, QString* error);
    void eventLoop();
    void handle(const xcb_generic_event_t* event);
    void refreshClients();
    std::vector<xcb_window_t> windowListProperty(xcb_atom_t atom);

    xcb_connection_t* conn_ = nullptr;
    xcb_ewmh_connection_t ewmh_{};
    bool ewmhReady_ = false;
    Atoms atoms_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t wakeWindow_ = XCB_WINDOW_NONE;
    int screenNumber_ = 0;
    QString hostName_;
    ApplicationKey applicationKey_;

    mutable std::mutex mutex_;
    std::condition_variable eventCv_;
    std::uint64_t eventSerial_ = 0;
    // The server's time, as the last change to the wake window's property
    // told it, and how many such changes were asked for and seen.
    std::uint64_t stampsAsked_ = 0, stampsSeen_ = 0;
    xcb_timestamp_t stamp_ = XCB_CURRENT_TIME;
    std::map<xcb_window_t, std::uint64_t> configureCounts_;
    std::set<xcb_window_t> clients_;
    std::vector<xcb_window_t> clientOrder_;  // clients_ in mapping order
    std::map<xcb_window_t, CachedWindow> cache_;
    CachedRootValue<std::vector<xcb_window_t>> stacking_;
    CachedRootValue<xcb_window_t> active_;
    CachedRootValue<std::uint32_t> desktop_;
    CachedRootValue<std::optional<std::uint32_t>> desktopCount_;
    std::vector<EventListener*> listeners_;
    std::shared_ptr<Dispatcher> dispatcher_;
    std::mutex dispatchMutex_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> restoresByActivation_{false};
    std::atomic<std::uint64_t> activationsAsked_{0};
    std::atomic<std::uint64_t> changes_{0};
    std::thread thread_;
};

}  // namespace platform::x11
