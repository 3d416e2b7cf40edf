// The whole program on a live X11 desktop, checked from outside as a user's
// window manager sees it: the bar, windows kept off it, shortcuts, full
// screen and a clean exit on SIGTERM.
#include <QFile>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/x11/x11_connection.h"
#include "x11_program.h"

using namespace platform;
using namespace x11test;

namespace {

class X11AppTest : public ProgramTest {
protected:
    Rect frameOf(xcb_window_t w) { return conn->windowInfo(w).frame(); }
    void setState(xcb_window_t w, bool add, xcb_atom_t a, xcb_atom_t b = XCB_ATOM_NONE) {
        conn->sendRootMessage(w, conn->ewmh()->_NET_WM_STATE, add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, a,
                              b, 2);
        conn->flush();
    }
};

TEST_F(X11AppTest, BarKeepsWindowsOffItAndFollowsFullScreen) {
    Terminal& t = terminal("80x24+40+40");
    ASSERT_TRUE(launch()) << "no bar appeared";
    const auto b = bar();
    EXPECT_EQ(b.frame(), Rect(0, barTop, x11test::Session::width, barHeight)) << "a bar along the bottom edge";
    EXPECT_EQ(b.desktop, 0xffffffffu);

    // A maximised window is shrunk so that it ends at the bar's top edge
    // (xterm takes whole rows, so it may end a little above).
    auto* e = conn->ewmh();
    setState(t.window, true, e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ);
    EXPECT_TRUE(conn->waitUntil([&] {
        Rect f = frameOf(t.window);
        return f.maxY() <= barTop + 1 && f.maxY() > barTop - 14 && f.width() > x11test::Session::width - 10;
    }, patience)) << "frame " << frameOf(t.window).maxY();

    // A full-screen window hides the bar; leaving full screen shows it again.
    setState(t.window, true, e->_NET_WM_STATE_FULLSCREEN);
    EXPECT_TRUE(conn->waitUntil([&] { return !bar().exists; }, patience)) << "the bar stays over a full-screen window";
    setState(t.window, false, e->_NET_WM_STATE_FULLSCREEN);
    EXPECT_TRUE(conn->waitUntil([&] { return bar().exists; }, patience)) << "the bar does not come back";
}

TEST_F(X11AppTest, BarReservesItsStripSoMaximisedWindowsStayMaximised) {
    Terminal& t = terminal("80x24+40+40");
    ASSERT_TRUE(launch()) << "no bar appeared";
    const xcb_window_t barWindow = bar().window;
    auto* e = conn->ewmh();
    auto cardinals = [&](xcb_window_t w, xcb_atom_t atom) {
        std::vector<std::uint32_t> v;
        auto cookie = xcb_get_property(conn->xcb(), 0, w, atom, XCB_ATOM_CARDINAL, 0, 16);
        if (auto* r = xcb_get_property_reply(conn->xcb(), cookie, nullptr)) {
            auto* p = static_cast<const std::uint32_t*>(xcb_get_property_value(r));
            v.assign(p, p + xcb_get_property_value_length(r) / 4);
            std::free(r);
        }
        return v;
    };
    // Both forms: the bar's strip along the bottom, over the bar's width.
    const std::uint32_t reserved = std::uint32_t(barHeight);
    const std::vector<std::uint32_t> partial{0, 0, 0, reserved, 0, 0, 0, 0, 0, 0, 0, x11test::Session::width - 1};
    EXPECT_TRUE(conn->waitUntil([&] { return cardinals(barWindow, e->_NET_WM_STRUT_PARTIAL) == partial; }, patience));
    EXPECT_EQ(cardinals(barWindow, e->_NET_WM_STRUT), (std::vector<std::uint32_t>{0, 0, 0, reserved}));
    // The manager's work area ends at the bar's top edge.
    EXPECT_TRUE(conn->waitUntil([&] {
        auto area = cardinals(conn->root(), e->_NET_WORKAREA);
        return area.size() >= 4 && area[1] + area[3] == std::uint32_t(barTop);
    }, patience));

    // A maximised window stops at the bar by itself and stays maximised: the
    // bar has nothing to reshape, so un-maximising still restores its size.
    setState(t.window, true, e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ);
    auto maximised = [&] {
        auto info = conn->windowInfo(t.window);
        return info.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT) && info.hasState(e->_NET_WM_STATE_MAXIMIZED_HORZ);
    };
    EXPECT_TRUE(conn->waitUntil([&] { return maximised() && frameOf(t.window).maxY() <= barTop + 1; }, patience))
        << "frame ends at " << frameOf(t.window).maxY();
    pumpFor(1.5);  // longer than the bar's checks of window frames
    EXPECT_TRUE(maximised()) << "the bar reshaped a maximised window";
    EXPECT_LE(frameOf(t.window).maxY(), barTop + 1);
}

