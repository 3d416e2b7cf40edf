#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"

using namespace platform;

namespace {
struct ManualClock : ::testing::Test {
    std::shared_ptr<sim::ManualDispatcher> dispatcher = std::make_shared<sim::ManualDispatcher>();
    void SetUp() override {
        Services s;
        s.dispatcher = dispatcher;
        s.preferences = std::make_shared<prefs::MemoryBackend>();
        install(s);
    }
    void TearDown() override { uninstall(); }
};
}  // namespace

TEST_F(ManualClock, SerialQueueRunsInOrderAndSyncIsABarrier) {
    SerialQueue q("app.quorvel.test");
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) q.async([&order, i] { order.push_back(i); });
    q.sync([&order] { order.push_back(99); });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 99}));
}

TEST_F(ManualClock, TimersFireInDeadlineOrderOnlyWhenTheClockMoves) {
    std::vector<std::string> fired;
    MainQueue::asyncAfter(0.5, [&] { fired.push_back("half"); });
    auto t = Timer::scheduled(0.2, true, [&](Timer& timer) {
        fired.push_back("tick");
        if (fired.size() >= 4) timer.invalidate();
    });
    dispatcher->pump();
    EXPECT_TRUE(fired.empty());
    double start = uptime();
    dispatcher->advance(1.0);
    EXPECT_DOUBLE_EQ(uptime(), start + 1.0);
    // 0.2 tick, 0.4 tick, 0.5 half, 0.6 tick (4th event invalidates)
    EXPECT_EQ(fired, (std::vector<std::string>{"tick", "tick", "half", "tick"}));
    EXPECT_FALSE(t->isValid());
    dispatcher->advance(5.0);
    EXPECT_EQ(fired.size(), 4u);
}
