// One bar per chosen display, rebuilt on setting and screen changes, hidden
// while an application is full screen on its display.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/notification_center.h"
#include "windows/bar_metrics.h"
#include "taskbar/bar_panel.h"
#include "taskbar/bar_panel_controller.h"
#include "taskbar/bar_view.h"
#include "taskbar/fullscreen_monitor.h"
#include "bar_test_support.h"

namespace {

// Answers what the test says, so the controller's own handling is what is tested.
class ScriptedDetector : public FullscreenDetecting {
public:
    std::optional<platform::DisplayID> detect(std::optional<std::int32_t>) override { return answer; }
    std::optional<platform::DisplayID> answer;
};

class BarPanelControllerTest : public BarTest {
protected:
    void SetUp() override {
        BarTest::SetUp();
        detector = std::make_shared<ScriptedDetector>();
        controller = std::make_unique<BarPanelController>(detector);
        main = platform::displays().mainDisplayID();
    }
    void TearDown() override {
        controller.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        BarTest::TearDown();
    }
    void start() { controller->start(store.get(), service, pins.get()); }
    // What the application delegate does on the two notifications.
    void observeBarNotifications() {
        auto& centre = platform::NotificationCenter::defaultCenter();
        for (const QString& name :
             {BarMetrics::barHeightChangedNotification(), BarMetrics::displayModeChangedNotification()})
            centre.addObserver(name, [this](const QString&) { controller->rebuild(); });
    }
    std::vector<QRect> frames() const {
        std::vector<QRect> out;
        for (BarPanel* p : controller->panels()) out.push_back(p->geometry());
        return out;
    }

    std::shared_ptr<ScriptedDetector> detector;
    std::unique_ptr<BarPanelController> controller;
    platform::DisplayID main = 0;
};

TEST_F(BarPanelControllerTest, OnePanelPerDisplayAlongItsBottomEdge) {
    const auto left = sim->addDisplay(platform::Rect(-1280, 100, 1280, 800));
    const auto top = sim->addDisplay(platform::Rect(0, -1080, 1920, 1080));
    start();
    ASSERT_EQ(controller->panels().size(), 3u);
    EXPECT_EQ(frames(), (std::vector<QRect>{QRect(0, 856, 1440, 44), QRect(-1280, 856, 1280, 44),
                                            QRect(0, -44, 1920, 44)}));
    EXPECT_EQ(controller->panels()[0]->displayID(), main);
    EXPECT_EQ(controller->panels()[1]->displayID(), left);
    EXPECT_EQ(controller->panels()[2]->displayID(), top);
    for (BarPanel* p : controller->panels()) {
        EXPECT_TRUE(p->isVisible());
        EXPECT_TRUE(p->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        EXPECT_TRUE(p->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(p->testAttribute(Qt::WA_ShowWithoutActivating));
        auto* view = qobject_cast<BarView*>(p->contentView());
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->displayID(), p->displayID());
        EXPECT_EQ(view->geometry(), QRect(QPoint(0, 0), p->size()));
    }
}

TEST_F(BarPanelControllerTest, PanelsWithoutTheStoresHaveNoContent) {
    controller->start(nullptr, service, pins.get());
    ASSERT_EQ(controller->panels().size(), 1u);
    EXPECT_EQ(controller->panels()[0]->contentView(), nullptr);
}

TEST_F(BarPanelControllerTest, BarsShownAheadAreKeptByTheStartWhileTheDisplaysStay) {
    // Shown ahead, then started: the same windows, each with its view.
    controller->showPanels(store.get(), service, pins.get());
    ASSERT_EQ(controller->panels().size(), 1u);
    BarPanel* ahead = controller->panels()[0];
    EXPECT_TRUE(ahead->isVisible());
    EXPECT_NE(qobject_cast<BarView*>(ahead->contentView()), nullptr);
    EXPECT_EQ(ahead->geometry(), QRect(0, 856, 1440, 44));
    start();
    EXPECT_EQ(controller->panels(), std::vector<BarPanel*>{ahead});
    EXPECT_EQ(controller->rebuildCount(), 1);
    EXPECT_TRUE(controller->fullscreenMonitor().isRunning());
    // Started a second time, the bars are built afresh as always.
    start();
    EXPECT_EQ(controller->rebuildCount(), 2);

    // A display that came between the two: the start builds for the displays there are now.
    controller->fullscreenMonitor().stop();
    controller->closeAll();
    controller->showPanels(store.get(), service, pins.get());
    sim->addDisplay(platform::Rect(1440, 0, 1280, 1024));
    start();
    EXPECT_EQ(controller->panels().size(), 2u);
    EXPECT_EQ(controller->rebuildCount(), 4);
}

TEST_F(BarPanelControllerTest, BarHeightNotificationRebuildsAtTheNewHeightAndClosesTheMenu) {
    start();
    observeBarNotifications();
    startMenu.open();
    ASSERT_TRUE(startMenu.isOpen());
    for (auto [text, height] : {std::pair{"narrow", 34}, {"tall", 54}, {"Tall", 44}, {"medium", 44}}) {
        defaults().setString("appearanceBarHeight", text);
        platform::NotificationCenter::defaultCenter().post(BarMetrics::barHeightChangedNotification());
        ASSERT_EQ(controller->panels().size(), 1u);
        EXPECT_EQ(controller->panels()[0]->geometry(), QRect(0, 900 - height, 1440, height)) << text;
    }
    EXPECT_FALSE(startMenu.isOpen());
}

TEST_F(BarPanelControllerTest, DisplayModeNotificationRebuildsOnTheChosenDisplays) {
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    start();
    observeBarNotifications();
    EXPECT_EQ(controller->panels().size(), 2u);

    defaults().setString("barDisplayMode", "mainDisplay");
    platform::NotificationCenter::defaultCenter().post(BarMetrics::displayModeChangedNotification());
    ASSERT_EQ(controller->panels().size(), 1u);
    EXPECT_EQ(controller->panels()[0]->displayID(), main);

    defaults().setString("barDisplayMode", "everywhere");  // names no mode: all displays
    platform::NotificationCenter::defaultCenter().post(BarMetrics::displayModeChangedNotification());
    ASSERT_EQ(controller->panels().size(), 2u);
    EXPECT_EQ(controller->panels()[1]->displayID(), second);
    EXPECT_EQ(controller->panels()[1]->geometry(), QRect(1440, 1036, 1920, 44));
}

TEST_F(BarPanelControllerTest, ScreenChangesRebuildOnlyWhenTheConfigurationDiffers) {
    start();
    const int before = controller->rebuildCount();
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1280, 1024));
    sim->pump();
    EXPECT_EQ(controller->rebuildCount(), before + 1);
    ASSERT_EQ(controller->panels().size(), 2u);
    EXPECT_EQ(controller->panels()[1]->geometry(), QRect(1440, 980, 1280, 44));

