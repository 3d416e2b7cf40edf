// The whole program on a live X11 desktop, checked from outside as a user's
// window manager sees it: the bar, windows kept off it, shortcuts, full
// screen and a clean exit on SIGTERM.
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdlib>
#include <string>
#include <gtest/gtest.h>

#include "platform/linux/plist_backend.h"
#include "platform/x11/x11_connection.h"
#include "x11_bare_client.h"
#include "x11_program.h"
#include "support/test_files.h"
#include "x11_top_levels.h"

using namespace platform;
using namespace x11test;

namespace {

class X11AppTest : public ProgramTest {
protected:
    Rect frameOf(xcb_window_t w) { return conn->windowInfo(w).frame(); }
};

TEST_F(X11AppTest, BarReservesItsStripKeepsWindowsOffItAndFollowsFullScreen) {
    Terminal& t = terminal("80x24+40+40");
    ASSERT_TRUE(launch()) << "no bar appeared";
    const auto b = bar();
    EXPECT_EQ(b.frame(), Rect(0, barTop, x11test::Session::width, barHeight)) << "a bar along the bottom edge";
    EXPECT_EQ(b.desktop, 0xffffffffu);
    auto* e = conn->ewmh();
    // Both forms: the bar's strip along the bottom, over the bar's width.
    const std::uint32_t reserved = std::uint32_t(barHeight);
    const std::vector<std::uint32_t> partial{0, 0, 0, reserved, 0, 0, 0, 0, 0, 0, 0, x11test::Session::width - 1};
    // Reserved before the bar is mapped, so no window is ever placed under a bar already there.
    EXPECT_EQ(cardinals(b.window, e->_NET_WM_STRUT_PARTIAL), partial) << "the bar was taken in without its strip";
    EXPECT_EQ(cardinals(b.window, e->_NET_WM_STRUT), (std::vector<std::uint32_t>{0, 0, 0, reserved}));
    // The manager's work area ends at the bar's top edge.
    EXPECT_TRUE(conn->waitUntil([&] { return workAreaEndsAtBar(); }, patience));

    // A maximised window stops at the bar by itself (xterm takes whole rows,
    // so it may end a little above) and stays maximised: the bar has nothing
    // to reshape, so un-maximising still restores its size.
    setWindowState(*conn, t.window, true, e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ);
    auto maximised = [&] { return isMaximised(*conn, t.window); };
    EXPECT_TRUE(conn->waitUntil([&] {
        const Rect f = frameOf(t.window);
        return maximised() && f.maxY() <= barTop + 1 && f.maxY() > barTop - 14 && f.width() > x11test::Session::width - 10;
    }, patience)) << "frame ends at " << frameOf(t.window).maxY();
    pumpFor(1.5);  // longer than the bar's checks of window frames
    EXPECT_TRUE(maximised()) << "the bar reshaped a maximised window";
    EXPECT_LE(frameOf(t.window).maxY(), barTop + 1);

    // A full-screen window hides the bar; leaving full screen shows it again.
    setWindowState(*conn, t.window, true, e->_NET_WM_STATE_FULLSCREEN);
    EXPECT_TRUE(conn->waitUntil([&] { return !bar().exists; }, patience)) << "the bar stays over a full-screen window";
    setWindowState(*conn, t.window, false, e->_NET_WM_STATE_FULLSCREEN);
    EXPECT_TRUE(conn->waitUntil([&] { return bar().exists; }, patience)) << "the bar does not come back";

    // A window that refuses to shrink, covering the display (at least 90% of
    // both sides) and reaching into the bar, is moved up.
    OwnWindow own(0, 50, x11test::Session::width - 2, 730, /*fixedSize=*/true);
    ASSERT_TRUE(waitForClient(*conn, own.window()));
    EXPECT_TRUE(conn->waitUntil([&] {
        Rect f = frameOf(own.window());
        return f.maxY() <= barTop + 1 && f.height() > 730;
    }, patience)) << "frame " << frameOf(own.window()).minY() << " .. " << frameOf(own.window()).maxY();
}

// Private resident memory of a process (kB): pages no other process maps.
struct PrivateMemory {
    long clean = 0;
    long dirty = 0;
};
PrivateMemory privateMemoryOf(pid_t pid) {
    PrivateMemory m;
    for (const QByteArray& line : readFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid)).split('\n')) {
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

TEST_F(X11AppTest, TaskButtonClickActivatesThenMinimisesAndTheShortcutMinimisesAll) {
    // Two applications (two xterms would be one).
    Terminal& a = terminal("80x24+40+40", "one", "XTerm1");
    Terminal& b = terminal("80x24+500+200", "two", "XTerm2");
    // A stored shortcut is kept as it is on this desktop too (the default,
    // Super+D, is openbox's own show-desktop key in its stock configuration).
    writeSettings("<key>minimizeAllHotKeyCombo</key><string>2:4096</string>");
    ASSERT_TRUE(launch()) << "no bar appeared";
    auto* e = conn->ewmh();
    auto hidden = [&](const Terminal& t) { return conn->windowInfo(t.window).hasState(e->_NET_WM_STATE_HIDDEN); };
    // The strip lists one button per running application in launch order,
    // after the start button: "one" then "two", each about 64 pixels wide.
    ASSERT_TRUE(waitForTaskButton(142)) << "the strip shows no button of \"two\"";
    // As a person would: the pointer arrives, then the button is pressed.
    xdotool({"mousemove", "142", std::to_string(int(barTop + barHeight / 2))});
    EXPECT_TRUE(repeatUntil([] { xdotool({"click", "1"}); }, [&] { return conn->activeWindow() == b.window; }))
        << "clicking the button of \"two\" does not activate it";
    // Waits out the double-click interval and the click intent's lifetime
    // (0.6 s), times the bar itself keeps: a press within them is no fresh
    // click on the active button.
    pumpFor(1.0);
    xdotool({"click", "1"});
    EXPECT_TRUE(conn->waitUntil([&] { return hidden(b); }, patience))
        << "clicking the active button does not minimise its window";

    // Control-D minimises every window.
    ASSERT_TRUE(waitForShortcut("ctrl+d"));
    xdotool({"key", "ctrl+d"});
    EXPECT_TRUE(conn->waitUntil([&] { return hidden(a) && hidden(b); }, patience));

    kill(app->pid(), SIGTERM);
    ASSERT_TRUE(app->waitForExit(patience)) << "SIGTERM does not end it";
    EXPECT_EQ(app->exitCode(), 0);
}

// A new user's first start: this desktop has no Dock, so nothing asks about
// one and the bar answers (how fast is for a benchmark, not a loaded test
// run). The start menu's first pins are this desktop's everyday
// applications: the user's defaults where set, else the first entry of each kind.
TEST_F(X11AppTest, FreshHomeStartAsksNothingPinsTheEverydayAppsAndTheBarAnswersAtOnce) {
    const QString apps = home.filePath("data/applications");
    QDir().mkpath(home.filePath("share"));
    const std::pair<QByteArray, QByteArray> entries[] = {
        {"a-browser", "Network;WebBrowser;"}, {"b-browser", "Network;WebBrowser;"}, {"files", "System;FileManager;"},
        {"a-editor", "Utility;TextEditor;"},  {"b-editor", "Utility;TextEditor;"},  {"console", "System;TerminalEmulator;"},
        {"game", "Game;"},
    };
    for (const auto& [id, categories] : entries)
        ASSERT_TRUE(writeFile(apps + "/" + id + ".desktop", "[Desktop Entry]\nType=Application\nName=" + id +
                                                                "\nExec=true " + id + "\nCategories=" + categories + "\n"));
    ASSERT_TRUE(writeFile(home.filePath("config/mimeapps.list"),
                          "[Added Associations]\ntext/plain=a-editor.desktop;\n"
                          "[Default Applications]\nx-scheme-handler/https=b-browser.desktop;\n"
                          "text/plain=gone.desktop;b-editor.desktop;\n"));

    ASSERT_TRUE(launch({"XDG_DATA_DIRS=" + home.path().toStdString() + "/share"})) << "no bar appeared";
    QStringList pins;
    EXPECT_TRUE(conn->waitUntil([&] {
        const auto values = platform::linux_backend::PlistFileBackend(home.path()).load("app.quorvel.Quorvel");
        pins = values.value("launcherPinnedPaths").toStringList();
        return values.value("launcherPinsSeeded").toBool();
    }, patience)) << "the pins were never seeded";
    EXPECT_EQ(pins, (QStringList{apps + "/b-browser.desktop", apps + "/files.desktop", apps + "/console.desktop",
                                 apps + "/b-editor.desktop"}));

    xdotool({"mousemove", "700", std::to_string(barTop + barHeight / 2)});
    xdotool({"click", "3"});
    EXPECT_TRUE(conn->waitUntil([&] { return !popups().empty(); }, patience)) << "no bar menu";
    xdotool({"key", "Escape"});
    conn->waitUntil([&] { return popups().empty(); }, patience);

    auto startMenu = [&] { return startMenuOf(*conn, app->pid()); };
    xdotool({"mousemove", "20", std::to_string(barTop + barHeight / 2)});
    EXPECT_TRUE(repeatUntil([] { xdotool({"click", "1"}); }, [&] { return startMenu().exists; })) << "no start menu";
    EXPECT_EQ(dialogOf(*conn, app->pid()), XCB_WINDOW_NONE) << "a dialog opened on the first start";

    // The start menu's default shortcut is Super+Space (Alt+Space is
    // openbox's window menu).
    xdotool({"key", "Escape"});
    ASSERT_TRUE(conn->waitUntil([&] { return !startMenu().exists; }, patience));
    EXPECT_TRUE(repeatUntil([] { xdotool({"key", "super+space"}); }, [&] { return startMenu().exists; }))
        << "Super+Space does not open the start menu";

    // A system-tray host that starts after the program still gets its
    // menu-bar item: the test becomes the host (owns the tray selection and
    // says so, as a panel does) and waits for the request to dock an icon.
    BareClient host;
    xcb_connection_t* c = host.connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root, owner = xcb_generate_id(c);
    const xcb_atom_t selection = host.atom("_NET_SYSTEM_TRAY_S0"), opcode = host.atom("_NET_SYSTEM_TRAY_OPCODE");
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_set_selection_owner(c, owner, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t announce{};
    announce.response_type = XCB_CLIENT_MESSAGE;
    announce.format = 32;
    announce.window = root;
    announce.type = host.atom("MANAGER");
    announce.data.data32[1] = selection;
    announce.data.data32[2] = owner;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&announce));
    xcb_flush(c);
    bool docked = false;
    EXPECT_TRUE(pumpUntil([&] {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(ev);
            // SYSTEM_TRAY_REQUEST_DOCK (0) with the icon's window.
            if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE && m->type == opcode && m->data.data32[1] == 0 &&
                m->data.data32[2] != XCB_WINDOW_NONE)
                docked = true;
            std::free(ev);
        }
        return docked;
    })) << "the program never asked the new tray host to dock its item";

    app->stop();
    EXPECT_FALSE(QFile::exists(home.filePath("com.apple.dock.plist"))) << "the Dock's settings were written";
    EXPECT_FALSE(readFile(home.filePath("app.quorvel.Quorvel.plist")).contains("dockSetupCompleted"));
}

}  // namespace
