// The live desktop backend against a real X server, window manager and
// clients (xterm), checked through the platform interfaces.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_launcher_entry.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_workspace.h"
#include "taskbar/fullscreen_monitor.h"
#include "windows/change_stamp.h"
#include "windows/task_items.h"
#include "windows/window_enumerator.h"
#include "windows/window_service.h"
#include "support/recording_log.h"
#include "support/test_files.h"
#include "x11_bare_client.h"
#include "x11_session.h"

using namespace platform;
using namespace x11test;
namespace names = platform::ax::names;

namespace {

class X11LiveTest : public LiveBackendTest {
protected:
    void TearDown() override {
        if (notesToken) workspace().removeObserver(notesToken);
        terminals.clear();
        LiveBackendTest::TearDown();
    }

    // `cls` makes it an application of its own, apart from the other xterms.
    Terminal& terminal(const std::string& geometry = "80x24+40+40", const std::string& cls = {}) {
        auto t = openTerminal(*conn, geometry, "quorvel-test", cls);
        EXPECT_TRUE(t) << "xterm did not come up";
        if (!t) throw std::runtime_error("no xterm");
        terminals.push_back(std::move(t));
        return *terminals.back();
    }
    ax::Element windowOf(const Terminal& t) {
        ax::Value v;
        EXPECT_EQ(ax::api().copyAttribute(ax::api().applicationElement(t.pid()), names::windows, v),
                  ax::Error::success);
        auto list = ax::as<ax::ElementList>(v).value_or(ax::ElementList{});
        EXPECT_EQ(list.size(), 1u);
        if (list.empty()) return ax::Element();
        // The longest there is, as the suite may run on a busy machine (a
        // restore from minimised took over 3 s there); writes return sooner.
        ax::api().setMessagingTimeout(list.front(), 5.0);
        return list.front();
    }
    template <typename T>
    T read(const ax::Element& e, const QString& attribute) {
        ax::Value v;
        EXPECT_EQ(ax::api().copyAttribute(e, attribute, v), ax::Error::success) << attribute.toStdString();
        auto t = ax::as<T>(v);
        EXPECT_TRUE(t) << attribute.toStdString() << " has another type";
        return t.value_or(T{});
    }
    // The window's record in the server's list; empty when it is not listed.
    static WindowRecord recordOf(xcb_window_t w, unsigned options = windowListOnScreenOnly,
                                 WindowServer& server = windowServer()) {
        for (const auto& r : server.copyWindowList(options, 0).value_or(std::vector<WindowRecord>{}))
            if (r.number == std::int64_t(w)) return r;
        return {};
    }

    // A window service as the task strip runs one, each snapshot handed on.
    static std::shared_ptr<WindowService> startWindowService(WindowService::SnapshotCallback onSnapshot) {
        auto service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
        service->setOnSnapshot(std::move(onSnapshot));
        service->start();
        return service;
    }
    // The snapshot's application of the process; null when it lists none.
    static const AppItem* appIn(const std::vector<AppItem>& items, std::int32_t pid) {
        const auto it = std::find_if(items.begin(), items.end(), [&](const AppItem& app) { return app.pid == pid; });
        return it == items.end() ? nullptr : &*it;
    }
    static bool hasWindowTitled(const AppItem* app, const QString& title) {
        return app && std::any_of(app->windows.begin(), app->windows.end(),
                                  [&](const WindowItem& w) { return w.title == title; });
    }
    // What an observer heard: each notification with its element.
    struct Heard {
        std::vector<std::pair<ax::Element, QString>> seen;
        bool allOnMain = true;
        bool operator()(const ax::Element& e, const QString& n) const {
            return std::find(seen.begin(), seen.end(), std::make_pair(e, n)) != seen.end();
        }
    };
    // An observer of the process's application for the notifications; null when none could be made.
    static std::shared_ptr<ax::Observer> observe(std::int32_t pid, std::initializer_list<QString> notifications,
                                                 Heard& heard, ax::Accessibility& api = ax::api()) {
        auto observer = api.createObserver(pid, [&heard](const ax::Element& e, const QString& n) {
            heard.allOnMain = heard.allOnMain && platform::isMainThread();
            heard.seen.emplace_back(e, n);
        });
        for (const QString& n : notifications)
            if (observer && observer->addNotification(api.applicationElement(pid), n) != ax::Error::success)
                return nullptr;
        return observer;
    }
    // Once the manager is done with new windows, `count` holds still over a
    // quiet period: the wait is for nothing to happen.
    template <typename Count>
    static bool holdsStill(Count count) {
        return pumpUntil([&] {
            const auto before = count();
            pumpFor(0.3);
            return count() == before;
        }, patience);
    }
    // The workspace's notifications from now on.
    void recordNotifications() {
        notesToken = workspace().addObserver([this](const QString& n, std::int32_t pid) { notes.emplace_back(n, pid); });
    }
    bool sawNote(const QString& n, std::int32_t pid) const {
        return std::find(notes.begin(), notes.end(), std::make_pair(n, pid)) != notes.end();
    }

