// The settings window on a live X11 desktop, driven as a person would: opened
// from the bar's menu, a new start-menu shortcut recorded with real key
// presses, and the shortcut still in force after the program restarts.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/x11/x11_connection.h"
#include "x11_session.h"

using namespace platform;
using namespace x11test;

namespace {

constexpr double barHeight = 44;  // the medium bar, the default
constexpr double barTop = x11test::Session::height - barHeight;

class X11SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x11test::Session::shared().isRunning());
        conn = x11::Connection::open(QString::fromStdString(x11test::Session::shared().display()), nullptr);
        ASSERT_TRUE(conn);
        ASSERT_TRUE(home.isValid());
    }
    void TearDown() override {
        if (app) app->stop();
    }
    std::string binary() {
        char self[4096] = {};
        if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return {};
        std::string path(self);
        return path.substr(0, path.rfind('/')) + "/../quorvel";
    }
    bool launch() {
        if (app) app->stop();
        app = std::make_unique<Child>();
        const std::string h = home.path().toStdString();
        if (!app->start({binary()}, x11test::Session::shared().display(), -1, -1,
                        {"QT_QPA_PLATFORM=xcb", "QUORVEL_HOME=" + h, "XDG_CONFIG_HOME=" + h + "/config",
                         "XDG_DATA_HOME=" + h + "/data", "XDG_RUNTIME_DIR=" + h}))
            return false;
        // The bar, and a moment for the shortcuts to be grabbed.
        const bool up = conn->waitUntil([&] { return find([&](const x11::WindowInfo& i) { return isBar(i); }).exists; }, 20.0);
        pumpFor(1.0);
        return up;
    }
    bool isBar(const x11::WindowInfo& i) { return i.hasType(conn->ewmh()->_NET_WM_WINDOW_TYPE_DOCK); }
    bool isSettings(const x11::WindowInfo& i) {
        return !isBar(i) && (i.title == QStringLiteral("General") || i.title == QStringLiteral("通用"));
    }
    // A viewable window of the program that matches.
    x11::WindowInfo find(const std::function<bool(const x11::WindowInfo&)>& match) {
        for (const auto& info : conn->windowInfos(conn->clientList()))
            if (app && info.pid == app->pid() && info.viewable && match(info)) return info;
        return {};
    }
    // The start menu: a window of the program that is neither a bar nor the settings.
    bool startMenuOpen() {
        return find([&](const x11::WindowInfo& i) { return !isBar(i) && !isSettings(i); }).exists;
    }
    // Presses a shortcut; true when the start menu opened (it is closed again).
    bool shortcutOpensStartMenu(const std::string& keys) {
        xdotool({"key", keys});
        const bool opened = conn->waitUntil([&] { return startMenuOpen(); }, 3.0);
        if (opened) {
            xdotool({"key", "Escape"});
            if (!conn->waitUntil([&] { return !startMenuOpen(); }, 3.0)) xdotool({"key", keys});
            conn->waitUntil([&] { return !startMenuOpen(); }, 3.0);
        }
        return opened;
    }
    // Opens the settings from the bar's context menu; the window's info.
    x11::WindowInfo openSettingsFromBar() {
        xdotool({"mousemove", "700", std::to_string(int(barTop + barHeight / 2))});
        xdotool({"click", "3"});
        pumpFor(0.5);
        xdotool({"key", "Down"});
        xdotool({"key", "Return"});
        x11::WindowInfo settings;
        conn->waitUntil([&] {
            settings = find([&](const x11::WindowInfo& i) { return isSettings(i); });
            return settings.exists && conn->activeWindow() == settings.window;
        }, 10.0);
        pumpFor(0.5);
        return find([&](const x11::WindowInfo& i) { return isSettings(i); });
    }
    // Records a shortcut in the General pane: the focus goes from the sidebar
    // through the rows to the recorder, then the keys are pressed.
    void recordStartMenuShortcut(const std::string& keys) {
        for (int i = 0; i < 5; ++i) xdotool({"key", "Tab"});
        pumpFor(0.3);
        xdotool({"key", keys});
        pumpFor(0.5);
    }

    std::shared_ptr<x11::Connection> conn;
    QTemporaryDir home;
    std::unique_ptr<Child> app;
};

