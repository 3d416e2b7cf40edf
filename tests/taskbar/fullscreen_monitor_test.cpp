// Full-screen detection on the simulated desktop, and the monitor's timing.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/sim_fixture.h"
#include "qt_print.h"
#include "taskbar/fullscreen_monitor.h"
#include "windows/window_constraint_engine.h"
#include "windows/window_service.h"

namespace {

using platform::Rect;
using platform::sim::AppSpec;
using platform::sim::WindowSpec;

class FullscreenDetectorTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        main = platform::displays().mainDisplayID();
        second = sim->addDisplay(Rect(1440, 0, 1920, 1080));
    }
    std::int32_t app(const QString& id, bool active = true) {
        AppSpec given;
        given.bundleID = id;
        given.name = id;
        given.active = active;
        return sim->addApplication(given);
    }
    std::uint64_t window(std::int32_t pid, Rect frame, bool fullScreen = false, bool focused = true) {
        WindowSpec given;
        given.frame = frame;
        given.fullScreen = fullScreen;
        given.focused = focused;
        return sim->addWindow(pid, given);
    }
    AXFullscreenDetector detector;
    platform::DisplayID main = 0, second = 0;
};

TEST_F(FullscreenDetectorTest, FocusedFullScreenWindowNamesItsDisplay) {
    const auto player = app("com.example.player");
    window(player, Rect(1440, 0, 1920, 1080), true);
    EXPECT_EQ(detector.detect(player), std::optional(second));
    EXPECT_DOUBLE_EQ(sim->messagingTimeout(sim->applicationElement(player)), 0.25);

    const auto editor = app("com.example.editor");
    window(editor, Rect(100, 100, 800, 600));
    EXPECT_EQ(detector.detect(editor), std::nullopt);
    EXPECT_EQ(detector.detect(std::nullopt), std::nullopt);
}

TEST_F(FullscreenDetectorTest, LargestOverlapWinsAndTheFirstDisplayOnATie) {
    using D = AXFullscreenDetector::ActiveDisplay;
    const std::vector<D> displays{{1, Rect(0, 0, 1000, 800)}, {2, Rect(1000, 0, 1000, 800)}};
    EXPECT_EQ(AXFullscreenDetector::largestOverlap(Rect(600, 0, 1000, 800), displays), std::optional(2u));
    EXPECT_EQ(AXFullscreenDetector::largestOverlap(Rect(200, 0, 1000, 800), displays), std::optional(1u));
    EXPECT_EQ(AXFullscreenDetector::largestOverlap(Rect(500, 0, 1000, 800), displays), std::optional(1u));
    EXPECT_EQ(AXFullscreenDetector::largestOverlap(Rect(3000, 0, 10, 10), displays), std::nullopt);
    // Touching edges have no area.
    EXPECT_EQ(AXFullscreenDetector::largestOverlap(Rect(-10, 0, 10, 800), displays), std::nullopt);
}

TEST_F(FullscreenDetectorTest, BorderlessWindowCoveringADisplayWithinTwoPoints) {
    struct Case {
        Rect frame;
        std::int64_t layer;
        double alpha;
        bool expected;
    };
    const Case cases[] = {
        {Rect(1440, 0, 1920, 1080), 0, 1.0, true},
        {Rect(1440, 0, 1919, 1080), 0, 1.0, true},   // 1 point short at the right
        {Rect(1442, 2, 1916, 1076), 0, 1.0, true},   // 2 points in on every side
        {Rect(1440, 0, 1917, 1080), 0, 1.0, false},  // 3 points short
        {Rect(1440, 3, 1920, 1077), 0, 1.0, false},
        {Rect(1440, 0, 1920, 1080), 1, 1.0, false},  // another layer
        {Rect(1440, 0, 1920, 1080), 0, 0.01, false}, // all but invisible
        {Rect(1440, 0, 1920, 1080), 0, 0.02, true},
    };
    for (const auto& c : cases) {
        const auto pid = app("com.example.game");
        WindowSpec given;
        given.frame = c.frame;
        given.layer = c.layer;
        given.alpha = c.alpha;
        given.focused = true;
        sim->addWindow(pid, given);
        EXPECT_EQ(detector.detect(pid).has_value(), c.expected)
            << c.frame.origin.x << "," << c.frame.origin.y << " " << c.frame.size.width << "x" << c.frame.size.height
            << " layer " << c.layer << " alpha " << c.alpha;
        if (c.expected) {
            EXPECT_EQ(detector.detect(pid), std::optional(second));
        }
        sim->terminateApplication(pid);
    }
}

