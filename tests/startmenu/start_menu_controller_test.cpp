// Opening, closing and toggling the start menu: the chosen display, the
// panel above the bar, the quarter-second guard and the background scan.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/platform.h"
#include "startmenu/start_menu_controller.h"
#include "support/sim_fixture.h"
#include "taskbar/pet/start_icon_store.h"

namespace {

class StartMenuControllerTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        main = platform::displays().mainDisplayID();
        second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    }
    void TearDown() override {
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SimDesktopTest::TearDown();
    }
    StartMenuController& menu() { return StartMenuController::shared(); }
    platform::DisplayID main = 0, second = 0;
};

TEST_F(StartMenuControllerTest, OpensAboveTheBarOfTheDisplayUnderThePointer) {
    sim->setPointer({2000, 300});
    menu().open();
    ASSERT_TRUE(menu().isOpen());
    EXPECT_EQ(menu().presentedScreenID(), std::optional(second));
    // 8 points in from the left edge, its bottom 6 points above the 44-point bar.
    EXPECT_EQ(menu().panel()->geometry(), QRect(1448, 1080 - 44 - 6 - 420, 360, 420));
    EXPECT_FALSE(sim->logLines("app.activate").empty());

    menu().close();
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(menu().presentedScreenID(), std::nullopt);
    EXPECT_DOUBLE_EQ(menu().lastClosedAt(), platform::uptime());
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

    defaults.setString("appearanceBarHeight", "tall");
    defaults.setString("barDisplayMode", "allDisplays");
    menu().open();
    EXPECT_EQ(menu().panel()->geometry().bottom() + 1, 1080 - 54 - 6);
}

TEST_F(StartMenuControllerTest, NoDisplayNoMenu) {
    sim->removeDisplay(second);
    sim->removeDisplay(main);
    menu().open();
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(menu().presentedScreenID(), std::nullopt);
}

TEST_F(StartMenuControllerTest, ToggleFromAClickWaitsAQuarterSecondAfterAClose) {
    struct Step {
        double wait;
        bool fromClick;
        bool openAfter;
    };
    // Starts closed at a fresh close.
    menu().open();
    menu().close();
    const Step steps[] = {
        {0.10, true, false},   // the click that closed it from outside
        {0.00, false, true},   // the shortcut is not guarded
        {0.00, true, false},   // open: any toggle closes
        {0.249, true, false},  // still inside the guard
        {0.002, true, true},   // 0.251 s after the close
    };
    for (const auto& s : steps) {
        sim->advance(s.wait);
        menu().toggle(s.fromClick);
        EXPECT_EQ(menu().isOpen(), s.openAfter) << "after " << s.wait << " s, click " << s.fromClick;
    }
}

TEST_F(StartMenuControllerTest, ClosingFadesOnlyWithAPetAndMotionAllowed) {
    StartIconStore::shared().setPet(StartPet::mouse);
    menu().open();
    QPointer<StartMenuPanel> panel = menu().panel();
    menu().close();
    EXPECT_FALSE(menu().isOpen());  // closed at once for every caller
    EXPECT_TRUE(panel);             // the panel fades out
    sim->advance(0.12);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(panel);

    sim->setReduceMotion(true);
    menu().open();
    panel = menu().panel();
    menu().close();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(StartMenuControllerTest, ScanRunsOnceAtATimeAndMarksAppsLoaded) {
    int scans = 0;
    QStringList result;
    menu().setScanner([&](const QStringList&) {
        ++scans;
        return result;
    });
    menu().loadAppsIfNeeded();
    menu().loadAppsIfNeeded();
    EXPECT_TRUE(menu().isScanning());
    sim->pump();
    EXPECT_EQ(scans, 1);
    EXPECT_FALSE(menu().didLoadApps());  // an empty result does not count

    result = {"/Applications/Notes.app"};
    menu().loadAppsIfNeeded();
    sim->pump();
    EXPECT_TRUE(menu().didLoadApps());
    EXPECT_EQ(menu().apps(), result);

    result.clear();  // a later empty scan keeps what was found
    menu().open();
    sim->pump();
    EXPECT_TRUE(menu().didLoadApps());
    EXPECT_EQ(menu().apps().size(), 1);
}

}  // namespace
