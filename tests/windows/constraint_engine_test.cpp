// The window constraint engine on the simulated desktop, driven by the
// manual clock: what it writes, when, and what it leaves alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <random>
#include <thread>

#include "platform/workspace.h"
#include "platform/sim/sim_window_server.h"
#include "support/sim_fixture.h"
#include "windows/bar_metrics.h"
#include "windows/window_constraint_engine.h"

using platform::Rect;
using platform::sim::AppSpec;
using platform::sim::WindowSpec;

namespace {

// Default desktop: one 1440x900 display, bar 44 thick, so the bar top is 856.
const Rect kMaximised(0, 25, 1440, 875);
const Rect kClamped(0, 25, 1440, 831);
const Rect kSmall(100, 100, 600, 400);

class ConstraintEngineTest : public SimDesktopTest {
protected:
    void TearDown() override {
        if (engine) engine->stop();
        sim->pump();
        engine.reset();
        SimDesktopTest::TearDown();
    }

    std::int32_t addApp(const QString& name, bool active = false) {
        AppSpec given;
        given.bundleID = "com.test." + name.toLower();
        given.name = name;
        given.active = active;
        return sim->addApplication(given);
    }
    std::uint64_t addWindow(std::int32_t pid, Rect frame, bool focused = false) {
        WindowSpec given;
        given.title = "w";
        given.frame = frame;
        given.focused = focused;
        return sim->addWindow(pid, given);
    }
    Rect frameOf(std::uint64_t w) { return sim->window(w)->frame; }
    std::vector<QString> writes() { return sim->logLines("ax.set"); }
    void startEngine() {
        engine = WindowConstraintEngine::create();
        engine->start();
        sim->pump();
    }

    std::shared_ptr<WindowConstraintEngine> engine;
};

}  // namespace

TEST_F(ConstraintEngineTest, MaximisedWindowEndsAtTheBarTopAfterSettling) {
    const auto pid = addApp("Editor", true);
    const auto w = addWindow(pid, kSmall, true);
    startEngine();
    sim->clearLog();

    // The user maximises the window, with a burst of notifications.
    sim->setWindowFrame(w, Rect(0, 25, 1440, 600));
    sim->advance(0.1);
    sim->setWindowFrame(w, kMaximised);
    sim->advance(0.17);  // 0.17 s after the last notification: still settling
    EXPECT_EQ(frameOf(w), kMaximised);
    sim->advance(0.02);
    EXPECT_EQ(frameOf(w), kClamped);
    // Size first, then position; x, y and width stay.
    const auto pidText = QString::number(pid), winText = QString::number(w);
    EXPECT_EQ(writes(), (std::vector<QString>{"ax.set pid=" + pidText + " win=" + winText + " AXSize 1440x831",
                                              "ax.set pid=" + pidText + " win=" + winText + " AXPosition 0,25"}));

    // A window that keeps the frame it was given is not written again, by any path.
    sim->clearLog();
    sim->setWindowFrame(w, Rect(0.5, 25, 1440, 831.5));
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->advance(3);
    EXPECT_TRUE(writes().empty());

    // Maximised again by the user: acted on again.
    sim->setWindowFrame(w, kMaximised);
    sim->advance(0.2);
    EXPECT_EQ(frameOf(w), kClamped);
}

TEST_F(ConstraintEngineTest, FrameReadWhileTheManagerMovesTheWindowIsNotActedOn) {
    const auto pid = addApp("Editor", true);
    const auto w = addWindow(pid, kSmall, true);
    startEngine();
    sim->clearLog();

    // The manager maximises the window to the room above the bar, moving it
    // just after the engine reads its position: position from before and
    // size from after make a frame that reaches into the bar.
    sim->setWindowFrame(w, Rect(0, 60, 1440, 600));
    sim->setFrameAfterNextPositionRead(w, kClamped);
    sim->advance(1);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(frameOf(w), kClamped);
}

