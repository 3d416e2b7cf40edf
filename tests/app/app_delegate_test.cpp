#include <QAction>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "app/menu_bar_menu.h"
#include "app/quorvel_app.h"
#include "platform/notification_center.h"
#include "services/global_hot_key_monitor.h"
#include "services/update_controller.h"
#include "support/sim_fixture.h"
#include "startmenu/start_menu_controller.h"
#include "windows/bar_metrics.h"
#include "taskbar/bar_panel.h"
#include "taskbar/bar_panel_controller.h"
#include "windows/running_apps_store.h"
#include "windows/window_constraint_engine.h"
#include "windows/window_service.h"

namespace prefs = platform::prefs;

namespace {

const QString kDock = prefs::dockDomain;

class AppDelegateTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        // The Dock as the user left it: visible at the bottom.
        sim->memoryPreferences()->preset(kDock, {{QStringLiteral("autohide"), false},
                                                 {QStringLiteral("orientation"), QStringLiteral("bottom")}});
        prefs::domain(kDock).reload();
        defaults().setBool(QStringLiteral("dockSetupCompleted"), true);
        defaults().setString(QStringLiteral("dockCoexistMode"), QStringLiteral("hide"));
        sim->clearLog();
    }
    prefs::Domain& defaults() { return prefs::userDefaults(); }
    QVariantMap dockFile() { return sim->memoryPreferences()->load(kDock); }
    // Index of the first log line starting with the prefix, or -1.
    int indexOf(const QString& prefix) {
        auto log = sim->log();
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i].startsWith(prefix)) return int(i);
        return -1;
    }
    int countSystemLog(const QString& fragment) {
        int n = 0;
        for (const auto& l : sim->systemLog())
            if (l.contains(fragment)) ++n;
        return n;
    }
};

TEST_F(AppDelegateTest, StartTakesTheDockRegistersShortcutsAndIsIdempotent) {
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    EXPECT_TRUE(delegate.workspaceRunning());
    EXPECT_EQ(delegate.workspaceGeneration(), 1u);
    EXPECT_EQ(sim->registeredHotKeys().size(), 2u);
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(true));
    EXPECT_TRUE(delegate.engine()->isRunning());  // the sim trusts the process
    EXPECT_TRUE(delegate.windowService()->isRunning());
    // Shortcuts before the Dock, as the start order has it.
    ASSERT_GE(indexOf(QStringLiteral("hotkey.register")), 0);
    EXPECT_LT(indexOf(QStringLiteral("hotkey.register")), indexOf(QStringLiteral("prefs.set com.apple.dock")));

    const auto observers = platform::NotificationCenter::defaultCenter().observerCount();
    const auto registrations = sim->logLines(QStringLiteral("hotkey.register")).size();
    delegate.startWorkspace();
    sim->pump();
    EXPECT_EQ(delegate.workspaceGeneration(), 1u);
    EXPECT_EQ(platform::NotificationCenter::defaultCenter().observerCount(), observers);
    EXPECT_EQ(sim->logLines(QStringLiteral("hotkey.register")).size(), registrations);
    delegate.stopWorkspace();
}

TEST_F(AppDelegateTest, StopUndoesInOrderAndRestoresTheDockBeforeReturning) {
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    sim->clearLog();
    delegate.stopWorkspace();
    // No pump: the restore happened synchronously.
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(false));
    EXPECT_FALSE(delegate.workspaceRunning());
    EXPECT_FALSE(delegate.engine()->isRunning());
    EXPECT_FALSE(delegate.windowService()->isRunning());
    EXPECT_TRUE(sim->registeredHotKeys().empty());
    EXPECT_TRUE(delegate.barController().panels().empty());
    const int unregister = indexOf(QStringLiteral("hotkey.unregister"));
    const int restore = indexOf(QStringLiteral("prefs.set com.apple.dock"));
    ASSERT_GE(unregister, 0);
    ASSERT_GE(restore, 0);
    EXPECT_LT(unregister, restore);
    EXPECT_EQ(delegate.workspaceGeneration(), 2u);
}

