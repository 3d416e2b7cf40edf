#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/linux/threaded_dispatcher.h"
#include "platform/platform.h"

using namespace platform;

namespace {

struct RealQueues : ::testing::Test {
    void SetUp() override {
        Services s;
        s.dispatcher = std::make_shared<linux_backend::ThreadedDispatcher>();
        s.preferences = std::make_shared<prefs::MemoryBackend>();
        install(s);
    }
    void TearDown() override { uninstall(); }

    // Runs the main loop until the condition holds or five seconds pass.
    static bool spinUntil(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};

}  // namespace

TEST_F(RealQueues, TasksRunOneAtATimeInSubmissionOrderPerProducer) {
    SerialQueue q("app.quorvel.test.order");
    constexpr int producers = 4, perProducer = 500;
    std::vector<std::vector<int>> seen(producers);
    std::atomic<int> running{0}, overlaps{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < perProducer; ++i)
                q.async([&, p, i] {
                    if (running.fetch_add(1) != 0) overlaps++;
                    seen[p].push_back(i);  // unsynchronised on purpose: the queue is the lock
                    running.fetch_sub(1);
                });
        });
    for (auto& t : threads) t.join();
    q.sync([] {});  // barrier: everything queued before has run
    EXPECT_EQ(overlaps.load(), 0);
    for (int p = 0; p < producers; ++p) {
        ASSERT_EQ(int(seen[p].size()), perProducer);
        for (int i = 0; i < perProducer; ++i) ASSERT_EQ(seen[p][i], i);
    }
}

TEST_F(RealQueues, SyncWaitsForEarlierTasksAndRunsInlineOnItsOwnQueue) {
    SerialQueue q("app.quorvel.test.sync");
    std::atomic<bool> slowDone{false};
    q.async([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        slowDone = true;
    });
    bool sawSlowDone = false, nestedRan = false, wasCurrent = false;
    q.sync([&] {
        sawSlowDone = slowDone.load();
        wasCurrent = q.isCurrent();
        q.sync([&] { nestedRan = true; });  // would deadlock if it queued behind itself
    });
    EXPECT_TRUE(sawSlowDone);
    EXPECT_TRUE(wasCurrent);
    EXPECT_TRUE(nestedRan);
    EXPECT_FALSE(q.isCurrent());
}

TEST_F(RealQueues, DelayedTasksRunInDeadlineOrderAfterTheirDelay) {
    SerialQueue q("app.quorvel.test.after");
    std::mutex m;
    std::vector<int> order;
    const double start = uptime();
    double firstAt = 0;
    q.asyncAfter(0.09, [&] { std::lock_guard l(m); order.push_back(3); });
    q.asyncAfter(0.03, [&] { std::lock_guard l(m); order.push_back(1); firstAt = uptime(); });
    q.asyncAfter(0.06, [&] { std::lock_guard l(m); order.push_back(2); });
    ASSERT_TRUE(spinUntil([&] { std::lock_guard l(m); return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_GE(firstAt - start, 0.03);
}

TEST_F(RealQueues, ResultsHopBackToTheMainThread) {
    SerialQueue q("app.quorvel.test.hop");
    std::atomic<bool> onQueueIsMain{true};
    bool delivered = false, deliveredOnMain = false;
    EXPECT_TRUE(isMainThread());
    q.async([&] {
        onQueueIsMain = isMainThread();
        MainQueue::async([&] {
            delivered = true;
            deliveredOnMain = isMainThread();
        });
    });
    ASSERT_TRUE(spinUntil([&] { return delivered; }));
    EXPECT_FALSE(onQueueIsMain.load());
    EXPECT_TRUE(deliveredOnMain);
}

TEST_F(RealQueues, TimersTickOnTheMainThreadUntilInvalidated) {
    int ticks = 0;
    bool allOnMain = true;
    auto timer = Timer::scheduled(0.01, true, [&](Timer& t) {
        allOnMain = allOnMain && isMainThread();
        if (++ticks == 3) t.invalidate();
    });
    ASSERT_TRUE(spinUntil([&] { return ticks >= 3; }));
    // Keep the loop running a while: an invalidated timer stays silent.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(80);
    while (std::chrono::steady_clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(allOnMain);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(RealQueues, AQueueMayBeReleasedByItsOwnLastTask) {
    // The last reference to a queue sits in a closure running on that queue.
    std::atomic<bool> ran{false}, afterwards{false};
    {
        auto q = std::make_shared<SerialQueue>("app.quorvel.test.self");
        auto* raw = q.get();
        raw->async([q = std::move(q), &ran]() mutable {
            ran = true;
            q.reset();
        });
    }
    ASSERT_TRUE(spinUntil([&] { return ran.load(); }));
    // The process carries on and other queues still work.
    SerialQueue other("app.quorvel.test.other");
    other.sync([&] { afterwards = true; });
    EXPECT_TRUE(afterwards.load());
}

TEST_F(RealQueues, SignalsReachTheNewestHandlerOffTheSignalContext) {
    std::atomic<int> firstGot{0}, secondGot{0};
    std::atomic<bool> onMain{true};
    handleSignals({SIGUSR2}, [&](int s) {
        onMain = isMainThread();
        firstGot = s;
    });
    ::raise(SIGUSR2);
    ASSERT_TRUE(spinUntil([&] { return firstGot.load() != 0; }));
    EXPECT_EQ(firstGot.load(), SIGUSR2);
    EXPECT_FALSE(onMain.load());

    // A new installation's dispatcher takes the signals over; the old one's
    // handler (with its captured state) is never called again.
    uninstall();
    Services s;
    s.dispatcher = std::make_shared<linux_backend::ThreadedDispatcher>();
    s.preferences = std::make_shared<prefs::MemoryBackend>();
    install(s);
    firstGot = 0;
    handleSignals({SIGUSR2}, [&](int sig) { secondGot = sig; });
    ::raise(SIGUSR2);
    ASSERT_TRUE(spinUntil([&] { return secondGot.load() != 0; }));
    EXPECT_EQ(firstGot.load(), 0);
    // A burst far larger than a pipe holds never blocks the raising thread.
    for (int i = 0; i < 70000; ++i) ::raise(SIGUSR2);
    SUCCEED();
}

namespace {

TEST(TimerTolerance, PicksTheCoarsestQtTimerWithinIt) {
    using linux_backend::ThreadedDispatcher;
    struct Case {
        double interval, tolerance;
        Qt::TimerType expected;
    };
    const Case cases[] = {
        {1.0, 0.0, Qt::PreciseTimer},       // no tolerance: on time
        {60.0, 0.0, Qt::PreciseTimer},      // a clock's minute tick
        {0.5, 0.02, Qt::PreciseTimer},      // under Qt's 5 %
        {0.5, 0.025, Qt::CoarseTimer},      // exactly 5 %
        {1.0, 0.1, Qt::CoarseTimer},        // the pet's idle tick
        {0.5, 0.5, Qt::CoarseTimer},        // whole seconds would double the interval
        {1.0, 0.5, Qt::VeryCoarseTimer},    // second-scale polls share the whole second
        {5.0, 0.5, Qt::VeryCoarseTimer},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ThreadedDispatcher::timerTypeFor(c.interval, c.tolerance), c.expected)
            << c.interval << " s with " << c.tolerance << " s";
}

}  // namespace