TEST_F(ConstraintEngineTest, WindowThatRefusesTheSizeIsMovedUp) {
    const auto pid = addApp("Stubborn", true);
    const auto w = addWindow(pid, Rect(0, 60, 1440, 840), true);  // bottom at 900, covers 93 %
    const auto tall = addWindow(pid, Rect(0, 0, 1440, 900));
    sim->setResizeRefused(w, true);
    sim->setResizeRefused(tall, true);
    startEngine();  // the full scan at start

    EXPECT_EQ(frameOf(w), Rect(0, 16, 1440, 840));  // y = bar top - height
    // Taller than the room above the bar: up to the display's top, no further.
    EXPECT_EQ(frameOf(tall), Rect(0, 0, 1440, 900));

    // The recorded frames stop further attempts.
    sim->clearLog();
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->advance(2);
    EXPECT_TRUE(writes().empty());
}

TEST_F(ConstraintEngineTest, FullScanRuleTable) {
    struct Case {
        const char* name;
        Rect frame;
        bool minimized;
        bool fullScreen;
        Rect expected;
    };
    const Case cases[] = {
        {"bottom-right quarter", Rect(720, 450, 720, 450), false, false, Rect(720, 450, 720, 406)},
        {"left column", Rect(0, 25, 700, 875), false, false, Rect(0, 25, 700, 831)},
        {"top half", Rect(0, 25, 1440, 425), false, false, Rect(0, 25, 1440, 425)},
        {"floating over the bar", Rect(300, 400, 600, 500), false, false, Rect(300, 400, 600, 500)},
        {"half a point inside the bar", Rect(0, 25, 1440, 831.5), false, false, Rect(0, 25, 1440, 831.5)},
        {"minimised", kMaximised, true, false, kMaximised},
        {"full screen", Rect(0, 0, 1440, 900), false, true, Rect(0, 0, 1440, 900)},
    };
    const auto pid = addApp("Many");
    std::vector<std::uint64_t> windows;
    for (const auto& c : cases) {
        WindowSpec given;
        given.frame = c.frame;
        given.minimized = c.minimized;
        given.fullScreen = c.fullScreen;
        windows.push_back(sim->addWindow(pid, given));
    }
    // Our own windows are never touched.
    const auto own = addWindow(sim->ownPid(), kMaximised);
    startEngine();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(frameOf(windows[i]), cases[i].expected) << cases[i].name;
    EXPECT_EQ(frameOf(own), kMaximised);
}

TEST_F(ConstraintEngineTest, OnlyDisplaysWithABarCount) {
    // A taller display to the right, its top above the main one's.
    sim->addDisplay(Rect(1440, -180, 1920, 1080));
    const auto pid = addApp("Spread");
    const auto onMain = addWindow(pid, kMaximised);
    const auto onSide = addWindow(pid, Rect(1440, -180, 1920, 1080));

    platform::prefs::userDefaults().setString(BarMetrics::displayModeKey, "mainDisplay");
    startEngine();
    EXPECT_EQ(frameOf(onMain), kClamped);
    EXPECT_EQ(frameOf(onSide), Rect(1440, -180, 1920, 1080));

    // Bars everywhere, and a taller bar: a bar change triggers a full scan.
    platform::prefs::userDefaults().setString(BarMetrics::displayModeKey, "allDisplays");
    platform::prefs::userDefaults().setString(BarMetrics::barHeightKey, "tall");
    engine->scheduleFullScan();
    sim->advance(0.24);
    EXPECT_EQ(frameOf(onSide), Rect(1440, -180, 1920, 1080));
    sim->advance(0.02);
    EXPECT_EQ(frameOf(onSide), Rect(1440, -180, 1920, 1026));
    // The main window still has, within a point, the frame it was given: left alone.
    EXPECT_EQ(frameOf(onMain), kClamped);
}

