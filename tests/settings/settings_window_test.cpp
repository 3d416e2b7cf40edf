// Showing the settings window centred on a chosen display.
#include <gtest/gtest.h>

#include "settings/settings_window.h"
#include "support/sim_fixture.h"

namespace {

class SettingsWindowTest : public SimDesktopTest {
protected:
    void TearDown() override {
        SettingsWindow::reset();
        SimDesktopTest::TearDown();
    }
    // The visible frame of a display in Qt's top-left coordinates.
    QRect visibleFrame(platform::DisplayID id) {
        for (const auto& s : platform::displays().screens())
            if (s.id == id) {
                const double h = platform::displays().screens().front().frame.height();
                const auto v = s.visibleFrame;
                return QRect(int(v.minX()), int(h - v.maxY()), int(v.width()), int(v.height()));
            }
        return {};
    }
};

TEST_F(SettingsWindowTest, CentresOnTheRequestedDisplayElseThePointersElseTheMain) {
    const auto main = platform::displays().mainDisplayID();
    const auto second = sim->addDisplay(platform::Rect(1440, -200, 1920, 1080));
    int opens = 0;
    auto open = [&opens] { ++opens; };

    SettingsWindow::show(open, second);
    sim->pump();
    QWidget* w = SettingsWindow::window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(w->size(), QSize(720, 470));
    EXPECT_EQ(w->geometry().center(), visibleFrame(second).center());
    EXPECT_TRUE(w->isVisible());

    // A live window is brought forward, not made again.
    sim->setPointer({200, 200});
    SettingsWindow::show(open, std::nullopt);
    sim->pump();
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(SettingsWindow::window(), w);
    EXPECT_EQ(w->geometry().center(), visibleFrame(main).center());

    // An id no display has: the display under the pointer.
    sim->setPointer({2000, 300});
    SettingsWindow::show(open, 4242);
    sim->pump();
    EXPECT_EQ(w->geometry().center(), visibleFrame(second).center());

    // Off every display: the main screen.
    sim->setPointer({-9000, 0});
    sim->setMainScreen(main);
    SettingsWindow::show(open, std::nullopt);
    sim->pump();
    EXPECT_EQ(w->geometry().center(), visibleFrame(main).center());
}

TEST_F(SettingsWindowTest, WindowLargerThanTheDisplayIsCentredWithoutClamping) {
    const auto small = sim->addDisplay(platform::Rect(1440, 0, 640, 400));
    SettingsWindow::show(nullptr, small);
    sim->pump();
    QWidget* w = SettingsWindow::window();
    ASSERT_NE(w, nullptr);
    const QRect v = visibleFrame(small);
    EXPECT_LT(w->geometry().left(), v.left());
    EXPECT_GT(w->geometry().right(), v.right());
    EXPECT_NEAR(w->geometry().center().x(), v.center().x(), 1);
}

}  // namespace
