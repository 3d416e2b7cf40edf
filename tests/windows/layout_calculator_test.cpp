// Layout calculator: the usable area above a bar and the placement frames.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "windows/window_fit_geometry.h"
#include "windows/window_layout_calculator.h"

using platform::Rect;
using WindowLayoutCalculator::DisplayArea;
using WindowLayoutCalculator::Placement;

namespace {

std::string show(const std::optional<Rect>& r) {
    if (!r) return "none";
    if (r->isNull()) return "null";
    return std::to_string(r->minX()) + "," + std::to_string(r->minY()) + "," + std::to_string(r->width()) + "," +
           std::to_string(r->height());
}

}  // namespace

TEST(LayoutUsableFrame, Table) {
    struct Case {
        const char* name;
        Rect bounds;
        Rect visible;
        double bar;
        std::optional<Rect> expected;  // nullopt: the null rectangle
    };
    const Case cases[] = {
        {"menu bar above, bar below", Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875), 44, Rect(0, 25, 1440, 831)},
        {"no bar: the visible area", Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875), 0, Rect(0, 25, 1440, 875)},
        {"Dock already above the bar", Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 780), 44, Rect(0, 25, 1440, 780)},
        {"visible frame inside the bar band", Rect(0, 0, 1440, 900), Rect(0, 860, 1440, 40), 44, std::nullopt},
        {"visible frame ends at the bar top", Rect(0, 0, 1440, 900), Rect(0, 856, 1440, 44), 44, std::nullopt},
        {"visible frame off the display", Rect(0, 0, 1440, 900), Rect(2000, 0, 100, 100), 44, std::nullopt},
        {"visible frame wider than the display", Rect(0, 0, 1440, 900), Rect(-50, 25, 1600, 875), 44,
         Rect(0, 25, 1440, 831)},
        {"second display to the right, tall bar", Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080), 54,
         Rect(1440, 0, 1920, 1026)},
        {"display above the main one", Rect(0, -1080, 1920, 1080), Rect(0, -1080, 1920, 1080), 34,
         Rect(0, -1080, 1920, 1046)},
    };
    for (const auto& c : cases) {
        const Rect got = WindowLayoutCalculator::usableFrame(c.bounds, c.visible, c.bar);
        if (!c.expected)
            EXPECT_TRUE(got.isNull()) << c.name << ": " << show(got);
        else
            EXPECT_EQ(show(got), show(c.expected)) << c.name;
    }
}

TEST(LayoutFrameForPlacement, Table) {
    const DisplayArea oddMain{Rect(0, 0, 1441, 900), Rect(0, 25, 1441, 831)};
    const DisplayArea second{Rect(1441, 0, 1920, 1080), Rect(1441, 0, 1920, 1026)};
    const DisplayArea stacked{Rect(0, 900, 1440, 900), Rect(0, 900, 1440, 900)};  // no bar there
    const DisplayArea noRoom{Rect(0, 0, 1441, 900), Rect::null()};
    struct Case {
        const char* name;
        Placement placement;
        Rect window;
        std::vector<DisplayArea> areas;
        std::optional<Rect> expected;
    };
    const Case cases[] = {
        {"maximise", Placement::maximize, Rect(10, 40, 500, 400), {oddMain, second}, Rect(0, 25, 1441, 831)},
        {"left half of an odd width", Placement::leftHalf, Rect(10, 40, 500, 400), {oddMain}, Rect(0, 25, 720, 831)},
        {"right half of an odd width", Placement::rightHalf, Rect(10, 40, 500, 400), {oddMain},
         Rect(720, 25, 721, 831)},
        {"window on the second display", Placement::leftHalf, Rect(1600, 100, 500, 400), {oddMain, second},
         Rect(1441, 0, 960, 1026)},
        {"stacked display without a bar", Placement::maximize, Rect(0, 1000, 500, 400), {oddMain, stacked},
         Rect(0, 900, 1440, 900)},
        {"no displays", Placement::maximize, Rect(0, 0, 10, 10), {}, std::nullopt},
        {"display without usable room", Placement::maximize, Rect(0, 0, 10, 10), {noRoom}, std::nullopt},
        // The first area with the chosen bounds decides; a later equal one is not tried.
        {"first equal area decides", Placement::maximize, Rect(0, 0, 10, 10), {noRoom, oddMain}, std::nullopt},
        {"zero-width usable frame", Placement::maximize, Rect(0, 0, 10, 10),
         {{Rect(0, 0, 100, 100), Rect(0, 0, 0, 50)}}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(WindowLayoutCalculator::frame(c.placement, c.window, c.areas)), show(c.expected)) << c.name;
}

// The whole rule on a desktop of three displays of different heights, the
// bar only on a display that is not the main one.
TEST(LayoutAndFit, BarOnSecondaryDisplayOfDifferentHeight) {
    const Rect side(1440, -180, 1920, 1080);  // taller, its top above the main one's
    const std::vector<Rect> withBar = {side};
    const double bar = 44;

    struct Case {
        const char* name;
        Rect window;
        std::optional<Rect> expected;
    };
    const Case cases[] = {
        {"maximised on the barred display", Rect(1440, -180, 1920, 1080), Rect(1440, -180, 1920, 1036)},
        {"bottom half of the barred display", Rect(1440, 360, 1920, 540), Rect(1440, 360, 1920, 496)},
        {"maximised on the main display", Rect(0, 0, 1440, 900), std::nullopt},
        {"maximised on the stacked display", Rect(0, 900, 1280, 800), std::nullopt},
    };
    for (const auto& c : cases) {
        // Only displays that carry a bar take part, as in the engine: a window
        // elsewhere is matched to the nearest barred display and left alone.
        const auto d = WindowFit::chooseDisplay(c.window, withBar);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(show(WindowFit::clampAboveBar(c.window, *d, bar, false, false, std::nullopt)), show(c.expected))
            << c.name;
    }
}