TEST_F(ConstraintEngineTest, ActivationsWithinTheDebounceCauseOneFullScan) {
    const auto a = addApp("A");
    const auto b = addApp("B");
    const auto background = addApp("Background");
    addWindow(a, kSmall, true);
    addWindow(b, kSmall, true);
    // A hung application costs one timed-out read per full scan: a counter of scans.
    const auto hung = addApp("Hung");
    addWindow(hung, kMaximised);
    sim->setUnresponsive(hung, true);
    startEngine();
    const double perScan = sim->blockedSeconds("app.quorvel.ax");
    ASSERT_GT(perScan, 0);

    const auto later = addWindow(background, kMaximised);
    sim->activateApplication(a);
    sim->advance(0.1);
    sim->activateApplication(b);
    sim->advance(0.24);  // 0.24 s after the second activation
    EXPECT_EQ(frameOf(later), kMaximised);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("app.quorvel.ax"), perScan);
    sim->advance(0.02);
    EXPECT_EQ(frameOf(later), kClamped);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("app.quorvel.ax"), 2 * perScan);

    // start() twice registers the handlers once: one space change, one scan.
    engine->start();
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->advance(1);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("app.quorvel.ax"), 3 * perScan);
}

TEST_F(ConstraintEngineTest, UnresponsiveApplicationDelaysNothingElse) {
    const auto hung = addApp("Hung");
    const auto hungWindow = addWindow(hung, kMaximised);
    sim->setUnresponsive(hung, true);
    const auto fine = addApp("Fine");
    const auto fineWindow = addWindow(fine, kMaximised);
    startEngine();

    EXPECT_EQ(frameOf(fineWindow), kClamped);
    EXPECT_EQ(frameOf(hungWindow), kMaximised);
    // Each request to the hung application gives up after the 0.25 s timeout;
    // the main thread never waits on it.
    EXPECT_LE(sim->blockedSeconds("app.quorvel.ax"), 0.25 + 1e-9);
    EXPECT_EQ(sim->blockedSeconds("main"), 0);
}

TEST_F(ConstraintEngineTest, FocusedWindowOfTheApplicationFrontmostWhenTheSettleEnds) {
    const auto a = addApp("A", true);
    const auto aWindow = addWindow(a, kSmall, true);
    const auto b = addApp("B");
    const auto bWindow = addWindow(b, kSmall, true);
    startEngine();

    sim->setWindowFrame(aWindow, kMaximised);  // A notifies
    sim->setWindowFrame(bWindow, kMaximised);  // B is not observed
    sim->pump();
    sim->activateApplication(b);
    sim->pump();
    // The settle fires first (0.18 s), against B, now frontmost.
    sim->advance(0.19);
    EXPECT_EQ(frameOf(bWindow), kClamped);
    EXPECT_EQ(frameOf(aWindow), kMaximised);
    sim->advance(0.1);  // the activation's full scan catches A's window
    EXPECT_EQ(frameOf(aWindow), kClamped);
}

TEST_F(ConstraintEngineTest, OurOwnFrontmostWindowIsLeftAlone) {
    const auto w = addWindow(sim->ownPid(), kSmall, true);
    sim->activateApplication(sim->ownPid());
    startEngine();
    sim->setWindowFrame(w, kMaximised);
    sim->advance(2);
    EXPECT_EQ(frameOf(w), kMaximised);
    EXPECT_EQ(sim->liveObserverCount(), 0u);
}

TEST_F(ConstraintEngineTest, WindowListPollActsOnceTheWindowsSettle) {
    const auto pid = addApp("Poll", true);
    addWindow(pid, kSmall, true);  // focused: the accessibility path's target
    const auto other = addWindow(pid, kSmall);
    startEngine();  // t = 0: the first sample is only remembered; ticks every 0.5 s

    sim->advance(0.6);
    sim->setWindowFrame(other, kMaximised);
    sim->advance(0.4);   // t = 1.0: the tick sees the change
    sim->advance(0.17);  // t = 1.17: still waiting for the confirming sample
    EXPECT_EQ(frameOf(other), kMaximised);
    sim->advance(0.02);  // t = 1.19
    EXPECT_EQ(frameOf(other), kClamped);
}