    std::vector<std::unique_ptr<Terminal>> terminals;
    std::vector<std::pair<QString, std::int32_t>> notes;
    int notesToken = 0;
};

TEST_F(X11LiveTest, ConnectionFindsTheWindowManagerTheDisplayAndThePointer) {
    EXPECT_TRUE(conn->hasWindowManager(patience));
    EXPECT_EQ(conn->windowManagerName(), QStringLiteral("Openbox"));
    QString error;
    x11::BackendOptions nowhere;
    nowhere.display = QStringLiteral(":4999");
    EXPECT_FALSE(x11::makeServices(nowhere, &error));
    EXPECT_TRUE(error.contains(QStringLiteral(":4999"))) << error.toStdString();
    // Made on a thread of its own, as the start-up makes it while Qt starts.
    x11::BackendOptions here;
    here.display = QString::fromStdString(x11test::Session::shared().display());
    auto opened = std::async(std::launch::async, [&] { return x11::openDesktop(here, &error); }).get();
    ASSERT_TRUE(opened) << error.toStdString();
    EXPECT_EQ(opened->windowManagerName(), QStringLiteral("Openbox"));
    opened.reset();

    // The one display, and the pointer on it.
    auto screens = displays().screens();
    ASSERT_EQ(screens.size(), 1u);
    const Screen& s = screens.front();
    EXPECT_EQ(s.bounds, Rect(0, 0, x11test::Session::width, x11test::Session::height));
    EXPECT_EQ(s.frame, Rect(0, 0, x11test::Session::width, x11test::Session::height));
    EXPECT_NE(s.id, 0u);
    EXPECT_EQ(displays().mainDisplayID(), s.id);
    EXPECT_EQ(displays().mainScreen()->id, s.id);
    ASSERT_TRUE(xdotool({"mousemove", "100", "200"}));
    EXPECT_TRUE(pumpUntil([&] { return displays().pointerLocation() == Point{100, x11test::Session::height - 200.0}; }, patience));
}

TEST_F(X11LiveTest, WindowFrameIsTheVisibleOuterFrameTakesWritesAsGrantedAndIsObserved) {
    Terminal& t = terminal("80x24+40+40");
    ax::Element w = windowOf(t);
    ASSERT_TRUE(w.isValid());
    EXPECT_EQ(w.processID(), t.pid());
    const auto info = conn->windowInfo(t.window);
    const auto ext = info.decoration;
    EXPECT_GT(ext.top, 0) << "openbox decorates xterm";
    // A user-given position places the outer frame's corner there.
    EXPECT_EQ(read<Point>(w, names::position), (Point{40, 40}));
    EXPECT_EQ(read<Size>(w, names::size), (Size{info.clientArea.width() + ext.left + ext.right,
                                                info.clientArea.height() + ext.top + ext.bottom}));
    EXPECT_EQ(read<QString>(w, names::title), QStringLiteral("quorvel-test"));
    EXPECT_EQ(read<QString>(w, names::subrole), names::standardWindow);
    EXPECT_FALSE(read<bool>(w, names::minimized));
    EXPECT_FALSE(read<bool>(w, names::fullScreen));
    EXPECT_TRUE(read<ax::Element>(w, names::closeButton).isValid());
    std::int32_t pid = 0;
    EXPECT_EQ(ax::api().pid(w, pid), ax::Error::success);
    EXPECT_EQ(pid, t.pid());

    // Observers hear of its changes on the main thread, made by someone else
    // (xdotool) or by a write.
    Heard heard;
    auto observer = observe(t.pid(), {names::windowMoved, names::windowResized, names::windowMiniaturized,
                                      names::windowDeminiaturized, names::titleChanged}, heard);
    ASSERT_TRUE(observer);
    const std::string id = std::to_string(t.window);
    const std::pair<std::vector<std::string>, QString> changes[] = {
        {{"windowmove", id, "300", "200"}, names::windowMoved},
        {{"windowsize", id, "300", "200"}, names::windowResized},
        {{"set_window", "--name", "renamed", id}, names::titleChanged},
    };
    for (const auto& change : changes) {
        ASSERT_TRUE(xdotool(change.first));
        EXPECT_TRUE(pumpUntil([&] { return heard(w, change.second); })) << change.second.toStdString();
    }
    // Minimised it is off the screen's list and still one of the application's windows.
    ASSERT_EQ(ax::api().setAttribute(w, names::minimized, true), ax::Error::success);
    EXPECT_TRUE(read<bool>(w, names::minimized));
    EXPECT_TRUE(pumpUntil([&] { return heard(w, names::windowMiniaturized); }));
    auto list = windowServer().copyWindowList(windowListOnScreenOnly, 0);
    ASSERT_TRUE(list);
    for (const auto& r : *list) EXPECT_NE(r.number, std::int64_t(t.window)) << "a minimised window is not on screen";
    EXPECT_TRUE(windowOf(t).isValid());
    ASSERT_EQ(ax::api().setAttribute(w, names::minimized, false), ax::Error::success);
    EXPECT_FALSE(read<bool>(w, names::minimized));
    EXPECT_TRUE(pumpUntil([&] { return heard(w, names::windowDeminiaturized); }));
    EXPECT_TRUE(heard.allOnMain);
    EXPECT_EQ(ax::api().setAttribute(w, names::minimized, QStringLiteral("yes")), ax::Error::illegalArgument);

    // After invalidate nothing more arrives, while an observer still valid
    // hears the same move, as does one of an accessibility started while the
    // window was already there. The move heard may be the last of an earlier
    // one: the corner is waited for once the manager has made this one.
    observer->invalidate();
    heard.seen.clear();
    x11::X11Accessibility late(conn);
    const std::pair<ax::Accessibility*, Point> watchers[] = {{&ax::api(), {50, 60}}, {&late, {70, 80}}};
    for (const auto& watcher : watchers) {
        const Point to = watcher.second;
        Heard moved;
        auto watching = observe(t.pid(), {names::windowMoved}, moved, *watcher.first);
        ASSERT_TRUE(watching);
        ASSERT_TRUE(xdotool({"windowmove", id, std::to_string(int(to.x)), std::to_string(int(to.y))}));
        EXPECT_TRUE(pumpUntil([&] { return moved(w, names::windowMoved); }));
        EXPECT_TRUE(pumpUntil([&] { return read<Point>(w, names::position) == to; }));
    }
    EXPECT_TRUE(heard.seen.empty());

    // A size write is read back as the manager granted it.
    const Point corner = read<Point>(w, names::position);
    ASSERT_EQ(ax::api().setAttribute(w, names::size, Size{600, 400}), ax::Error::success);
    // xterm sizes in character cells (6 x 13 plus a base of 4): the width
    // fits exactly, the height is cut to whole rows.
    Size s = read<Size>(w, names::size);
    EXPECT_EQ(s.width, 600);
    EXPECT_LE(s.height, 400);
    EXPECT_GT(s.height, 400 - 13);
    EXPECT_EQ(int(s.height - ext.top - ext.bottom - 4) % 13, 0);
    EXPECT_EQ(read<Point>(w, names::position), corner) << "a size write keeps the top-left corner";

    ASSERT_EQ(ax::api().setAttribute(w, names::position, Point{100, 150}), ax::Error::success);
    EXPECT_EQ(read<Point>(w, names::position), (Point{100, 150}));
    EXPECT_EQ(read<Size>(w, names::size), s);
}

// Reads from several threads while the window manager moves a window: the
// connection's caches and the listeners stay consistent (run under the
// thread sanitizer too).
TEST_F(X11LiveTest, ThreadedReadsWhileWindowsChange) {
    Terminal& t = terminal();
    ax::Element w = windowOf(t);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0}, reads{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                ax::Value v;
                if (ax::api().copyAttribute(w, names::size, v) != ax::Error::success) ++failures;
                windowServer().copyWindowList(windowListOnScreenOnly, 0);
                ++reads;
            }
        });
    // Rounds of moves until the readers have run alongside them: on a busy
    // machine they may not get a turn during the first round.
    QElapsedTimer since;
    since.start();
    do
        for (int i = 0; i < 10; ++i) {
            ax::api().setAttribute(w, names::position, Point{double(20 + i * 10), 40});
            QCoreApplication::processEvents();
        }
    while (reads <= 10 && since.elapsed() < patience * 1000);
    stop = true;
    for (auto& r : readers) r.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(reads, 10);
    EXPECT_EQ(read<Point>(w, names::position), (Point{110, 40}));
}

