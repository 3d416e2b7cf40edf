// Our own bar panels on a live X11 desktop: a frameless, always-on-top,
// never-focused top-level window of ours becomes a dock on every desktop.
// Qt must run on the X server for that, so a helper process of this test
// executable shows the panel with Qt's xcb platform while the test watches.
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_window_server.h"
#include "x11_session.h"

using namespace platform;
using namespace x11test;

namespace {

constexpr const char* childSwitch = "QUORVEL_X11_PANEL_CHILD";

// The helper: shows a panel and a plain window for a few seconds.
TEST(X11PanelChild, ShowPanel) {
    if (!std::getenv(childSwitch)) GTEST_SKIP() << "runs as the helper of X11PanelTest only";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QTemporaryDir prefs;
    ASSERT_EQ(installLiveBackend(prefs.path()), "");
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.setWindowTitle(QStringLiteral("panel"));
    panel.setGeometry(0, x11test::Session::height - 44, x11test::Session::width, 44);
    panel.show();
    QWidget plain;
    plain.setWindowTitle(QStringLiteral("plain"));
    plain.setGeometry(100, 100, 300, 200);
    plain.show();
    pumpFor(4 * patience);  // shown until the test, done with them, stops the helper
    platform::uninstall();
}

TEST(X11PanelTest, OwnPanelsBecomeDocksOnAllDesktops) {
    auto conn = x11test::openSessionConnection();
    ASSERT_TRUE(conn);
    Child helper;
    ASSERT_TRUE(startSelf(helper, "X11PanelChild.ShowPanel", {std::string(childSwitch) + "=1"}));
    auto* e = conn->ewmh();
    x11::WindowInfo panel, plain;
    ASSERT_TRUE(conn->waitUntil([&] {
        for (const auto& info : conn->windowInfos(conn->clientList())) {
            if (info.processID != helper.pid()) continue;
            if (info.title == QStringLiteral("panel")) panel = info;
            if (info.title == QStringLiteral("plain")) plain = info;
        }
        return panel.exists && plain.exists && panel.hasState(e->_NET_WM_STATE_SKIP_PAGER);
    }, patience)) << "the helper's panel was never announced";
    EXPECT_TRUE(panel.hasType(e->_NET_WM_WINDOW_TYPE_DOCK));
    EXPECT_EQ(panel.desktop, 0xffffffffu) << "on every desktop";
    EXPECT_TRUE(panel.hasState(e->_NET_WM_STATE_SKIP_TASKBAR));
    EXPECT_TRUE(panel.hasState(e->_NET_WM_STATE_SKIP_PAGER));
    EXPECT_NE(conn->activeWindow(), panel.window) << "a panel never takes the focus";
    EXPECT_EQ(panel.frame(), Rect(0, x11test::Session::height - 44, x11test::Session::width, 44));
    x11::X11WindowServer server(conn);
    EXPECT_EQ(server.layerOf(panel), x11::layers::dock);
    EXPECT_EQ(server.layerOf(plain), x11::layers::normal);
    EXPECT_FALSE(plain.hasType(e->_NET_WM_WINDOW_TYPE_DOCK));

    // A panel stays above a normal window that is raised.
    auto stackingIndex = [&](xcb_window_t w) {
        auto s = conn->clientListStacking();
        return std::find(s.begin(), s.end(), w) - s.begin();
    };
    activateWindow(*conn, plain.window);
    ASSERT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == plain.window; }, patience));
    EXPECT_GT(stackingIndex(panel.window), stackingIndex(plain.window));
    helper.stop();
}

}  // namespace
