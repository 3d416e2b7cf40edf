// The drawing view and the overlay anchor on the manual clock: when timers
// and monitors exist, what the pet does over time, and where the overlay lies.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWindow>
#include <cmath>
#include <memory>

#include "support/sim_fixture.h"
#include "taskbar/pet/pet_drawing_view.h"
#include "taskbar/pet/pet_overlay_anchor.h"

namespace {

// A bar window at (100, 300), 400 x 44, with the pet's view at x 20.
class PetViewTest : public SimDesktopTest {
protected:
    static constexpr double barX = 100, barY = 300, viewX = 20;

    void SetUp() override {
        SimDesktopTest::SetUp();
        bar = std::make_unique<QWidget>();
        bar->setGeometry(int(barX), int(barY), 400, 44);
        view = new PetDrawingView(bar.get());
        view->setGeometry(int(viewX), 0, 36, 44);
        // Always the shortest interval, so the schedule is known.
        view->setRandomSource([](double low, double) { return low; });
    }
    void TearDown() override {
        bar.reset();
        SimDesktopTest::TearDown();
    }

    double now() const { return sim->now(); }
    // Moves the pointer to a point of the view and lets the program see the move.
    void pointAt(double x, double y) {
        sim->setPointer({barX + viewX + x, barY + y});
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(bar->windowHandle(), &move);
        sim->pump();
    }
    // Runs the clock in frame-sized steps and reports whether a frame timer
    // ran at any of them.
    bool frameTimerRanDuring(double seconds) {
        bool ran = false;
        for (double t = 0; t < seconds; t += 1.0 / 30) {
            sim->advance(1.0 / 30);
            ran = ran || view->frameTimerRunning();
        }
        return ran;
    }

