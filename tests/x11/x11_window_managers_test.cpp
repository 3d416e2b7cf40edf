// What depends on the window manager, checked under the managers where it
// went wrong: each test runs a fresh X server with that manager in its stock
// configuration (skipped, saying so, where the manager is not installed).
#include <cmath>
#include <ostream>
#include <gtest/gtest.h>

#include "platform/accessibility.h"
#include "platform/platform.h"
#include "platform/workspace.h"
#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_connection.h"
#include "services/global_hot_key_monitor.h"
#include "settings/general_pane.h"
#include "support/recording_log.h"
#include "support/test_files.h"
#include "x11_program.h"
#include "x11_top_levels.h"

using namespace platform;
using namespace x11test;
namespace names = platform::ax::names;

namespace {

class ManagerTest;
// A check and a manager where it went wrong.
struct ManagerCase {
    const char* check;
    const char* manager;
    void (ManagerTest::*run)();
};
void PrintTo(const ManagerCase& c, std::ostream* os) { *os << c.check << " under " << c.manager; }

// The manager's session comes up before the fixture connects to it.
class ManagerTest : public ProgramTest, public ::testing::WithParamInterface<ManagerCase> {
protected:
    void SetUp() override {
        session_ = std::make_unique<ManagerSession>(GetParam().manager);
        if (!session_->skipReason.empty()) GTEST_SKIP() << session_->skipReason;
        ASSERT_TRUE(session_->error.empty()) << session_->error;
        ProgramTest::SetUp();
        ASSERT_TRUE(writeFile(home.filePath("data/applications/quorvel-fixture.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Quorvel Fixture\nExec=xterm\n"));
    }
    void TearDown() override {
        ProgramTest::TearDown();
        conn.reset();
        if (backendInstalled_) platform::uninstall();
        session_.reset();
    }
    bool is(const char* manager) const { return std::string(GetParam().manager) == manager; }

    // The bar's _NET_WM_STRUT_PARTIAL; twelve zeros when unset.
    std::vector<std::uint32_t> strut() {
        auto v = cardinals(bar().window, conn->ewmh()->_NET_WM_STRUT_PARTIAL);
        return v.size() == 12 ? v : std::vector<std::uint32_t>(12, 0);
    }
    bool reservesTheBottom() {
        const auto v = strut();
        return bar().exists && v[2] == 0 && v[3] == std::uint32_t(barHeight);
    }
    bool shown(xcb_window_t w) {
        const auto info = conn->windowInfo(w);
        return info.viewable && !info.hasState(conn->ewmh()->_NET_WM_STATE_HIDDEN);
    }
    // The listed bar, else a viewable one among the top-level windows and
    // the manager's frames' children: i3 and herbstluftwm list no dock.
    x11::WindowInfo bar() override {
        if (auto listed = ProgramTest::bar(); listed.exists) return listed;
        x11::WindowInfo found;
        auto walk = [&](xcb_window_t parent, int depth, auto& self) -> void {
            auto* tree = xcb_query_tree_reply(conn->xcb(), xcb_query_tree(conn->xcb(), parent), nullptr);
            for (int i = 0; tree && i < xcb_query_tree_children_length(tree) && !found.exists; ++i) {
                const xcb_window_t child = xcb_query_tree_children(tree)[i];
                const auto info = conn->windowInfo(child);
                if (info.viewable && app && info.processID == app->pid() && isBar(info)) found = info;
                else if (depth > 0) self(child, depth - 1, self);
            }
            std::free(tree);
        };
        walk(conn->root(), 1, walk);
        return found;
    }

public:
    void restore();
    void fullScreen();
    void settingsPlacement();
    void startMenu();
    void dock();
    void shortcut();
    void launchRunning(bool minimised);
    void launchShown() { launchRunning(false); }
    void launchMinimised() { launchRunning(true); }

private:
    std::unique_ptr<ManagerSession> session_;
    bool backendInstalled_ = false;
};

// A minimised window comes back within the write's own wait, and so do the
// windows of an application shown again; some managers ignore a map request
// for a minimised window, or let it spoil the activation after it. Checked
// through the live backend of this process.
void ManagerTest::restore() {
    ASSERT_EQ(installLiveBackend(home.path()), "");
    backendInstalled_ = true;
    conn->setDispatcher(platform::installed().dispatcher);
    Terminal& terminal = this->terminal("80x24+200+200");
    const xcb_window_t window = terminal.window;
    const ax::Element w = x11::X11Accessibility(conn).windowElement(window, terminal.pid());
    ASSERT_EQ(ax::api().setAttribute(w, names::minimized, true), ax::Error::success);
    ASSERT_TRUE(conn->waitUntil([&] { return !shown(window); }, patience));
    EXPECT_EQ(ax::api().setAttribute(w, names::minimized, false), ax::Error::success)
        << "the manager did not restore the window while the write waited";
    EXPECT_TRUE(conn->waitUntil([&] { return shown(window); }, patience));

    const std::int32_t pid = terminal.pid();
    // The backend's own view has the window back before it hides it again.
    ASSERT_TRUE(pumpUntil(
        [&] {
            ax::Value v;
            return ax::api().copyAttribute(w, names::minimized, v) == ax::Error::success && !ax::as<bool>(v).value_or(true);
        },
        patience));
    ASSERT_TRUE(pumpUntil([&] { return workspace().hide(pid); }, patience));
    ASSERT_TRUE(conn->waitUntil([&] { return !shown(window); }, patience));
    // The backend follows up an unanswered request on the main queue.
    ASSERT_TRUE(workspace().unhide(pid));
    EXPECT_TRUE(pumpUntil([&] { return shown(window); }, patience)) << "the manager kept the hidden window away";
    // Shown again before the manager has finished hiding it.
    ASSERT_TRUE(workspace().hide(pid));
    ASSERT_TRUE(workspace().unhide(pid));
    EXPECT_TRUE(pumpUntil([&] { return shown(window); }, patience)) << "the manager kept away a window shown again at once";
}

// A window going full screen hides the bar and leaving it brings the bar
// back, reserving the bottom again: KWin holds a shown bar's frame at the
// top left for a moment, and a strip reserved from there stayed at the top.
void ManagerTest::fullScreen() {
    Terminal& t = terminal("80x24+100+100");
    auto* e = conn->ewmh();
    // KWin's transient position came in about half the exits; elsewhere one round shows it.
    const int rounds = is("kwin") || is("mutter") ? 4 : 1;
    for (int round = 0; round < rounds; ++round) {
        setWindowState(*conn, t.window, true, e->_NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE, 1);
        // Within the full-screen poll, whether a state change or the poll notices it.
        ASSERT_TRUE(conn->waitUntil([&] { return !bar().exists; }, patience))
            << "round " << round << ": the bar stayed (window full screen: "
            << conn->windowInfo(t.window).hasState(e->_NET_WM_STATE_FULLSCREEN) << ", frame "
            << conn->windowInfo(t.window).frame().width() << "x" << conn->windowInfo(t.window).frame().height() << ")";
        setWindowState(*conn, t.window, false, e->_NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE, 1);
        ASSERT_TRUE(conn->waitUntil([&] { return bar().exists; }, patience)) << "round " << round << ": no bar came back";
        EXPECT_TRUE(conn->waitUntil([&] { return reservesTheBottom(); }, patience))
            << "round " << round << ": the strut is not at the bottom (top " << strut()[2] << ", bottom " << strut()[3]
            << ")";
    }
}

// The settings window is centred with the frame its manager gives it, also
// when that frame is told only after the window is up (checked where the
// manager leaves the placing to it: all but herbstluftwm); tiling managers
// float it at no less than its minimum size.
void ManagerTest::settingsPlacement() {
    const auto settings = openSettingsFromBar(false);
    ASSERT_TRUE(settings.exists) << "\"Settings…\" opened no window";
    auto offCentre = [&] {
        const Rect f = conn->windowInfo(settings.window).frame();
        // On the display (the bar's own strip is not taken from it), or on
        // the work area above the bar.
        return std::max(std::abs(f.midX() - x11test::Session::width / 2.0),
                        std::min(std::abs(f.midY() - x11test::Session::height / 2.0), std::abs(f.midY() - barTop / 2.0)));
    };
    if (!is("herbstluftwm")) {
        EXPECT_TRUE(conn->waitUntil([&] { return offCentre() <= 2; }, patience)) << offCentre() << " px off centre";
    }
    auto size = [&] { return conn->windowInfo(settings.window).clientArea.size; };
    if (is("i3") || is("herbstluftwm")) {
        EXPECT_TRUE(conn->waitUntil([&] { return size().width >= 720 && size().height >= 470; }, patience))
            << "tiled to " << size().width << "x" << size().height;
    }
}

// The start button's first click over another application's window opens
// the menu above the button with the keyboard, and it stays open: a menu
// the manager took first and let go of again handed that window the
// activation (i3, herbstluftwm), or was left at the top-left (herbstluftwm),
// or opened at the bottom while awesome had put the bar at the top.
void ManagerTest::startMenu() {
    Terminal& t = terminal("80x24+100+100");
    ASSERT_TRUE(conn->waitUntil([&] { return keyboardFocus(*conn) == t.window; }, patience));
    pointAtBar(20);
    xdotool({"click", "1"});
    auto menu = [&] { return startMenuOf(*conn, app->pid()); };
    ASSERT_TRUE(conn->waitUntil([&] { return menu().exists && keyboardFocus(*conn) == menu().window; }, patience))
        << "the first click opened no menu with the keyboard";
    const xcb_window_t opened = menu().window;
    EXPECT_FALSE(conn->waitUntil([&] { return keyboardFocus(*conn) != opened; }, 1.0))
        << "the menu lost the keyboard to " << keyboardFocus(*conn);
    // Beside the bar where the manager put it: awesome moves it below its
    // own panel at the top.
    const Rect f = conn->windowInfo(opened).frame(), b = bar().frame();
    const bool barAtTop = b.midY() < x11test::Session::height / 2.0;
    EXPECT_TRUE(f.minX() >= b.minX() && f.minX() < b.minX() + 40 &&
                (barAtTop ? f.minY() >= b.maxY() - 1 && f.minY() <= b.maxY() + 40
                          : f.maxY() <= b.minY() + 1 && f.maxY() >= b.minY() - 40))
        << "start menu at " << f.minX() << "," << f.minY() << ", bar at " << b.minX() << "," << b.minY();
}

// A bar is a dock: no title bar, nothing it is transient for, its strip
// at the bottom even under a manager that places dialogs itself, and its
// whole frame on the display under a manager whose stock configuration
// frames every dock (fvwm gives tint2 a title bar too).
void ManagerTest::dock() {
    auto undecorated = [&] {
        const auto b = bar();
        // A border is the manager's look; a title bar is not for a dock.
        return b.exists && (is("fvwm") || (b.decoration.top < 4 && b.decoration.bottom < 4));
    };
    EXPECT_TRUE(conn->waitUntil(undecorated, patience))
        << "decoration top " << bar().decoration.top << ", at y " << bar().frame().minY();
    auto onScreen = [&] { return bar().frame().minY() >= 0 && bar().frame().maxY() <= x11test::Session::height; };
    EXPECT_TRUE(conn->waitUntil(onScreen, patience))
        << "frame from y " << bar().frame().minY() << " to " << bar().frame().maxY();
    // Qt marks the bar transient as it maps it; the hint goes right after.
    EXPECT_TRUE(conn->waitUntil(
        [&] { return cardinals(bar().window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW).empty(); }, patience))
        << "the bar is marked transient";
}

// The default start-menu shortcut, registered as at start-up, is in force
// where presses of it reach us, and otherwise refused with the log line and
// the General pane's warning: mutter and icewm grab the Super key alone, so
// while it is held every key goes to them although our own grab of the
// combination is granted; awesome holds the combination itself. fvwm takes
// the right-hand Super key alone, which leaves the left one working.
void ManagerTest::shortcut() {
    auto log = std::make_shared<RecordingLog>();
    ASSERT_EQ(installLiveBackend(home.path(), [&](platform::Services& s) { s.log = log; }), "");
    backendInstalled_ = true;
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    int opened = 0;
    monitor.start([&] { ++opened; }, [] {});
    const bool inForce = monitor.registerCombo(services::HotKeyCombo::defaultStartMenu(), true, false);
    monitor.setLastRegistrationFailed(!inForce);
    GeneralPane pane;
    pane.show();
    if (is("openbox") || is("fvwm")) {
        EXPECT_TRUE(inForce);
        EXPECT_TRUE(log->all().isEmpty()) << log->all().join(u'\n').toStdString();
        EXPECT_FALSE(pane.shortcutWarning()->isVisible());
        ASSERT_TRUE(xdotool({"key", "super+space"}));
        EXPECT_TRUE(pumpUntil([&] { return opened == 1; })) << "the press never reached the shortcut";
    } else {
        EXPECT_FALSE(inForce) << "registered, but the manager takes its presses first";
        EXPECT_EQ(log->all().join(u'\n').toStdString(), "Quorvel: xcb_grab_key 失败 (-9878) for Super+Space");
        EXPECT_TRUE(pane.shortcutWarning()->isVisible()) << "the General pane shows no \"in use\" warning";
    }
    monitor.stop();
}

// Choosing in the start menu an application that runs already brings its
// window forward, a minimised one too. The window the person last typed in
// keeps the focus from a request without a time (mutter, openbox), and the
// focus the closing menu gave back could win over the activation.
void ManagerTest::launchRunning(bool minimised) {
    Terminal& t = terminal("80x24+300+100");
    OwnWindow other(500, 300, 200, 150);
    ASSERT_TRUE(waitForClient(*conn, other.window()));
    if (minimised) conn->askToMinimize(t.window);
    activateWindow(*conn, other.window());
    ASSERT_TRUE(conn->waitUntil(
        [&] { return conn->activeWindow() == other.window() && shown(t.window) != minimised; }, patience));
    // The person has just typed in the other window.
    xcb_ewmh_set_wm_user_time(conn->ewmh(), other.window(), conn->serverTime());
    conn->flush();
    auto menu = [&] { return startMenuOf(*conn, app->pid()); };
    pointAtBar(20);
    ASSERT_TRUE(repeatUntil([] { xdotool({"click", "1"}); },
                            [&] { return menu().exists && keyboardFocus(*conn) == menu().window; }));
    xdotool({"type", "--delay", "30", "quorvel fixture"});
    xdotool({"key", "Return"});
    EXPECT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == t.window && shown(t.window); }, patience))
        << "active window " << conn->activeWindow() << ", the application's " << t.window;
}