TEST_F(FullscreenDetectorTest, UnresponsiveApplicationStillCountsByTheWindowList) {
    const auto game = app("com.example.game");
    window(game, Rect(0, 0, 1440, 900), true);
    sim->setUnresponsive(game, true);
    EXPECT_EQ(detector.detect(game), std::optional(main));
    sim->setWindowListUnavailable(true);
    EXPECT_EQ(detector.detect(game), std::nullopt);
    // Answering again, but with no display list: no display is full screen.
    sim->setWindowListUnavailable(false);
    sim->setUnresponsive(game, false);
    sim->setDisplayListUnavailable(true);
    EXPECT_EQ(detector.detect(game), std::nullopt);
}

TEST_F(FullscreenDetectorTest, AnswerStandsUntilWhatItReadChanges) {
    const auto player = app("com.example.player");
    const auto w = window(player, Rect(1440, 0, 1920, 1080), true);
    const auto editor = app("com.example.editor", false);
    struct Step {
        const char* what;
        std::function<void()> change;
        std::optional<std::int32_t> pid;
        bool readsAgain;
        std::optional<platform::DisplayID> answer;
    };
    const std::vector<Step> steps{
        {"first look", [] {}, player, true, second},
        {"nothing changed", [] {}, player, false, second},
        {"another application asked about", [] {}, editor, true, std::nullopt},
        {"back to the player", [] {}, player, true, second},
        {"the window leaves full screen", [&] { sim->setFullScreen(w, false); }, player, true, second},
        {"and shrinks", [&] { sim->setWindowFrame(w, Rect(1500, 50, 800, 600)); }, player, true, std::nullopt},
        {"the display moves", [&] { sim->setDisplayBounds(second, Rect(1440, 0, 800, 600)); }, player, true, std::nullopt},
        {"nothing changed again", [] {}, player, false, std::nullopt},
    };
    for (const Step& step : steps) {
        step.change();
        const auto reads = detector.readCount();
        const auto standing = detector.standingAnswer(step.pid);
        EXPECT_EQ(!standing, step.readsAgain) << step.what;
        if (standing) {
            EXPECT_EQ(*standing, step.answer) << step.what;
        }
        EXPECT_EQ(detector.detect(step.pid), step.answer) << step.what;
        EXPECT_EQ(detector.readCount() - reads, step.readsAgain ? 1u : 0u) << step.what;
    }
}

// ---- monitor -----------------------------------------------------------------

class CountingDetector : public FullscreenDetecting {
public:
    std::optional<platform::DisplayID> detect(std::optional<std::int32_t> pid) override {
        ++calls;
        lastPid = pid;
        if (during) during();
        return answer;
    }
    int calls = 0;
    std::optional<std::int32_t> lastPid;
    std::optional<platform::DisplayID> answer;
    std::function<void()> during;
};

class FullscreenMonitorTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        detector = std::make_shared<CountingDetector>();
        monitor = FullscreenMonitor::create(detector);
        monitor->setOnChange([this](std::optional<platform::DisplayID> d) { reports.push_back(d); });
    }
    void TearDown() override {
        monitor.reset();
        SimDesktopTest::TearDown();
    }
    std::shared_ptr<CountingDetector> detector;
    std::shared_ptr<FullscreenMonitor> monitor;
    std::vector<std::optional<platform::DisplayID>> reports;
};