TEST_F(X11LiveTest, MaximisedWindowTakesAFrameWriteAndMaximizeAsksTheManager) {
    Terminal& t = terminal("80x24+40+40");
    ax::Element w = windowOf(t);
    auto* e = conn->ewmh();
    setWindowState(*conn, t.window, true, e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ);
    ASSERT_TRUE(conn->waitUntil([&] { return conn->windowInfo(t.window).hasState(e->_NET_WM_STATE_MAXIMIZED_VERT); },
                                patience));
    // Wait until the manager has settled the maximised frame (decoration included).
    const auto outer = [&] { return Rect(read<Point>(w, names::position), read<Size>(w, names::size)); };
    ASSERT_TRUE(conn->waitUntil([&] { return outer().height() > 700 && outer().minX() >= 0; }, patience));
    ASSERT_TRUE(holdsStill(outer));
    // With nothing reserving an edge, the maximised frame spans the display,
    // title bar and all: that is no full-screen window.
    EXPECT_EQ(AXFullscreenDetector().detect(t.pid()), std::nullopt);
    const Point origin = read<Point>(w, names::position);
    // Shrink the height so the bottom edge sits at y = 700.
    const double height = 700 - origin.y;
    ASSERT_EQ(ax::api().setAttribute(w, names::size, Size{read<Size>(w, names::size).width, height}),
              ax::Error::success);
    EXPECT_EQ(ax::api().setAttribute(w, names::position, origin), ax::Error::success);
    const Rect frame = outer();
    // xterm takes whole rows (13 pixels each).
    EXPECT_LE(frame.maxY(), 700);
    EXPECT_GT(frame.maxY(), 700 - 13);
    EXPECT_EQ(frame.origin, origin);
    EXPECT_FALSE(conn->windowInfo(t.window).hasState(e->_NET_WM_STATE_MAXIMIZED_VERT));

    // "Maximize" from a window's menu asks the manager, so its own restore and
    // title bar agree with it; tiling the window afterwards takes it out again.
    const Rect screen(0, 0, x11test::Session::width, x11test::Session::height);
    const std::vector<WindowLayoutCalculator::DisplayArea> areas{
        {screen, Rect(0, 0, x11test::Session::width, x11test::Session::height - 40)}};
    auto maximised = [&] { return isMaximised(*conn, t.window); };
    ASSERT_TRUE(WindowEnumerator::place(w, areas, WindowLayoutCalculator::Placement::maximize));
    EXPECT_TRUE(conn->waitUntil(maximised, patience)) << "the manager was never asked to maximise";
    EXPECT_TRUE(read<bool>(w, names::maximized));
    ASSERT_TRUE(WindowEnumerator::place(w, areas, WindowLayoutCalculator::Placement::leftHalf));
    EXPECT_TRUE(conn->waitUntil([&] { return !maximised(); }, patience));
    // Within the terminal's character cell.
    EXPECT_NEAR(conn->windowInfo(t.window).frame().width(), x11test::Session::width / 2.0, 12);
}

