// The start-menu view: its sections and empty texts, the keyboard in the
// search field, the row menus, the power row and the Settings button.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeySequence>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>

#include "core/settings_model.h"
#include "start_menu_test_support.h"
#include "support/paint_counter.h"

namespace {

class StartMenuViewTest : public StartMenuTest {
protected:
    void SetUp() override {
        StartMenuTest::SetUp();
        scanResult = {app("Notes"), app("Mail"), app("Maps"), app("Alpha Beta"), app("Calendar")};
    }
    void type(const QString& text) { QTest::keyClicks(view()->searchField(), text); }
    void key(Qt::Key k) { QTest::keyClick(view()->searchField(), k); }
};

TEST_F(StartMenuViewTest, SectionsFollowPinsRecentsAndTheQuery) {
    struct Case {
        const char* what;
        QStringList pins, recents;
        QString query;
        QStringList rows;
    } cases[] = {
        {"no pins, no recents: plain rows without headers", {}, {}, {},
         {"Alpha Beta", "Calendar", "Mail", "Maps", "Notes"}},
        {"a pin, no recents", {"Maps"}, {}, {},
         {"# Pinned", "Maps", "# All Apps", "Alpha Beta", "Calendar", "Mail", "Notes"}},
        {"a recent that is also pinned shows once, as a pin", {"Maps"}, {"Maps", "Mail"}, {},
         {"# Pinned", "Maps", "# Recent", "Mail", "# All Apps", "Alpha Beta", "Calendar", "Notes"}},
        {"everything pinned or recent: the All Apps header stands alone",
         {"Notes", "Mail", "Maps"}, {"Alpha Beta", "Calendar"}, {},
         {"# Pinned", "Notes", "Mail", "Maps", "# Recent", "Alpha Beta", "Calendar", "# All Apps"}},
        {"searching: ranked plain rows, pins among them", {"Maps"}, {}, "ma",
         {"Mail", "Maps"}},
        {"a query of spaces is no search", {"Maps"}, {}, "   ",
         {"# Pinned", "Maps", "# All Apps", "Alpha Beta", "Calendar", "Mail", "Notes"}},
    };
    for (const auto& c : cases) {
        auto& defaults = platform::prefs::userDefaults();
        defaults.setBool("launcherPinsSeeded", true);
        defaults.remove("launcherPinnedPaths");
        defaults.remove("launcherRecentPaths");
        StartMenuController::resetShared();
        menu().setScanner([this](const std::vector<InstalledApp>&) { return scanResult; });
        for (const auto& p : c.pins) menu().launcherPins().toggle(app(p).path);
        for (auto it = c.recents.rbegin(); it != c.recents.rend(); ++it) menu().launcherRecents().record(app(*it).path);
        openLoaded();
        if (!c.query.isEmpty()) type(c.query);
        EXPECT_EQ(rows(), c.rows) << c.what;
        EXPECT_EQ(view()->catcher(app("Maps").path) != nullptr, c.pins.contains("Maps") && c.query.trimmed().isEmpty())
            << c.what << ": a pinned row has its catcher only in the Pinned section";
        menu().close();
    }
}

TEST_F(StartMenuViewTest, EmptyTexts) {
    menu().open();  // before the scan delivers
    EXPECT_EQ(view()->emptyLabel()->text(), QStringLiteral("Loading apps…"));
    EXPECT_TRUE(view()->emptyLabel()->isVisibleTo(view()));
    sim->pump();
    EXPECT_FALSE(view()->emptyLabel()->isVisibleTo(view()));
    type("zzz");
    EXPECT_EQ(rows(), QStringList());
    EXPECT_EQ(view()->emptyLabel()->text(), QStringLiteral("No results"));
    EXPECT_TRUE(view()->emptyLabel()->isVisibleTo(view()));
}

TEST_F(StartMenuViewTest, KeysUpDownReturnEscapeAreAlwaysConsumedByTheField) {
    openLoaded();
    auto* field = view()->searchField();
    auto* model = menu().menuModel();
    type("a");  // Alpha Beta, Calendar, Mail, Maps (ranked)
    field->setCursorPosition(1);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), 2);
    key(Qt::Key_Up);
    EXPECT_EQ(model->selection(), 1);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
    EXPECT_EQ(field->cursorPosition(), 1);  // the arrows never move the caret
    for (int i = 0; i < 10; ++i) key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), 3);  // stops at the last row
    // Ordinary editing keys keep their behaviour.
    key(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), QString());
    EXPECT_EQ(model->selection(), 0);

    // With a modifier they are editing keys, not menu commands.
    type("a");
    for (auto [k, m] : {std::pair{Qt::Key_Down, Qt::ShiftModifier}, {Qt::Key_Up, Qt::AltModifier},
                        {Qt::Key_Return, Qt::ControlModifier}, {Qt::Key_Escape, Qt::ShiftModifier}}) {
        SCOPED_TRACE(QKeySequence(QKeyCombination(m, k)).toString().toStdString());
        QTest::keyClick(field, k, m);
        EXPECT_EQ(model->selection(), 0);
        EXPECT_TRUE(menu().isOpen());
    }
    EXPECT_TRUE(sim->logLines("workspace.openApplication").empty());
    field->clear();

    // Return with no match is consumed and launches nothing; Escape closes.
    type("qqq");
    key(Qt::Key_Return);
    EXPECT_TRUE(menu().isOpen());
    EXPECT_TRUE(sim->logLines("workspace.openApplication").empty());
    key(Qt::Key_Escape);
    EXPECT_FALSE(menu().isOpen());
    // The keypad's Enter is the plain key.
    openLoaded();
    type("a");
    QTest::keyClick(view()->searchField(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(sim->logLines("workspace.openApplication").empty());
}

TEST_F(StartMenuViewTest, TypingResetsTheSelectionAndScrollsOnlyWhenItMoved) {
    scanResult.clear();
    for (int i = 0; i < 60; ++i) scanResult.push_back(app(QStringLiteral("App %1").arg(i, 2, 10, QLatin1Char('0'))));
    openLoaded();
    auto* model = menu().menuModel();
    for (int i = 0; i < 30; ++i) key(Qt::Key_Down);
    sim->advance(0.2);
    const int scrolled = view()->list()->verticalScrollBar()->value();
    EXPECT_GT(scrolled, 0) << "the selected row is centred";
    type("A");
    EXPECT_EQ(model->selection(), 0);
    EXPECT_TRUE(view()->isScrolling());
    sim->advance(0.04);
    const int halfway = view()->list()->verticalScrollBar()->value();
    EXPECT_LT(halfway, scrolled);
    EXPECT_GT(halfway, 0);
    sim->advance(0.05);
    EXPECT_EQ(view()->list()->verticalScrollBar()->value(), 0);
    type("p");  // the selection is 0 already: nothing scrolls
    EXPECT_FALSE(view()->isScrolling());
}

TEST_F(StartMenuViewTest, RowMenusPinAndUnpin) {
    platform::prefs::userDefaults().setBool("launcherPinsSeeded", true);
    openLoaded();
    // A plain row offers "Pin to Start".
    view()->showRowMenu(view()->listModel()->rowOfPath(app("Mail").path), QPoint(10, 10));
    ASSERT_TRUE(view()->rowMenu());
    ASSERT_EQ(view()->rowMenu()->actions().size(), 1);
    EXPECT_EQ(view()->rowMenu()->actions()[0]->text(), QStringLiteral("Pin to Start"));
    view()->rowMenu()->actions()[0]->trigger();
    view()->rowMenu()->close();
    EXPECT_EQ(menu().launcherPins().pinnedPaths(), QStringList({app("Mail").path}));
    EXPECT_EQ(rows().mid(0, 3), QStringList({"# Pinned", "Mail", "# All Apps"}));

    // While searching the pinned application is a plain row that offers "Unpin from Start".
    type("mai");
    view()->showRowMenu(0, QPoint(10, 10));
    EXPECT_EQ(view()->rowMenu()->actions()[0]->text(), QStringLiteral("Unpin from Start"));
    view()->rowMenu()->close();

    // In the Pinned section the row's own catcher answers the right click.
    QTest::keyClick(view()->searchField(), Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    RowCatcherView* catcher = view()->catcher(app("Mail").path);
    ASSERT_TRUE(catcher);
    QTest::mousePress(catcher, Qt::RightButton, {}, {10, 10});
    QPointer<QMenu> catcherMenu = catcher->contextMenu();
    ASSERT_TRUE(catcherMenu);
    ASSERT_EQ(catcherMenu->actions().size(), 1);
    EXPECT_EQ(catcherMenu->actions()[0]->text(), QStringLiteral("Unpin from Start"));
    catcherMenu->actions()[0]->trigger();
    if (catcherMenu) catcherMenu->close();
    EXPECT_TRUE(menu().launcherPins().pinnedPaths().isEmpty());
    EXPECT_TRUE(menu().isOpen()) << "the menu stays open through its own context menus";
}

TEST_F(StartMenuViewTest, PowerRowFollowsItsSettingAndSettingsOpensOnTheMenusDisplay) {
    std::vector<std::optional<platform::DisplayID>> opened;
    menu().setOpenSettings([&](std::optional<platform::DisplayID> d) { opened.push_back(d); });
    openLoaded();
    ASSERT_EQ(view()->powerButtons().size(), 5u);
    EXPECT_TRUE(view()->powerButtons()[0]->isVisibleTo(view()));
    platform::prefs::userDefaults().setBool(settings::keys::startMenuShowPowerRow, false);
    for (auto* b : view()->powerButtons()) EXPECT_FALSE(b->isVisibleTo(view()));
    EXPECT_TRUE(view()->settingsButton()->isVisibleTo(view()));
    EXPECT_EQ(view()->settingsButton()->x(), 360 - 8 - 32);  // at the right edge

    const auto display = menu().presentedScreenID();
    ASSERT_TRUE(display);
    view()->settingsButton()->click();
    EXPECT_FALSE(menu().isOpen());
    EXPECT_EQ(opened, std::vector<std::optional<platform::DisplayID>>({display}));
}

TEST_F(StartMenuViewTest, LanguageSwitchesLiveAndTheTypedTextStays) {
    openLoaded();
    type("ma");
    platform::prefs::userDefaults().setString(settings::keys::appLanguage, "simplifiedChinese");
    EXPECT_EQ(view()->searchField()->placeholderText(), QStringLiteral("搜索应用"));
    EXPECT_EQ(view()->searchField()->text(), QStringLiteral("ma"));
    EXPECT_EQ(view()->powerButtons()[0]->toolTip(), QStringLiteral("锁定屏幕"));
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    menu().launcherPins().toggle(app("Maps").path);
    EXPECT_EQ(rows().mid(0, 3), QStringList({"# 已固定", "Maps", "# 所有应用"}));
}

TEST_F(StartMenuViewTest, HoveringAPowerButtonHighlightsIt) {
    openLoaded();
    PowerButton* lock = view()->powerButtons()[0];
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(lock, &enter);
    EXPECT_TRUE(lock->isHovering());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(lock, &leave);
    EXPECT_FALSE(lock->isHovering());
}

// The panel gains and loses the activation at every opening; nothing in it
// looks different for that, so nothing is drawn again.
TEST_F(StartMenuViewTest, ActivationChangesRepaintNothing) {
    openLoaded();
    QWidget* panel = menu().panel();
    QApplication::processEvents();
    PaintCounter counter;
    QList<QWidget*> widgets = panel->findChildren<QWidget*>();
    widgets << panel;
    for (QWidget* w : widgets) counter.watch(w);
    for (QEvent::Type type : {QEvent::WindowDeactivate, QEvent::WindowActivate})
        for (QWidget* w : widgets) {
            QEvent e(type);
            QApplication::sendEvent(w, &e);
        }
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
}

// Some seconds after the last key the caret stops blinking in the search
// field only: the application's flash time, which every other text field
// blinks by, stays, and the idle field draws nothing more.
TEST_F(StartMenuViewTest, TheIdleCaretStopsBlinkingInTheSearchFieldOnly) {
    openLoaded();
    auto* field = view()->searchField();
    auto* idle = field->findChild<QTimer*>();
    ASSERT_TRUE(idle && QTest::qWaitFor([&] { return field->hasFocus(); }));
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    idle->start(1);  // the idle time, shortened
    ASSERT_TRUE(QTest::qWaitFor([&] { return !field->isCaretBlinking(); }));
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), flash);
    QApplication::processEvents();  // the steady caret's own paint
    // Two ticks of the field's blink timer go by without a paint.
    struct Ticks : QObject {
        int seen = 0;
        bool eventFilter(QObject*, QEvent* e) override { return seen += e->type() == QEvent::Timer, false; }
    } ticks;
    for (QObject* child : field->children())
        if (qstrcmp(child->metaObject()->className(), "QWidgetLineControl") == 0) child->installEventFilter(&ticks);
    PaintCounter counter;
    counter.watch(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.seen >= 2; }, 4 * flash));
    EXPECT_EQ(counter.paints, 0) << "the caret still blinks";
    type("a");
    EXPECT_TRUE(field->isCaretBlinking());
}

}  // namespace