TEST_F(ConstraintEngineTest, WindowListPollWaitsWhileTheWindowKeepsMoving) {
    const auto pid = addApp("Poll", true);
    addWindow(pid, kSmall, true);
    const auto other = addWindow(pid, kSmall);
    startEngine();

    sim->advance(0.6);
    sim->setWindowFrame(other, kMaximised);
    sim->advance(0.5);  // t = 1.1: after the tick, before its confirmation
    const Rect stillMoving(0, 20, 1440, 880);
    sim->setWindowFrame(other, stillMoving);
    sim->advance(0.4);  // t = 1.5: the confirmation saw a different list; the next tick starts over
    EXPECT_EQ(frameOf(other), stillMoving);
    sim->advance(0.17);
    EXPECT_EQ(frameOf(other), stillMoving);
    sim->advance(0.02);  // t = 1.69
    EXPECT_EQ(frameOf(other), Rect(0, 20, 1440, 836));
}

TEST_F(ConstraintEngineTest, QuietWindowListPollReadsNothingUntilSomethingChanges) {
    const auto pid = addApp("Quiet", true);
    addWindow(pid, kSmall, true);
    const auto other = addWindow(pid, kSmall);
    startEngine();
    sim->advance(1.0);
    const int settled = sim->windowServer().copies();

    // Ten ticks over an unchanged desktop: not one read of the window list.
    sim->advance(5.0);
    EXPECT_EQ(sim->windowServer().copies(), settled);

    // A change is sampled at the next tick and acted on as before.
    sim->setWindowFrame(other, kMaximised);
    sim->advance(0.5);
    EXPECT_GT(sim->windowServer().copies(), settled);
    sim->advance(0.2);
    EXPECT_EQ(frameOf(other), kClamped);

    // Another application coming to the front is looked at again at once.
    const int before = sim->windowServer().copies();
    sim->activateApplication(addApp("Next"));
    sim->pump();
    EXPECT_GT(sim->windowServer().copies(), before);
}

TEST_F(ConstraintEngineTest, NothingIsWrittenAfterStop) {
    const auto pid = addApp("Late", true);
    const auto w = addWindow(pid, kSmall, true);
    const auto other = addWindow(pid, kSmall);
    startEngine();
    EXPECT_GT(sim->liveObserverCount(), 0u);

    sim->setWindowFrame(w, kMaximised);
    sim->setWindowFrame(other, kMaximised);
    sim->advance(0.1);
    engine->stop();
    engine->stop();  // a second stop does nothing
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->activateApplication(pid);
    sim->advance(3);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(frameOf(w), kMaximised);
    EXPECT_EQ(sim->liveObserverCount(), 0u);
    EXPECT_FALSE(engine->isRunning());

    // Started again, it works as before.
    engine->start();
    sim->pump();
    EXPECT_EQ(frameOf(w), kClamped);
}

TEST_F(ConstraintEngineTest, StopLetsQueuedWorkFinishThenForgets) {
    const auto pid = addApp("Queued");
    const auto w = addWindow(pid, kMaximised);
    engine = WindowConstraintEngine::create();
    engine->start();  // the start's scan is queued on the accessibility queue, not run yet
    engine->stop();
    engine->axQueue().sync([] {});  // what the application delegate does to drain

    EXPECT_EQ(frameOf(w), kClamped);  // the scan queued before stop completed
    EXPECT_EQ(engine->rememberedFrameCount(), 0u);
    EXPECT_EQ(sim->liveObserverCount(), 0u);
    sim->clearLog();
    sim->setWindowFrame(w, kMaximised);
    sim->advance(3);
    EXPECT_TRUE(writes().empty());
}

TEST_F(ConstraintEngineTest, FullScanForgetsWindowsOfApplicationsThatQuit) {
    const auto a = addApp("A");
    addWindow(a, kMaximised);
    addWindow(a, Rect(0, 450, 1440, 450));
    const auto b = addApp("B");
    addWindow(b, kMaximised);
    startEngine();
    EXPECT_EQ(engine->rememberedFrameCount(), 3u);

    sim->terminateApplication(a);
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->advance(0.3);
    EXPECT_EQ(engine->rememberedFrameCount(), 1u);
}