// A window of a fixed size: the observer sees it come and go, and a refused
// size reads back unchanged.
TEST_F(X11LiveTest, ObserverSeesWindowsComeAndGoAndARefusedSizeReadsBackUnchanged) {
    Heard heard;
    auto observer = observe(getpid(), {names::windowCreated, names::uiElementDestroyed}, heard);
    ASSERT_TRUE(observer);
    OwnWindow own(200, 100, 300, 200, /*fixedSize=*/true);
    ASSERT_TRUE(waitForClient(*conn, own.window()));
    // The installed accessibility wraps the desktop's (for the unread
    // badges); an element made by any instance names the same window.
    const ax::Element w = x11::X11Accessibility(conn).windowElement(own.window(), getpid());
    EXPECT_TRUE(pumpUntil([&] { return heard(w, names::windowCreated); }));
    ax::api().setMessagingTimeout(w, 3.0);
    const Size before = read<Size>(w, names::size);
    ASSERT_EQ(ax::api().setAttribute(w, names::size, Size{before.width, before.height - 120}), ax::Error::success);
    EXPECT_EQ(read<Size>(w, names::size), before);
    // Moving it up still works, which is what the constraint engine falls back to.
    ASSERT_EQ(ax::api().setAttribute(w, names::position, Point{200, 20}), ax::Error::success);
    EXPECT_EQ(read<Point>(w, names::position), (Point{200, 20}));
    own.destroy();
    EXPECT_TRUE(pumpUntil([&] { return heard(w, names::uiElementDestroyed); }));
}

TEST_F(X11LiveTest, WindowListIsFrontToBackWithLayersAndAlpha) {
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300", "QuorvelOther");
    ASSERT_TRUE(workspace().activate(a.pid(), false));
    // The activation returns at once; the list follows when the manager answered.
    std::optional<std::vector<WindowRecord>> list;
    std::vector<std::int64_t> order;
    auto posOf = [&](xcb_window_t w) { return std::find(order.begin(), order.end(), std::int64_t(w)); };
    EXPECT_TRUE(conn->waitUntil(
        [&] {
            list = windowServer().copyWindowList(windowListOnScreenOnly | windowListExcludeDesktopElements, 0);
            order.clear();
            if (list)
                for (const auto& r : *list) order.push_back(r.number.value_or(0));
            return posOf(a.window) < posOf(b.window) && posOf(b.window) != order.end();
        },
        patience))
        << "the active window is in front";
    ASSERT_TRUE(list);
    auto posA = posOf(a.window);
    ASSERT_NE(posA, order.end());
    const auto& recA = (*list)[std::size_t(posA - order.begin())];
    EXPECT_EQ(recA.ownerPID, std::int64_t(a.pid()));
    EXPECT_EQ(recA.layer, 0);
    EXPECT_EQ(recA.alpha, 1.0);
    EXPECT_EQ(recA.isOnScreen, true);
    ASSERT_TRUE(recA.bounds);
    EXPECT_EQ(recA.bounds->origin, read<Point>(windowOf(a), names::position));

    // Opacity set by a compositor-aware client shows as alpha.
    const std::uint32_t half = 0x7fffffff;
    xcb_change_property(conn->xcb(), XCB_PROP_MODE_REPLACE, b.window, conn->atoms().windowOpacity, XCB_ATOM_CARDINAL,
                        32, 1, &half);
    conn->flush();
    EXPECT_TRUE(conn->waitUntil([&] { return std::abs(recordOf(b.window).alpha.value_or(-1) - 0.5) < 0.01; }, patience));
}