TEST_F(FullscreenMonitorTest, SettlesAfterTriggersAndPollsEverySecond) {
    AppSpec given;
    given.bundleID = "com.example.a";
    given.active = true;
    const auto a = sim->addApplication(given);
    monitor->start();
    monitor->start();  // idempotent
    sim->advance(0.14);
    EXPECT_EQ(detector->calls, 0);
    sim->advance(0.01);
    EXPECT_EQ(detector->calls, 1);
    EXPECT_EQ(detector->lastPid, std::optional(a));
    EXPECT_EQ(reports.size(), 1u);

    // Three application switches within 0.15 s: one detection.
    given.bundleID = "com.example.b";
    const auto b = sim->addApplication(given);
    sim->advance(0.05);
    sim->activateApplication(a);
    sim->advance(0.05);
    sim->activateApplication(b);
    sim->pump();
    const int before = detector->calls;
    sim->advance(0.149);
    EXPECT_EQ(detector->calls, before);
    sim->advance(0.002);
    EXPECT_EQ(detector->calls, before + 1);
    EXPECT_EQ(detector->lastPid, std::optional(b));

    // A change of space is a trigger too.
    const int beforeSpace = detector->calls;
    sim->postWorkspaceNotification(platform::workspace_notifications::activeSpaceDidChange);
    sim->advance(0.16);
    EXPECT_EQ(detector->calls, beforeSpace + 1);

    // With nothing happening the poll still asks about once a second.
    const int quiet = detector->calls;
    sim->advance(5.0);
    EXPECT_GE(detector->calls - quiet, 4);
    EXPECT_LE(detector->calls - quiet, 6);
}

TEST_F(FullscreenMonitorTest, QuietPollReportsTheStandingAnswerWithoutDetecting) {
    AppSpec given;
    given.bundleID = "com.example.a";
    given.active = true;
    const auto a = sim->addApplication(given);
    WindowSpec full;
    full.frame = platform::displays().screens().front().bounds;
    full.fullScreen = true;
    full.focused = true;
    const auto w = sim->addWindow(a, full);
    auto real = std::make_shared<AXFullscreenDetector>();
    monitor = FullscreenMonitor::create(real);
    monitor->setOnChange([this](std::optional<platform::DisplayID> d) { reports.push_back(d); });
    monitor->start();
    sim->advance(0.2);
    ASSERT_EQ(real->readCount(), 1u);

    const auto reported = reports.size();
    sim->advance(5.0);
    EXPECT_EQ(real->readCount(), 1u) << "nothing changed, nothing read";
    // The first quiet tick reports the standing answer; then the poll rests.
    EXPECT_EQ(monitor->standingAnswers(), 1u);
    ASSERT_EQ(reports.size(), reported + 1);
    EXPECT_EQ(reports.back(), std::optional(platform::displays().mainDisplayID()));

    // The window gives its full-screen frame back after saying it left:
    // that change is answered after the settling delay, not a poll later.
    sim->setFullScreen(w, false);
    sim->advance(FullscreenMonitor::settleDelay + 0.02);
    ASSERT_EQ(real->readCount(), 2u);
    sim->setWindowFrame(w, Rect(10, 10, 300, 200));
    sim->advance(FullscreenMonitor::settleDelay + 0.02);
    EXPECT_EQ(real->readCount(), 3u);
    EXPECT_EQ(reports.back(), std::nullopt);
}

TEST_F(FullscreenMonitorTest, StopSilencesEverything) {
    monitor->start();
    monitor->stop();
    monitor->stop();
    sim->advance(3.0);
    EXPECT_EQ(detector->calls, 0);
    EXPECT_TRUE(reports.empty());
    monitor->trigger();
    sim->advance(1.0);
    EXPECT_EQ(detector->calls, 0);
}