    // A notification that changes nothing the bars depend on (our own panels
    // appearing, for instance) does not rebuild.
    controller->screenParametersChanged();
    controller->screenParametersChanged();
    EXPECT_EQ(controller->rebuildCount(), before + 1);

    sim->setDisplayBounds(second, platform::Rect(1440, 0, 1600, 900));
    sim->pump();
    EXPECT_EQ(controller->rebuildCount(), before + 2);
    EXPECT_EQ(controller->panels()[1]->geometry(), QRect(1440, 856, 1600, 44));

    sim->removeDisplay(second);
    sim->pump();
    EXPECT_EQ(controller->panels().size(), 1u);

    controller->stopObservingScreens();
    sim->addDisplay(platform::Rect(1440, 0, 1280, 1024));
    sim->pump();
    EXPECT_EQ(controller->panels().size(), 1u);
}

TEST_F(BarPanelControllerTest, FullScreenHidesThatDisplaysBarAndShowsItAgain) {
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    start();
    BarPanel* a = controller->panel(main);
    BarPanel* b = controller->panel(second);

    detector->answer = second;
    sim->advance(1.2);  // the poll notices within about 1.15 s
    EXPECT_EQ(controller->fullscreenDisplay(), std::optional<platform::DisplayID>(second));
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(b->isVisible());

    // A rebuild keeps the full-screen display's new panel hidden.
    controller->rebuild();
    EXPECT_FALSE(controller->panel(second)->isVisible());
    EXPECT_TRUE(controller->panel(main)->isVisible());

    detector->answer = std::nullopt;
    sim->advance(1.0);
    EXPECT_EQ(controller->fullscreenDisplay(), std::nullopt);
    EXPECT_TRUE(controller->panel(second)->isVisible());
}

TEST_F(BarPanelControllerTest, AnotherDisplayGoingFullScreenSwapsAndClosesTheMenuThere) {
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    start();
    controller->fullscreenMonitor().stop();  // the reports come from the test alone
    auto& menu = startMenu;

    controller->fullscreenChanged(main);
    EXPECT_FALSE(controller->panel(main)->isVisible());

    sim->setPointer({1600, 500});
    menu.open();
    ASSERT_EQ(menu.presentedScreenID(), std::optional<platform::DisplayID>(second));
    // The main display leaving full screen does not touch a menu elsewhere.
    controller->fullscreenChanged(std::nullopt);
    EXPECT_TRUE(menu.isOpen());

    controller->fullscreenChanged(second);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_TRUE(controller->panel(main)->isVisible());
    EXPECT_FALSE(controller->panel(second)->isVisible());

    // The same report again does nothing: the menu opened since stays open.
    sim->advance(0.3);
    menu.open();
    controller->fullscreenChanged(second);
    EXPECT_TRUE(menu.isOpen());

    // Another display: the earlier one comes back before the new one hides.
    controller->fullscreenChanged(main);
    EXPECT_TRUE(controller->panel(second)->isVisible());
    EXPECT_FALSE(controller->panel(main)->isVisible());
    EXPECT_TRUE(menu.isOpen());  // it is on the second display
}

TEST_F(BarPanelControllerTest, CloseAllLeavesNoPanels) {
    start();
    controller->fullscreenMonitor().stop();
    controller->closeAll();
    EXPECT_TRUE(controller->panels().empty());
    // A later start builds everything again.
    start();
    EXPECT_EQ(controller->panels().size(), 1u);
    EXPECT_TRUE(controller->fullscreenMonitor().isRunning());
}

}  // namespace
