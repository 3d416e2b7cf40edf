// The pet on a real start button in a bar: it appears with the chosen pet,
// learns where the start menu is, and leaves with the pet.
#include <gtest/gtest.h>

#include <QImage>

#include "bar_test_support.h"
#include "taskbar/bar_view.h"
#include "taskbar/pet/pet_drawing_view.h"
#include "taskbar/pet/pet_overlay_anchor.h"
#include "taskbar/pet/pet_start_button.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/start_button.h"

namespace {

class PetStartButtonTest : public BarTest {
protected:
    void SetUp() override {
        BarTest::SetUp();
        StartButton::setPetViewFactory(makeStartButtonPetView);
    }
    void TearDown() override {
        bars.clear();
        BarTest::TearDown();
    }
    BarView& makeBar(platform::DisplayID id) {
        bars.push_back(std::make_unique<BarView>(store.get(), service, pins.get(), StartIconStore::shared(),
                                                 startMenu, id));
        bars.back()->resize(1440, 44);
        bars.back()->show();
        return *bars.back();
    }
    static PetOverlayAnchor* anchorOf(BarView& bar) {
        return qobject_cast<PetOverlayAnchor*>(bar.startButton()->petView());
    }
    // Pixels of the pet's coat colour around the start button.
    static int coatPixels(BarView& bar, QColor coat) {
        const QImage image = bar.grab(QRect(0, 0, 60, 44)).toImage().convertToFormat(QImage::Format_ARGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - coat.red()) <= 3 && std::abs(c.green() - coat.green()) <= 3 &&
                    std::abs(c.blue() - coat.blue()) <= 3)
                    ++count;
            }
        return count;
    }

    std::vector<std::unique_ptr<BarView>> bars;
};

TEST_F(PetStartButtonTest, ChoosingAPetShowsItOnTheButtonAndRemovingItTakesItAway) {
    BarView& bar = makeBar(1);
    const QColor catCoat(185, 189, 240), dogCoat(232, 191, 98);
    EXPECT_EQ(coatPixels(bar, catCoat), 0);

    StartIconStore::shared().setPet(StartPet::cat);
    PetOverlayAnchor* anchor = anchorOf(bar);
    ASSERT_NE(anchor, nullptr);
    ASSERT_NE(anchor->overlay(), nullptr);
    // Centred on the 36-point button, as tall as the bar.
    const QRect button = bar.startButton()->geometry();
    EXPECT_EQ(anchor->overlay()->geometry(), QRect(button.center().x() + 1 - 18, 0, 36, 44));
    EXPECT_TRUE(anchor->drawing()->isActive());
    EXPECT_GT(coatPixels(bar, catCoat), 60);

    StartIconStore::shared().setPet(StartPet::dog);
    EXPECT_EQ(anchor->drawing()->pet, StartPet::dog);
    EXPECT_EQ(coatPixels(bar, catCoat), 0);
    EXPECT_GT(coatPixels(bar, dogCoat), 60);

    StartIconStore::shared().setPet(std::nullopt);
    EXPECT_EQ(bar.startButton()->petView(), nullptr);
    EXPECT_TRUE(bar.findChildren<PetDrawingView*>().isEmpty());
    EXPECT_EQ(coatPixels(bar, dogCoat), 0);
}

TEST_F(PetStartButtonTest, OnlyThePetOnTheMenusDisplayTurnsToTheMenu) {
    BarView& first = makeBar(1);
    BarView& second = makeBar(2);
    StartIconStore::shared().setPet(StartPet::mouse);
    sim->setPointer({100, 100});  // the menu opens on display 1
    startMenu.open();
    sim->pump();
    EXPECT_TRUE(anchorOf(first)->drawing()->menuOpen);
    EXPECT_DOUBLE_EQ(anchorOf(first)->drawing()->transition.target, 1);
    EXPECT_FALSE(anchorOf(second)->drawing()->menuOpen);
    startMenu.close();
    sim->pump();
    EXPECT_FALSE(anchorOf(first)->drawing()->menuOpen);
    EXPECT_DOUBLE_EQ(anchorOf(first)->drawing()->transition.target, 0);
}

TEST_F(PetStartButtonTest, ThePetSettingsReachTheDrawing) {
    BarView& bar = makeBar(1);
    StartIconStore::shared().setPet(StartPet::cat);
    platform::prefs::userDefaults().setBool(QStringLiteral("appearancePetIdleMotion"), false);
    platform::prefs::userDefaults().setBool(QStringLiteral("appearancePetFollowsPointer"), false);
    sim->pump();
    PetDrawingView* drawing = anchorOf(bar)->drawing();
    EXPECT_FALSE(drawing->idleMotion);
    EXPECT_FALSE(drawing->followsPointer);
    EXPECT_FALSE(drawing->idleTimerRunning());
    EXPECT_EQ(drawing->monitorCount(), 0);
}

}  // namespace
