// The settings window on a live X11 desktop, driven as a person would: opened
// from the bar's menu, a new start-menu shortcut recorded with real key
// presses, and the shortcut still in force after the program restarts; a
// running xterm hidden from the bar in the Task Bar pane and restored.
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "platform/x11/x11_connection.h"
#include "x11_program.h"
#include "x11_top_levels.h"

using namespace platform;
using namespace x11test;

namespace {

class X11SettingsTest : public ProgramTest {
protected:
    bool startMenuOpen() { return app && startMenuOf(*conn, app->pid()).exists; }
    // Presses a shortcut once it is grabbed (waiting at most `seconds` for
    // the grab); true when the start menu opened (it is closed again). A
    // grab just taken may not be tied to the menu yet, so it is pressed again
    // while the menu stays closed, for at most `seconds`.
    bool shortcutOpensStartMenu(const std::string& keys, double seconds = patience) {
        waitForShortcut(keys, true, seconds);
        QElapsedTimer t;
        t.start();
        bool opened = false;
        while (!opened && t.elapsed() < seconds * 1000) {
            xdotool({"key", keys});
            opened = conn->waitUntil([&] { return startMenuOpen(); }, std::min(patience / 3, seconds));
        }
        if (opened) {
            xdotool({"key", "Escape"});
            conn->waitUntil([&] { return !startMenuOpen(); }, patience);
        }
        return opened;
    }
    // Records a shortcut in the General pane: the focus goes from the sidebar
    // through the rows to the recorder, then the keys are pressed.
    void recordStartMenuShortcut(const std::string& keys) {
        for (int i = 0; i < 5; ++i) xdotool({"key", "Tab"});
        xdotool({"key", keys});
    }
};

TEST_F(X11SettingsTest, OpensFromTheBarCentredAndRecordsAStartMenuShortcutThatSurvivesARestart) {
    ASSERT_TRUE(launch()) << "no bar appeared";

    x11::WindowInfo settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists) << "the bar's \"Settings…\" opened no settings window";
    // Centred, title bar included, in the display's visible frame as the
    // desktop reports it: the whole display, the work area above the bar once
    // the window manager has published it, or between while the bar's strut
    // is still arriving.
    // The manager may still be placing the window when it becomes active.
    const double displayMiddle = x11test::Session::height / 2.0, workAreaMiddle = barTop / 2.0;
    const auto frame = [&] { return conn->windowInfo(settings.window).frame(); };
    auto centred = [&] {
        const Rect f = frame();
        return std::abs(f.midX() - x11test::Session::width / 2.0) <= 3 && f.midY() >= workAreaMiddle - 3 &&
               f.midY() <= displayMiddle + 3;
    };
    EXPECT_TRUE(conn->waitUntil(centred, patience))
        << "frame " << frame().minX() << "," << frame().minY() << " size " << frame().width() << "x" << frame().height();
    EXPECT_EQ(conn->activeWindow(), settings.window);

    // A first shortcut, then a second: the second opens the start menu and
    // the first no longer does.
    recordStartMenuShortcut("ctrl+alt+j");
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+j")) << "the recorded Control-Alt-J does not open the start menu";

    settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists);
    recordStartMenuShortcut("ctrl+alt+k");
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+k")) << "the recorded Control-Alt-K does not open the start menu";
    EXPECT_TRUE(waitForShortcut("ctrl+alt+j", false)) << "the replaced shortcut is still grabbed";
    EXPECT_FALSE(shortcutOpensStartMenu("ctrl+alt+j", 3.0)) << "the replaced shortcut still opens the start menu";

    // After a restart the stored shortcut is in force again.
    ASSERT_TRUE(launch()) << "no bar after the restart";
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+k")) << "the shortcut did not survive the restart";
    EXPECT_FALSE(shortcutOpensStartMenu("ctrl+alt+j", 3.0));
}

// The first task button's place on the bar, after the start button: while
// it shows a button, its icon and name stand out from the bar's background.
bool firstTaskButtonShown(x11::Connection& conn) {
    const QImage strip = screenImage(conn.xcb(), conn.root(), QRect(50, barTop + 4, 56, barHeight - 8));
    const QImage background = screenImage(conn.xcb(), conn.root(), QRect(600, barTop + 41, 1, 1));
    if (strip.isNull() || background.isNull()) return false;
    const int ground = qGray(background.pixel(0, 0));
    int marks = 0;
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            if (std::abs(qGray(strip.pixel(x, y)) - ground) > 40) ++marks;
    return marks > 30;
}