    std::unique_ptr<QWidget> bar;
    PetDrawingView* view = nullptr;
};

TEST_F(PetViewTest, ShowingTheBarActivatesAndCountsAsATouch) {
    EXPECT_FALSE(view->isActive());
    EXPECT_EQ(view->monitorCount(), 0);
    sim->advance(5);
    bar->show();
    EXPECT_TRUE(view->isActive());
    EXPECT_TRUE(view->idleTimerRunning());
    EXPECT_GE(view->monitorCount(), 1);
    EXPECT_DOUBLE_EQ(view->rest.lastTouch, now());
}

TEST_F(PetViewTest, HidingOrMinimisingStopsEverythingAndShowingRestarts) {
    bar->show();
    sim->advance(1);  // first idle tick: a blink and a wag, frames run
    ASSERT_TRUE(view->frameTimerRunning());

    bar->hide();
    EXPECT_FALSE(view->isActive());
    EXPECT_FALSE(view->frameTimerRunning());
    EXPECT_FALSE(view->idleTimerRunning());
    EXPECT_EQ(view->monitorCount(), 0);

    sim->advance(30);
    bar->show();
    EXPECT_TRUE(view->isActive());
    EXPECT_DOUBLE_EQ(view->rest.lastTouch, now());

    bar->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(view->isActive());
    EXPECT_FALSE(view->idleTimerRunning());
    EXPECT_EQ(view->monitorCount(), 0);
    sim->advance(10);
    bar->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(view->isActive());
    EXPECT_DOUBLE_EQ(view->rest.lastTouch, now());
}

TEST_F(PetViewTest, FirstIdleTickBlinksAndWagsThenFramesStopOnceStill) {
    bar->show();
    const double shown = now();
    sim->advance(1);
    EXPECT_DOUBLE_EQ(view->blinkAt(), shown + 1);
    EXPECT_DOUBLE_EQ(view->wagAt(), shown + 1);
    EXPECT_DOUBLE_EQ(view->nextBlink(), shown + 1 + 4);
    EXPECT_DOUBLE_EQ(view->nextWag(), shown + 1 + 10);
    EXPECT_TRUE(view->frameTimerRunning());

    // The cat's wag lasts 1.2 s; after it nothing moves and no frame runs.
    sim->advance(1.3);
    EXPECT_FALSE(view->frameTimerRunning());
    // The next blink comes alone: no wag before its time.
    sim->advance(3);
    EXPECT_DOUBLE_EQ(view->blinkAt(), shown + 5);
    EXPECT_DOUBLE_EQ(view->wagAt(), shown + 1);
    sim->advance(0.5);
    EXPECT_FALSE(view->frameTimerRunning());
}

TEST_F(PetViewTest, AStillPetPaintsNothingAtIdleTicks) {
    view->setRandomSource([](double, double high) { return high; });
    bar->show();
    sim->advance(3);  // the first blink and wag are over
    QCoreApplication::processEvents();
    const int painted = view->framesDrawn();
    ASSERT_GT(painted, 0);
    for (int i = 0; i < 5; ++i) {
        sim->advance(1);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(view->framesDrawn(), painted);
    EXPECT_FALSE(view->frameTimerRunning());
    // The next blink (at 9 s) paints again.
    sim->advance(1.1);
    QCoreApplication::processEvents();
    EXPECT_GT(view->framesDrawn(), painted);
}

TEST_F(PetViewTest, NapsAfterAMinuteAndWakesWhenTouched) {
    view->setRandomSource([](double, double high) { return high; });
    bar->show();
    const double touched = now();
    sim->advance(60.8);
    EXPECT_NEAR(petRestLevel(now(), view->rest), 1, 1e-9);
    const PetPose asleep = view->framePose(now());
    EXPECT_NEAR(asleep.blink, 1, 1e-9);
    EXPECT_NEAR(asleep.rest, 1, 1e-9);
    EXPECT_LT(view->frameSquash(now()), 1);
    // The next idle tick sees the nap and runs frames for the breathing.
    sim->advance(0.2);
    EXPECT_TRUE(view->frameTimerRunning());

    // Asleep, it neither blinks nor wags.
    const double lastBlink = view->blinkAt();
    sim->advance(10);
    EXPECT_DOUBLE_EQ(view->blinkAt(), lastBlink);

    // Awake between naps (84 s to 102 s into the quiet): frames stop.
    sim->advance(touched + 90 - now());
    EXPECT_FALSE(view->frameTimerRunning());
    sim->advance(touched + 103 - now());
    EXPECT_GT(view->framePose(now()).rest, 0);

    // The pointer over the head wakes it at once.
    pointAt(18, 20);
    EXPECT_DOUBLE_EQ(view->rest.lastTouch, now());
    EXPECT_EQ(view->framePose(now()).rest, 0);
    EXPECT_DOUBLE_EQ(view->frameSquash(now()), 1);
}

TEST_F(PetViewTest, EyesFollowThePointerWithinReachAndSettle) {
    bar->show();
    sim->advance(3);  // let the first blink and wag pass
    pointAt(18 + 40, 20);
    EXPECT_NEAR(view->gazeTarget().x, 1, 1e-9);
    EXPECT_NEAR(view->gazeTarget().y, 0, 1e-9);
    EXPECT_TRUE(view->frameTimerRunning());
    sim->advance(1);
    EXPECT_EQ(view->gaze(), view->gazeTarget());
    EXPECT_FALSE(view->frameTimerRunning());

    // Too far to the side: the eyes come back to the middle.
    pointAt(18 + 80, 20);
    EXPECT_EQ(view->gazeTarget(), (PetVector{0, 0}));
    sim->advance(1);
    EXPECT_EQ(view->gaze(), (PetVector{0, 0}));
}

TEST_F(PetViewTest, ReducedMotionHoldsThePetStill) {
    bar->show();
    sim->setReduceMotion(true);
    sim->pump();
    ASSERT_TRUE(view->reducedMotion);

    view->transition.retarget(true, view->reducedMotion, now());
    pointAt(18 + 40, 20);
    EXPECT_EQ(view->gazeTarget(), (PetVector{0, 0}));
    EXPECT_FALSE(frameTimerRanDuring(3));
    const PetPose pose = view->framePose(now());
    EXPECT_EQ(pose.blink, 0);
    EXPECT_EQ(pose.wag, 0);
    EXPECT_EQ(pose.breath, 0.5);
    EXPECT_EQ(pose.gazeX, 0);
    EXPECT_DOUBLE_EQ(pose.transition, 1);  // jumped

    // The nap still comes, seen at the idle ticks, without frames.
    pointAt(300, 20);
    EXPECT_FALSE(frameTimerRanDuring(62));
    EXPECT_EQ(view->framePose(now()).rest, 1);
}

TEST_F(PetViewTest, WithoutIdleMotionTheEyesStillFollow) {
    view->idleMotion = false;
    bar->show();
    EXPECT_FALSE(view->idleTimerRunning());
    EXPECT_GE(view->monitorCount(), 1);
    sim->advance(200);
    const PetPose pose = view->framePose(now());
    EXPECT_EQ(pose.blink, 0);
    EXPECT_EQ(pose.wag, 0);
    EXPECT_EQ(pose.rest, 0);
    pointAt(18, 20 + 30);
    EXPECT_NEAR(view->gazeTarget().y, 1, 1e-9);
}

TEST_F(PetViewTest, WithBothSettingsOffOnlyTheMenuTransitionMoves) {
    view->idleMotion = false;
    view->followsPointer = false;
    bar->show();
    EXPECT_EQ(view->monitorCount(), 0);
    EXPECT_FALSE(view->idleTimerRunning());
    EXPECT_FALSE(view->frameTimerRunning());

    view->transition.retarget(true, false, now());
    view->startFrameTimer();
    EXPECT_TRUE(view->frameTimerRunning());
    sim->advance(0.3);
    EXPECT_FALSE(view->frameTimerRunning());
    EXPECT_DOUBLE_EQ(view->framePose(now()).transition, 1);
}

TEST_F(PetViewTest, WhileTheMenuIsOpenItNeverWagsOrSleeps) {
    view->menuOpen = true;
    bar->show();
    sim->advance(150);
    EXPECT_EQ(view->wagAt(), -std::numeric_limits<double>::infinity());
    EXPECT_GT(view->blinkAt(), 0);  // it still blinks
    EXPECT_EQ(view->framePose(now()).rest, 0);
    EXPECT_EQ(petRestLevel(now(), view->rest), 0);
}

TEST_F(PetViewTest, DesktopWidePointerMovesReachTheEyes) {
    bar->show();
    if (view->monitorCount() < 2) GTEST_SKIP() << "the backend offers no desktop-wide pointer monitor";
    sim->advance(3);
    sim->setPointer({barX + viewX + 18 - 40, barY + 20});
    sim->pump();
    EXPECT_NEAR(view->gazeTarget().x, -1, 1e-9);
}

// ---- overlay anchor ---------------------------------------------------------

class PetAnchorTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        bar = makeBar(0);
        button = new QWidget(bar.get());
        button->setGeometry(6, 8, 36, 28);
        anchor = new PetOverlayAnchor(button);
        anchor->setGeometry(0, 0, 36, 28);
    }
    void TearDown() override {
        other.reset();
        bar.reset();
        SimDesktopTest::TearDown();
    }
    static std::unique_ptr<QWidget> makeBar(int y) {
        auto w = std::make_unique<QWidget>();
        w->setGeometry(0, y, 500, 44);
        return w;
    }