TEST_F(X11LiveTest, WorkspaceGroupsClientsByApplication) {
    QTemporaryDir apps;
    const QString entry = apps.path() + QStringLiteral("/test-term.desktop");
    ASSERT_TRUE(writeFile(entry, "[Desktop Entry]\nType=Application\nName=Test Terminal\nExec=xterm\nStartupWMClass=XTerm\n"));
    // Two xterms are two processes and one application; an xterm of another
    // class is another.
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300");
    Terminal& c = terminal("80x24+200+200", "QuorvelOther");

    auto axImpl = std::make_shared<x11::X11Accessibility>(conn);
    x11::X11Workspace ws(conn, axImpl, {.desktopDirectories = {apps.path()}, .entries = nullptr});
    auto running = ws.runningApplications();
    std::vector<std::int32_t> pids;
    for (const auto& app : running) pids.push_back(app.pid);
    auto ia = std::find(pids.begin(), pids.end(), a.pid());
    auto ic = std::find(pids.begin(), pids.end(), c.pid());
    ASSERT_NE(ia, pids.end()) << "named by its first process";
    ASSERT_NE(ic, pids.end());
    EXPECT_EQ(std::find(pids.begin(), pids.end(), b.pid()), pids.end()) << "the second xterm is no application of its own";
    EXPECT_LT(ia, ic) << "launch order";
    std::set<xcb_window_t> windows;
    for (const auto& w : axImpl->windowsOf(a.pid())) windows.insert(w.window);
    EXPECT_EQ(windows, (std::set<xcb_window_t>{a.window, b.window}));
    const auto& appA = running[std::size_t(ia - pids.begin())];
    EXPECT_EQ(appA.bundleID, QStringLiteral("test-term"));
    EXPECT_EQ(appA.bundlePath, entry);
    EXPECT_EQ(appA.localizedName, QStringLiteral("Test Terminal"));
    EXPECT_EQ(appA.activationPolicy, ActivationPolicy::regular);
    auto own = std::find_if(running.begin(), running.end(), [](const auto& r) { return r.pid == getpid(); });
    ASSERT_NE(own, running.end());
    EXPECT_EQ(own->activationPolicy, ActivationPolicy::accessory);
    EXPECT_EQ(own->bundleID, QStringLiteral("app.quorvel.Quorvel"));

    // Without a desktop entry the WM_CLASS class names it and the executable is its path.
    x11::X11Workspace bare(conn, axImpl, {.desktopDirectories = {}, .entries = nullptr});
    auto plain = bare.application(a.pid());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->bundleID, QStringLiteral("XTerm"));
    EXPECT_EQ(plain->localizedName, QStringLiteral("XTerm"));
    EXPECT_TRUE(plain->bundlePath && plain->bundlePath->endsWith(QStringLiteral("xterm")));
    EXPECT_FALSE(bare.application(999999));

    // The task strip's list has the two xterms as one application under the
    // first process (how each mode lays that out is list logic, checked apart).
    std::vector<AppItem> last;
    auto service = startWindowService([&](const std::vector<AppItem>& items) { last = items; });
    auto xterm = [&]() -> const AppItem* {
        const AppItem* app = appIn(last, a.pid());
        return app && app->windows.size() == 2 ? app : nullptr;
    };
    ASSERT_TRUE(pumpUntil([&] { return xterm() != nullptr; })) << "both windows under the first process";
    ASSERT_TRUE(xterm()->bundleID);
    const QString id = *xterm()->bundleID;
    EXPECT_FALSE(appIn(last, b.pid()));

    // An urgency hint marks its own window's button (and the application's), not its sibling's.
    const std::uint32_t urgent[9] = {1u << 8};
    xcb_change_property(conn->xcb(), XCB_PROP_MODE_REPLACE, b.window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                        urgent);
    conn->flush();
    const ax::Element windowB = x11::X11Accessibility(conn).windowElement(b.window, a.pid());
    ASSERT_TRUE(pumpUntil([&] { return read<bool>(windowB, names::demandsAttention); }));
    service->scheduleScan();
    ASSERT_TRUE(pumpUntil([&] { return xterm() && std::any_of(xterm()->windows.begin(), xterm()->windows.end(),
                                                              [](const WindowItem& w) { return w.hasUnread; }); }));
    for (bool perWindow : {false, true}) {
        std::size_t marked = 0;
        for (const auto& item : TaskStripItems::build(last, perWindow, QStringList{}, {}, {}))
            if (item.bundleID == id) marked += item.hasUnread ? 1 : 0;
        EXPECT_EQ(marked, 1u) << (perWindow ? "only the urgent window's button" : "the combined button");
    }
    service->stop();

    // The application outlives the process it is named by while another of
    // its windows is open.
    const std::int32_t app = a.pid();
    a.process->stop();
    ASSERT_TRUE(conn->waitUntil([&] { return !conn->windowInfo(a.window).exists; }, patience));
    EXPECT_TRUE(conn->waitUntil([&] { return ws.isProcessAlive(app) && axImpl->windowsOf(app).size() == 1; }, patience));
    auto left = ws.application(app);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->bundleID, QStringLiteral("test-term"));
    EXPECT_TRUE(left->executablePath && left->executablePath->endsWith(QStringLiteral("xterm")))
        << "read through the process that still runs";
}

// Stops the window manager for a while: whatever waits for its answer waits
// until the object is gone.
class FrozenWindowManager {
public:
    FrozenWindowManager() : pid_(x11test::Session::shared().windowManagerPid()) {
        if (pid_ > 0) ::kill(pid_, SIGSTOP);
    }
    ~FrozenWindowManager() {
        if (pid_ > 0) ::kill(pid_, SIGCONT);
    }
    bool frozen() const { return pid_ > 0; }

private:
    pid_t pid_;
};

TEST_F(X11LiveTest, ActivateHideUnhideNotificationsAndRequestsThatDoNotWaitForTheManager) {
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300", "QuorvelOther");
    recordNotifications();
    namespace wn = workspace_notifications;

    // A loaded machine may list a fresh terminal's window a moment late.
    auto frontmostIs = [&](const Terminal& t) {
        auto front = workspace().frontmostApplication();
        return front && front->pid == t.pid();
    };
    // Each activation is seen before the next: two quick ones may reach us
    // as one change of the active window, with nothing to say of the first.
    for (const Terminal* t : {&b, &a}) {
        ASSERT_TRUE(pumpUntil([&] { return workspace().activate(t->pid(), false); }, patience));
        ASSERT_TRUE(pumpUntil([&] { return frontmostIs(*t); }, patience));
    }
    EXPECT_TRUE(pumpUntil([&] { return sawNote(wn::didActivateApplication, a.pid()); }));
    EXPECT_TRUE(pumpUntil([&] { return sawNote(wn::didDeactivateApplication, b.pid()); }));

    for (const bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "hide" : "unhide");
        ASSERT_TRUE(hide ? workspace().hide(a.pid()) : workspace().unhide(a.pid()));
        EXPECT_EQ(workspace().application(a.pid())->isHidden, hide);
        // The calls wait for the manager only so long; a busy machine may need
        // longer. Hidden means unmapped too: the manager may mark the state
        // before it unmaps, and a map request that comes in between is lost.
        EXPECT_TRUE(conn->waitUntil([&] {
            const auto info = conn->windowInfo(a.window);
            return hide ? info.hasState(conn->ewmh()->_NET_WM_STATE_HIDDEN) && !info.viewable
                        : !info.hasState(conn->ewmh()->_NET_WM_STATE_HIDDEN);
        }, patience));
        EXPECT_TRUE(pumpUntil([&] { return sawNote(hide ? wn::didHideApplication : wn::didUnhideApplication, a.pid()); }));
    }

    // A hidden application whose window comes back by other means is shown again.
    ASSERT_TRUE(workspace().hide(b.pid()));
    ASSERT_TRUE(xdotool({"windowactivate", std::to_string(b.window)}));
    EXPECT_TRUE(pumpUntil([&] { return !workspace().application(b.pid())->isHidden; }));

    // Requests to a manager that does not answer return without waiting for it.
    const ax::Element windowA = windowOf(a);
    ASSERT_TRUE(workspace().activate(b.pid(), false));
    ASSERT_TRUE(pumpUntil([&] { return conn->activeWindow() == b.window; }));
    {
        // A manager that does not answer (busy, or frozen here) holds no
        // call up: each request is sent and the call returns.
        FrozenWindowManager frozen;
        ASSERT_TRUE(frozen.frozen());
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(workspace().activate(a.pid(), false));
        EXPECT_EQ(ax::api().performAction(windowA, names::raise), ax::Error::success);
        EXPECT_TRUE(workspace().hide(b.pid()));
        // Far below any wait for the manager (those were 0.5 to 1 s each).
        EXPECT_LT(clock.elapsed(), 400) << "a call waited for the window manager";
        EXPECT_NE(conn->activeWindow(), a.window) << "the manager answered while frozen";
    }
    // Its answers then arrive as events and bring everything up to date.
    EXPECT_TRUE(pumpUntil([&] { return frontmostIs(a); }));
    EXPECT_TRUE(pumpUntil([&] { return read<bool>(windowOf(b), names::minimized); }));
}