TEST_F(X11SettingsTest, HidingARunningAppInTheTaskBarPaneTakesItsButtonOffTheBarAndRestoringBringsItBack) {
    terminal("80x24+40+40", "hidden-app-test");
    ASSERT_TRUE(launch()) << "no bar appeared";
    xdotool({"mousemove", "640", "300"});  // no hover look on the bar
    ASSERT_TRUE(conn->waitUntil([&] { return firstTaskButtonShown(*conn); }, patience)) << "xterm has no task button";

    const x11::WindowInfo settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists) << "the bar's \"Settings…\" opened no settings window";
    auto titled = [&](const char* title) {
        return conn->waitUntil([&] { return conn->windowInfo(settings.window).title == QString::fromUtf8(title); },
                               patience);
    };
    // The sidebar has the focus: two rows down is the Task Bar pane.
    xdotool({"key", "Down"});
    xdotool({"key", "Down"});
    ASSERT_TRUE(titled("Task Bar")) << "the sidebar did not select the Task Bar pane";

    // Backwards from the sidebar the focus wraps to the pane's last control,
    // "Hide an app…"; its menu lists the running xterm alone.
    xdotool({"key", "shift+Tab"});
    xdotool({"key", "space"});
    ASSERT_TRUE(conn->waitUntil([&] { return !popups().empty(); }, patience)) << "the \"Hide an app…\" menu did not open";
    xdotool({"key", "Down"});
    xdotool({"key", "Return"});
    EXPECT_TRUE(conn->waitUntil([&] { return !firstTaskButtonShown(*conn); }, patience))
        << "hiding xterm leaves its task button on the bar";
    EXPECT_TRUE(conn->windowInfo(terminals.front()->window).viewable) << "hiding it in the bar touches no window";

    // Its row in the hidden list comes after the menu's button: its remove
    // button restores it.
    xdotool({"key", "Tab"});
    xdotool({"key", "space"});
    EXPECT_TRUE(conn->waitUntil([&] { return firstTaskButtonShown(*conn); }, patience))
        << "restoring xterm does not bring its task button back";
}

// The bar height chosen in the Appearance pane: the real bar takes the new
// height, and a maximised window ends at the new bar top.
TEST_F(X11SettingsTest, BarHeightFromTheAppearancePaneResizesTheBarAndMaximisedWindows) {
    auto terminal = openTerminal(*conn, "80x24+40+40");
    ASSERT_TRUE(terminal) << "no xterm";
    ASSERT_TRUE(launch()) << "no bar appeared";
    auto* e = conn->ewmh();
    // The first start asks nothing, so the bar can still be reserving its
    // strip: maximise once the manager's work area ends at the bar.
    ASSERT_TRUE(conn->waitUntil([&] { return workAreaEndsAtBar(); }, patience)) << "the bar's strip is never reserved";
    setWindowState(*conn, terminal->window, true, e->_NET_WM_STATE_MAXIMIZED_VERT, e->_NET_WM_STATE_MAXIMIZED_HORZ);
    // xterm takes whole rows, so it may end a little above the bar. When the
    // bar grows, its check of window frames can reach the window before the
    // manager has maximised it again to the new work area; it then reshapes
    // the window itself, and xterm's row rounding can leave up to 3 points
    // lower than asked.
    const auto endsAtBar = [&](double top) {
        const auto info = conn->windowInfo(terminal->window);
        const double bottom = info.frame().maxY();
        return bottom <= top + 1 && bottom > top - 14 && info.hasState(e->_NET_WM_STATE_MAXIMIZED_VERT);
    };
    ASSERT_TRUE(conn->waitUntil([&] { return endsAtBar(barTop); }, patience));

    ASSERT_TRUE(openSettingsFromBar().exists) << "the bar's \"Settings…\" opened no settings window";
    // From the sidebar down to Appearance, on to its first row, the height picker.
    xdotool({"key", "Down"});
    xdotool({"key", "Tab"});
    struct Step {
        const char* key;
        double height;
    };
    // Short, back to medium, tall: each one row along the picker.
    for (const Step step : {Step{"Up", 34}, Step{"Down", 44}, Step{"Down", 54}}) {
        SCOPED_TRACE(step.height);
        xdotool({"key", step.key});
        const double top = x11test::Session::height - step.height;
        EXPECT_TRUE(conn->waitUntil([&] {
            const auto b = bar();
            return b.exists && b.frame() == Rect(0, top, x11test::Session::width, step.height);
        }, patience)) << "bar " << bar().frame().minY() << " + " << bar().frame().height();
        EXPECT_TRUE(conn->waitUntil([&] { return endsAtBar(top); }, patience))
            << "the maximised window ends at " << conn->windowInfo(terminal->window).frame().maxY() << ", maximised "
            << conn->windowInfo(terminal->window).hasState(e->_NET_WM_STATE_MAXIMIZED_VERT);
    }
}