TEST_F(AppDelegateTest, StopWhileStoppedStillRunsEveryStep) {
    AppDelegate delegate;
    delegate.stopWorkspace();
    EXPECT_EQ(delegate.workspaceGeneration(), 1u);
    // A takeover recorded by an earlier run is given back even so.
    defaults().setBool(QStringLiteral("DockIsManaging"), true);
    StartMenuController::shared().open();
    ASSERT_TRUE(StartMenuController::shared().isOpen());
    delegate.stopWorkspace();
    EXPECT_EQ(delegate.workspaceGeneration(), 2u);
    EXPECT_FALSE(StartMenuController::shared().isOpen());
    EXPECT_NE(defaults().boolValue(QStringLiteral("DockIsManaging")), std::optional<bool>(true));
}

TEST_F(AppDelegateTest, PermissionGrantedAtTickFiveStartsTheEngine) {
    sim->setTrusted(false);
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    EXPECT_EQ(sim->trustPrompts(), 1);
    sim->advance(4.0);
    EXPECT_FALSE(delegate.engine()->isRunning());
    sim->setTrusted(true);
    sim->advance(1.0);
    EXPECT_TRUE(delegate.engine()->isRunning());
    EXPECT_EQ(countSystemLog(QStringLiteral("Accessibility 已授权")), 1);
    sim->advance(10.0);
    EXPECT_EQ(countSystemLog(QStringLiteral("Accessibility 已授权")), 1);
    delegate.stopWorkspace();
}

TEST_F(AppDelegateTest, PermissionAfterARestartIsDecidedByTheNewRun) {
    sim->setTrusted(false);
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->advance(2.0);
    delegate.stopWorkspace();
    delegate.startWorkspace();
    sim->advance(2.0);
    sim->setTrusted(true);
    sim->advance(1.0);
    EXPECT_TRUE(delegate.engine()->isRunning());
    EXPECT_EQ(countSystemLog(QStringLiteral("Accessibility 已授权")), 1);
    // A result carrying an older generation changes nothing.
    delegate.engine()->stop();
    delegate.handleAccessibilityResult(true, delegate.workspaceGeneration() - 1);
    EXPECT_FALSE(delegate.engine()->isRunning());
    delegate.stopWorkspace();
}

TEST_F(AppDelegateTest, PermissionRefusedForTwoMinutesGivesUpWithALogLine) {
    sim->setTrusted(false);
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->advance(121.0);
    EXPECT_FALSE(delegate.engine()->isRunning());
    EXPECT_EQ(countSystemLog(QStringLiteral("Accessibility 未授权")), 1);
    delegate.stopWorkspace();
}

struct DockAnswer {
    int button;
    bool manage;
    const char* storedMode;
    bool dockHidden;
    const char* edge;
};

class FirstRunDockQuestion : public AppDelegateTest, public ::testing::WithParamInterface<DockAnswer> {};

TEST_P(FirstRunDockQuestion, StoresTheAnswerAndAppliesIt) {
    const auto answer = GetParam();
    defaults().remove(QStringLiteral("dockSetupCompleted"));
    defaults().remove(QStringLiteral("dockCoexistMode"));
    sim->queueAlertAnswers({answer.button});
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    ASSERT_EQ(sim->alertsShown().size(), 1u);
    EXPECT_EQ(sim->alertsShown()[0].alert.messageText, QStringLiteral("Auto-hide the Dock?"));
    EXPECT_EQ(defaults().boolValue(QStringLiteral("dockManageEnabled")), answer.manage);
    EXPECT_EQ(defaults().stringValue(QStringLiteral("dockCoexistMode")), QString::fromUtf8(answer.storedMode));
    EXPECT_EQ(defaults().boolValue(QStringLiteral("dockSetupCompleted")), true);
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(answer.dockHidden));
    EXPECT_EQ(dockFile().value(QStringLiteral("orientation")), QVariant(QString::fromUtf8(answer.edge)));

    // Asked once per user: the next start applies the stored choice quietly.
    delegate.stopWorkspace();
    delegate.startWorkspace();
    sim->pump();
    EXPECT_EQ(sim->alertsShown().size(), 1u);
    delegate.stopWorkspace();
}

INSTANTIATE_TEST_SUITE_P(ThreeAnswers, FirstRunDockQuestion,
                         ::testing::Values(DockAnswer{0, true, "moveRight", true, "right"},
                                           DockAnswer{1, true, "hide", true, "bottom"},
                                           DockAnswer{2, false, "moveRight", false, "bottom"}));

