// Fit geometry: when a window counts as filling or snapped, and the frame
// that keeps it clear of the bar.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "windows/window_fit_geometry.h"

using platform::Rect;
using namespace WindowFit;

namespace {

const Rect kMain(0, 0, 1440, 900);

std::string show(const std::optional<Rect>& r) {
    if (!r) return "none";
    return std::to_string(r->minX()) + "," + std::to_string(r->minY()) + "," + std::to_string(r->width()) + "," +
           std::to_string(r->height());
}

struct Case {
    const char* name;
    Rect window;
    Rect display;
    bool expected;
};

}  // namespace

TEST(WindowFitCoversScreen, Table) {
    const Case cases[] = {
        {"maximised below the menu bar", Rect(0, 25, 1440, 875), kMain, true},
        {"exactly 90% of each side", Rect(0, 0, 1296, 810), kMain, true},
        {"just under 90% wide", Rect(0, 0, 1295.9, 900), kMain, false},
        {"just under 90% high", Rect(0, 0, 1440, 809.9), kMain, false},
        {"larger than the display", Rect(-100, -100, 1640, 1100), kMain, true},
        {"beside the display", Rect(1440, 0, 1440, 900), kMain, false},
        {"half width", Rect(0, 0, 720, 900), kMain, false},
        {"negative size is standardised", Rect(1440, 900, -1440, -900), kMain, true},
        {"on a second display", Rect(1440, 0, 1920, 1080), Rect(1440, 0, 1920, 1080), true},
    };
    for (const auto& c : cases) EXPECT_EQ(coversScreen(c.window, c.display), c.expected) << c.name;
}

TEST(WindowFitIsSnapped, Table) {
    const Rect odd(0, 0, 1441, 900);
    const Rect tallOdd(0, 0, 1440, 901);
    const Rect right(1440, 0, 1920, 1080);
    const Case cases[] = {
        {"left column narrower than half", Rect(0, 0, 700, 900), kMain, true},
        {"right column ending at the edge", Rect(800, 0, 640, 890), kMain, true},
        {"column 16 points off the left edge", Rect(16, 0, 700, 900), kMain, true},
        {"column 17 points off the left edge", Rect(17, 0, 700, 900), kMain, false},
        {"column too short", Rect(0, 0, 700, 809), kMain, false},
        {"bottom half", Rect(0, 450, 1440, 450), kMain, true},
        {"top half", Rect(0, 0, 1440, 450), kMain, false},
        {"bottom-left quarter", Rect(0, 450, 720, 450), kMain, true},
        {"bottom-right quarter", Rect(720, 450, 720, 450), kMain, true},
        {"top-left quarter", Rect(0, 0, 720, 450), kMain, false},
        {"top-right quarter", Rect(720, 0, 720, 450), kMain, false},
        {"odd width: left quarter 720", Rect(0, 450, 720, 450), odd, true},
        {"odd width: right quarter 721", Rect(720, 450, 721, 450), odd, true},
        {"odd height: lower half is 451", Rect(0, 450, 1440, 451), tallOdd, true},
        {"top edge 16 above the region", Rect(0, 434, 1440, 466), kMain, true},
        {"top edge 17 above the region", Rect(0, 433, 1440, 467), kMain, false},
        {"top edge lower but 90% of the height", Rect(0, 495, 1440, 405), kMain, true},
        {"top edge lower, under 90% of the height", Rect(0, 496, 1440, 404), kMain, false},
        {"bottom edge 17 short of the region", Rect(0, 450, 1440, 433), kMain, false},
        {"bottom edge 16 short of the region", Rect(0, 450, 1440, 434), kMain, true},
        {"20 points beyond the left edge", Rect(-20, 0, 1460, 900), kMain, false},
        {"20 points beyond the bottom edge", Rect(0, 450, 1440, 470), kMain, false},
        {"16 points beyond every edge", Rect(-16, -16, 1472, 932), kMain, true},
        {"zero width", Rect(0, 0, 0, 900), kMain, false},
        {"zero height display", Rect(0, 0, 100, 100), Rect(0, 0, 1440, 0), false},
        {"bottom-right quarter of a second display", Rect(2400, 540, 960, 540), right, true},
        {"centred window", Rect(200, 100, 1000, 700), kMain, false},
    };
    for (const auto& c : cases) EXPECT_EQ(isSnapped(c.window, c.display), c.expected) << c.name;
}

TEST(WindowFitFramesMatch, OnePointInclusive) {
    const Rect base(10, 20, 300, 400);
    EXPECT_TRUE(framesMatch(base, Rect(11, 21, 301, 401)));
    EXPECT_TRUE(framesMatch(base, Rect(9, 19, 299, 399)));
    EXPECT_FALSE(framesMatch(base, Rect(11.01, 20, 300, 400)));
    EXPECT_FALSE(framesMatch(base, Rect(10, 21.01, 300, 400)));
    EXPECT_FALSE(framesMatch(base, Rect(10, 20, 301.01, 400)));
    EXPECT_FALSE(framesMatch(base, Rect(10, 20, 300, 398.99)));
}