TEST_F(FullscreenMonitorTest, ResultOfAnEarlierStartIsDropped) {
    monitor->start();
    // While the first detection runs, the workspace stops and starts again.
    detector->answer = 7;
    detector->during = [this] {
        detector->during = nullptr;
        monitor->stop();
        monitor->start();
    };
    sim->advance(0.15);
    EXPECT_EQ(detector->calls, 1);
    EXPECT_TRUE(reports.empty());  // the old run's answer never arrives
    sim->advance(0.15);
    EXPECT_EQ(detector->calls, 2);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::optional<platform::DisplayID>(7));
}

// ---- the three debounced observers under a steady stream of triggers ---------

// One observer as the table drives it: a trigger, and how many answers
// (scans, evaluations) it has given so far.
struct DebouncedObserver {
    std::function<void()> trigger;
    std::function<int()> answers;
    std::function<void()> stop;
};

TEST(SteadyTriggers, EachDebouncedObserverStillAnswersEveryHalfSecond) {
    struct Case {
        const char* name;
        std::function<DebouncedObserver(platform::sim::SimulatedDesktop&)> make;
    };
    const Case cases[] = {
        {"window service scan",
         [](platform::sim::SimulatedDesktop&) {
             auto queue = std::make_shared<platform::SerialQueue>("app.quorvel.windows");
             auto service = WindowService::create(*queue);
             auto count = std::make_shared<int>(0);
             service->setOnSnapshot([count](const std::vector<AppItem>&) { ++*count; });
             service->start();
             return DebouncedObserver{[service] { service->scheduleScan(); }, [count] { return *count; },
                                      [service, queue] { service->stop(); }};
         }},
        {"constraint engine full scan",
         [](platform::sim::SimulatedDesktop& sim) {
             // A hung application costs one timed-out read per full scan: a counter of scans.
             AppSpec hung;
             hung.bundleID = "com.test.hung";
             const auto pid = sim.addApplication(hung);
             WindowSpec w;
             w.frame = Rect(0, 25, 1440, 875);
             sim.addWindow(pid, w);
             sim.setUnresponsive(pid, true);
             auto engine = WindowConstraintEngine::create();
             engine->start();
             sim.pump();
             const double perScan = sim.blockedSeconds("app.quorvel.ax");
             EXPECT_GT(perScan, 0);
             return DebouncedObserver{
                 [engine] { engine->scheduleFullScan(); },
                 [&sim, perScan] { return int(sim.blockedSeconds("app.quorvel.ax") / perScan + 0.5); },
                 [engine] { engine->stop(); }};
         }},
        {"full-screen monitor",
         [](platform::sim::SimulatedDesktop&) {
             auto detector = std::make_shared<CountingDetector>();
             auto monitor = FullscreenMonitor::create(detector);
             monitor->setOnChange([](std::optional<platform::DisplayID>) {});
             monitor->start();
             return DebouncedObserver{[monitor] { monitor->trigger(); }, [detector] { return detector->calls; },
                                      [monitor] { monitor->stop(); }};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = platform::sim::SimulatedDesktop::create();
        sim->install();
        auto observer = c.make(*sim);
        sim->advance(1.0);  // the start's own answer is given

        // A trigger every 0.1 s for 3 s: no stretch without an answer is
        // longer than half a second.
        const double step = 0.01;
        int seen = observer.answers();
        double lastAnswer = sim->now(), longest = 0;
        for (int i = 0; i < 300; ++i) {
            if (i % 10 == 0) observer.trigger();
            sim->advance(step);
            if (observer.answers() != seen) {
                seen = observer.answers();
                lastAnswer = sim->now();
            }
            longest = std::max(longest, sim->now() - lastAnswer);
        }
        EXPECT_LE(longest, 0.5 + step);
        observer.stop();
        sim->pump();
        platform::uninstall();
    }
}

}  // namespace
