// The services on the whole simulated desktop: what they ask of the system
// shows in its ordered log.
#include <QStringList>
#include <csignal>
#include <thread>

#include "platform/preferences.h"
#include "services/dock_controller.h"
#include "services/global_hot_key_monitor.h"
#include "services/update_controller.h"
#include "support/sim_fixture.h"

using namespace services;

namespace {

QStringList linesWith(const std::vector<QString>& log, const QString& prefix) {
    QStringList out;
    for (const auto& l : log)
        if (l.startsWith(prefix)) out << l;
    return out;
}

class ServicesOnSimTest : public SimDesktopTest {};

TEST_F(ServicesOnSimTest, UpdaterBracketAndCanCheckFromAnotherThread) {
    sim->setMainInfoValue(QStringLiteral("SUFeedURL"), QStringLiteral("https://updates.example.org/") +
                                                           UpdateController::releaseChannel() + QStringLiteral("/v") +
                                                           QString::number(UpdateController::majorVersion()) +
                                                           QStringLiteral("/appcast.xml"));
    sim->setMainInfoValue(QStringLiteral("SUPublicEDKey"), QString::fromLatin1(QByteArray(32, 'k').toBase64()));
    UpdateController controller;
    int prepares = 0, resumes = 0;
    controller.setUp([&] { ++prepares; }, [&] { ++resumes; });
    sim->pump();
    EXPECT_TRUE(sim->updaterStarted());
    std::thread([this] { sim->setCanCheckForUpdates(true); }).join();
    sim->pump();
    EXPECT_TRUE(controller.canCheckForUpdates());
    controller.checkForUpdates();
    EXPECT_EQ(sim->updateChecks(), 1);

    sim->updaterWillInstall();
    sim->updaterWillInstall();
    sim->pump();
    EXPECT_EQ(prepares, 1);
    sim->updaterFinishCycle();
    sim->pump();
    EXPECT_EQ(resumes, 1);
    EXPECT_FALSE(controller.isPreparingInstallation());
}

TEST_F(ServicesOnSimTest, ShortcutsRegisterRefuseAndFire) {
    GlobalHotKeyMonitor monitor;
    int triggers = 0, minimizeAlls = 0;
    monitor.start([&] { ++triggers; }, [&] { ++minimizeAlls; });
    sim->takeHotKeyElsewhere(49, 0x800);
    EXPECT_FALSE(monitor.registerCombo({49, HotKeyModifiers::option()}, true, false));
    EXPECT_TRUE(monitor.registerCombo({2, HotKeyModifiers::control()}, true, true));
    EXPECT_FALSE(monitor.registerCombo({2, HotKeyModifiers::control()}, true, false));
    EXPECT_EQ(sim->registeredHotKeys().size(), 1u);
    sim->pressHotKey(2, 0x1000);
    sim->pump();
    EXPECT_EQ(minimizeAlls, 1);
    EXPECT_EQ(triggers, 0);
    monitor.stop();
}

TEST_F(ServicesOnSimTest, TakeoverRestartsTheDockAndASignalRestoresAndExits) {
    auto& dock = platform::prefs::domain(platform::prefs::dockDomain);
    dock.setBool(QStringLiteral("autohide"), false);
    dock.setString(QStringLiteral("orientation"), QStringLiteral("bottom"));
    sim->setProcessOutcome(QStringLiteral("/usr/bin/killall"), platform::sim::SimulatedDesktop::exitedWith(1));
    auto controller = DockController::create();
    controller->installSignalHandlers();
    controller->apply(DockCoexistMode::moveLeft);
    sim->pump();
    sim->clearLog();
    ASSERT_TRUE(sim->clock().deliverSignal(SIGHUP));
    const auto log = sim->log();
    EXPECT_EQ(linesWith(log, QStringLiteral("process.")),
              (QStringList{QStringLiteral("process.run /usr/bin/killall Dock"), QStringLiteral("process.exit 0")}));
    EXPECT_EQ(dock.stringValue(QStringLiteral("orientation")), QStringLiteral("bottom"));
    EXPECT_EQ(dock.boolValue(QStringLiteral("autohide")), false);
    EXPECT_EQ(platform::prefs::userDefaults().boolValue(QStringLiteral("DockIsManaging")), false);
}

}  // namespace
