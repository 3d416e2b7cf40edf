// Bar metrics: thickness from the setting, the displays that carry a bar and
// the usable area of each display.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "windows/bar_metrics.h"

using platform::Rect;
using platform::Screen;

namespace {

// Displays as the window server and the screen list report them; each can
// be made to disagree with the other or to fail.
class FakeDisplays : public platform::Displays {
public:
    std::vector<Screen> list;
    platform::DisplayID mainID = 0;
    bool displayListFails = false;

    std::vector<Screen> screens() override { return list; }
    std::optional<Screen> mainScreen() override {
        if (list.empty()) return std::nullopt;
        return list.front();
    }
    platform::DisplayID mainDisplayID() override { return mainID; }
    platform::Point pointerLocation() override { return {}; }
    int addObserver(std::function<void()>) override { return 1; }
    void removeObserver(int) override {}
    std::optional<std::vector<platform::DisplayID>> activeDisplayList() override {
        if (displayListFails) return std::nullopt;
        return Displays::activeDisplayList();
    }
};

// A screen from its top-left bounds on a desktop whose main display is
// `mainHeight` tall, with `menuBar` points taken off the top of the visible
// frame (bottom-left coordinates, as screens report it).
Screen screen(platform::DisplayID id, Rect bounds, double mainHeight, double menuBar = 0, double dockBottom = 0) {
    Screen s;
    s.id = id;
    s.bounds = bounds;
    s.frame = Rect(bounds.minX(), mainHeight - bounds.maxY(), bounds.width(), bounds.height());
    s.visibleFrame = Rect(s.frame.minX(), s.frame.minY() + dockBottom, s.frame.width(),
                          s.frame.height() - menuBar - dockBottom);
    return s;
}

class BarMetricsTest : public ::testing::Test {
protected:
    void SetUp() override {
        displays = std::make_shared<FakeDisplays>();
        platform::Services s;
        s.dispatcher = std::make_shared<platform::sim::ManualDispatcher>();
        s.preferences = std::make_shared<platform::prefs::MemoryBackend>();
        s.displays = displays;
        platform::install(s);
    }
    void TearDown() override { platform::uninstall(); }
    void setText(const QString& key, const QString& value) { platform::prefs::userDefaults().setString(key, value); }

    // Main 1440x900 with a menu bar; a taller display to its right whose top
    // stands 180 points higher; a display stacked under the main one.
    void threeDisplays() {
        displays->list = {screen(1, Rect(0, 0, 1440, 900), 900, 25),
                          screen(2, Rect(1440, -180, 1920, 1080), 900),
                          screen(3, Rect(0, 900, 1280, 800), 900, 0, 70)};
        displays->mainID = 1;
    }
    std::shared_ptr<FakeDisplays> displays;
};

}  // namespace

TEST_F(BarMetricsTest, ThicknessFromTheSetting) {
    struct Case {
        std::optional<QString> text;
        double expected;
    };
    const Case cases[] = {{std::nullopt, 44}, {"medium", 44}, {"narrow", 34}, {"tall", 54},
                          {"Tall", 44},       {"NARROW", 44}, {"", 44},       {"huge", 44}};
    for (const auto& c : cases) {
        if (c.text)
            setText(BarMetrics::barHeightKey, *c.text);
        else
            platform::prefs::userDefaults().remove(BarMetrics::barHeightKey);
        EXPECT_EQ(BarMetrics::barThickness(), c.expected) << c.text.value_or("<absent>").toStdString();
    }
    platform::prefs::userDefaults().setBool(BarMetrics::barHeightKey, true);  // wrong type: the default
    EXPECT_EQ(BarMetrics::barThickness(), 44);
}

TEST_F(BarMetricsTest, TargetDisplaysByMode) {
    threeDisplays();
    EXPECT_EQ(BarMetrics::targetDisplays(),
              (std::vector<Rect>{Rect(0, 0, 1440, 900), Rect(1440, -180, 1920, 1080), Rect(0, 900, 1280, 800)}));
    setText(BarMetrics::displayModeKey, "mainDisplay");
    EXPECT_EQ(BarMetrics::targetDisplays(), (std::vector<Rect>{Rect(0, 0, 1440, 900)}));
    setText(BarMetrics::displayModeKey, "MainDisplay");  // names no case: all displays
    EXPECT_EQ(BarMetrics::targetDisplays().size(), 3u);
}

TEST_F(BarMetricsTest, UnreadableDisplayListFallsBackToTheMainDisplay) {
    threeDisplays();
    displays->displayListFails = true;
    EXPECT_EQ(BarMetrics::allDisplayBounds(), (std::vector<Rect>{Rect(0, 0, 1440, 900)}));
    displays->displayListFails = false;
    displays->list.clear();
    EXPECT_EQ(BarMetrics::allDisplayBounds().size(), 1u);
}

TEST_F(BarMetricsTest, ScreenBarFramesAllDisplays) {
    threeDisplays();
    setText(BarMetrics::barHeightKey, "tall");
    const auto areas = BarMetrics::screenBarFrames();
    ASSERT_EQ(areas.size(), 3u);
    EXPECT_EQ(areas[0].usableFrame, Rect(0, 25, 1440, 821));         // menu bar above, bar of 54 below
    EXPECT_EQ(areas[1].usableFrame, Rect(1440, -180, 1920, 1026));   // taller display to the right
    EXPECT_EQ(areas[2].usableFrame, Rect(0, 900, 1280, 730));        // stacked; Dock of 70 is above the bar
    EXPECT_EQ(areas[2].bounds, Rect(0, 900, 1280, 800));
}

TEST_F(BarMetricsTest, ScreenBarFramesMainDisplayOnly) {
    threeDisplays();
    setText(BarMetrics::displayModeKey, "mainDisplay");
    const auto areas = BarMetrics::screenBarFrames();
    ASSERT_EQ(areas.size(), 3u);
    EXPECT_EQ(areas[0].usableFrame, Rect(0, 25, 1440, 831));
    EXPECT_EQ(areas[1].usableFrame, Rect(1440, -180, 1920, 1080));  // no bar there
    EXPECT_EQ(areas[2].usableFrame, Rect(0, 900, 1280, 730));
}

TEST_F(BarMetricsTest, ScreenWithoutNumberOrRoom) {
    threeDisplays();
    displays->list[1].id = 0;                                  // no display number
    displays->list[2].visibleFrame = Rect(0, -800, 1280, 30);  // lies inside the bar band
    const auto areas = BarMetrics::screenBarFrames();
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].bounds, Rect(0, 0, 1440, 900));
    EXPECT_TRUE(areas[1].usableFrame.isNull());
}

TEST_F(BarMetricsTest, BarScreens) {
    threeDisplays();
    auto ids = [] {
        std::vector<platform::DisplayID> out;
        for (const auto& s : BarMetrics::barScreens()) out.push_back(s.id);
        return out;
    };
    EXPECT_EQ(ids(), (std::vector<platform::DisplayID>{1, 2, 3}));
    setText(BarMetrics::displayModeKey, "mainDisplay");
    EXPECT_EQ(ids(), (std::vector<platform::DisplayID>{1}));
    displays->mainID = 3;
    EXPECT_EQ(ids(), (std::vector<platform::DisplayID>{3}));
    displays->mainID = 77;  // no screen with that number: the first screen
    EXPECT_EQ(ids(), (std::vector<platform::DisplayID>{1}));
    displays->list.clear();
    EXPECT_TRUE(ids().empty());
    setText(BarMetrics::displayModeKey, "allDisplays");
    EXPECT_TRUE(ids().empty());
}
