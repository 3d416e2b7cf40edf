// Animations on the platform clock: a linear run and a spring, stepped by
// hand on the manual clock; the last frame lands on the end exactly.
#include <gtest/gtest.h>

#include <cmath>

#include "core/clock_animation.h"
#include "support/sim_fixture.h"

namespace {

TEST(SpringCurve, StartsAtRestSettlesAndOvershootsOnlyWhenUnderdamped) {
    struct Case {
        motion::Spring spring;
        bool overshoots;
    } cases[] = {{{0.18, 0.85}, true}, {{0.18, 1.0}, false}, {{0.3, 1.5}, false}, {{0.5, 0.3}, true}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(motion::springValue(c.spring, 0), 0.0);
        const double settle = motion::springSettleTime(c.spring);
        EXPECT_GT(settle, 0.0);
        EXPECT_NEAR(motion::springValue(c.spring, settle), 1.0, 0.001);
        EXPECT_NEAR(motion::springValue(c.spring, settle * 3), 1.0, 0.001);
        double peak = 0;
        for (double t = 0; t < settle; t += 0.001) peak = std::max(peak, motion::springValue(c.spring, t));
        EXPECT_EQ(peak > 1.0 + 1e-6, c.overshoots) << c.spring.response << "/" << c.spring.dampingFraction;
    }
}

class ClockAnimationTest : public SimDesktopTest {};

TEST_F(ClockAnimationTest, LinearStepsOnTheClockAndEndsExactly) {
    std::vector<double> values;
    int done = 0;
    auto a = motion::ClockAnimation::linear(0.12, [&](double v) { values.push_back(v); }, [&] { ++done; });
    EXPECT_TRUE(a->isRunning());
    sim->advance(0.05);
    ASSERT_FALSE(values.empty());
    EXPECT_NEAR(values.back(), 0.05 / 0.12, 1.0 / 60 / 0.12 + 1e-9);
    EXPECT_EQ(done, 0);
    sim->advance(0.07);
    EXPECT_DOUBLE_EQ(values.back(), 1.0);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(a->isRunning());
    for (std::size_t i = 1; i < values.size(); ++i) EXPECT_GE(values[i], values[i - 1]);
    const auto count = values.size();
    sim->advance(1);
    EXPECT_EQ(values.size(), count) << "no steps after the end";
}

TEST_F(ClockAnimationTest, StoppedOrForgottenAnimations) {
    int steps = 0, done = 0;
    auto stopped = motion::ClockAnimation::spring({0.18, 0.85}, [&](double) { ++steps; }, [&] { ++done; });
    sim->advance(0.05);
    stopped->stop();
    const int at = steps;
    sim->advance(1);
    EXPECT_EQ(steps, at);
    EXPECT_EQ(done, 0);

    // One that nobody holds runs to its end.
    double last = -1;
    motion::ClockAnimation::spring({0.18, 0.85}, [&](double v) { last = v; }, [&] { ++done; });
    sim->advance(1);
    EXPECT_DOUBLE_EQ(last, 1.0);
    EXPECT_EQ(done, 1);

    // A zero duration ends at once.
    motion::ClockAnimation::linear(0, [&](double v) { last = v * 2; }, [&] { ++done; });
    EXPECT_DOUBLE_EQ(last, 2.0);
    EXPECT_EQ(done, 2);
}

}  // namespace
