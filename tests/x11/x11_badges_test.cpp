// Unread badges on a live desktop: the launcher-entry signal on a private
// session bus and windows that ask for attention, read the way the window
// service reads the Dock's badges.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_launcher_entry.h"
#include "windows/ax_element.h"
#include "x11_bare_client.h"
#include "x11_session.h"
#include "support/test_files.h"

using namespace platform;
using namespace x11test;

namespace {

TEST(X11LauncherEntryTest, UpdatesAndUris) {
    using x11::LauncherBadge;
    struct Case {
        QVariantMap properties;
        LauncherBadge after;  // from a badge with count 2, visible
    };
    const LauncherBadge start{2, true, false};
    const Case cases[] = {
        {{{QStringLiteral("count"), qint64(7)}}, {7, true, false}},
        {{{QStringLiteral("count-visible"), false}}, {2, false, false}},
        {{{QStringLiteral("urgent"), true}}, {2, true, true}},
        {{{QStringLiteral("count"), QStringLiteral("7")}}, start},                  // wrong type: ignored
        {{{QStringLiteral("count"), qint64(1) << 40}}, start},                      // beyond any badge
        {{{QStringLiteral("count"), qint64(-1)}}, start},
        {{{QStringLiteral("progress"), 0.5}}, start},                               // not ours
    };
    for (const auto& c : cases) EXPECT_EQ(x11::updatedBadge(start, c.properties), c.after);
    EXPECT_TRUE(x11::isUnread({3, true, false}));
    EXPECT_FALSE(x11::isUnread({3, false, false}));
    EXPECT_FALSE(x11::isUnread({0, true, false}));
    EXPECT_TRUE(x11::isUnread({0, false, true}));
    EXPECT_EQ(x11::desktopIdFromAppUri(QStringLiteral("application://org.example.Mail.desktop")),
              QStringLiteral("org.example.Mail"));
    for (const char* bad : {"org.example.Mail.desktop", "application://.desktop", "application://a/b.desktop",
                            "application://mail", "file:///usr/share/applications/mail.desktop"})
        EXPECT_TRUE(x11::desktopIdFromAppUri(QString::fromLatin1(bad)).isEmpty()) << bad;
}

class X11BadgesTest : public LiveBackendTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // A private session bus.
        const QString socket = dir.filePath(QStringLiteral("bus"));
        address = QStringLiteral("unix:path=") + socket;
        ASSERT_TRUE(bus.start({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                               "--address=" + address.toStdString()},
                              x11test::Session::shared().display()))
            << "dbus-daemon is missing";
        ASSERT_TRUE(pumpUntil([&] { return QFile::exists(socket); }, patience));
        busAddress.emplace("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        // The badged application's desktop entry.
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("data/applications/quorvel-badge.desktop")),
                              "[Desktop Entry]\nType=Application\nName=Badged\nExec=true\nStartupWMClass=BadgeApp\n"));
        dataHome.emplace("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
        LiveBackendTest::SetUp();
    }
    void TearDown() override {
        LiveBackendTest::TearDown();
        QDBusConnection::disconnectFromBus(QStringLiteral("badge-sender"));
    }

    // What the window service sees: the bundle identifiers with a badge.
    std::set<QString> unread() {
        std::set<QString> out;
        for (const auto& app : workspace().runningApplications()) {
            if (app.bundleID != QStringLiteral("com.apple.dock")) continue;
            std::vector<AXElement::Badge> badges;
            AXElement::collectDockBadges(AXElement::application(app.pid), 0, badges);
            for (const auto& [path, label] : badges)
                if (auto id = bundles().bundleIdentifier(path)) out.insert(*id);
        }
        return out;
    }
    bool becomes(const std::set<QString>& expected) {
        return pumpUntil([&] { return unread() == expected; });
    }
    void send(const QVariantMap& properties) {
        QDBusConnection sender = QDBusConnection::connectToBus(address, QStringLiteral("badge-sender"));
        ASSERT_TRUE(sender.isConnected());
        auto signal = QDBusMessage::createSignal(QStringLiteral("/org/example/badge"),
                                                 QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                 QStringLiteral("Update"));
        signal << QStringLiteral("application://quorvel-badge.desktop") << properties;
        ASSERT_TRUE(sender.send(signal));
    }

    QString address;
    std::optional<EnvironmentOverride> busAddress, dataHome;
    Child bus;
};

