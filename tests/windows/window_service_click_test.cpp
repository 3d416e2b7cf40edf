#include <gtest/gtest.h>

#include <QWidget>

#include "window_service_fixture.h"

using namespace windows_test;
namespace ax = platform::ax;

namespace {

class ClickTest : public WindowServiceTest {
protected:
    void SetUp() override {
        WindowServiceTest::SetUp();
        front = addApp("Front", true);
        back = addApp("Back");
        frontWindow = sim->addWindow(front, window("F1", {0, 0, 400, 300}));
        backWindow = sim->addWindow(back, window("B1", {500, 0, 400, 300}));
        sim->activateApplication(front);
        sim->setFocusedWindow(front, frontWindow);
        service->start();
        settle();
        frontToken = latestApp(front)->windows.at(0).id;
        backToken = latestApp(back)->windows.at(0).id;
        sim->clearLog();
    }
    // Actions as the log shows them, without the accessibility reads.
    std::vector<QString> actions() const {
        std::vector<QString> out;
        for (const auto& l : sim->log())
            if (l.startsWith("workspace.") || l.startsWith("ax.set") || l.startsWith("ax.action")) out.push_back(l);
        return out;
    }
    std::int32_t front = 0, back = 0;
    std::uint64_t frontWindow = 0, backWindow = 0;
    WindowToken frontToken = 0, backToken = 0;
};

TEST_F(ClickTest, ClickDecisionForEveryStateAndTheClickAgainSetting) {
    const QString frontN = QString::number(frontWindow);
    const QString activateBack = QStringLiteral("workspace.activate pid=%1").arg(back);
    const QString minimizeFront = QStringLiteral("ax.set pid=%1 win=%2 AXMinimized true").arg(front).arg(frontWindow);
    const QString hideFront = QStringLiteral("workspace.hide pid=%1").arg(front);
    struct Case {
        const char* name;
        bool running;
        bool toggle;
        TaskButtonItem item;
        QString expected;  // empty: nothing at all
        bool intent;
    };
    const Case cases[] = {
        {"toggle off, active app", true, false, appButton(back, true), activateBack, true},
        {"toggle off, active window", true, false, windowButton(backToken, back, true), activateBack, true},
        {"toggle on, inactive app", true, true, appButton(back, false), activateBack, true},
        {"toggle on, inactive window", true, true, windowButton(backToken, back, false), activateBack, true},
        {"toggle on, active window", true, true, windowButton(frontToken, front, true), minimizeFront, false},
        {"toggle on, active app", true, true, appButton(front, true), hideFront, true},
        {"toggle on, active app without process", true, true, appButton(0, true), "", false},
        // Last: a restart gives every window a new token.
        {"stopped", false, true, appButton(front, true), "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.running) service->stop();
        sim->clearLog();
        service->handleClick(c.item, c.toggle);
        EXPECT_EQ(service->hasClickIntent(), c.intent);
        sim->pump();
        const auto done = actions();
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(done.empty()) << done.front().toStdString();
        } else {
            EXPECT_NE(std::find(done.begin(), done.end(), c.expected), done.end())
                << c.expected.toStdString() << " in " << QStringList(done.begin(), done.end()).join(" | ").toStdString();
        }
        sim->clock().addElapsed(1);  // let any intent expire
        // Back to the initial state for the next case.
        if (!c.running) service->start();
        sim->setHidden(front, false);
        sim->setMinimized(frontWindow, false);
        sim->activateApplication(front);
        settle();
    }
}

TEST_F(ClickTest, ActivatingUnhidesActivatesAndRaisesTheFocusedOrFirstWindow) {
    const auto second = sim->addWindow(back, window("B2", {0, 400, 300, 300}));
    sim->setFocusedWindow(back, second);
    sim->setHidden(back, true);
    settle();
    sim->clearLog();
    service->activateApp(appButton(back));
    sim->pump();
    const auto done = actions();
    ASSERT_GE(done.size(), 3u);
    EXPECT_EQ(done[0], QStringLiteral("workspace.unhide pid=%1").arg(back));
    EXPECT_EQ(done[1], QStringLiteral("workspace.activate pid=%1").arg(back));
    // Not active when the snapshot was taken: no window is focused, so the first one is raised.
    EXPECT_EQ(done[2], QStringLiteral("ax.action pid=%1 win=%2 AXRaise").arg(back).arg(sim->windowsOf(back).front()));
}

TEST_F(ClickTest, HideIntentOverlaysAtOnceAndEndsWhenTheScanShowsIt) {
    service->handleClick(appButton(front, true), true);
    ASSERT_FALSE(snapshots.empty());
    const AppItem* shown = latestApp(front);
    EXPECT_FALSE(shown->isActive);
    EXPECT_TRUE(shown->isHidden);
    EXPECT_FALSE(shown->hasVisibleWindow);
    for (const auto& w : shown->windows) EXPECT_FALSE(w.isFocused);
    EXPECT_TRUE(service->lastRawSnapshot() != snapshots.back()) << "the raw list keeps the real state";
    settle();
    EXPECT_FALSE(service->hasClickIntent());
    EXPECT_FALSE(latestApp(front)->hasVisibleWindow);
}

TEST_F(ClickTest, AnIntentThatAlreadyShowsOrWhoseApplicationIsMissingEndsAtOnce) {
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const std::vector<Case> cases = {
        {"activation of the active, visible application", [&] { service->setClickIntent(front, false, std::nullopt); }},
        {"hide of an application without a visible window",
         [&] {
             sim->setMinimized(backWindow, true);
             settle();
             service->setClickIntent(back, true, std::nullopt);
         }},
        {"application missing from the raw list", [&] { service->setClickIntent(4242, false, std::nullopt); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        EXPECT_FALSE(service->hasClickIntent());
        EXPECT_EQ(snapshots.back(), service->lastRawSnapshot());
    }
}

TEST_F(ClickTest, ActivationOverlayWithAndWithoutAFocusToken) {
    const auto b2 = sim->addWindow(back, window("B2", {0, 400, 300, 300}));
    sim->setMinimized(b2, true);
    settle();
    const auto raw = service->lastRawSnapshot();
    const auto b2Token = find(raw, back)->windows.at(0).isMinimized ? find(raw, back)->windows.at(0).id
                                                                     : find(raw, back)->windows.at(1).id;

    service->setClickIntent(back, false, b2Token);
    auto overlay = snapshots.back();
    EXPECT_FALSE(find(overlay, front)->isActive);
    EXPECT_EQ(find(overlay, front)->windows, find(raw, front)->windows) << "other applications keep their windows";
    const AppItem* b = find(overlay, back);
    EXPECT_TRUE(b->isActive);
    EXPECT_FALSE(b->isHidden);
    EXPECT_TRUE(b->hasVisibleWindow);
    for (const auto& w : b->windows) {
        EXPECT_EQ(w.isFocused, w.id == b2Token);
        if (w.id == b2Token) {
            EXPECT_FALSE(w.isMinimized);
        }
    }

    service->setClickIntent(back, false, std::nullopt);
    overlay = snapshots.back();
    for (const auto& w : find(overlay, back)->windows) {
        EXPECT_FALSE(w.isMinimized);
        EXPECT_FALSE(w.isFocused);
    }
    EXPECT_EQ(find(overlay, back)->name, find(raw, back)->name);
}

TEST_F(ClickTest, TheIntentLivesSixTenthsOfASecondAtMost) {
    service->setClickIntent(back, false, std::nullopt);
    sim->clock().addElapsed(0.59);
    service->publish(service->lastRawSnapshot());
    EXPECT_TRUE(find(snapshots.back(), back)->isActive);
    EXPECT_TRUE(service->hasClickIntent());
    sim->clock().addElapsed(0.01);
    service->publish(service->lastRawSnapshot());
    EXPECT_FALSE(find(snapshots.back(), back)->isActive);
    EXPECT_FALSE(service->hasClickIntent());
}

TEST_F(ClickTest, ASecondClickReplacesTheFirstIntent) {
    service->setClickIntent(back, false, std::nullopt);
    service->setClickIntent(back, true, std::nullopt);
    const AppItem* b = find(snapshots.back(), back);
    EXPECT_TRUE(b->isHidden);
    EXPECT_FALSE(b->isActive);
}

TEST_F(ClickTest, AnApplicationWithoutWindowsIsReopened) {
    const auto empty = addApp("Empty");
    settle();
    sim->clearLog();
    service->handleClick(appButton(empty), false);
    EXPECT_TRUE(service->hasClickIntent());
    sim->pump();
    const auto lines = sim->logLines("workspace.openApplication");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "workspace.openApplication /Applications/Empty.app");

    sim->setOpenApplicationResult("/Applications/Empty.app", platform::OpenResult{false, "no"});
    service->openApp(empty);
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 1);
}

TEST_F(ClickTest, AWindowThatClosedSinceTheLastScanIsNotRaisedButAScanFollows) {
    // The strip still shows a button for a window the last scan no longer found.
    sim->removeWindow(backWindow);
    settle();
    ASSERT_EQ(service->inspectQueue().elements.count(backToken), 0u);
    const auto published = snapshots.size();
    sim->clearLog();
    service->activateApp(windowButton(backToken, back));
    const auto withIntent = snapshots.size();
    settle();
    EXPECT_GT(snapshots.size(), withIntent);
    EXPECT_TRUE(sim->logLines("ax.action").empty());
    EXPECT_GT(snapshots.size(), published);
}

TEST_F(ClickTest, MinimisingAWindowShowsAtOnceBeforeTheWrite) {
    service->minimizeWindow(frontToken);
    const auto& w = find(snapshots.back(), front)->windows.at(0);
    EXPECT_TRUE(w.isMinimized);
    EXPECT_FALSE(w.isFocused);
    EXPECT_FALSE(sim->window(frontWindow)->minimized) << "the write runs later on the window queue";
    sim->pump();
    EXPECT_TRUE(sim->window(frontWindow)->minimized);
}

TEST_F(ClickTest, CloseAndFocusActOnTheWindowBehindTheToken) {
    service->setClickIntent(back, false, std::nullopt);
    service->closeWindow(backToken);
    EXPECT_FALSE(service->hasClickIntent());
    sim->pump();
    EXPECT_FALSE(sim->window(backWindow).has_value());

    settle();
    sim->clearLog();
    service->focusWindow(frontToken, front);
    sim->pump();
    EXPECT_EQ(sim->logLines("workspace.").front(), QStringLiteral("workspace.unhide pid=%1").arg(front));
    EXPECT_FALSE(sim->logLines("ax.action").empty());
    EXPECT_EQ(sim->logLines("ax.action").back(),
              QStringLiteral("ax.action pid=%1 win=%2 AXRaise").arg(front).arg(frontWindow));
}

// ---- minimise all

TEST_F(ClickTest, MinimiseAllSkipsWhatCannotBeMinimisedAndActivatesTheFinderAfterwards) {
    WindowSpec full = window("Full", {0, 0, 1440, 900});
    full.fullScreen = true;
    const auto fullWindow = sim->addWindow(back, full);
    WindowSpec dialog = window("Dialog", {10, 10, 200, 100});
    dialog.subrole = "AXDialog";
    const auto dialogWindow = sim->addWindow(back, dialog);
    WindowSpec bare = window("Bare", {20, 20, 200, 100});
    bare.hasCloseButton = false;
    const auto bareWindow = sim->addWindow(front, bare);
    const auto unreadable = sim->addWindow(front, window("Unreadable", {30, 30, 100, 100}));
    sim->setAttributeFault(sim->windowElement(unreadable), ax::names::minimized, platform::sim::Fault::failure());
    AppSpec finderSpec = app("Finder", "com.apple.finder");
    finderSpec.bundlePath = "/System/Library/CoreServices/Finder.app";
    const auto finder = sim->addApplication(finderSpec);
    settle();

    QWidget own;
    own.setWindowTitle("Settings");
    own.show();
    QWidget panel(nullptr, Qt::FramelessWindowHint | Qt::Tool);
    panel.show();

    sim->clearLog();
    service->minimizeAll();
    EXPECT_TRUE(own.isMinimized()) << "our own windows go first";
    EXPECT_FALSE(panel.isMinimized()) << "a borderless panel cannot be minimised";
    EXPECT_TRUE(sim->logLines("ax.set").empty());
    sim->pump();

    EXPECT_TRUE(sim->window(frontWindow)->minimized);
    EXPECT_TRUE(sim->window(backWindow)->minimized);
    EXPECT_FALSE(sim->window(fullWindow)->minimized);
    EXPECT_FALSE(sim->window(dialogWindow)->minimized);
    EXPECT_FALSE(sim->window(bareWindow)->minimized);
    EXPECT_EQ(sim->logLines(QStringLiteral("ax.set pid=%1 win=%2 AXMinimized").arg(front).arg(unreadable)).size(), 1u)
        << "an unreadable minimised state does not skip the window";
    const auto log = sim->log();
    const auto lastMinimize = std::find_if(log.rbegin(), log.rend(), [](const QString& l) {
        return l.contains("AXMinimized true");
    });
    const auto finderActivation = std::find(log.begin(), log.end(), QStringLiteral("workspace.activate pid=%1").arg(finder));
    ASSERT_NE(finderActivation, log.end());
    EXPECT_GT(finderActivation - log.begin(), log.rend() - lastMinimize - 1);
}

TEST_F(ClickTest, MinimiseAllWithoutTrustOnlyBeeps) {
    QWidget own;
    own.show();
    sim->setTrusted(false);
    service->setClickIntent(back, false, std::nullopt);
    service->minimizeAll();
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 1);
    EXPECT_FALSE(own.isMinimized());
    EXPECT_TRUE(sim->logLines("ax.set").empty());
    EXPECT_TRUE(service->hasClickIntent());
}

TEST_F(GatedWindowServiceTest, MinimiseAllThatEndsAfterStopDoesNotActivateTheFinder) {
    AppSpec finderSpec = app("Finder", "com.apple.finder");
    const auto finder = sim->addApplication(finderSpec);
    const auto other = addApp("Other");
    sim->addWindow(other, window("O"));
    service->start();
    sim->advance(0.21);
    gate->held().runAll();
    sim->pump();
    sim->clearLog();
    service->minimizeAll();
    service->stop();
    service->start();
    sim->pump();
    EXPECT_TRUE(sim->logLines(QStringLiteral("workspace.activate pid=%1").arg(finder)).empty());
    EXPECT_FALSE(sim->logLines("ax.set").empty()) << "the windows were still minimised";
}

}  // namespace