// A window that enters or leaves full screen, is minimised in it or closes
// in it is told at once, as a switch of desktops is: the bars follow it
// without waiting for their slow poll.
TEST_F(X11LiveTest, FullScreenChangesAreToldAsTheyHappen) {
    Terminal& t = terminal("80x24+40+40");
    recordNotifications();
    auto spaces = [&] {
        return std::count_if(notes.begin(), notes.end(),
                             [](const auto& n) { return n.first == workspace_notifications::activeSpaceDidChange; });
    };
    const xcb_atom_t fullScreen = conn->ewmh()->_NET_WM_STATE_FULLSCREEN;
    struct Step {
        const char* what;
        std::function<void()> act;
    } steps[] = {
        {"enters full screen", [&] { setWindowState(*conn, t.window, true, fullScreen); }},
        {"leaves full screen", [&] { setWindowState(*conn, t.window, false, fullScreen); }},
        {"enters again", [&] { setWindowState(*conn, t.window, true, fullScreen); }},
        {"closes in full screen", [&] { terminals.clear(); }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const auto before = spaces();
        step.act();
        EXPECT_TRUE(pumpUntil([&] { return spaces() > before; }));
    }
}

TEST_F(X11LiveTest, UnchangedDesktopIsReadWithoutRequests) {
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300");
    x11::X11WindowServer server(conn);
    x11::X11Accessibility axs(conn);
    // The running applications (with their client groups) and the unread
    // badges of urgent windows read the same kept window properties.
    auto workspace = std::make_shared<x11::X11Workspace>(conn, std::make_shared<x11::X11Accessibility>(conn),
                                                         x11::X11Workspace::Options{});
    x11::BadgeDock badges(conn, workspace, nullptr);
    // Requests the reads make: the sequence numbers of two no-op requests
    // around them differ by one when the reads made none.
    auto requestsOf = [&](const std::function<void()>& reads) {
        const unsigned before = xcb_no_operation(conn->xcb()).sequence;
        reads();
        return xcb_no_operation(conn->xcb()).sequence - before - 1;
    };
    auto poll = [&] {
        server.copyWindowList(windowListOnScreenOnly | windowListExcludeDesktopElements, 0);
        axs.windowsOf(a.pid());
        (void)conn->activeWindow();
        (void)conn->currentDesktop();
        (void)workspace->runningApplications();
        (void)badges.badges();
    };
    // Once the manager is done with the new windows, a poll costs nothing.
    EXPECT_TRUE(conn->waitUntil([&] { return requestsOf(poll) == 0; }, patience))
        << "a poll over an unchanged desktop still makes " << requestsOf(poll) << " requests";

    // A change is read again, and only where it happened: one window's
    // properties, not every window's.
    ASSERT_TRUE(xdotool({"set_window", "--name", "renamed", std::to_string(b.window)}));
    unsigned requests = 0;
    bool seen = conn->waitUntil(
        [&] {
            bool renamed = false;
            requests = requestsOf([&] { renamed = recordOf(b.window, windowListOnScreenOnly, server).name == "renamed"; });
            return renamed;
        },
        patience);
    EXPECT_TRUE(seen) << "the new title never showed";
    EXPECT_LE(requests, 16u) << "the re-read after one title change";
    EXPECT_TRUE(conn->waitUntil([&] { return requestsOf(poll) == 0; }, patience));
}

TEST_F(X11LiveTest, ChangeCountsHoldStillOnAQuietDesktopScansTakeTheLastListAgainAndObserversAreTold) {
    Terminal& a = terminal("80x24+40+40");
    ASSERT_TRUE(ChangeStamp::now()) << "the live desktop can tell when nothing changed";
    ASSERT_TRUE(holdsStill([] { return ChangeStamp::now(); })) << "the counts keep moving on a quiet desktop";

    // A scan over the quiet desktop publishes its last list again without reading.
    std::vector<std::vector<AppItem>> snapshots;
    auto service = startWindowService([&](const std::vector<AppItem>& items) { snapshots.push_back(items); });
    ASSERT_TRUE(pumpUntil([&] { return !snapshots.empty() && appIn(snapshots.back(), a.pid()); }));
    EXPECT_TRUE(pumpUntil(
        [&] {
            const auto before = service->scansTakenAgain();
            const auto published = snapshots.size();
            service->scheduleScan();
            pumpUntil([&] { return snapshots.size() > published; });
            return service->scansTakenAgain() > before;
        },
        patience))
        << "every scan of a quiet desktop read it again";

    // A title change moves the counts, and whoever sees the new counts reads the new title.
    const auto before = ChangeStamp::now();
    ASSERT_TRUE(xdotool({"set_window", "--name", "renamed", std::to_string(a.window)}));
    ASSERT_TRUE(pumpUntil([&] { return ChangeStamp::now() != before; }, patience));
    EXPECT_EQ(recordOf(a.window).name.value_or(QString()), QStringLiteral("renamed"));
    service->scheduleScan();
    EXPECT_TRUE(pumpUntil([&] { return hasWindowTitled(appIn(snapshots.back(), a.pid()), QStringLiteral("renamed")); }))
        << "the scan after the change read the desktop";
    service->stop();

    // The window server tells its change observers when the changes can be read.
    int calls = 0;
    QString titleSeen;
    const int token = windowServer().addChangeObserver([&] {
        ++calls;
        if (const auto r = recordOf(a.window, windowListAll); r.number) titleSeen = r.name.value_or(QString());
    });
    ASSERT_NE(token, 0);
    ASSERT_TRUE(holdsStill([&] { return calls; })) << "observers called on a quiet desktop";
    ASSERT_TRUE(xdotool({"set_window", "--name", "told", std::to_string(a.window)}));
    EXPECT_TRUE(pumpUntil([&] { return titleSeen == QStringLiteral("told"); }, patience))
        << "an observer called after the change reads the new title";
    windowServer().removeChangeObserver(token);
    const int after = calls;
    bool witnessed = false;
    const int witness = windowServer().addChangeObserver([&] { witnessed = true; });
    ASSERT_TRUE(xdotool({"set_window", "--name", "untold", std::to_string(a.window)}));
    EXPECT_TRUE(pumpUntil([&] { return witnessed; })) << "an observer still added hears the change";
    EXPECT_EQ(calls, after) << "a removed observer is not called";
    windowServer().removeChangeObserver(witness);
}

TEST_F(X11LiveTest, AWindowRetitledAllTheTimeKeepsNoOtherChangeOffTheStrip) {
    // Two applications (a class each), so each one's window is its own.
    Terminal& busy = terminal("80x24+40+40");
    Terminal& other = terminal("80x24+600+40", "OtherTerm");
    std::vector<AppItem> latest;
    auto service = startWindowService([&](const std::vector<AppItem>& items) { latest = items; });
    // Retitled on a connection of the test's own, ten times a second: each
    // change comes well inside the scan's debounce.
    BareClient writer;
    xcb_connection_t* c = writer.connection();
    const xcb_atom_t netName = writer.atom("_NET_WM_NAME"), utf8 = writer.atom("UTF8_STRING");
    auto retitle = [&](xcb_window_t w, const QByteArray& title) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netName, utf8, 8, title.size(), title.constData());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(),
                            title.constData());
        xcb_flush(c);
    };
    int n = 0;
    QElapsedTimer sinceRetitle;
    sinceRetitle.start();
    auto churn = [&] {
        if (sinceRetitle.elapsed() < 100) return;
        sinceRetitle.restart();
        retitle(busy.window, "busy-" + QByteArray::number(++n));
    };
    ASSERT_TRUE(pumpUntil([&] { return !latest.empty(); }));
    // How soon it comes is the simulated desktop's to check; here, that it
    // comes at all while the busy window goes on changing.
    for (int round = 1; round <= 3; ++round) {
        const QString title = QStringLiteral("other-%1").arg(round);
        retitle(other.window, title.toUtf8());
        ASSERT_TRUE(pumpUntil([&] {
            churn();
            return hasWindowTitled(appIn(latest, other.pid()), title);
        })) << "round " << round << ": the other window's new title never reached the strip";
    }
    service->stop();
}

