// The selection-colour table and how the stored setting resolves.
#include <gtest/gtest.h>

#include "core/selection_color.h"
#include "support/sim_fixture.h"

namespace {

using platform::Appearance;

class SelectionColorTest : public SimDesktopTest {};

TEST_F(SelectionColorTest, TableOfBothSchemes) {
    struct Case {
        SelectionColor c;
        const char* name;
        float light[3];
        float dark[3];
    };
    const Case cases[] = {
        {SelectionColor::darkGray, "Dark gray", {0.34f, 0.35f, 0.38f}, {0.54f, 0.56f, 0.60f}},
        {SelectionColor::lightGray, "Silver", {0.61f, 0.64f, 0.68f}, {0.77f, 0.79f, 0.82f}},
        {SelectionColor::burgundy, "Burgundy", {0.55f, 0.12f, 0.26f}, {0.79f, 0.38f, 0.51f}},
        {SelectionColor::blush, "Blush", {0.71f, 0.34f, 0.45f}, {0.84f, 0.52f, 0.61f}},
        {SelectionColor::cyan, "Cyan", {0.02f, 0.58f, 0.63f}, {0.30f, 0.72f, 0.76f}},
        {SelectionColor::terminalGreen, "Terminal green", {0.02f, 0.49f, 0.10f}, {0.22f, 0.76f, 0.31f}},
        {SelectionColor::amber, "Orange red", {0.78f, 0.27f, 0.12f}, {0.91f, 0.47f, 0.32f}},
        {SelectionColor::cyberGinger, "Cyber ginger", {0.73f, 0.79f, 0.27f}, {233 / 255.f, 242 / 255.f, 112 / 255.f}},
        {SelectionColor::deepPurple, "Indigo", {0.31f, 0.29f, 0.57f}, {0.60f, 0.57f, 0.79f}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(selection_color::displayName(c.c), c.name);
        for (auto [scheme, rgb] : {std::pair{Appearance::aqua, c.light}, std::pair{Appearance::darkAqua, c.dark}}) {
            const QColor color = selection_color::color(c.c, scheme);
            EXPECT_NEAR(color.redF(), rgb[0], 0.002) << c.name;
            EXPECT_NEAR(color.greenF(), rgb[1], 0.002) << c.name;
            EXPECT_NEAR(color.blueF(), rgb[2], 0.002) << c.name;
            EXPECT_EQ(color.alpha(), 255);
        }
    }
}

TEST_F(SelectionColorTest, BlueIsFixedInLightAndTheAccentInDark) {
    sim->setAccentColor(QColor(200, 40, 160));
    const QColor light = selection_color::color(SelectionColor::blue, Appearance::aqua);
    EXPECT_NEAR(light.redF(), 0.0, 0.002);
    EXPECT_NEAR(light.greenF(), 0.43, 0.002);
    EXPECT_NEAR(light.blueF(), 0.88, 0.002);
    EXPECT_EQ(selection_color::color(SelectionColor::blue, Appearance::darkAqua), QColor(200, 40, 160));
    sim->setAccentColor(QColor(10, 20, 30, 100));  // drawn opaque all the same
    EXPECT_EQ(selection_color::color(SelectionColor::blue, Appearance::darkAqua).alpha(), 255);
}

TEST_F(SelectionColorTest, StoredTextThatNamesNoCaseDrawsBlue) {
    auto& defaults = platform::prefs::userDefaults();
    defaults.setString("appearanceSelectionColor", "green");
    EXPECT_EQ(selection_color::currentColor(Appearance::aqua), selection_color::color(SelectionColor::blue, Appearance::aqua));
    defaults.setString("appearanceSelectionColor", "amber");
    EXPECT_EQ(selection_color::currentColor(Appearance::aqua), selection_color::color(SelectionColor::amber, Appearance::aqua));
    defaults.setInteger("appearanceSelectionColor", 3);
    EXPECT_EQ(selection_color::currentColor(Appearance::darkAqua),
              selection_color::color(SelectionColor::blue, Appearance::darkAqua));
}

}  // namespace
