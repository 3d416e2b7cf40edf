// The strip on stores: groups, divider, overflow, labels, settings followed
// live, drag reordering with persisted order, the drag highlight across two
// strips, changes in the middle of a drag, and repaints of changed buttons.
#include <gtest/gtest.h>

#include <QTest>

#include "task_strip_test_support.h"

namespace {

class TaskStripViewTest : public StripTest {};

QStringList ids(const std::vector<TaskButtonView*>& buttons) {
    QStringList out;
    for (auto* b : buttons) out.push_back(b->item().id);
    return out;
}

TEST_F(TaskStripViewTest, GroupsDividerAndOverflowStandOnlyWhenNeeded) {
    defaults().setString("interactionModel", "grouped");
    auto* strip = makeStrip(800);
    EXPECT_FALSE(strip->divider()->isVisibleTo(strip));
    EXPECT_FALSE(strip->overflowButton()->isVisibleTo(strip));

    pins->setPinnedBundleIDs({"com.example.mail"});
    EXPECT_EQ(strip->pinnedButtons().size(), 1u);
    EXPECT_FALSE(strip->divider()->isVisibleTo(strip)) << "no running group: no divider";

    store->setApps({app(11, "Notes"), app(12, "Mail")});
    EXPECT_EQ(ids(strip->pinnedButtons()), QStringList{"app:12"});
    EXPECT_EQ(ids(strip->runningButtons()), QStringList{"app:11"});
    ASSERT_TRUE(strip->divider()->isVisibleTo(strip));
    EXPECT_EQ(strip->divider()->size(), QSize(1, 22));
    const auto pinnedRight = strip->pinnedButtons()[0]->geometry().right() + 1;
    EXPECT_EQ(strip->divider()->x(), pinnedRight + 4);
    EXPECT_EQ(strip->runningButtons()[0]->x(), pinnedRight + 9);

    // Pins wider than the strip: every pin shows, every running app overflows.
    QStringList many;
    for (int i = 0; i < 40; ++i) many << QStringLiteral("com.example.pin%1").arg(i);
    pins->setPinnedBundleIDs(many);
    EXPECT_EQ(strip->pinnedButtons().size(), 40u);
    EXPECT_TRUE(strip->runningButtons().empty());
    ASSERT_TRUE(strip->overflowButton()->isVisibleTo(strip));
    EXPECT_EQ(strip->overflowButton()->items().size(), 2u);

    // No pins: the running group gets the whole width, no gap.
    pins->setPinnedBundleIDs({});
    EXPECT_FALSE(strip->divider()->isVisibleTo(strip));
    EXPECT_EQ(strip->runningButtons()[0]->x(), 4);
}

TEST_F(TaskStripViewTest, OverflowSplitsAtTheFitAndHandsTheRestOn) {
    store->setApps(apps(10));
    // 10 plain buttons at 18 pt need 316; 200 leaves 184 -> walk: 50, 82, ..., 178, 210
    auto* strip = makeStrip(200);
    const auto fit = strip->lastFit();
    EXPECT_TRUE(fit.overflow);
    EXPECT_EQ(fit.visibleCount, 4);
    EXPECT_EQ(strip->runningButtons().size(), 4u);
    const auto& hidden = strip->overflowButton()->items();
    ASSERT_EQ(hidden.size(), 6u);
    EXPECT_EQ(hidden.front().label, "App04 1");
    EXPECT_EQ(hidden.back().label, "App09 1");
    // The overflow button follows the last shown button and stays in the strip.
    const QRect last = strip->runningButtons().back()->geometry();
    EXPECT_EQ(strip->overflowButton()->x(), last.right() + 1 + 4);
    EXPECT_LE(strip->overflowButton()->geometry().right(), strip->width());

    // Widening brings them all back, with labels when there is room.
    strip->resize(1400, 44);
    EXPECT_FALSE(strip->overflowButton()->isVisibleTo(strip));
    EXPECT_EQ(strip->runningButtons().size(), 10u);
    EXPECT_TRUE(strip->lastFit().showLabels);
}

TEST_F(TaskStripViewTest, LabelsFitEveryBarHeightForLongAndShortTitles) {
    const QString longTitle = QStringLiteral("A rather long window title that never fits in one button");
    for (const char* height : {"narrow", "medium", "tall"}) {
        SCOPED_TRACE(height);
        defaults().setString("appearanceBarHeight", height);
        const double x = TaskStripLayout::iconSize(height);
        auto shortApp = app(21, "Ed");
        auto longApp = app(22, "Long");
        longApp.windows[0].title = longTitle;
        store->setApps({shortApp, longApp});
        auto* strip = makeStrip(1000, int(TaskStripLayout::runningDotReferenceHeight(height)));
        ASSERT_TRUE(strip->lastFit().showLabels);
        const double cap = strip->lastFit().labelWidth;
        EXPECT_DOUBLE_EQ(cap, 168 - (x + 21));
        auto running = strip->runningButtons();
        ASSERT_EQ(running.size(), 2u);
        // per-window mode: labelled by window title
        EXPECT_EQ(running[0]->labelText(), "Ed 1");
        EXPECT_EQ(running[1]->labelText(), longTitle);
        EXPECT_LT(running[0]->naturalWidth(), 168 - 20) << "a short title keeps its own width";
        EXPECT_EQ(running[1]->naturalWidth(), int(std::ceil(16 + x + 5 + cap))) << "a long title is cut at the cap";
        EXPECT_EQ(running[1]->buttonRect().height(), TaskStripLayout::buttonHeight(height));

        // Icons-only, followed live: same buttons, no labels.
        defaults().setBool("taskStripAlwaysIconsOnly", true);
        EXPECT_FALSE(strip->lastFit().showLabels);
        EXPECT_EQ(strip->runningButtons()[1], running[1]) << "the button is kept";
        EXPECT_EQ(running[1]->naturalWidth(), int(x + 10));
        defaults().remove("taskStripAlwaysIconsOnly");
        strips.clear();
    }
}

TEST_F(TaskStripViewTest, PinnedReorderIsPersistedAndNeverCrossesTheDivider) {
    pins->setPinnedBundleIDs({"a", "b", "c"});
    store->setApps({app(41, "Run")});
    auto* strip = makeStrip(900);
    sim->clearLog();
    strip->reorder("a", "c");
    EXPECT_EQ(pins->pinnedBundleIDs(), (QStringList{"b", "c", "a"}));
    strip->reorder("a", "b");
    EXPECT_EQ(pins->pinnedBundleIDs(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(defaults().stringArrayValue("pinnedBundleIDs"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(ids(strip->pinnedButtons()), (QStringList{"pin:a", "pin:b", "pin:c"}));

    strip->reorder("a", "com.example.run");
    strip->reorder("com.example.run", "c");
    strip->reorder("a", "a");
    EXPECT_EQ(pins->pinnedBundleIDs(), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(pins->activeOrder().isEmpty());
}

TEST_F(TaskStripViewTest, DroppedButtonsSlideIntoPlaceOnTheSpring) {
    pins->setPinnedBundleIDs({"a", "b", "c"});
    auto* strip = makeStrip(900);
    TaskButtonView* a = strip->button("pin:a");
    const int startX = a->x();
    strip->reorder("a", "c");
    EXPECT_EQ(a->x(), startX) << "the dropped button starts where it was";
    sim->advance(0.05);
    EXPECT_GT(a->x(), startX);
    sim->advance(0.5);
    EXPECT_GT(a->x(), strip->button("pin:c")->x()) << "and ends after the target";
    EXPECT_GT(strip->button("pin:c")->x(), strip->button("pin:b")->x());
}

TEST_F(TaskStripViewTest, RunningReorderMovesAllWindowsOfAnApplicationAndWritesOnlyChanges) {
    store->setApps({app(51, "Alpha", 2), app(52, "Beta"), app(53, "Gamma")});
    auto* strip = makeStrip(1200);
    EXPECT_EQ(strip->currentRunningOrder(),
              (QStringList{"com.example.alpha", "com.example.beta", "com.example.gamma"}));
    sim->clearLog();
    strip->reorder("com.example.alpha", "com.example.gamma");
    EXPECT_EQ(pins->activeOrder(), (QStringList{"com.example.beta", "com.example.gamma", "com.example.alpha"}));
    EXPECT_EQ(defaults().stringArrayValue("activeOrder"), pins->activeOrder());
    EXPECT_EQ(ids(strip->runningButtons()), (QStringList{"win:5200", "win:5300", "win:5100", "win:5101"}));
    const auto writes = sim->logLines("prefs.set").size();
    EXPECT_GE(writes, 1u);

    strip->reorder("com.example.alpha", "com.example.nothere");
    // Dropping Gamma onto Beta then back leaves it where it was: no write.
    strip->reorder("com.example.beta", "com.example.beta");
    EXPECT_EQ(sim->logLines("prefs.set").size(), writes);
    strip->persistActiveOrder(pins->activeOrder());
    EXPECT_EQ(sim->logLines("prefs.set").size(), writes);
}

// Presses a button's catcher and drags to a point of another widget.
void dragTo(StripTest& t, TaskButtonView* from, QWidget* onto, double dxInOnto) {
    CatcherView* c = from->catcher();
    const QPointF start = QPointF(c->rect().center());
    StripTest::press(c, start);
    const QPointF ontoCentre = StripTest::centreIn(onto, c);
    StripTest::move(c, start + QPointF(3, 3));  // 6 > 4: a drag
    StripTest::move(c, QPointF(ontoCentre.x() + dxInOnto, start.y()));
    (void)t;
}

TEST_F(TaskStripViewTest, MouseDragReordersAndHighlightsInEveryBar) {
    defaults().setString("interactionModel", "grouped");
    store->setApps({app(61, "Alpha"), app(62, "Beta"), app(63, "Gamma")});
    auto* one = makeStrip(900);
    auto* two = makeStrip(900);
    auto* alpha = one->button("app:61");
    ASSERT_NE(alpha, nullptr);

    dragTo(*this, alpha, one->button("app:62")->catcher(), 5);  // past Beta's middle
    EXPECT_EQ(pins->draggingBundleID(), std::optional<QString>("com.example.alpha"));
    EXPECT_TRUE(alpha->isDragged());
    EXPECT_TRUE(two->button("app:61")->isDragged()) << "the other bar shows the drag too";
    EXPECT_FALSE(two->button("app:62")->isDragged());
    EXPECT_EQ(pins->activeOrder(), (QStringList{"com.example.beta", "com.example.alpha", "com.example.gamma"}));
    EXPECT_EQ(ids(two->runningButtons()), (QStringList{"app:62", "app:61", "app:63"}));
    EXPECT_EQ(one->button("app:61"), alpha) << "the dragged button survives the rebuild";
    EXPECT_TRUE(alpha->catcher()->isDragging());

    release(alpha->catcher(), QPointF(alpha->catcher()->rect().center()));
    EXPECT_FALSE(pins->draggingBundleID());
    EXPECT_FALSE(two->button("app:61")->isDragged());
}

TEST_F(TaskStripViewTest, ADragEndsWhenItsBarHidesTheGrabIsLostOrItsButtonGoes) {
    defaults().setString("interactionModel", "grouped");
    store->setApps({app(71, "Alpha"), app(72, "Beta"), app(73, "Gamma")});
    auto* one = makeStrip(900);
    auto* other = makeStrip(900);

    // The bar hides.
    dragTo(*this, one->button("app:71"), one->button("app:72")->catcher(), -20);
    ASSERT_TRUE(pins->draggingBundleID());
    auto* draggedAlpha = one->button("app:71");
    ASSERT_TRUE(draggedAlpha->catcher()->isDragging());
    ASSERT_TRUE(draggedAlpha->catcher()->isVisible());
    one->hide();
    EXPECT_FALSE(draggedAlpha->catcher()->isDragging());
    EXPECT_FALSE(pins->draggingBundleID());
    EXPECT_FALSE(other->button("app:71")->isDragged());
    one->show();

    // The release went elsewhere: the next move comes without the button.
    auto* beta = one->button("app:72");
    dragTo(*this, beta, one->button("app:73")->catcher(), -20);
    ASSERT_EQ(pins->draggingBundleID(), std::optional<QString>("com.example.beta"));
    mouse(beta->catcher(), QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(pins->draggingBundleID());

    // Another application's button goes away mid-drag: the drag goes on.
    dragTo(*this, one->button("app:71"), one->button("app:72")->catcher(), -20);
    ASSERT_EQ(pins->draggingBundleID(), std::optional<QString>("com.example.alpha"));
    store->setApps({app(71, "Alpha"), app(72, "Beta")});
    EXPECT_EQ(pins->draggingBundleID(), std::optional<QString>("com.example.alpha"));
    EXPECT_TRUE(one->button("app:71")->catcher()->isDragging());
    // The other bar's button of the dragged application goes (its bar was
    // narrowed): it is not the one dragged, the highlight stays.
    other->resize(60, 44);
    EXPECT_EQ(other->button("app:71"), nullptr);
    EXPECT_EQ(pins->draggingBundleID(), std::optional<QString>("com.example.alpha"));
    // The dragged button itself goes: the highlight is cleared.
    store->setApps({app(72, "Beta")});
    EXPECT_FALSE(pins->draggingBundleID());
}

TEST_F(TaskStripViewTest, AChangedSnapshotRepaintsOnlyTheButtonsThatChanged) {
    defaults().setString("interactionModel", "grouped");
    defaults().setBool("taskStripAlwaysIconsOnly", true);
    auto list = apps(8);
    store->setApps(list);
    auto* strip = makeStrip(900);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    QApplication::processEvents();
    std::map<QString, int> before;
    for (auto* b : strip->runningButtons()) before[b->item().id] = b->paintCount();

    list[3].isActive = true;
    list[5].hasUnread = true;
    store->setApps(list);
    QApplication::processEvents();
    QStringList repainted;
    for (auto* b : strip->runningButtons())
        if (b->paintCount() != before[b->item().id]) repainted << b->item().id;
    EXPECT_EQ(repainted, (QStringList{"app:1003", "app:1005"}));

    // An equal snapshot repaints nothing.
    for (auto* b : strip->runningButtons()) before[b->item().id] = b->paintCount();
    store->setApps(list);
    strip->rebuild();
    QApplication::processEvents();
    for (auto* b : strip->runningButtons()) EXPECT_EQ(b->paintCount(), before[b->item().id]) << b->item().id.toStdString();
}

}  // namespace
