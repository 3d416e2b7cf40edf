#include <gtest/gtest.h>

#include "platform/displays.h"
#include "platform/preferences.h"
#include "window_service_fixture.h"

using namespace windows_test;
using platform::Rect;

namespace {

// (title, separator before) of every entry.
using Shape = std::vector<std::pair<QString, bool>>;
Shape shape(const std::vector<TaskMenuAction>& items) {
    Shape out;
    for (const auto& i : items) out.emplace_back(i.title, i.isSeparatorBefore);
    return out;
}
void choose(const std::vector<TaskMenuAction>& items, const QString& title) {
    for (const auto& i : items)
        if (i.title == title) return i.perform();
    ADD_FAILURE() << "no entry " << title.toStdString();
}

class MenuTest : public WindowServiceTest {
protected:
    void SetUp() override {
        WindowServiceTest::SetUp();
        pid = addApp("Editor", true);
        service->start();
        settle();
    }
    std::int32_t pid = 0;
};

const Shape windowShape{{"Minimize", false}, {"Close", false}, {"Maximize", true}, {"Tile Left", false},
                        {"Tile Right", false}};
const Shape appShape{{"Hide", false}, {"Show in Files", false}, {"Maximize", true}, {"Tile Left", false},
                     {"Tile Right", false}, {"Quit", true}, {"Force Quit", false}};
const Shape appWithoutWindowsShape{{"Hide", false}, {"Show in Files", false}, {"Quit", true}, {"Force Quit", false}};

TEST_F(MenuTest, MenuShapes) {
    const auto w = sim->addWindow(pid, window("Doc"));
    const auto empty = addApp("Empty");
    settle();
    const auto token = latestApp(pid)->windows.at(0).id;
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::window(token, pid))), windowShape);
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::app(pid))), appShape);
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::app(empty))), appWithoutWindowsShape);
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::app(9999))), appWithoutWindowsShape);
    // Hidden or not, the entries stay the same.
    sim->setHidden(pid, true);
    settle();
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::app(pid))), appShape);
    (void)w;
}

TEST_F(MenuTest, AStoppedServiceGivesEmptyListsAndOldEntriesDoNothing) {
    sim->addWindow(pid, window("Doc"));
    settle();
    const auto token = latestApp(pid)->windows.at(0).id;
    auto items = service->menuItems(TaskButtonKind::app(pid));
    service->stop();
    EXPECT_TRUE(service->menuItems(TaskButtonKind::app(pid)).empty());
    EXPECT_TRUE(service->menuItems(TaskButtonKind::window(token, pid)).empty());
    EXPECT_TRUE(service->windowMenuItems(pid).empty());
    sim->clearLog();
    for (const auto& i : items) i.perform();
    sim->pump();
    EXPECT_TRUE(sim->logLines("workspace.").empty());
    EXPECT_TRUE(sim->logLines("ax.set").empty());
}

TEST_F(MenuTest, TheWindowListIsInTokenOrderWithUntitledWindowsNamed) {
    const auto first = sim->addWindow(pid, window("First", {0, 0, 100, 100}));
    settle();
    sim->addWindow(pid, window("", {200, 0, 100, 100}));
    settle();
    sim->addWindow(pid, window("Third", {400, 0, 100, 100}));
    sim->raiseWindow(first);  // the application now reports First at the top
    settle();
    const auto items = service->windowMenuItems(pid);
    EXPECT_EQ(shape(items), (Shape{{"First", false}, {"Untitled", false}, {"Third", false}}));
    EXPECT_EQ(titles(*latestApp(pid)), (std::vector<QString>{"First", "Third", ""}))
        << "the snapshot keeps the application's order";

    // Choosing an entry focuses that window.
    sim->clearLog();
    choose(items, "Third");
    sim->pump();
    EXPECT_EQ(sim->logLines("ax.action").back().endsWith("AXRaise"), true);
    EXPECT_TRUE(service->windowMenuItems(9999).empty());
}

TEST_F(MenuTest, TitlesFollowTheChosenLanguage) {
    sim->addWindow(pid, window(""));
    settle();
    platform::prefs::userDefaults().setString("appLanguage", "simplifiedChinese");
    const auto token = latestApp(pid)->windows.at(0).id;
    EXPECT_EQ(shape(service->menuItems(TaskButtonKind::window(token, pid))),
              (Shape{{"最小化", false}, {"关闭", false}, {"最大化", true}, {"平铺到左侧", false}, {"平铺到右侧", false}}));
    EXPECT_EQ(service->windowMenuItems(pid).at(0).title, "未命名");
    platform::prefs::userDefaults().setString("appLanguage", "english");
    EXPECT_EQ(service->windowMenuItems(pid).at(0).title, "Untitled");
}