TEST_P(ManagerTest, Behaves) {
    // Restoring and the shortcut are checked through this process's backend
    // alone. The others start from a bar that reserves its strip, which is
    // also when the start button takes a click as the person's first.
    if (GetParam().run != &ManagerTest::restore && GetParam().run != &ManagerTest::shortcut) {
        ASSERT_TRUE(launch()) << "no bar appeared";
        ASSERT_TRUE(conn->waitUntil([&] { return reservesTheBottom(); }, patience)) << "bottom strut " << strut()[3];
    }
    (this->*GetParam().run)();
}

std::vector<ManagerCase> managerCases() {
    std::vector<ManagerCase> cases;
    const auto add = [&](const char* check, void (ManagerTest::*run)(), std::initializer_list<const char*> managers) {
        for (const char* manager : managers) cases.push_back({check, manager, run});
    };
    add("Restore", &ManagerTest::restore, {"mutter", "jwm", "fvwm"});
    add("FullScreen", &ManagerTest::fullScreen, {"mutter", "kwin", "fluxbox", "icewm", "jwm"});
    add("SettingsWindow", &ManagerTest::settingsPlacement, {"jwm", "i3", "herbstluftwm"});
    add("StartMenu", &ManagerTest::startMenu, {"i3", "herbstluftwm", "jwm"});
    add("Dock", &ManagerTest::dock, {"awesome", "fvwm"});
    add("Shortcut", &ManagerTest::shortcut, {"mutter", "icewm", "awesome", "openbox", "fvwm"});
    add("LaunchRunning", &ManagerTest::launchShown, {"openbox", "mutter"});
    add("LaunchMinimised", &ManagerTest::launchMinimised, {"openbox"});
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Managers, ManagerTest, ::testing::ValuesIn(managerCases()),
                         [](const ::testing::TestParamInfo<ManagerCase>& info) {
                             return std::string(info.param.check) + "_" + info.param.manager;
                         });

}  // namespace