    std::unique_ptr<QWidget> bar;
    std::unique_ptr<QWidget> other;
    QWidget* button = nullptr;
    PetOverlayAnchor* anchor = nullptr;
};

TEST_F(PetAnchorTest, NoOverlayUntilLaidOutWithAWidth) {
    anchor->setGeometry(0, 0, 0, 28);
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    EXPECT_EQ(anchor->overlay(), nullptr);

    anchor->setGeometry(0, 0, 36, 28);
    ASSERT_NE(anchor->overlay(), nullptr);
    EXPECT_EQ(anchor->overlay()->parentWidget(), bar.get());
    // 36 wide, centred on the button, as tall as the bar.
    EXPECT_EQ(anchor->overlay()->geometry(), QRect(6 + 18 - 18, 0, 36, 44));
    EXPECT_TRUE(anchor->drawing()->isActive());
    EXPECT_DOUBLE_EQ(anchor->drawing()->barHeight, 44);
}

TEST_F(PetAnchorTest, OverlayFollowsTheButtonAndTheBarHeight) {
    bar->show();
    anchor->setState(StartPet::dog, false, true, true);
    button->move(40, 8);
    EXPECT_EQ(anchor->overlay()->geometry().center().x(), QRect(40, 8, 36, 28).center().x());
    bar->resize(500, 54);
    EXPECT_EQ(anchor->overlay()->height(), 54);
    EXPECT_DOUBLE_EQ(anchor->drawing()->barHeight, 54);
}

