// Clients that name no process of this machine on a live desktop: programs
// that never set _NET_WM_PID (xcalc, xeyes) and clients of another host.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_client_groups.h"
#include "x11_bare_client.h"
#include "x11_session.h"
#include "support/test_files.h"

using namespace platform;
using namespace x11test;
namespace names = platform::ax::names;

namespace {

class X11ClientsTest : public LiveBackendTest {
protected:

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
    EXPECT_TRUE(pumpUntil([&] { return !workspace().isProcessAlive(xeyes->pid); }));
    // A quiet stretch on purpose: a stray signal to the bystander would land
    // within it, and there is no event to wait for when none is sent.
    pumpFor(0.2);
    EXPECT_TRUE(bystander.running());

    EXPECT_TRUE(workspace().terminate(xcalc->pid));
    EXPECT_TRUE(gone(first) && gone(second)) << "closed through the window manager";
}

// Opening an application that runs already brings it forward: the entry is
// matched to a running window by its StartupWMClass, the desktop file the
// window names, or the program its process runs. Only when none runs does
// the entry's command start.
TEST_F(X11ClientsTest, OpeningARunningApplicationBringsItForward) {
    QTemporaryDir apps;
    ASSERT_TRUE(apps.isValid());
    Child sleeper;
    ASSERT_TRUE(sleeper.start({"sleep", "61"}, x11test::Session::shared().display()));
    struct Case {
        const char* name;
        QByteArray entry;     // after the Exec line
        QByteArray exec;      // empty: one that leaves a marker; else the sleeper's
                              // program, and the window names the sleeper as its process
        QByteArray cls;       // the running window's class; empty: none runs
        const char* property; // a text property the window sets to `value`
        QString value;
    };
    const QString idFile = QStringLiteral("quorvel-reopen-%1.desktop");
    const Case cases[] = {
        {"StartupWMClass", "StartupWMClass=QuorvelReopen\n", {}, "QuorvelReopen", nullptr, {}},
        {"GTK application id", {}, {}, "Gtkish", "_GTK_APPLICATION_ID", QStringLiteral("quorvel-reopen-1")},
        {"KDE desktop file", {}, {}, "Kdeish", "_KDE_NET_WM_DESKTOP_FILE", QStringLiteral("quorvel-reopen-2")},
        {"BAMF desktop file", {}, {}, "Bamfish", "_BAMF_DESKTOP_FILE", apps.filePath(idFile.arg(3))},
        {"the program", {}, "sleep 61", "Sleepy", nullptr, {}},
        {"none runs: a new copy", "StartupWMClass=QuorvelNobody\n", {}, {}, nullptr, {}},
    };
    BareClient clients;
    BareClient::Options d;
    d.cls = "Distraction";
    d.leaderIsSelf = true;
    const xcb_window_t distraction = clients.open(d, 700, 400);
    ASSERT_TRUE(waitForClient(*conn, distraction));
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE(c.name);
        const QString path = apps.filePath(idFile.arg(k));
        const QString marker = apps.filePath(QStringLiteral("started-%1").arg(k));
        ASSERT_TRUE(writeFile(path, "[Desktop Entry]\nType=Application\nName=Reopen\nExec=" +
                                        (c.exec.isEmpty() ? "touch " + QFile::encodeName(marker) : c.exec) + "\n" +
                                        c.entry));
        xcb_window_t w = XCB_WINDOW_NONE;
        if (!c.cls.isEmpty()) {
            BareClient::Options o;
            o.cls = c.cls;
            o.leaderIsSelf = true;
            if (!c.exec.isEmpty()) o.pid = std::uint32_t(sleeper.pid());
            if (c.property) o.texts = {{c.property, c.value.toUtf8()}};
            w = clients.open(o, 60 + int(k) * 40, 60);
            ASSERT_TRUE(waitForClient(*conn, w));
            // Known to the backend's own connection too.
            ASSERT_TRUE(pumpUntil([&] { return workspace().application(conn->windowInfo(w).pid).has_value(); }));
        }
        activateWindow(*conn, distraction);
        ASSERT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == distraction; }, patience));
        std::optional<OpenResult> result;
        workspace().openApplication(path, [&](OpenResult r) { result = r; });
        ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
        EXPECT_TRUE(result->ok) << result->errorDescription.toStdString();
        if (w != XCB_WINDOW_NONE) {
            EXPECT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == w; }, patience)) << "brought forward";
            EXPECT_FALSE(QFile::exists(marker)) << "a second copy started";
        } else {
            EXPECT_TRUE(pumpUntil([&] { return QFile::exists(marker); })) << "none ran, none started";
        }
    }
    EXPECT_TRUE(sleeper.running()) << "matched by its program, never signalled";
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

TEST(X11ClientGroupsTest, WindowsOfOneKeyAreOneApplicationWhileAnyIsHeld) {
    x11::ApplicationGroups groups;
    const int first = 0, second = 0;  // two connections holding windows
    const void* a = &first;
    const void* b = &second;
    const QString xterm = QStringLiteral("entry:xterm"), byClass = QStringLiteral("class:xterm");
    EXPECT_EQ(groups.join(a, 0x101, xterm, 100), 100) << "a new key: the window's own process";
    EXPECT_EQ(groups.join(a, 0x201, xterm, 200), 100) << "another process of the key";
    EXPECT_EQ(groups.join(a, 0x301, QString(), 300), 300) << "no key: its process";
    EXPECT_EQ(groups.join(a, 0x302, QStringLiteral("class:other"), 300), 300) << "a process keeps its other keys";
    // Another connection names the same window by another key: both lead there.
    EXPECT_EQ(groups.join(b, 0x201, byClass, 200), 100);
    EXPECT_EQ(groups.peek(0x999, byClass, 900), 100);
    groups.leave(a, 0x101);
    EXPECT_EQ(groups.join(a, 0x401, xterm, 400), 100) << "the application outlives the process it is named by";
    groups.leave(a, 0x201);
    groups.leave(a, 0x401);
    EXPECT_EQ(groups.peek(0x201, xterm, 500), 100) << "still held by the other connection";
    groups.leaveAll(b);
    EXPECT_EQ(groups.peek(0x501, xterm, 500), 500) << "the last window went: the key starts afresh";
    EXPECT_EQ(groups.peek(0x501, byClass, 500), 500);
    EXPECT_EQ(groups.size(), 2u);
}

}  // namespace