class PlacementTest : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        const auto screens = platform::displays().screens();
        ASSERT_FALSE(screens.empty());
        sim->setDisplayBounds(screens[0].id, Rect(0, 0, 1511, 900));
    }
};

TEST_F(PlacementTest, TileLeftRightAndMaximiseUseTheAreaAboveTheBar) {
    const auto w = sim->addWindow(pid, window("Doc", {300, 200, 500, 400}));
    settle();
    const auto token = latestApp(pid)->windows.at(0).id;
    // Menu bar 25 points at the top, bar 44 points at the bottom.
    struct Case {
        const char* entry;
        Rect frame;
    };
    const Case cases[] = {
        {"Tile Left", Rect(0, 25, 755, 831)},
        {"Tile Right", Rect(755, 25, 756, 831)},
        {"Maximize", Rect(0, 25, 1511, 831)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        choose(service->menuItems(TaskButtonKind::window(token, pid)), c.entry);
        sim->pump();
        EXPECT_EQ(sim->window(w)->frame, c.frame);
    }
    EXPECT_EQ(sim->beepCount(), 0);
}

TEST_F(PlacementTest, AnApplicationButtonPlacesTheWindowFocusedWhenTheCommandRuns) {
    const auto a = sim->addWindow(pid, window("A", {100, 100, 300, 300}));
    const auto b = sim->addWindow(pid, window("B", {500, 100, 300, 300}));
    sim->setFocusedWindow(pid, a);
    settle();
    const auto items = service->menuItems(TaskButtonKind::app(pid));  // built for A
    sim->setFocusedWindow(pid, b);
    choose(items, "Maximize");
    sim->pump();
    EXPECT_EQ(sim->window(b)->frame, Rect(0, 25, 1511, 831));
    EXPECT_EQ(sim->window(a)->frame, Rect(100, 100, 300, 300));
}

TEST_F(PlacementTest, AllWindowsMinimisedAndNoneFocusedActsOnTheFirstWindow) {
    const auto a = sim->addWindow(pid, window("A", {100, 100, 300, 300}));
    const auto b = sim->addWindow(pid, window("B", {500, 100, 300, 300}));
    sim->setMinimized(a, true);
    sim->setMinimized(b, true);
    sim->setFocusedWindow(pid, 0);
    settle();
    const auto first = sim->windowsOf(pid).front();
    choose(service->menuItems(TaskButtonKind::app(pid)), "Tile Left");
    sim->pump();
    EXPECT_FALSE(sim->window(first)->minimized);
    EXPECT_EQ(sim->window(first)->frame, Rect(0, 25, 755, 831));
}

TEST_F(PlacementTest, AWindowThatIsGoneOrFullScreenBeeps) {
    const auto w = sim->addWindow(pid, window("Doc"));
    settle();
    const auto token = latestApp(pid)->windows.at(0).id;
    const auto items = service->menuItems(TaskButtonKind::window(token, pid));
    sim->setFullScreen(w, true);
    choose(items, "Maximize");
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 1);
    sim->removeWindow(w);
    settle();
    choose(items, "Maximize");
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 2);
}

TEST_F(MenuTest, QuitForceQuitAndShowInFinder) {
    auto items = service->menuItems(TaskButtonKind::app(pid));
    sim->clearLog();
    choose(items, "Show in Files");
    choose(items, "Quit");
    sim->pump();
    EXPECT_EQ(sim->logLines("workspace."),
              (std::vector<QString>{"workspace.reveal /Applications/Editor.app",
                                    QStringLiteral("workspace.terminate pid=%1").arg(pid)}));
    sim->setTerminateRefused(pid, true);
    sim->clearLog();
    choose(service->menuItems(TaskButtonKind::app(pid)), "Force Quit");
    EXPECT_EQ(sim->logLines("workspace."),
              std::vector<QString>{QStringLiteral("workspace.forceTerminate pid=%1").arg(pid)});
}

TEST_F(MenuTest, ShowInFinderBeepsWhereNoFileViewerAnswers) {
    auto items = service->menuItems(TaskButtonKind::app(pid));
    choose(items, "Show in Files");
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 0);
    sim->setFileViewerAvailable(false);
    choose(items, "Show in Files");
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 1);
}

TEST_F(MenuTest, NeverAsksProcessOneOrItselfToQuit) {
    sim->clearLog();
    for (std::int32_t target : {0, 1, -5, sim->ownPid()}) {
        service->sendToApp(target, WindowService::AppRequest::terminate);
        service->sendToApp(target, WindowService::AppRequest::forceTerminate);
    }
    EXPECT_TRUE(sim->logLines("workspace.").empty());
}

}  // namespace