TEST_F(PetAnchorTest, OverlayLeavesAndReturnsWithTheBar) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    QWidget* overlay = anchor->overlay();
    ASSERT_NE(overlay, nullptr);

    bar->hide();
    EXPECT_TRUE(overlay->isHidden());
    EXPECT_FALSE(anchor->drawing()->isActive());

    sim->advance(20);
    bar->show();
    EXPECT_FALSE(overlay->isHidden());
    EXPECT_TRUE(anchor->drawing()->isActive());
    EXPECT_DOUBLE_EQ(anchor->drawing()->rest.lastTouch, sim->now());

    bar->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(overlay->isHidden());
    EXPECT_FALSE(anchor->drawing()->idleTimerRunning());
    bar->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(overlay->isHidden());
    EXPECT_TRUE(anchor->drawing()->idleTimerRunning());
}

TEST_F(PetAnchorTest, MenuOpenAndPetChangesKeepThePetAwake) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    const double first = sim->now();
    EXPECT_DOUBLE_EQ(anchor->drawing()->rest.lastTouch, first);

    sim->advance(30);
    anchor->setState(StartPet::cat, false, true, true);  // nothing new
    EXPECT_DOUBLE_EQ(anchor->drawing()->rest.lastTouch, first);
    anchor->setState(StartPet::mouse, false, true, true);
    EXPECT_DOUBLE_EQ(anchor->drawing()->rest.lastTouch, sim->now());
    EXPECT_EQ(anchor->drawing()->pet, StartPet::mouse);

    sim->advance(10);
    anchor->setState(StartPet::mouse, true, true, true);
    EXPECT_DOUBLE_EQ(anchor->drawing()->rest.lastTouch, sim->now());
    sim->advance(120);
    EXPECT_EQ(anchor->drawing()->framePose(sim->now()).rest, 0);
}

TEST_F(PetAnchorTest, OpeningTheMenuAnimatesUnlessMotionIsReduced) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    sim->advance(3);
    anchor->setState(StartPet::cat, true, true, true);
    PetDrawingView* d = anchor->drawing();
    EXPECT_DOUBLE_EQ(d->transition.target, 1);
    EXPECT_DOUBLE_EQ(d->transition.duration, 0.28);
    EXPECT_TRUE(d->frameTimerRunning());
    sim->advance(0.3);
    EXPECT_DOUBLE_EQ(d->framePose(sim->now()).transition, 1);

    sim->setReduceMotion(true);
    sim->pump();
    anchor->setState(StartPet::cat, false, true, true);
    EXPECT_DOUBLE_EQ(d->transition.duration, 0);
    EXPECT_DOUBLE_EQ(d->framePose(sim->now()).transition, 0);
    EXPECT_FALSE(d->frameTimerRunning());
}

TEST_F(PetAnchorTest, SettingsChangesRestartTheView) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    EXPECT_GE(anchor->drawing()->monitorCount(), 1);
    anchor->setState(StartPet::cat, false, false, false);
    EXPECT_EQ(anchor->drawing()->monitorCount(), 0);
    EXPECT_FALSE(anchor->drawing()->idleTimerRunning());
    anchor->setState(StartPet::cat, false, false, true);
    EXPECT_TRUE(anchor->drawing()->idleTimerRunning());
}

TEST_F(PetAnchorTest, MovingToAnotherBarRecreatesTheOverlayThere) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    QPointer<QWidget> first = anchor->overlay();
    ASSERT_TRUE(first);

    other = makeBar(400);
    other->show();
    button->setParent(other.get());
    button->show();
    anchor->setState(StartPet::cat, false, true, true);
    EXPECT_FALSE(first);  // the old overlay is gone
    ASSERT_NE(anchor->overlay(), nullptr);
    EXPECT_EQ(anchor->attachedWindow(), other.get());
    EXPECT_EQ(anchor->overlay()->parentWidget(), other.get());
    EXPECT_TRUE(anchor->drawing()->isActive());
    EXPECT_EQ(bar->findChildren<PetDrawingView*>().size(), 0);
}

TEST_F(PetAnchorTest, DismantlingDropsTheOverlayButKeepsTheDrawing) {
    bar->show();
    anchor->setState(StartPet::cat, false, true, true);
    QPointer<PetDrawingView> drawing = anchor->drawing();
    anchor->dismantle();
    EXPECT_EQ(anchor->overlay(), nullptr);
    ASSERT_TRUE(drawing);
    EXPECT_FALSE(drawing->isActive());
    EXPECT_EQ(drawing->monitorCount(), 0);
    anchor->setState(StartPet::cat, false, true, true);
    EXPECT_EQ(anchor->drawing(), drawing.data());  // reused
    EXPECT_TRUE(drawing->isActive());
}

}  // namespace