// Terminated and force-terminated; what is gone has invalid elements.
TEST_F(X11LiveTest, TerminateAndForceTerminateLeaveInvalidElements) {
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300", "QuorvelOther");
    const ax::Element windowA = windowOf(a);
    recordNotifications();
    namespace wn = workspace_notifications;

    const std::int32_t pidA = a.pid();
    ASSERT_TRUE(workspace().terminate(pidA));
    EXPECT_TRUE(a.process->waitForExit(patience)) << "xterm closes on the close request";
    EXPECT_TRUE(pumpUntil([&] { return sawNote(wn::didTerminateApplication, pidA); }));
    ASSERT_TRUE(conn->waitUntil([&] {
        ax::Value v;
        return ax::api().copyAttribute(windowA, names::position, v) == ax::Error::invalidElement;
    }, patience));
    ax::Value v;
    EXPECT_EQ(ax::api().copyAttribute(ax::api().applicationElement(pidA), names::windows, v), ax::Error::invalidElement);
    EXPECT_EQ(ax::api().setAttribute(windowA, names::size, Size{100, 100}), ax::Error::invalidElement);

    // A process without a window here is never killed, nor are we.
    Child bystander;
    ASSERT_TRUE(bystander.start({"sleep", "30"}, x11test::Session::shared().display()));
    for (const std::int32_t pid : {std::int32_t(bystander.pid()), std::int32_t(getpid()), 1})
        EXPECT_FALSE(workspace().forceTerminate(pid)) << pid;
    EXPECT_TRUE(bystander.running());

    EXPECT_TRUE(workspace().forceTerminate(b.pid()));
    EXPECT_TRUE(b.process->waitForExit(patience));
}