// With the settings window open, the start button and the start-menu
// shortcut open the menu (it keeps the focus, it is not brought forward and
// closed again by the settings window), and Escape gives the focus back to
// the window that had it; reopened from another desktop, it comes there.
TEST_F(X11SettingsTest, StartMenuOpensOverAnOpenSettingsWindowAndGivesTheFocusBack) {
    writeSettings("<key>startMenuHotKeyCombo</key><string>49:6144</string>\n"
                  "<key>dockSetupCompleted</key><true/>\n<key>launcherPinsSeeded</key><true/>");
    Terminal& other = terminal("80x24+600+40", "focused-app");
    ASSERT_TRUE(launch()) << "no bar appeared";
    const x11::WindowInfo settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists) << "the bar's \"Settings…\" opened no settings window";
    const auto menu = [&] { return startMenuOf(*conn, app->pid()); };
    const auto focus = [&] { return keyboardFocus(*conn); };
    const std::string barMiddle = std::to_string(barTop + barHeight / 2);
    struct Case {
        const char* what;
        xcb_window_t focused;
        bool startButton;
    } cases[] = {
        {"settings focused, shortcut", settings.window, false},
        {"another application focused, shortcut", other.window, false},
        {"another application focused, start button", other.window, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(xdotool({"windowactivate", "--sync", std::to_string(c.focused)}));
        ASSERT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == c.focused; }, patience));
        const auto press = [&] {
            if (c.startButton) {
                xdotool({"mousemove", "24", barMiddle});
                xdotool({"click", "1"});
            } else {
                xdotool({"key", "ctrl+alt+space"});
            }
        };
        ASSERT_TRUE(repeatUntil(press, [&] { return menu().exists && focus() == menu().window; }))
            << "the menu did not open with the focus; focus on " << focus();
        // It stays open: the settings window does not take the focus from it.
        // (A slow machine may still be replacing the panel of an earlier press:
        // the focus staying on a start-menu window is what counts.)
        EXPECT_FALSE(conn->waitUntil([&] { return conn->windowInfo(focus()).title != "Quorvel Start"; }, 1.0))
            << "the menu lost the focus to " << focus() << " \"" << conn->windowInfo(focus()).title.toStdString() << '"';
        xdotool({"key", "Escape"});
        EXPECT_TRUE(conn->waitUntil([&] { return !menu().exists; }, patience)) << "Escape leaves the menu open";
        EXPECT_TRUE(conn->waitUntil([&] { return focus() == c.focused; }, patience))
            << "the focus went to " << focus() << ", not back to " << c.focused;
    }

    // "Settings…" from a bar on another virtual desktop brings the open
    // window to that desktop, in front and focused.
    ASSERT_TRUE(xdotool({"set_desktop", "2"}));
    ASSERT_TRUE(conn->waitUntil([&] { return conn->currentDesktop() == 2; }, patience));
    const x11::WindowInfo reopened = openSettingsFromBar();
    ASSERT_TRUE(reopened.exists) << "the settings window stayed on its desktop, unseen";
    EXPECT_EQ(conn->windowInfo(reopened.window).desktop.value_or(0), 2u);
    EXPECT_EQ(conn->activeWindow(), reopened.window);
}

}  // namespace
