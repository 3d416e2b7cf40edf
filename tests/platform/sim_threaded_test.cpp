#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"

using namespace platform;
namespace names = platform::ax::names;

namespace {

// Runs the Qt event loop (the main queue of the threaded desktop) until the
// condition holds or a generous limit passes.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The window queue reads the model while the main thread changes it; the
// observer still hears every change on the main thread. Run under
// ThreadSanitizer this also checks the model's locking.
TEST(SimThreaded, QueueReadsRaceMainThreadChangesSafely) {
    sim::SimulatedDesktopOptions options;
    options.threaded = true;
    auto sim = sim::SimulatedDesktop::create(options);
    sim->install();
    auto pid = sim->addApplication({.bundleID = "com.example.busy", .name = "Busy"});
    auto w = sim->addWindow(pid, {.title = "w", .frame = Rect(0, 0, 100, 100)});

    std::atomic<int> moves{0};
    std::atomic<bool> offMain{false};
    auto observer = ax::api().createObserver(pid, [&](const ax::Element&, const QString& n) {
        if (!isMainThread()) offMain = true;
        if (n == names::windowMoved) ++moves;
    });
    ASSERT_EQ(observer->addNotification(ax::api().applicationElement(pid), names::windowMoved), ax::Error::success);

    std::atomic<int> reads{0}, frames{0};
    {
        SerialQueue queue("app.quorvel.windows");
        const auto app = ax::api().applicationElement(pid);
        for (int i = 0; i < 200; ++i) {
            queue.async([&, app] {
                ax::Value v;
                if (ax::api().copyAttribute(app, names::windows, v) == ax::Error::success) ++reads;
                if (auto list = ax::as<ax::ElementList>(v); list && !list->empty()) {
                    ax::Value pos;
                    if (ax::api().copyAttribute(list->front(), names::position, pos) == ax::Error::success) ++frames;
                    ax::api().setAttribute(list->front(), names::size, Size{120, 90});
                }
                (void)windowServer().copyWindowList(windowListOnScreenOnly, 0);
            });
        }
        for (int i = 0; i < 200; ++i) {
            sim->setWindowFrame(w, Rect(i + 1, i + 1, 100, 100));
            if (i % 50 == 0) sim->addWindow(pid, {.title = "extra"});
        }
        queue.sync([] {});
    }
    EXPECT_EQ(reads.load(), 200);
    EXPECT_EQ(frames.load(), 200);
    EXPECT_TRUE(spinUntil([&] { return moves.load() >= 200; }));
    EXPECT_FALSE(offMain.load());
    observer->invalidate();
    uninstall();
}

TEST(SimThreaded, TimeoutsReallyStallTheCallingQueue) {
    sim::SimulatedDesktopOptions options;
    options.threaded = true;
    auto sim = sim::SimulatedDesktop::create(options);
    sim->install();
    auto pid = sim->addApplication({.name = "Hung"});
    auto w = sim->addWindow(pid, {.title = "w"});
    auto el = sim->windowElement(w);
    ax::api().setMessagingTimeout(el, 0.05);
    sim->setUnresponsive(pid, true);
    QElapsedTimer t;
    t.start();
    ax::Error result = ax::Error::success;
    {
        SerialQueue queue("app.quorvel.ax");
        queue.sync([&] {
            ax::Value v;
            result = ax::api().copyAttribute(el, names::title, v);
        });
    }
    EXPECT_EQ(result, ax::Error::cannotComplete);
    EXPECT_GE(t.elapsed(), 45);
    EXPECT_DOUBLE_EQ(sim->blockedSeconds("app.quorvel.ax"), 0.05);
    uninstall();
}

// Shared instances first used on many threads at once all register their
// reset: the next replacement of the backend drops every one of them.
struct Counted {
    static inline std::atomic<int> destroyed{0};
    ~Counted() { ++destroyed; }
};
TEST(SimThreaded, SharedInstancesFirstUsedOnManyThreadsAreAllReset) {
    sim::SimulatedDesktop::create()->install();
    static SharedInstance<Counted> instances[8][64];
    std::vector<std::thread> workers;
    for (auto& row : instances)
        workers.emplace_back([&row] { for (auto& i : row) i.get([] { return std::make_shared<Counted>(); }); });
    for (auto& w : workers) w.join();
    uninstall();
    EXPECT_EQ(Counted::destroyed.load(), 8 * 64);
}

}  // namespace
