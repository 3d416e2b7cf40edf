// Clients that name no process of this machine on a live desktop: programs
// that never set _NET_WM_PID (xcalc, xeyes) and clients of another host.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_client_groups.h"
#include "x11_bare_client.h"
#include "x11_session.h"

using namespace platform;
using namespace x11test;
namespace names = platform::ax::names;

namespace {

class X11ClientsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x11test::Session::shared().isRunning());
        ASSERT_EQ(installLiveBackend(prefs.path()), "");
        conn = openSessionConnection();
        ASSERT_TRUE(conn);
    }
    void TearDown() override { platform::uninstall(); }

    std::optional<RunningApplication> appNamed(const QString& bundleID) {
        for (const auto& app : workspace().runningApplications())
            if (app.bundleID == bundleID) return app;
        return std::nullopt;
    }
    ax::ElementList windowsOf(std::int32_t pid) {
        ax::Value v;
        if (ax::api().copyAttribute(ax::api().applicationElement(pid), names::windows, v) != ax::Error::success)
            return {};
        return ax::as<ax::ElementList>(v).value_or(ax::ElementList{});
    }
    bool gone(xcb_window_t w) {
        return conn->waitUntil([&] {
            auto list = conn->clientList();
            return std::find(list.begin(), list.end(), w) == list.end();
        }, patience);
    }

    QTemporaryDir prefs;
    std::shared_ptr<x11::Connection> conn;
};

TEST_F(X11ClientsTest, ClientsWithoutALocalProcessGetAnApplication) {
    // Two windows of one client without a process id, sharing its leader.
    BareClient calc;
    BareClient::Options o;
    o.instance = "xcalc";
    o.cls = "XCalc";
    o.leaderIsSelf = true;
    const xcb_window_t first = calc.open(o, 60, 60);
    o.leaderIsSelf = false;
    o.leader = first;
    const xcb_window_t second = calc.open(o, 300, 60);
    // A client of another machine whose process id happens to be a live
    // process here: that process is none of its business.
    Child bystander;
    ASSERT_TRUE(bystander.start({"sleep", "30"}, x11test::Session::shared().display()));
    BareClient remote;
    BareClient::Options r;
    r.instance = "xeyes";
    r.cls = "XEyes";
    r.pid = std::uint32_t(bystander.pid());
    r.machine = "far-away.example";
    r.leaderIsSelf = true;
    const xcb_window_t eyes = remote.open(r, 500, 300);
    ASSERT_TRUE(waitForClient(*conn, first) && waitForClient(*conn, second) && waitForClient(*conn, eyes));

    std::optional<RunningApplication> xcalc, xeyes;
    ASSERT_TRUE(conn->waitUntil([&] { return (xcalc = appNamed(QStringLiteral("XCalc"))) &&
                                             (xeyes = appNamed(QStringLiteral("XEyes"))); }, patience));
    EXPECT_TRUE(x11::isClientGroup(xcalc->pid));
    EXPECT_TRUE(x11::isClientGroup(xeyes->pid));
    EXPECT_NE(xeyes->pid, bystander.pid());
    EXPECT_EQ(xcalc->activationPolicy, ActivationPolicy::regular);
    EXPECT_EQ(xcalc->localizedName, QStringLiteral("XCalc"));
    EXPECT_TRUE(workspace().isProcessAlive(xcalc->pid));
    ASSERT_EQ(windowsOf(xcalc->pid).size(), 2u) << "one application for the leader and class";
    ASSERT_EQ(windowsOf(xeyes->pid).size(), 1u);
    std::int32_t owner = 0;
    EXPECT_EQ(ax::api().pid(windowsOf(xeyes->pid).front(), owner), ax::Error::success);
    EXPECT_EQ(owner, xeyes->pid);
    // The application itself answers for its group while it has windows.
    owner = 0;
    EXPECT_EQ(ax::api().pid(ax::api().applicationElement(xcalc->pid), owner), ax::Error::success);
    EXPECT_EQ(owner, xcalc->pid);

    // Activated, minimised and closed like any other.
    ASSERT_TRUE(workspace().activate(xcalc->pid, false));
    EXPECT_TRUE(conn->waitUntil([&] {
        const auto active = conn->activeWindow();
        return active == first || active == second;
    }, patience));
    ax::Element win = windowsOf(xcalc->pid).front();
    ax::api().setMessagingTimeout(win, 3.0);
    ASSERT_EQ(ax::api().setAttribute(win, names::minimized, true), ax::Error::success);
    ax::Value minimised;
    ASSERT_EQ(ax::api().copyAttribute(win, names::minimized, minimised), ax::Error::success);
    EXPECT_EQ(ax::as<bool>(minimised), true);

    // Force quit never signals a process: the bystander lives on, and the
    // X server drops the remote client.
    EXPECT_TRUE(workspace().forceTerminate(xeyes->pid));
    EXPECT_TRUE(gone(eyes));
    pumpFor(0.2);
    EXPECT_TRUE(bystander.running());
    EXPECT_FALSE(workspace().isProcessAlive(xeyes->pid));

    EXPECT_TRUE(workspace().terminate(xcalc->pid));
    EXPECT_TRUE(gone(first) && gone(second)) << "closed through the window manager";
}

TEST(X11ClientGroupsTest, IdentifiersStayApartFromProcesses) {
    using x11::applicationIdFor;
    EXPECT_EQ(applicationIdFor(1234, true, 0x200001, QStringLiteral("XTerm")), 1234);
    const auto remote = applicationIdFor(1234, false, 0x200001, QStringLiteral("XTerm"));
    EXPECT_TRUE(x11::isClientGroup(remote));
    EXPECT_EQ(applicationIdFor(0, true, 0x200001, QStringLiteral("XTerm")), remote) << "same leader and class";
    EXPECT_NE(applicationIdFor(0, true, 0x200001, QStringLiteral("XCalc")), remote);
    EXPECT_NE(applicationIdFor(0, true, 0x300001, QStringLiteral("XTerm")), remote);
    // A property claiming an id in the groups' range is no process of ours.
    EXPECT_TRUE(x11::isClientGroup(applicationIdFor(x11::clientGroupBase + 5, true, 0x200002, QString())));
    EXPECT_TRUE(x11::isLocalMachine(std::nullopt, QStringLiteral("here")));
    EXPECT_TRUE(x11::isLocalMachine(QStringLiteral("here"), QStringLiteral("here")));
    EXPECT_FALSE(x11::isLocalMachine(QStringLiteral("there"), QStringLiteral("here")));
}

}  // namespace