TEST_F(AppDelegateTest, EqualSnapshotsNeverRewriteTheStore) {
    AppDelegate delegate;
    QSignalSpy spy(&delegate.store(), &RunningAppsStore::appsChanged);
    AppItem app;
    app.id = app.pid = 42;
    app.name = QStringLiteral("Notes");
    app.windows = {WindowItem{1, QStringLiteral("Shopping"), false, true}};
    delegate.syncRunningApps({app});
    EXPECT_EQ(spy.count(), 1);
    delegate.syncRunningApps({app});
    EXPECT_EQ(spy.count(), 1);
    app.windows[0].title = QStringLiteral("Shopping list");
    delegate.syncRunningApps({app});
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(AppDelegateTest, SecondCopyShowsItsAlertAndTouchesNothing) {
    platform::sim::AppSpec other;
    other.bundleID = QStringLiteral("app.quorvel.Quorvel");
    other.name = QStringLiteral("Quorvel");
    sim->addApplication(other);
    sim->clearLog();
    AppDelegate delegate;
    EXPECT_EQ(delegate.applicationDidFinishLaunching(), AppDelegate::LaunchOutcome::anotherCopyRunning);
    sim->pump();
    ASSERT_EQ(sim->alertsShown().size(), 1u);
    EXPECT_EQ(sim->alertsShown()[0].alert.messageText, QStringLiteral("Quorvel is already running"));
    EXPECT_FALSE(delegate.workspaceRunning());
    EXPECT_TRUE(sim->logLines(QStringLiteral("prefs.set com.apple.dock")).empty());
    EXPECT_TRUE(sim->logLines(QStringLiteral("hotkey")).empty());
    EXPECT_EQ(countSystemLog(QStringLiteral("已有实例在运行")), 1);
}

TEST_F(AppDelegateTest, BarsShownFirstAreTheWorkspacesOwnAndASecondCopyTakesThemAway) {
    {
        AppDelegate delegate;
        delegate.setShowsBarsFirst(true);
        EXPECT_EQ(delegate.applicationDidFinishLaunching(), AppDelegate::LaunchOutcome::running);
        EXPECT_TRUE(delegate.workspaceRunning());
        ASSERT_EQ(delegate.barController().panels().size(), 1u);
        EXPECT_NE(delegate.barController().panels()[0]->contentView(), nullptr);
        EXPECT_EQ(delegate.barController().rebuildCount(), 1) << "the bars shown first were built again";
        delegate.applicationWillTerminate();
    }
    platform::sim::AppSpec other;
    other.bundleID = QStringLiteral("app.quorvel.Quorvel");
    other.name = QStringLiteral("Quorvel");
    sim->addApplication(other);
    AppDelegate delegate;
    delegate.setShowsBarsFirst(true);
    EXPECT_EQ(delegate.applicationDidFinishLaunching(), AppDelegate::LaunchOutcome::anotherCopyRunning);
    EXPECT_TRUE(delegate.barController().panels().empty());
    EXPECT_EQ(sim->alertsShown().size(), 1u);
}

TEST_F(AppDelegateTest, LaunchAppliesTheStoredAppearance) {
    defaults().setString(QStringLiteral("appearanceMode"), QStringLiteral("neoIndigo"));
    {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(platform::application().appearance(), std::optional(platform::Appearance::darkAqua));
        delegate.applicationWillTerminate();
    }
    defaults().setString(QStringLiteral("appearanceMode"), QStringLiteral("Neon"));
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(platform::application().appearance(), std::nullopt);
    delegate.applicationWillTerminate();
}

TEST_F(AppDelegateTest, BarHeightNotificationRebuildsTheBars) {
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    const int before = delegate.barController().rebuildCount();
    defaults().setString(QStringLiteral("appearanceBarHeight"), QStringLiteral("tall"));
    platform::NotificationCenter::defaultCenter().post(BarMetrics::barHeightChangedNotification());
    sim->pump();
    EXPECT_GT(delegate.barController().rebuildCount(), before);
    delegate.stopWorkspace();
    // Stopped: the observers are gone.
    const int stopped = delegate.barController().rebuildCount();
    platform::NotificationCenter::defaultCenter().post(BarMetrics::displayModeChangedNotification());
    sim->pump();
    EXPECT_EQ(delegate.barController().rebuildCount(), stopped);
}

TEST_F(AppDelegateTest, ShortcutsOpenTheStartMenuAndMinimiseAll) {
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    ASSERT_TRUE(sim->pressHotKey(49, 0x800));
    sim->pump();
    EXPECT_TRUE(StartMenuController::shared().isOpen());
    ASSERT_TRUE(sim->pressHotKey(49, 0x800));
    sim->pump();
    EXPECT_FALSE(StartMenuController::shared().isOpen());
    delegate.stopWorkspace();
}

TEST_F(AppDelegateTest, ATakenShortcutSetsItsFailureFlag) {
    sim->takeHotKeyElsewhere(2, 0x1000);
    AppDelegate delegate;
    delegate.startWorkspace();
    sim->pump();
    EXPECT_FALSE(services::GlobalHotKeyMonitor::shared().lastRegistrationFailed());
    EXPECT_TRUE(services::GlobalHotKeyMonitor::shared().lastMinimizeAllRegistrationFailed());
    delegate.stopWorkspace();
}

class MenuBarMenuTest : public AppDelegateTest {};

TEST_F(MenuBarMenuTest, EntriesFollowTheLanguageAndTheUpdateState) {
    int settingsOpened = 0, quits = 0;
    MenuBarMenu menu([&] { ++settingsOpened; }, [&] { ++quits; });
    auto actions = menu.actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Open Settings…"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Check for Updates…"));
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3]->text(), QStringLiteral("Quit Quorvel"));
    EXPECT_EQ(actions[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // No updater configured: the entry stays disabled and does nothing.
    EXPECT_FALSE(actions[1]->isEnabled());
    actions[1]->trigger();
    EXPECT_EQ(sim->updateChecks(), 0);
    services::UpdateController::shared().setCanCheckForUpdates(true);
    EXPECT_TRUE(actions[1]->isEnabled());

    defaults().setString(QStringLiteral("appLanguage"), QStringLiteral("simplifiedChinese"));
    menu.refresh();  // what opening the menu does
    EXPECT_EQ(actions[3]->text(), QStringLiteral("退出 Quorvel"));
    actions[0]->trigger();
    actions[3]->trigger();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuBarMenuTest, QuitRunsTheFullStopWithTheDockRestoreOnce) {
    int terminations = 0;
    sim->setTerminateHandler([&] { ++terminations; });
    QuorvelApp app;
    ASSERT_TRUE(app.launch());
    sim->pump();
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(true));
    app.menu()->quitAction()->trigger();
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(false));
    EXPECT_TRUE(app.delegate().hasTerminated());
    EXPECT_FALSE(app.delegate().workspaceRunning());
    EXPECT_EQ(terminations, 1);
    const auto generation = app.delegate().workspaceGeneration();
    app.terminate();  // a second quit reaches the stop no more
    EXPECT_EQ(app.delegate().workspaceGeneration(), generation);
}

}  // namespace

namespace {

TEST_F(MenuBarMenuTest, TrayItemIsReadableAndALeftClickOpensTheMenu) {
    // Not the old black template: a coloured square with a white symbol, at every size.
    const QIcon icon = MenuBarMenu::trayIcon();
    for (int size : {16, 22, 32}) {
        const QImage img = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(img.width(), size);
        const QColor corner = img.pixelColor(0, 0);
        EXPECT_LT(corner.alpha(), 128) << "rounded corners";
        int white = 0, blue = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() < 200) continue;
                if (c.red() > 230 && c.green() > 230 && c.blue() > 230) ++white;
                if (c.blue() > 200 && c.red() < 80) ++blue;
            }
        EXPECT_GT(white, size) << "no symbol at " << size;
        EXPECT_GT(blue, size * size / 4) << "no coloured ground at " << size;
    }

    MenuBarMenu menu([] {}, [] {});
    QSystemTrayIcon tray(icon);
    menu.attachTo(tray);
    EXPECT_EQ(tray.contextMenu(), &menu) << "a right click opens it";
    emit tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(menu.isVisible()) << "a left click opens it too";
    emit tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(menu.isVisible()) << "and a second one closes it";
    emit tray.activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(menu.isVisible());
}

}  // namespace