// Private resident memory of a process (kB): pages no other process maps.
struct PrivateMemory {
    long clean = 0;
    long dirty = 0;
};
PrivateMemory privateMemoryOf(pid_t pid) {
    PrivateMemory m;
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return m;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "Private_Clean:") m.clean = parts[1].toLong();
        if (parts[0] == "Private_Dirty:") m.dirty = parts[1].toLong();
    }
    return m;
}

TEST_F(X11AppTest, StartUpOnlyMemoryIsGivenBack) {
    for (int i = 0; i < 4; ++i) terminal("80x24+" + std::to_string(40 + 60 * i) + "+40");
    ASSERT_TRUE(launch()) << "no bar appeared";
    const PrivateMemory early = privateMemoryOf(app->pid());
    // Well after the bars settled, the code and data only the start-up used
    // (about 13 to 25 MiB of library pages no other process shares) no
    // longer stay resident; what the idle bar touches again is little.
    PrivateMemory settled;
    EXPECT_TRUE(pumpUntil(
        [&] {
            settled = privateMemoryOf(app->pid());
            return settled.clean < 4 * 1024;
        },
        patience))
        << "private clean pages " << early.clean << " kB -> " << settled.clean << " kB";
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A light panel keeps about 10 MiB of its own.
    EXPECT_LT(settled.clean + settled.dirty, 12 * 1024) << "private resident kB";
#endif
}

TEST_F(X11AppTest, WindowThatRefusesToShrinkIsMovedUp) {
    ASSERT_TRUE(launch()) << "no bar appeared";
    // Covers the display (at least 90% of both sides) and reaches into the bar.
    OwnWindow own(0, 50, x11test::Session::width - 2, 730, /*fixedSize=*/true);
    ASSERT_TRUE(waitForClient(*conn, own.window()));
    EXPECT_TRUE(conn->waitUntil([&] {
        Rect f = frameOf(own.window());
        return f.maxY() <= barTop + 1 && f.height() > 730;
    }, patience)) << "frame " << frameOf(own.window()).minY() << " .. " << frameOf(own.window()).maxY();
}

TEST_F(X11AppTest, TaskButtonClickActivatesThenMinimises) {
    terminal("80x24+40+40", "one");
    Terminal& b = terminal("80x24+500+200", "two");
    ASSERT_TRUE(launch()) << "no bar appeared";
    auto* e = conn->ewmh();
    // The strip lists one button per running application in launch order,
    // after the start button: "one" then "two", each about 64 pixels wide.
    const std::string x = "142", y = std::to_string(int(barTop + barHeight / 2));
    ASSERT_TRUE(waitForTaskButton(142)) << "the strip shows no button of \"two\"";
    // As a person would: the pointer arrives, then the button is pressed.
    // The first press on a freshly shown bar may not reach its button, so
    // press again (at most three times) while the window is not active yet.
    xdotool({"mousemove", x, y});
    bool active = false;
    for (int attempt = 0; attempt < 3 && !active; ++attempt) {
        xdotool({"click", "1"});
        active = conn->waitUntil([&] { return conn->activeWindow() == b.window; }, patience / 3);
    }
    EXPECT_TRUE(active) << "clicking the button of \"two\" does not activate it";
    // Past the double-click interval and the click intent, once the strip shows it active.
    pumpFor(1.0);
    xdotool({"click", "1"});
    EXPECT_TRUE(conn->waitUntil([&] { return conn->windowInfo(b.window).hasState(e->_NET_WM_STATE_HIDDEN); }, patience))
        << "clicking the active button does not minimise its window";
}

TEST_F(X11AppTest, MinimiseAllShortcutAndSigtermExit) {
    Terminal& a = terminal("80x24+40+40");
    Terminal& b = terminal("80x24+400+300");
    ASSERT_TRUE(launch()) << "no bar appeared";
    auto* e = conn->ewmh();
    // Control-D minimises every window.
    ASSERT_TRUE(waitForShortcut("ctrl+d"));
    xdotool({"key", "ctrl+d"});
    EXPECT_TRUE(conn->waitUntil([&] {
        return conn->windowInfo(a.window).hasState(e->_NET_WM_STATE_HIDDEN) &&
               conn->windowInfo(b.window).hasState(e->_NET_WM_STATE_HIDDEN);
    }, patience));

    const pid_t pid = app->pid();
    kill(pid, SIGTERM);
    int status = -1;
    bool ended = false;
    EXPECT_TRUE(pumpUntil([&] { return (ended = waitpid(pid, &status, WNOHANG) == pid); })) << "SIGTERM does not end it";
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
