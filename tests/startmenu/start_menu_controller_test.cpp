// Opening, closing and toggling the start menu: the chosen display, the
// panel above the bar, the quarter-second guard, the fades on the clock,
// what closes it, and the background scan with its effect on the stores.
#include <gtest/gtest.h>

#include <QTest>

#include "start_menu_test_support.h"
#include "taskbar/bar_panel.h"

namespace {

TEST(StartMenuPanelGeometry, SitsAboveTheBarInQtCoordinates) {
    struct Case {
        platform::Rect frame;  // bottom-left screen coordinates
        double primaryHeight, bar;
        QRect expected;
    } cases[] = {
        // A display at (0, 0) with the medium bar: content rect (8, 50, 360, 420) bottom-left.
        {platform::Rect(0, 0, 1440, 900), 900, 44, QRect(8, 430, 360, 420)},
        {platform::Rect(0, 0, 1440, 900), 900, 34, QRect(8, 440, 360, 420)},
        {platform::Rect(0, 0, 1440, 900), 900, 54, QRect(8, 420, 360, 420)},
        // A taller display to the right whose top is level with the primary's.
        {platform::Rect(1440, -180, 1920, 1080), 900, 44, QRect(1448, 1080 - 44 - 6 - 420, 360, 420)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StartMenuController::panelGeometry(c.frame, c.primaryHeight, c.bar), c.expected)
            << c.frame.minX() << " bar " << c.bar;
}

class StartMenuControllerTest : public StartMenuTest {
protected:
    void SetUp() override {
        StartMenuTest::SetUp();
        main = platform::displays().mainDisplayID();
        second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    }
    platform::DisplayID main = 0, second = 0;
};

TEST_F(StartMenuControllerTest, OpensAboveTheBarOfTheDisplayUnderThePointer) {
    sim->setPointer({2000, 300});
    menu().open();
    ASSERT_TRUE(menu().isOpen());
    EXPECT_EQ(menu().presentedScreenID(), std::optional(second));
    EXPECT_EQ(menu().panel()->geometry(), QRect(1448, 1080 - 44 - 6 - 420, 360, 420));
    EXPECT_FALSE(sim->logLines("app.activate").empty());
    QApplication::processEvents();
    EXPECT_TRUE(menu().panel()->isActiveWindow());

    menu().close();
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(menu().presentedScreenID(), std::nullopt);
    EXPECT_EQ(menu().menuModel(), nullptr);
    EXPECT_DOUBLE_EQ(menu().lastClosedAt(), platform::uptime());
}

// Beside the bar where the window manager put it, not where a bar belongs:
// awesome moves a dock below its own panel at the top.
TEST_F(StartMenuControllerTest, OpensNextToTheBarWhereTheManagerPutIt) {
    // The main display is 1440 by 900.
    const std::pair<QRect, QRect> cases[] = {
        {QRect(0, 22, 1440, 44), QRect(8, 22 + 44 + 6, 360, 420)},
        {QRect(100, 900 - 44 - 30, 1340, 44), QRect(108, 900 - 44 - 30 - 6 - 420, 360, 420)},
    };
    sim->setPointer({300, 300});
    for (const auto& [frame, expected] : cases) {
        BarPanel bar(main);
        bar.setGeometry(frame);
        bar.show();
        menu().open();
        ASSERT_TRUE(menu().isOpen());
        EXPECT_EQ(menu().panel()->geometry(), expected) << "bar at " << frame.y();
        menu().close();
    }
}

TEST_F(StartMenuControllerTest, DisplayChoiceFollowsTheDisplayMode) {
    auto& defaults = platform::prefs::userDefaults();
    // Pointer off every display: the main screen (the one with the focus).
    sim->setPointer({-5000, -5000});
    sim->setMainScreen(second);
    menu().open();
    EXPECT_EQ(menu().presentedScreenID(), std::optional(second));
    menu().close();

    // Main-display mode ignores the pointer and the focus.
    defaults.setString("barDisplayMode", "mainDisplay");
    sim->setPointer({2000, 300});
    menu().open();
    EXPECT_EQ(menu().presentedScreenID(), std::optional(main));
    menu().close();

    defaults.setString("barDisplayMode", "allDisplays");
    menu().open();
    EXPECT_EQ(menu().presentedScreenID(), std::optional(second));
}

TEST_F(StartMenuControllerTest, NoDisplayNoMenuButTheScanStillStarts) {
    sim->removeDisplay(second);
    sim->removeDisplay(main);
    menu().open();
    EXPECT_FALSE(menu().isOpen());
    EXPECT_TRUE(menu().isScanning());
}

TEST_F(StartMenuControllerTest, ToggleFromAClickWaitsAQuarterSecondAfterAClose) {
    struct Step {
        double wait;
        bool fromClick;
        bool openAfter;
    };
    menu().open();
    menu().close();
    const Step steps[] = {
        {0.10, true, false},   // the click that closed it from outside
        {0.00, false, true},   // the shortcut is not guarded
        {0.00, true, false},   // open: any toggle closes
        {0.249, true, false},  // just under the guard
        {0.001, true, true},   // exactly 0.25 s after the close
    };
    for (const auto& s : steps) {
        sim->advance(s.wait);
        menu().toggle(s.fromClick);
        EXPECT_EQ(menu().isOpen(), s.openAfter) << "after " << s.wait << " s, click " << s.fromClick;
    }
}

TEST_F(StartMenuControllerTest, FadesOnThePlatformClockOnlyWithAPetAndMotion) {
    StartIconStore::shared().setPet(StartPet::mouse);
    menu().open();
    QPointer<StartMenuPanel> panel = menu().panel();
    EXPECT_NEAR(panel->windowOpacity(), 0.05, 0.01);
    sim->advance(0.09);
    EXPECT_NEAR(panel->windowOpacity(), 0.05 + 0.95 * 0.5, 0.06);  // at the frame pace
    sim->advance(0.09);
    EXPECT_DOUBLE_EQ(panel->windowOpacity(), 1.0);

    ASSERT_NE(panel->focusWidget(), nullptr);
    EXPECT_FALSE(panel->windowFlags() & Qt::NoDropShadowWindowHint) << "a compositor may draw its shadow";

    menu().close();
    EXPECT_FALSE(menu().isOpen());  // closed at once for every caller
    EXPECT_EQ(panel->focusWidget(), nullptr) << "the fading panel takes no typing";
    sim->advance(0.06);
    ASSERT_TRUE(panel);
    EXPECT_NEAR(panel->windowOpacity(), 0.5, 0.1);
    EXPECT_TRUE(panel->isVisible());
    sim->advance(0.06);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(panel);

    // Reduce motion, no compositor to show a fade, or no pet: shown and
    // removed at full opacity at once.
    struct Case {
        bool reduceMotion;
        bool compositing;
        bool pet;
    };
    for (const Case& c : {Case{true, true, true}, Case{false, false, true}, Case{false, true, false}}) {
        sim->setReduceMotion(c.reduceMotion);
        sim->setCompositingActive(c.compositing);
        StartIconStore::shared().setPet(c.pet ? std::optional(StartPet::mouse) : std::nullopt);
        menu().open();
        panel = menu().panel();
        EXPECT_DOUBLE_EQ(panel->windowOpacity(), 1.0);
        menu().close();
        EXPECT_FALSE(panel->isVisible());
    }
}

TEST_F(StartMenuControllerTest, ClicksOutsideCloseClicksInsideDoNot) {
    QWidget bar(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    bar.setAttribute(Qt::WA_ShowWithoutActivating);
    bar.setGeometry(0, 856, 1440, 44);
    bar.show();
    QWidget settingsWindow;
    settingsWindow.setGeometry(300, 200, 720, 470);
    const std::int32_t other = sim->addApplication({.bundleID = QStringLiteral("com.example.other")});

    struct Case {
        const char* what;
        std::function<void()> act;
        bool closes;
    } cases[] = {
        {"click inside the list", [&] { QTest::mouseClick(view()->list()->viewport(), Qt::LeftButton, {}, {5, 200}); },
         false},
        {"click inside its context menu",
         [&] {
             view()->showRowMenu(view()->listModel()->rowCount() - 1, QPoint(100, 100));
             QMenu* m = view()->rowMenu();
             ASSERT_TRUE(m);
             QTest::mouseClick(m, Qt::LeftButton, {}, {2, 2});
             m->close();
         },
         false},
        {"click in a bar", [&] { QTest::mouseClick(&bar, Qt::LeftButton, {}, {20, 20}); }, true},
        {"the settings window comes forward",
         [&] {
             settingsWindow.show();
             settingsWindow.activateWindow();
             QApplication::processEvents();
         },
         true},
        {"the activation passes through the settings window and comes back at once",
         [&] {
             settingsWindow.show();
             settingsWindow.activateWindow();
             QApplication::processEvents();
             if (QWidget* panel = menu().panel()) panel->activateWindow();
             QApplication::processEvents();
         },
         false},
        {"another application becomes active", [&] { sim->activateApplication(other); }, true},
        {"a press on the desktop", [&] {
             sim->setPointer({900, 100});
             sim->pressMouseElsewhere();
         }, true},
        {"a press reported over the panel itself", [&] {
             sim->setPointer({100, 600});
             sim->pressMouseElsewhere();
         }, false},
    };
    scanResult = {app("Notes"), app("Mail")};
    for (const auto& c : cases) {
        settingsWindow.hide();
        sim->advance(1);
        menu().open();
        sim->pump();
        QApplication::processEvents();
        ASSERT_TRUE(menu().isOpen()) << c.what;
        c.act();
        sim->pump();
        QApplication::processEvents();
        sim->advance(StartMenuController::activationRegainGrace);
        sim->pump();
        QApplication::processEvents();
        EXPECT_EQ(menu().isOpen(), !c.closes) << c.what;
        menu().close();
    }
}

TEST_F(StartMenuControllerTest, FirstOpeningLoadsThenFillsInLaterOpeningsShowTheListAtOnce) {
    scanResult = {app("Notes"), app("Mail")};
    menu().open();
    ASSERT_TRUE(menu().menuModel()->isLoadingApps());
    EXPECT_TRUE(view()->emptyLabel()->isVisibleTo(view()));
    EXPECT_EQ(view()->emptyLabel()->text(), QStringLiteral("Loading apps…"));
    sim->pump();
    EXPECT_FALSE(menu().menuModel()->isLoadingApps());
    EXPECT_EQ(rows(), QStringList({"Mail", "Notes"}));
    menu().close();

    menu().open();  // the earlier list at once, a rescan behind it
    EXPECT_FALSE(menu().menuModel()->isLoadingApps());
    EXPECT_EQ(rows(), QStringList({"Mail", "Notes"}));
    EXPECT_TRUE(menu().isScanning());
    sim->pump();
    EXPECT_EQ(scans, 2);

    // Whatever the last opening left typed or selected, the next starts
    // afresh, in a new panel around the view the last one showed.
    QTest::keyClicks(view()->searchField(), "no");
    QPointer<StartMenuView> shown = view();
    QPointer<StartMenuPanel> panel = menu().panel();
    menu().close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(panel);
    menu().open();
    EXPECT_EQ(view(), shown.data());
    EXPECT_EQ(view()->searchField()->text(), QString());
    EXPECT_EQ(menu().menuModel()->query(), QString());
    EXPECT_EQ(menu().menuModel()->selection(), 0);
    EXPECT_EQ(rows(), QStringList({"Mail", "Notes"}));

    // Closed for a moment, the next opening's panel is made ahead, hidden,
    // around the same view; the opening shows that very panel, afresh.
    QTest::keyClicks(view()->searchField(), "no");
    menu().close();
    sim->advance(1);
    QPointer<StartMenuPanel> spare = qobject_cast<StartMenuPanel*>(shown->window());
    ASSERT_TRUE(spare);
    EXPECT_FALSE(spare->isVisible());
    menu().open();
    EXPECT_EQ(menu().panel(), spare.data());
    EXPECT_EQ(view(), shown.data());
    EXPECT_EQ(view()->searchField()->text(), QString());
    EXPECT_EQ(menu().menuModel()->query(), QString());
    menu().close();
    sim->advance(1);
    spare = qobject_cast<StartMenuPanel*>(shown->window());
    ASSERT_TRUE(spare);

    // A changed list of applications gets a view of its own; the panel made
    // for the old list goes with it.
    scanResult = {app("Notes")};
    menu().loadAppsIfNeeded();
    sim->pump();
    menu().open();
    EXPECT_NE(view(), shown.data());
    EXPECT_NE(menu().panel(), spare.data());
    EXPECT_EQ(rows(), QStringList({"Notes"}));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(spare);
    EXPECT_FALSE(shown);
}

TEST_F(StartMenuControllerTest, RescanResults) {
    auto& defaults = platform::prefs::userDefaults();
    scanResult = {app("Notes"), app("Mail"), app("Maps")};
    menu().loadAppsIfNeeded();
    sim->pump();
    menu().launcherPins().toggle(app("Maps").path);
    menu().launcherRecents().record(app("Maps").path);
    menu().launcherRecents().record(app("Notes").path);
    menu().open();
    sim->pump();
    EXPECT_EQ(rows(), QStringList({"# Pinned", "Maps", "# Recent", "Notes", "# All Apps", "Mail"}));

    // The same applications again: no store is written, nothing redraws.
    sim->clearLog();
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_TRUE(sim->logLines("prefs.set").empty());

    // Maps removed: pruned from the pins and the recents, gone from the menu.
    scanResult = {app("Notes"), app("Mail")};
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_EQ(menu().launcherPins().pinnedPaths(), QStringList());
    EXPECT_EQ(defaults.stringArrayValue("launcherRecentPaths"), QStringList({app("Notes").path}));
    EXPECT_EQ(rows(), QStringList({"# Recent", "Notes", "# All Apps", "Mail"}));

    // An empty result keeps the earlier list.
    scanResult.clear();
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_EQ(menu().apps().size(), 2u);
    EXPECT_EQ(rows().size(), 4);
}

TEST_F(StartMenuControllerTest, IconsAreWarmedForTheFirstRowsOnly) {
    // Scanned in reverse name order: the head of the list comes last.
    for (int i = 999; i >= 0; --i) scanResult.push_back(app(QStringLiteral("App %1").arg(i, 3, 10, QChar(u'0'))));
    menu().loadAppsIfNeeded();
    sim->advance(5);
    auto& icons = AppIconProvider::shared();
    const int warmed = icons.cachedPathIcons();
    EXPECT_LT(warmed, 200) << "not all 1,000 rows";
    for (const char* name : {"App 000", "App 999"}) icons.iconForPath(app(name).path);
    EXPECT_EQ(icons.cachedPathIcons(), warmed + 1) << "the first row was warmed, the last comes when drawn";
}

TEST_F(StartMenuControllerTest, EmptyFirstScanEndsTheLoadingStateAndTheNextOpeningScansAgain) {
    menu().open();
    sim->pump();
    EXPECT_FALSE(menu().menuModel()->isLoadingApps());
    EXPECT_EQ(view()->emptyLabel()->text(), QStringLiteral("No results"));
    EXPECT_FALSE(menu().didLoadApps());
    menu().close();
    scanResult = {app("Notes")};
    menu().open();
    EXPECT_TRUE(menu().menuModel()->isLoadingApps());
    sim->pump();
    EXPECT_EQ(rows(), QStringList({"Notes"}));
}

TEST_F(StartMenuControllerTest, PinsAreSeededOnceInTheListedOrder) {
    auto& defaults = platform::prefs::userDefaults();
    scanResult = {app("Safari", "com.apple.Safari"), app("Store", "com.apple.AppStore"),
                  app("Finder", "com.apple.finder"), app("Other", "com.example.other")};
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_EQ(menu().launcherPins().pinnedPaths(),
              QStringList({app("Finder").path, app("Safari").path, app("Store").path}));
    EXPECT_EQ(defaults.boolValue("launcherPinsSeeded"), std::optional(true));

    // Unpinning everything and scanning a changed list seeds nothing again.
    const QStringList seeded = menu().launcherPins().pinnedPaths();
    for (const auto& p : seeded) menu().launcherPins().toggle(p);
    scanResult.pop_back();
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_TRUE(menu().launcherPins().pinnedPaths().isEmpty());
}

TEST_F(StartMenuControllerTest, LaunchClosesRecordsAndSaysWhyAFailureFailed) {
    scanResult = {app("Notes"), app("Broken")};
    openLoaded();
    sim->setOpenApplicationResult(app("Broken").path,
                                  platform::OpenResult{false, QStringLiteral("No such file or directory")});
    // Return on the first row (Broken, by name) launches it.
    QTest::keyClick(view()->searchField(), Qt::Key_Return);
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(menu().launcherRecents().paths(), QStringList({app("Broken").path}));
    EXPECT_EQ(sim->logLines("workspace.openApplication"),
              std::vector<QString>({QStringLiteral("workspace.openApplication ") + app("Broken").path}));
    sim->pump();
    ASSERT_EQ(sim->alertsShown().size(), 1u) << "the failure is shown with its reason";
    EXPECT_EQ(sim->alertsShown()[0].alert.messageText, QStringLiteral("Couldn't open Broken"));
    EXPECT_EQ(sim->alertsShown()[0].alert.informativeText, QStringLiteral("No such file or directory"));
    EXPECT_EQ(sim->beepCount(), 0);

    menu().open();
    sim->pump();
    sim->addBundle(app("Notes").path, QStringLiteral("com.example.notes"));
    menu().launchApp(app("Notes").path);
    sim->pump();
    EXPECT_EQ(sim->alertsShown().size(), 1u);  // a launch that works shows nothing
    EXPECT_EQ(menu().launcherRecents().paths(), QStringList({app("Notes").path, app("Broken").path}));
}

TEST_F(StartMenuControllerTest, PowerActionClosesTheMenuBeforeItsConfirmation) {
    openLoaded();
    std::optional<std::size_t> alertsAtClose;
    QObject::connect(&menu(), &StartMenuController::panelChanged, [&] {
        if (!menu().isOpen()) alertsAtClose = sim->alertsShown().size();
    });
    sim->queueAlertAnswers({1});  // Cancel
    view()->powerButtons()[2]->click();  // Log Out
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(sim->alertsShown().size(), 1u);
    EXPECT_EQ(alertsAtClose, std::optional<std::size_t>(0)) << "closed before the confirmation";
}

}  // namespace
