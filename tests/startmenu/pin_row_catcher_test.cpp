// The pinned-row catcher: click against drag at the threshold, reordering
// only when the pointer crosses a row's middle in the direction it moves, and
// the pinned rows sliding into their new order on the spring.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>

#include "start_menu_test_support.h"

namespace {

// Three catcher rows, 32 high, stacked in one window: A at 0, B at 32, C at 64.
class CatcherRows : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 96);
        for (int i = 0; i < 3; ++i) {
            auto* c = new RowCatcherView(&window);
            c->setGeometry(0, 32 * i, 200, 32);
            const QString path = QString(QChar('A' + i));
            c->setRow(path, {
                                [this, path] { log << "launch " + path; },
                                [this, path] { log << "unpin " + path; },
                                [this](const QString& d, const QString& t) { log << "reorder " + d + " " + t; },
                                [this, path] { log << "began " + path; },
                                [this, path] { log << "ended " + path; },
                            });
            rows.push_back(c);
        }
        window.show();
    }
    // Mouse events as the view gets them: positions in the catcher, scene (window) positions.
    void send(RowCatcherView* c, QEvent::Type type, QPointF local, Qt::MouseButton button = Qt::LeftButton) {
        const QPointF scene = c->mapTo(&window, local.toPoint()) + (local - local.toPoint());
        QMouseEvent e(type, local, scene, window.mapToGlobal(scene.toPoint()), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(c, &e);
    }
    QWidget window;
    std::vector<RowCatcherView*> rows;
    QStringList log;
};