TEST(WindowFitClampAboveBar, Table) {
    struct ClampCase {
        const char* name;
        Rect window;
        Rect display;
        double bar;
        bool minimized;
        bool fullScreen;
        std::optional<Rect> last;
        std::optional<Rect> expected;
    };
    const Rect right(1440, -200, 1920, 1080);
    const ClampCase cases[] = {
        {"maximised to the display bottom", Rect(0, 25, 1440, 875), kMain, 44, false, false, {},
         Rect(0, 25, 1440, 831)},
        {"bottom exactly at the bar top", Rect(0, 25, 1440, 831), kMain, 44, false, false, {}, std::nullopt},
        {"bottom 0.4 inside the bar", Rect(0, 25, 1440, 831.4), kMain, 44, false, false, {}, std::nullopt},
        {"bottom 0.5 inside the bar", Rect(0, 25, 1440, 831.5), kMain, 44, false, false, {}, std::nullopt},
        {"bottom 0.6 inside the bar", Rect(0, 25, 1440, 831.6), kMain, 44, false, false, {}, Rect(0, 25, 1440, 831)},
        {"minimised", Rect(0, 25, 1440, 875), kMain, 44, true, false, {}, std::nullopt},
        {"full screen", Rect(0, 0, 1440, 900), kMain, 44, false, true, {}, std::nullopt},
        {"still the frame we gave it", Rect(0, 25, 1440, 875), kMain, 44, false, false, Rect(1, 24, 1441, 874),
         std::nullopt},
        {"changed since we gave it a frame", Rect(0, 25, 1440, 875), kMain, 44, false, false, Rect(0, 25, 1440, 831),
         Rect(0, 25, 1440, 831)},
        {"floating window over the bar", Rect(200, 300, 800, 600), kMain, 44, false, false, {}, std::nullopt},
        {"bottom-right quarter", Rect(720, 450, 720, 450), kMain, 44, false, false, {}, Rect(720, 450, 720, 406)},
        {"left column", Rect(0, 0, 700, 900), kMain, 34, false, false, {}, Rect(0, 0, 700, 866)},
        {"top half never touched", Rect(0, 0, 1440, 450), kMain, 44, false, false, {}, std::nullopt},
        {"tall bar", Rect(0, 25, 1440, 875), kMain, 54, false, false, {}, Rect(0, 25, 1440, 821)},
        {"display above the main one", Rect(1440, -200, 1920, 1080), right, 54, false, false, {},
         Rect(1440, -200, 1920, 1026)},
        // A clamp that would leave no height does nothing.
        {"display shorter than the bar", Rect(0, 0, 100, 40), Rect(0, 0, 100, 40), 44, false, false, {},
         std::nullopt},
        {"display as tall as the bar", Rect(0, 0, 100, 44), Rect(0, 0, 100, 44), 44, false, false, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = clampAboveBar(c.window, c.display, c.bar, c.minimized, c.fullScreen, c.last);
        EXPECT_EQ(show(got), show(c.expected)) << c.name;
    }
}

TEST(WindowFitChooseDisplay, Table) {
    const Rect a(0, 0, 1440, 900);
    const Rect b(1440, 0, 1440, 900);
    const Rect below(0, 900, 1440, 900);
    const Rect taller(1440, 0, 1920, 1200);
    struct ChooseCase {
        const char* name;
        Rect window;
        std::vector<Rect> displays;
        std::optional<Rect> expected;
    };
    const ChooseCase cases[] = {
        {"no displays", Rect(0, 0, 10, 10), {}, std::nullopt},
        {"exactly across two equal displays: the first", Rect(720, 0, 1440, 900), {a, b}, a},
        {"same, listed the other way round", Rect(720, 0, 1440, 900), {b, a}, b},
        {"mostly on the second", Rect(1000, 0, 1440, 900), {a, b}, b},
        {"stacked: mostly on the lower one", Rect(0, 800, 1440, 900), {a, below}, below},
        {"different heights", Rect(1440, 0, 1920, 1200), {a, taller}, taller},
        {"off every display: nearest centre", Rect(5000, 0, 100, 100), {a, b}, b},
        {"off every display: tie goes to the first", Rect(1390, 2000, 100, 100), {a, b}, a},
        {"touching only an edge counts as off", Rect(0, 900, 100, 100), {b, a}, a},
    };
    for (const auto& c : cases) EXPECT_EQ(show(chooseDisplay(c.window, c.displays)), show(c.expected)) << c.name;
}
