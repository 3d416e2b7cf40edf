// The catcher: click versus drag, release outside, reorder reports by
// direction and middle, menus with separators, right clicks kept from the bar.
#include <gtest/gtest.h>

#include <QMenu>

#include "taskbar/bar_view.h"
#include "task_strip_test_support.h"

namespace {

class MouseCatcherTest : public StripTest {
protected:
    void SetUp() override {
        StripTest::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(300, 40);
        for (int i = 0; i < 3; ++i) {
            auto* c = new CatcherView(window.get());
            c->setGeometry(10 + i * 50, 5, 40, 30);
            catchers.push_back(c);
        }
        window->show();
    }
    void TearDown() override {
        window.reset();
        StripTest::TearDown();
    }
    MouseCatcher bridge(const QString& id) {
        MouseCatcher b;
        b.onLeftClick = [this] { ++clicks; };
        b.dragBundleID = id;
        b.onReorder = [this](const QString& d, const QString& t) { reports << d + ">" + t; };
        b.onDragBegan = [this] { ++began; };
        b.onDragEnded = [this] { ++ended; };
        return b;
    }
    std::unique_ptr<QWidget> window;
    std::vector<CatcherView*> catchers;
    int clicks = 0, began = 0, ended = 0;
    QStringList reports;
};

TEST_F(MouseCatcherTest, ClickOrDragByTheThreshold) {
    struct Case {
        QPointF moveBy;
        bool inside;
        int clicks, began, ended;
    } cases[] = {
        {{3, 1}, true, 1, 0, 0},     // sum 4: still a click
        {{3, 2}, true, 0, 1, 1},     // sum 5: a drag, no click
        {{-2, -2}, true, 1, 0, 0},
        {{0, 0}, false, 0, 0, 0},    // released outside: nothing
    };
    auto* c = catchers[0];
    c->apply(bridge("a"));
    for (const auto& k : cases) {
        clicks = began = ended = 0;
        const QPointF start(20, 15);
        press(c, start);
        move(c, start + k.moveBy);
        move(c, start + k.moveBy);
        release(c, k.inside ? start + k.moveBy : QPointF(-30, 15));
        EXPECT_EQ(clicks, k.clicks) << k.moveBy.x() << "," << k.moveBy.y();
        EXPECT_EQ(began, k.began);
        EXPECT_EQ(ended, k.ended);
    }
    // Without a bundle identifier nothing is dragged and the release clicks.
    auto b = bridge("a");
    b.dragBundleID.reset();
    c->apply(b);
    clicks = began = 0;
    press(c, {20, 15});
    move(c, {30, 15});
    release(c, {30, 15});
    EXPECT_EQ(began, 0);
    EXPECT_EQ(clicks, 1);
}

TEST_F(MouseCatcherTest, ReordersByDirectionPastTheNeighboursMiddle) {
    for (int i = 0; i < 3; ++i) catchers[std::size_t(i)]->apply(bridge(QString(QChar('a' + i))));
    auto* c = catchers[0];
    press(c, {20, 15});
    move(c, {30, 15});                 // drag begins over itself: no report
    EXPECT_TRUE(reports.isEmpty());
    move(c, {60, 15});                 // window x 70: b spans 60..100, middle 80
    EXPECT_TRUE(reports.isEmpty());
    move(c, {75, 15});                 // x 85 > 80 moving right
    EXPECT_EQ(reports, QStringList{"a>b"});
    move(c, {75, 15});                 // dx 0: nothing
    move(c, {80, 15});                 // still right of the middle, moving right: again
    EXPECT_EQ(reports.size(), 2);
    move(c, {72, 15});                 // moving left but right of the middle
    EXPECT_EQ(reports.size(), 2);
    move(c, {65, 15});                 // x 75 < 80 moving left
    EXPECT_EQ(reports.size(), 3);
    move(c, {120, 15});                // c: 110..150, middle 130; x 130 not past it
    EXPECT_EQ(reports.size(), 3);
    move(c, {125, 15});
    EXPECT_EQ(reports.back(), "a>c");
    // The same identifier (another window of the same application) is skipped.
    catchers[1]->apply(bridge("a"));
    move(c, {40, 15});
    move(c, {75, 15});
    EXPECT_EQ(reports.back(), "a>c");
    release(c, {75, 15});
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(MouseCatcherTest, MenusSeparatorsAndStaleEntries) {
    auto* c = catchers[0];
    int performed = -1;
    auto b = bridge("a");
    b.menu = [&] {
        return std::vector<TaskMenuAction>{{"First", true, [&] { performed = 0; }},
                                           {"Second", false, [&] { performed = 1; }},
                                           {"Quit AT&T Connect", true, [&] { performed = 2; }}};
    };
    c->apply(b);
    press(c, {20, 15}, Qt::RightButton);
    ASSERT_NE(c->lastMenu(), nullptr);
    QStringList shape;
    // As the menu shows them: a name keeps its "&".
    for (QAction* a : c->lastMenu()->actions()) shape << (a->isSeparator() ? "-" : a->iconText());
    EXPECT_EQ(shape, (QStringList{"-", "First", "Second", "-", "Quit AT&T Connect"}));
    EXPECT_EQ(clicks + began, 0) << "a right press neither clicks nor drags";
    c->fire(2);
    EXPECT_EQ(performed, 2);
    performed = -1;
    c->fire(3);
    c->fire(-1);
    EXPECT_EQ(performed, -1);
    c->lastMenu()->close();

    // An empty list shows no menu.
    b.menu = [] { return std::vector<TaskMenuAction>{}; };
    c->apply(b);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    press(c, {20, 15}, Qt::RightButton);
    EXPECT_EQ(c->lastMenu(), nullptr);
    EXPECT_TRUE(c->actions().empty());
}

TEST_F(MouseCatcherTest, RightClicksOnTaskButtonsDoNotReachTheBarMenu) {
    defaults().setString("interactionModel", "grouped");
    store->setApps({app(5, "Five")});
    BarView bar(store.get(), service, pins.get(), StartIconStore::shared(), startMenu,
                std::nullopt);
    bar.resize(1000, 44);
    bar.show();
    auto* strip = bar.taskStrip();
    auto* button = strip->button("app:5");
    ASSERT_NE(button, nullptr);
    auto* catcher = button->catcher();
    const QPoint local = catcher->rect().center();
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, local, catcher->mapToGlobal(local));
    QApplication::sendEvent(catcher, &onButton);
    EXPECT_EQ(bar.contextMenuRequests(), 0);

    strip->resize(strip->width(), strip->height());
    store->setApps(apps(60));
    ASSERT_TRUE(strip->overflowButton()->isVisible());
    auto* over = strip->overflowButton()->catcher();
    QContextMenuEvent onOverflow(QContextMenuEvent::Mouse, QPoint(2, 2), over->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(over, &onOverflow);
    EXPECT_EQ(bar.contextMenuRequests(), 0);

    // Elsewhere on the strip the bar's menu still opens.
    QContextMenuEvent onStrip(QContextMenuEvent::Mouse, QPoint(strip->width() - 2, 1),
                              strip->mapToGlobal(QPoint(strip->width() - 2, 1)));
    QApplication::sendEvent(strip, &onStrip);
    EXPECT_EQ(bar.contextMenuRequests(), 1);
}

}  // namespace
