// The strip's width estimates, fit, bar-height sizes, reorder rule and state
// colours, as tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "taskbar/label_fitting.h"

namespace {

using TaskStripLayout::fit;
using TaskStripLayout::naturalWidth;

std::vector<bool> plain(int n) { return std::vector<bool>(std::size_t(n), false); }

TEST(TaskStripFitTest, NaturalWidthCountsIconsBadgesAndSpacing) {
    struct Case {
        long long n, k;
        double x, expected;
    } cases[] = {
        {0, 0, 18, 0},
        {-3, 1, 18, 0},
        {1, 0, 18, 28},
        {10, 0, 18, 316},
        {3, 1, 16, 2 * 4 + 48 + 2 * 26},
        {2, 5, 22, 4 + 2 * 54},   // more wide than buttons: clamped to n
        {2, -1, 22, 4 + 2 * 32},  // negative wide count: clamped to 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " buttons, " << c.k << " wide, x " << c.x);
        EXPECT_DOUBLE_EQ(naturalWidth(c.n, c.k, c.x), c.expected);
    }
    EXPECT_DOUBLE_EQ(naturalWidth(std::vector<bool>{true, false, true}, 18), naturalWidth(3, 2, 18));
}

TEST(TaskStripFitTest, FitTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<bool> wide;
        bool iconsOnly;
        double width, x;
        TaskStripFit expected;
    } cases[] = {
        {"nothing running", {}, false, 400, 18, {false, false, 0, 0}},
        {"zero width hides all", plain(3), false, 0, 18, {false, true, 0, 0}},
        {"negative width hides all", plain(3), false, -50, 18, {false, true, 0, 0}},
        {"NaN width hides all", plain(3), false, nan, 18, {false, true, 0, 0}},
        // ten plain buttons fit in 384 but leave -4.2 per label
        {"ten fit without labels", plain(10), false, 400, 18, {false, false, 10, 0}},
        {"three get labels", plain(3), false, 416, 18, {true, false, 3, 392.0 / 3 - 39}},
        {"one label is capped", plain(1), false, 2016, 18, {true, false, 1, 129}},
        {"overflow walk", plain(5), false, 116, 18, {false, true, 1, 0}},
        {"overflow with icons-only is the same walk", plain(5), true, 116, 18, {false, true, 1, 0}},
        {"icons-only never labels", plain(3), true, 416, 18, {false, false, 3, 0}},
        // wide buttons: the walk adds x + 32 per wide one
        {"wide overflow", {true, true, true}, false, 16 + 150, 18, {false, true, 1, 0}},
        // exactly the natural width fits; the label share is too small
        {"exact natural width", plain(4), false, 16 + 124, 18, {false, false, 4, 0}},
        {"one point short overflows", plain(4), false, 16 + 123, 18, {false, true, 2, 0}},
        // label share exactly 28 shows labels
        {"narrowest label", plain(2), false, 16 + 4 + 2 * (39 + 28), 18, {true, false, 2, 28}},
        {"below narrowest label", plain(2), false, 16 + 4 + 2 * (39 + 28) - 1, 18, {false, false, 2, 0}},
        // badges cost 22 each, shared out over all buttons
        {"badge share", {true, false}, false, 16 + 4 + 2 * 39 + 22 + 2 * 50, 16, {true, false, 2, 52}},
        {"narrow cap", plain(1), false, 1000, 16, {true, false, 1, 131}},
        {"tall cap", plain(1), false, 1000, 22, {true, false, 1, 125}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = fit(c.wide, c.iconsOnly, c.width, c.x);
        EXPECT_EQ(got.showLabels, c.expected.showLabels);
        EXPECT_EQ(got.overflow, c.expected.overflow);
        EXPECT_EQ(got.visibleCount, c.expected.visibleCount);
        EXPECT_NEAR(got.labelWidth, c.expected.labelWidth, 1e-9);
    }
}

TEST(TaskStripFitTest, OverflowNeverShowsAllAndAlwaysLeavesRoomForTheOverflowButton) {
    for (double x : {16.0, 18.0, 22.0})
        for (int n = 1; n <= 40; ++n)
            for (double width = 1; width < 1200; width += 7) {
                std::vector<bool> wide;
                for (int i = 0; i < n; ++i) wide.push_back((i * 7 + n) % 3 == 0);
                const auto f = fit(wide, false, width, x);
                if (!f.overflow) {
                    EXPECT_EQ(f.visibleCount, n);
                    EXPECT_LE(naturalWidth(wide, x), std::max(0.0, width - 16));
                    continue;
                }
                ASSERT_LT(f.visibleCount, n) << "x " << x << " n " << n << " w " << width;
                EXPECT_FALSE(f.showLabels);
                // The shown buttons and the overflow button fit (when any is shown).
                if (f.visibleCount == 0) continue;
                std::vector<bool> shown(wide.begin(), wide.begin() + f.visibleCount);
                const double used = x + 32 + naturalWidth(shown, x) + (f.visibleCount > 0 ? 4 : 0);
                EXPECT_LE(used, std::max(0.0, width - 16)) << "x " << x << " n " << n << " w " << width;
            }
}

TEST(TaskStripFitTest, SizesFollowTheBarHeight) {
    struct Case {
        QString raw;
        double icon, overflow, button, font, reference;
    } cases[] = {
        {"narrow", 16, 24, 24, 11, 34}, {"medium", 18, 34, 34, 11, 44}, {"tall", 22, 44, 44, 12, 54},
        {"Tall", 18, 34, 34, 11, 44},   {"", 18, 34, 34, 11, 44},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        EXPECT_EQ(TaskStripLayout::iconSize(c.raw), c.icon);
        EXPECT_EQ(TaskStripLayout::overflowButtonHeight(c.raw), c.overflow);
        EXPECT_EQ(TaskStripLayout::buttonHeight(c.raw), c.button);
        EXPECT_EQ(TaskStripLayout::labelFontSize(c.raw), c.font);
        EXPECT_EQ(TaskStripLayout::runningDotReferenceHeight(c.raw), c.reference);
    }
}

TEST(TaskStripFitTest, RunningDotOffsetIsClamped) {
    struct Case {
        double reference, icon, expected;
    } cases[] = {{34, 16, 6.5}, {44, 18, 6.5}, {54, 22, 6.5}, {22, 22, 0}, {20, 16, 0.25}, {10, 22, 0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(TaskStripLayout::runningDotOffset(c.reference, c.icon), c.expected)
            << c.reference << "/" << c.icon;
}

TEST(TaskStripFitTest, ReorderTakesTheTargetsPlace) {
    struct Case {
        QStringList order;
        QString dragged, target;
        std::optional<QStringList> expected;
    } cases[] = {
        {{"a", "b", "c"}, "a", "c", QStringList{"b", "c", "a"}},
        {{"a", "b", "c"}, "c", "a", QStringList{"c", "a", "b"}},
        {{"a", "b", "c"}, "a", "b", QStringList{"b", "a", "c"}},
        {{"a", "b", "c"}, "b", "a", QStringList{"b", "a", "c"}},
        {{"a", "b", "c"}, "b", "b", std::nullopt},
        {{"a", "b", "c"}, "a", "z", std::nullopt},
        // a stored list with a repeat keeps one entry of the dragged one
        {{"a", "b", "a", "c"}, "a", "c", QStringList{"b", "c", "a"}},
        // a dragged identifier that was not listed yet is inserted
        {{"a", "b"}, "n", "b", QStringList{"a", "n", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.dragged + "->" + c.target).toStdString());
        EXPECT_EQ(TaskStripLayout::reorderedRunning(c.order, c.dragged, c.target), c.expected);
    }
}

}  // namespace