TEST_F(X11LiveTest, GrabbedShortcutFiresAndATakenOneIsRefused) {
    std::vector<HotKeyID> pressed;
    bool onMain = true;
    int handler = 0;
    ASSERT_EQ(hotKeys().installHandler([&](HotKeyID id) {
        onMain = onMain && platform::isMainThread();
        pressed.push_back(id);
    }, handler), noErr);
    const std::uint32_t sig = fourCharCode("QRVL");
    int ref = 0;
    // Control-D: key code 2 with the control modifier.
    ASSERT_EQ(hotKeys().registerHotKey(2, 0x1000, HotKeyID{sig, 2}, ref), noErr);
    // Caps Lock on does not stop it; plain "d" and other modifiers do not
    // fire it: the next Control-D is the next press heard.
    const std::pair<std::vector<std::string>, std::size_t> presses[] = {
        {{"key", "ctrl+d"}, 1}, {{"key", "Caps_Lock", "ctrl+d", "Caps_Lock"}, 2}, {{"key", "d", "ctrl+shift+d", "ctrl+d"}, 3}};
    for (const auto& press : presses) {
        ASSERT_TRUE(xdotool(press.first));
        EXPECT_TRUE(pumpUntil([&] { return pressed.size() >= press.second; }));
        EXPECT_EQ(pressed.size(), press.second);
    }
    EXPECT_EQ(pressed.at(0).id, 2u);
    EXPECT_EQ(pressed.at(0).signature, sig);
    EXPECT_TRUE(onMain);

    int again = 0;
    EXPECT_EQ(hotKeys().registerHotKey(2, 0x1000, HotKeyID{sig, 3}, again), eventHotKeyExistsErr);

    // A combination another client holds is reported as taken.
    int taken = 0;
    {
        BareClient holder;
        xcb_connection_t* other = holder.connection();
        const xcb_keycode_t space = keycodeOf(other, ' ');
        ASSERT_NE(space, 0);
        xcb_grab_key(other, 1, xcb_setup_roots_iterator(xcb_get_setup(other)).data->root, XCB_MOD_MASK_1, space,
                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));  // round trip
        // Option-Space: key code 49 with the option modifier.
        EXPECT_EQ(hotKeys().registerHotKey(49, 0x800, HotKeyID{sig, 1}, taken), eventHotKeyExistsErr);
    }
    EXPECT_EQ(hotKeys().registerHotKey(0xFFFF, 0x800, HotKeyID{sig, 1}, taken), eventHotKeyInvalidErr);

    // Let go, it is silent: Control-E, pressed after it, is the one press heard.
    ASSERT_EQ(hotKeys().unregisterHotKey(ref), noErr);
    int witness = 0;
    ASSERT_EQ(hotKeys().registerHotKey(14, 0x1000, HotKeyID{sig, 4}, witness), noErr);
    ASSERT_TRUE(xdotool({"key", "ctrl+d", "ctrl+e"}));
    EXPECT_TRUE(pumpUntil([&] { return pressed.size() >= 4; }));
    ASSERT_EQ(pressed.size(), 4u);
    EXPECT_EQ(pressed.back().id, 4u);
    hotKeys().unregisterHotKey(witness);
    hotKeys().removeHandler(handler);
}

// "Show in Files" on the live desktop: the folder goes to xdg-open (no
// shell); with no file manager on the session bus and no xdg-open there is
// nothing to ask, and the caller is told so.
TEST_F(X11LiveTest, RevealOpensTheContainingFolderOrReportsThatNothingCan) {
    // What xdg-open says when it cannot open a folder reaches the log.
    auto log = std::make_shared<RecordingLog>();
    platform::uninstall();
    ASSERT_EQ(installLiveBackend(prefs(), [&](platform::Services& s) { s.log = log; }), "");
    QTemporaryDir bin, failing;
    ASSERT_TRUE(bin.isValid() && failing.isValid());
    const QString record = bin.filePath(QStringLiteral("opened"));
    ASSERT_TRUE(writeFile(bin.filePath(QStringLiteral("xdg-open")),
                          QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(record).toUtf8(), true));
    // As xdg-open ends on a desktop with no file manager.
    ASSERT_TRUE(writeFile(failing.filePath(QStringLiteral("xdg-open")),
                          "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n", true));

    EnvironmentOverride noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    struct Case {
        QByteArray path;
        bool revealed;
        bool failsLater;
    };
    for (const Case& c : {Case{bin.path().toUtf8(), true, false}, Case{"/nonexistent", false, false},
                          Case{failing.path().toUtf8() + ":/usr/bin:/bin", true, true}}) {
        SCOPED_TRACE(c.path.toStdString());
        EnvironmentOverride path("PATH", c.path);
        QFile::remove(record);
        log->take();
        EXPECT_EQ(platform::workspace().revealInFileViewer(QStringLiteral("/usr/share/applications/debian-xterm.desktop")),
                  c.revealed);
        if (c.failsLater) {
            EXPECT_TRUE(pumpUntil([&] { return log->all().join('\n').contains("no method available"); }))
                << "xdg-open's error was lost";
        } else if (c.revealed) {
            EXPECT_TRUE(pumpUntil([&] { return !readFile(record).isEmpty(); }, patience)) << "xdg-open never ran";
            EXPECT_EQ(readFile(record).trimmed(), QByteArray("file:///usr/share/applications"));
        }
    }
}

}  // namespace
