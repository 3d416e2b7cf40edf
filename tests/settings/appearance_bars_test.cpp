// What the Appearance pane changes shows on the bars that are up: their
// height, theme and selection colour, the tray's items and the start button's face.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>

#include "core/selection_color.h"
#include "platform/notification_center.h"
#include "settings/appearance_pane.h"
#include "settings/settings_window.h"
#include "taskbar/bar_panel.h"
#include "taskbar/bar_panel_controller.h"
#include "taskbar/bar_view.h"
#include "taskbar/fullscreen_monitor.h"
#include "taskbar/start_button.h"
#include "taskbar/task_strip_test_support.h"
#include "taskbar/tray_view.h"
#include "windows/bar_metrics.h"

namespace {

class NeverFullscreen : public FullscreenDetecting {
public:
    std::optional<platform::DisplayID> detect(std::optional<std::int32_t>) override { return std::nullopt; }
};

class AppearanceBarsTest : public StripTest {
protected:
    void SetUp() override {
        StripTest::SetUp();
        SettingsWindow::reset();
        controller = std::make_unique<BarPanelController>(std::make_shared<NeverFullscreen>());
        // As the application does on the height notification.
        token = platform::NotificationCenter::defaultCenter().addObserver(
            BarMetrics::barHeightChangedNotification(), [this](const QString&) { controller->rebuild(); });
    }
    void TearDown() override {
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        controller.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SettingsWindow::reset();
        StripTest::TearDown();
    }
    BarView* bar() {
        QApplication::processEvents();
        return qobject_cast<BarView*>(controller->panels().at(0)->contentView());
    }
    std::unique_ptr<BarPanelController> controller;
    int token = 0;
};

TEST_F(AppearanceBarsTest, EveryChangeShowsOnTheBarsAtOnce) {
    store->setApps({app(1000, QStringLiteral("Mail"), 1, true)});
    controller->start(store.get(), service, pins.get());
    AppearancePane pane;  // over the shared start-icon store, as the bars are
    const int displayHeight = platform::displays().mainScreen()->bounds.height();
    // The active button's fill, right of its icon and label.
    auto buttonFill = [&] {
        BarView* view = bar();
        auto buttons = view->taskStrip()->findChildren<TaskButtonView*>();
        if (buttons.isEmpty()) return QColor();
        TaskButtonView* b = buttons.first();
        const QRectF r = b->buttonRect();
        return b->grab().toImage().pixelColor(int(r.right() - 3), int(r.center().y()));
    };
    const QColor blueFill = buttonFill();
    const QColor lightBackground = bar()->backgroundColor();

    struct Step {
        const char* name;
        std::function<void()> act;
        std::function<void()> check;
    };
    const Step steps[] = {
        {"taller", [&] { emit pane.barHeightPicker()->activated(2); },
         [&] {
             EXPECT_EQ(controller->panels().at(0)->geometry().height(), 54);
             EXPECT_EQ(controller->panels().at(0)->geometry().bottom() + 1, displayHeight);
         }},
        {"a dark theme", [&] { emit pane.themePicker()->activated(pane.themePicker()->findData(QStringLiteral("neoIndigo"))); },
         [&] { EXPECT_NE(bar()->backgroundColor(), lightBackground); }},
        {"another selection colour", [&] { pane.swatch(SelectionColor::cyan)->click(); },
         [&] {
             const QColor fill = buttonFill();
             EXPECT_NE(fill, blueFill);
             const int cyanHue = selection_color::color(SelectionColor::cyan, platform::Appearance::darkAqua).hslHue();
             EXPECT_LT(std::abs(fill.hslHue() - cyanHue), 25) << fill.name().toStdString();
         }},
        {"no time", [&] { pane.clock().showTime->click(); }, [&] { EXPECT_TRUE(bar()->tray()->layout().timeText.isEmpty()); }},
        {"no battery", [&] { pane.clock().showBattery->click(); },
         [&] {
             EXPECT_TRUE(bar()->tray()->layout().levelSymbol.isEmpty());
             EXPECT_FALSE(bar()->tray()->layout().dateText.isEmpty());
         }},
        {"a pet", [&] { pane.petTile(StartPet::mouse)->click(); },
         [&] { EXPECT_EQ(bar()->startButton()->face(), StartButton::Face::pet); }},
        {"a symbol", [&] { pane.symbolTile(QStringLiteral("circle.grid.3x3.fill"))->click(); },
         [&] {
             EXPECT_EQ(bar()->startButton()->face(), StartButton::Face::symbol);
             EXPECT_EQ(bar()->startButton()->symbolName(), QStringLiteral("circle.grid.3x3.fill"));
         }},
        {"shorter", [&] { emit pane.barHeightPicker()->activated(0); },
         [&] { EXPECT_EQ(controller->panels().at(0)->geometry().height(), 34); }},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.act();
        sim->pump();
        s.check();
    }
}

}  // namespace