TEST_F(X11BadgesTest, LauncherEntriesAndUrgentWindowsAreUnread) {
    BareClient badged;
    BareClient::Options o;
    o.cls = "BadgeApp";
    o.leaderIsSelf = true;
    const xcb_window_t mail = badged.open(o, 50, 50);
    BareClient pinger;
    BareClient::Options p;
    p.cls = "Pinger";
    p.leaderIsSelf = true;
    const xcb_window_t ping = pinger.open(p, 400, 50);
    ASSERT_TRUE(waitForClient(*conn, mail) && waitForClient(*conn, ping));
    EXPECT_TRUE(unread().empty());
    // The window service finds the badges under the Dock's bundle identifier.
    bool dockListed = false;
    for (const auto& app : workspace().runningApplications())
        if (app.bundleID == QStringLiteral("com.apple.dock")) {
            dockListed = true;
            EXPECT_EQ(app.activationPolicy, ActivationPolicy::prohibited) << "never a button of its own";
        }
    EXPECT_TRUE(dockListed);

    // A badge is a change of the desktop: polls resting on an unchanged
    // desktop hear of it as of a window change.
    int heard = 0;
    const int token = windowServer().addChangeObserver([&] { ++heard; });
    // What the start-up changed settles first.
    ASSERT_TRUE(pumpUntil([&] {
        const int before = heard;
        pumpFor(0.3);
        return heard == before;
    }));
    heard = 0;
    const auto before = workspace().changeCount();
    ASSERT_TRUE(before.has_value());
    send({{QStringLiteral("count"), qint64(3)}, {QStringLiteral("count-visible"), true}});
    EXPECT_TRUE(becomes({QStringLiteral("quorvel-badge")})) << "a visible count";
    EXPECT_TRUE(pumpUntil([&] { return heard > 0; }, patience)) << "the window list's observers heard of the badge";
    EXPECT_NE(workspace().changeCount(), before);
    windowServer().removeChangeObserver(token);
    send({{QStringLiteral("count-visible"), false}});
    EXPECT_TRUE(becomes({})) << "a hidden count";
    send({{QStringLiteral("urgent"), true}});
    EXPECT_TRUE(becomes({QStringLiteral("quorvel-badge")})) << "urgent";
    // The sender leaves the bus: its badges go with it.
    QDBusConnection::disconnectFromBus(QStringLiteral("badge-sender"));
    EXPECT_TRUE(becomes({})) << "the sender left";

    // The ICCCM urgency hint, then the window manager's attention state: the
    // window asks, not its whole application (whose other windows have
    // buttons of their own), so the Dock's badges stay as they are.
    auto asks = [&] {
        ax::Value list;
        const auto app = ax::api().applicationElement(conn->windowInfo(ping).pid);
        if (ax::api().copyAttribute(app, ax::names::windows, list) != ax::Error::success) return false;
        for (const auto& w : ax::as<ax::ElementList>(list).value_or(ax::ElementList{})) {
            ax::Value attention;
            if (ax::api().copyAttribute(w, ax::names::demandsAttention, attention) == ax::Error::success &&
                ax::as<bool>(attention).value_or(false))
                return true;
        }
        return false;
    };
    pinger.setUrgent(ping, true);
    EXPECT_TRUE(pumpUntil(asks));
    EXPECT_TRUE(unread().empty());
    pinger.setUrgent(ping, false);
    EXPECT_TRUE(pumpUntil([&] { return !asks(); }));
    // The manager lets only a window without the focus ask for attention.
    activateWindow(*conn, mail);
    ASSERT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == mail; }, patience));
    setWindowState(*conn, ping, true, conn->ewmh()->_NET_WM_STATE_DEMANDS_ATTENTION);
    EXPECT_TRUE(pumpUntil(asks));
    EXPECT_TRUE(unread().empty());
}

}  // namespace