TEST_F(CatcherRows, DragOfExactlyTheThresholdIsAClick) {
    RowCatcherView* a = rows[0];
    send(a, QEvent::MouseButtonPress, {10, 10});
    send(a, QEvent::MouseMove, {13, 11});  // 3 + 1 = 4 points: still a click
    send(a, QEvent::MouseButtonRelease, {13, 11});
    EXPECT_EQ(log, QStringList({"launch A"}));

    log.clear();
    send(a, QEvent::MouseButtonPress, {10, 10});
    send(a, QEvent::MouseMove, {13, 12});  // 5 points: a drag
    send(a, QEvent::MouseButtonRelease, {13, 12});
    EXPECT_EQ(log, QStringList({"began A", "ended A"})) << "a release after a drag never launches";

    log.clear();
    send(a, QEvent::MouseButtonPress, {10, 10});
    send(a, QEvent::MouseButtonRelease, {10, 40});  // released outside the row
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(CatcherRows, WithoutAReorderActionThereIsNoDrag) {
    RowCatcherView* a = rows[0];
    a->setRow(QStringLiteral("A"), {[this] { log << "launch A"; }, {}, {}, [this] { log << "began"; },
                                    [this] { log << "ended"; }});
    send(a, QEvent::MouseButtonPress, {10, 10});
    send(a, QEvent::MouseMove, {30, 20});
    send(a, QEvent::MouseButtonRelease, {30, 20});
    EXPECT_EQ(log, QStringList({"launch A"}));
}

TEST_F(CatcherRows, ReordersOnlyPastTheMiddleInTheDirectionOfTravel) {
    struct Case {
        const char* what;
        int row;                  // the dragged row
        std::vector<double> ys;   // window y of the moves after the press at the row's y 10
        QStringList expected;
    } cases[] = {
        // B's middle is at window y 48.
        {"down over B above its middle", 0, {20, 40, 47}, {"began A"}},
        {"down over B past its middle", 0, {20, 40, 50}, {"began A", "reorder A B"}},
        {"up over B below its middle", 2, {70, 60, 50}, {"began C"}},
        {"up over B above its middle", 2, {70, 60, 45}, {"began C", "reorder C B"}},
        {"holding still over B reorders nothing", 0, {20, 52, 52}, {"began A", "reorder A B"}},
        {"over the dragged row itself", 1, {50, 40, 36}, {"began B"}},
        {"outside every row", 0, {20, 150}, {"began A"}},
    };
    for (const auto& c : cases) {
        log.clear();
        RowCatcherView* r = rows[std::size_t(c.row)];
        send(r, QEvent::MouseButtonPress, {10, 10});
        for (double y : c.ys) send(r, QEvent::MouseMove, {10, y - r->y()});
        EXPECT_EQ(log, c.expected) << c.what;
        send(r, QEvent::MouseButtonRelease, {10, c.ys.back() - r->y()});
    }
    // A catcher without a path is not a target.
    rows[1]->setRow(std::nullopt, {});
    log.clear();
    send(rows[0], QEvent::MouseButtonPress, {10, 10});
    for (double y : {20.0, 40.0, 52.0}) send(rows[0], QEvent::MouseMove, {10, y});
    EXPECT_EQ(log, QStringList({"began A"}));
    send(rows[0], QEvent::MouseButtonRelease, {10, 52});
}

class PinnedDragTest : public StartMenuTest {};

TEST_F(PinnedDragTest, DraggedRowLooksDraggedAndRowsSlideOnTheSpring) {
    platform::prefs::userDefaults().setBool("launcherPinsSeeded", true);
    scanResult = {app("Notes"), app("Mail"), app("Maps")};
    for (const auto& name : {"Notes", "Mail", "Maps"}) StartMenuController::shared().launcherPins().toggle(app(name).path);
    openLoaded();
    auto* rowsModel = view()->listModel();
    auto dragged = [&](const QString& name) {
        return rowsModel->index(rowsModel->rowOfPath(app(name).path)).data(StartMenuListModel::DraggedRole).toBool();
    };
    RowCatcherView* notes = view()->catcher(app("Notes").path);
    ASSERT_TRUE(notes);
    auto* vp = view()->list()->viewport();
    const QPoint start = notes->geometry().center();
    const QPoint mapsCenter = view()->catcher(app("Maps").path)->geometry().center();
    QTest::mousePress(vp->childAt(start), Qt::LeftButton, {}, notes->mapFromParent(start));
    QMouseEvent move(QEvent::MouseMove, QPointF(notes->mapFromParent(start + QPoint(0, 10))),
                     QPointF(notes->mapTo(notes->window(), notes->mapFromParent(start + QPoint(0, 10)))),
                     QPointF(), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(notes, &move);
    EXPECT_EQ(view()->draggingPath(), std::optional(app("Notes").path));
    EXPECT_TRUE(dragged("Notes"));
    EXPECT_FALSE(dragged("Mail"));

    // Past the middle of Maps while moving down: Notes takes Maps' place.
    const QPoint over = mapsCenter + QPoint(0, 4);
    const QPointF local = notes->mapFromParent(over);
    QMouseEvent move2(QEvent::MouseMove, local, QPointF(notes->mapTo(notes->window(), local.toPoint())), QPointF(),
                      Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(notes, &move2);
    EXPECT_EQ(StartMenuController::shared().launcherPins().pinnedPaths(),
              QStringList({app("Mail").path, app("Maps").path, app("Notes").path}));
    // Notes is drawn where it was and slides down to its place.
    const auto offset = [&](const QString& name) {
        return rowsModel->index(rowsModel->rowOfPath(app(name).path)).data(StartMenuListModel::OffsetRole).toDouble();
    };
    EXPECT_LT(offset("Notes"), -60);
    EXPECT_GT(offset("Mail"), 30);
    sim->advance(0.05);
    const double partway = offset("Notes");
    EXPECT_GT(partway, -60);
    EXPECT_LT(partway, 0);
    sim->advance(0.5);
    EXPECT_DOUBLE_EQ(offset("Notes"), 0.0);

    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(notes->mapTo(notes->window(), local.toPoint())),
                        QPointF(), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(notes, &release);
    EXPECT_EQ(view()->draggingPath(), std::nullopt);
    EXPECT_FALSE(dragged("Notes"));
    EXPECT_TRUE(menu().isOpen()) << "a drag launches nothing";
}

}  // namespace