TEST_F(ConstraintEngineTest, SampleOfAnOlderGenerationIsDropped) {
    const auto pid = addApp("Front", true);
    addWindow(pid, kSmall, true);
    const auto other = addWindow(pid, kSmall);
    startEngine();

    // A sample is taken (window small) but not yet delivered when the
    // application is activated again and the window is maximised.
    engine->appActivated();
    sim->clock().pumpQueue("app.quorvel.geometry");
    sim->setWindowFrame(other, kMaximised);
    engine->appActivated();
    // The late sample must not count as the previous one: the new sample is
    // only remembered, so only the activation's full scan (0.25 s) acts.
    sim->advance(0.2);
    EXPECT_EQ(frameOf(other), kMaximised);
    sim->advance(0.06);
    EXPECT_EQ(frameOf(other), kClamped);
}

TEST_F(ConstraintEngineTest, WindowSampleFromTheWindowList) {
    const auto pid = addApp("Listed");
    const auto second = addWindow(pid, Rect(10, 10, 100, 100));
    const auto first = addWindow(pid, Rect(20, 20, 100, 100));
    WindowSpec hiddenSpec;
    hiddenSpec.onScreen = false;
    sim->addWindow(pid, hiddenSpec);
    WindowSpec panel;
    panel.layer = 3;
    sim->addWindow(pid, panel);
    addWindow(addApp("Other"), kSmall);

    const auto sample = WindowConstraintEngine::frontmostWindowList(pid);
    ASSERT_TRUE(sample.has_value());
    EXPECT_EQ(sample->pid, pid);
    ASSERT_EQ(sample->windows.size(), 2u);
    EXPECT_LT(sample->windows[0].id, sample->windows[1].id);
    EXPECT_EQ(sample->windows[0].id, std::uint32_t(std::min(first, second)));

    sim->corruptWindowEntry(first, "kCGWindowBounds", QVariant(QString("garbage")));
    EXPECT_EQ(WindowConstraintEngine::frontmostWindowList(pid)->windows.size(), 1u);

    sim->setWindowListUnavailable(true);
    EXPECT_FALSE(WindowConstraintEngine::frontmostWindowList(pid).has_value());
}

// Real queues: windows change on another thread while the engine scans,
// settles, polls, and is stopped and started. Also run under ThreadSanitizer.
TEST(ThreadedStressConstraintEngine, WindowsEndOffTheBar) {
    platform::sim::SimulatedDesktop::Options options;
    options.threaded = true;
    auto sim = platform::sim::SimulatedDesktop::create(options);
    sim->install();
    auto spinUntil = [](int milliseconds, const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < milliseconds && !(done && done())) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };

    std::vector<std::int32_t> pids;
    std::vector<std::uint64_t> windows;
    for (int i = 0; i < 4; ++i) {
        AppSpec given;
        given.bundleID = QStringLiteral("com.stress.%1").arg(i);
        given.name = given.bundleID;
        given.active = i == 0;
        pids.push_back(sim->addApplication(given));
        for (int w = 0; w < 3; ++w) {
            WindowSpec ws;
            ws.frame = kSmall;
            ws.focused = w == 0;
            windows.push_back(sim->addWindow(pids.back(), ws));
        }
    }
    auto engine = WindowConstraintEngine::create();
    engine->start();

    std::thread user([&] {
        std::mt19937 random(7);
        for (int i = 0; i < 400; ++i) {
            const auto w = windows[random() % windows.size()];
            sim->setWindowFrame(w, random() % 2 ? kMaximised : Rect(0, 450, 720, 450));
            if (i % 50 == 0) sim->activateApplication(pids[random() % pids.size()]);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    for (int round = 0; round < 4; ++round) {
        spinUntil(60, nullptr);
        engine->stop();
        spinUntil(10, nullptr);
        engine->start();
    }
    user.join();

    auto allClear = [&] {
        for (auto w : windows)
            if (sim->window(w)->frame.maxY() > 856.5) return false;
        return true;
    };
    engine->scheduleFullScan();
    spinUntil(3000, allClear);
    EXPECT_TRUE(allClear());

    engine->stop();
    engine->axQueue().sync([] {});
    EXPECT_EQ(sim->liveObserverCount(), 0u);
    engine.reset();
    spinUntil(50, nullptr);
    platform::uninstall();
}