TEST_F(X11SettingsTest, OpensFromTheBarCentredAndRecordsAStartMenuShortcutThatSurvivesARestart) {
    ASSERT_TRUE(launch()) << "no bar appeared";

    x11::WindowInfo settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists) << "the bar's \"Settings…\" opened no settings window";
    // Centred, title bar included, in the display's visible frame as the
    // desktop reports it: the whole display, the work area above the bar once
    // the window manager has published it, or between while the bar's strut
    // is still arriving.
    const Rect f = settings.frame();
    const double displayMiddle = x11test::Session::height / 2.0, workAreaMiddle = barTop / 2.0;
    EXPECT_NEAR(f.midX(), x11test::Session::width / 2.0, 3) << f.minX() << " " << f.width();
    EXPECT_TRUE(f.midY() >= workAreaMiddle - 3 && f.midY() <= displayMiddle + 3)
        << "frame " << f.minY() << " + " << f.height();
    EXPECT_EQ(conn->activeWindow(), settings.window);

    // A first shortcut, then a second: the second opens the start menu and
    // the first no longer does.
    recordStartMenuShortcut("ctrl+alt+j");
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+j")) << "the recorded Control-Alt-J does not open the start menu";

    settings = openSettingsFromBar();
    ASSERT_TRUE(settings.exists);
    recordStartMenuShortcut("ctrl+alt+k");
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+k")) << "the recorded Control-Alt-K does not open the start menu";
    EXPECT_FALSE(shortcutOpensStartMenu("ctrl+alt+j")) << "the replaced shortcut still opens the start menu";

    // After a restart the stored shortcut is in force again.
    ASSERT_TRUE(launch()) << "no bar after the restart";
    EXPECT_TRUE(shortcutOpensStartMenu("ctrl+alt+k")) << "the shortcut did not survive the restart";
    EXPECT_FALSE(shortcutOpensStartMenu("ctrl+alt+j"));
}

}  // namespace

namespace {

// The bar height chosen in the Appearance pane: the real bar takes the new
// height, and a maximised window ends at the new bar top.
TEST_F(X11SettingsTest, BarHeightFromTheAppearancePaneResizesTheBarAndMaximisedWindows) {
    auto terminal = openTerminal(*conn, "80x24+40+40");
    ASSERT_TRUE(terminal) << "no xterm";
    ASSERT_TRUE(launch()) << "no bar appeared";
    auto* e = conn->ewmh();
    conn->sendRootMessage(terminal->window, e->_NET_WM_STATE, XCB_EWMH_WM_STATE_ADD, e->_NET_WM_STATE_MAXIMIZED_VERT,
                          e->_NET_WM_STATE_MAXIMIZED_HORZ, 2);
    conn->flush();
    const auto bar = [&] { return find([&](const x11::WindowInfo& i) { return isBar(i); }); };
    // xterm takes whole rows, so it may end a little above the bar. When the
    // bar grows, its check of window frames can reach the window before the
    // manager has maximised it again to the new work area; it then reshapes
    // the window itself, and xterm's row rounding can leave up to 3 points
    // lower than asked.
    const auto endsAtBar = [&](double top) {
        const double bottom = conn->windowInfo(terminal->window).frame().maxY();
        return bottom <= top + 4 && bottom > top - 14;
    };
    ASSERT_TRUE(conn->waitUntil([&] { return endsAtBar(barTop); }, 10.0));

    ASSERT_TRUE(openSettingsFromBar().exists) << "the bar's \"Settings…\" opened no settings window";
    // From the sidebar down to Appearance, on to its first row, the height picker.
    xdotool({"key", "Down"});
    pumpFor(0.5);
    xdotool({"key", "Tab"});
    pumpFor(0.3);
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
        }, 10.0)) << "bar " << bar().frame().minY() << " + " << bar().frame().height();
        EXPECT_TRUE(conn->waitUntil([&] { return endsAtBar(top); }, 10.0))
            << "the maximised window ends at " << conn->windowInfo(terminal->window).frame().maxY() << ", maximised "
            << conn->windowInfo(terminal->window).hasState(e->_NET_WM_STATE_MAXIMIZED_VERT);
    }
}

}  // namespace
