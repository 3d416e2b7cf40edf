// Renders a bar on a simulated 1440x900 display, light above dark, over a
// wallpaper band. With QUORVEL_BAR_SCREENSHOT set to a path the picture is
// written there (scripts/render_bar_screenshot.sh does this for docs/bar.png).
#include <gtest/gtest.h>

#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QTimeZone>

#include "taskbar/bar_view.h"
#include "taskbar/tray_view.h"
#include "bar_test_support.h"

namespace {

class BarScreenshotTest : public BarTest {};

QImage renderBand(BarView& view, bool dark) {
    const int band = 140;
    QImage img(1440, band, QImage::Format_ARGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 1440, band);
    g.setColorAt(0, dark ? QColor(28, 36, 64) : QColor(150, 190, 230));
    g.setColorAt(1, dark ? QColor(70, 40, 80) : QColor(235, 200, 215));
    p.fillRect(img.rect(), g);
    p.end();
    view.render(&img, QPoint(0, band - view.height()), QRegion(), QWidget::DrawChildren);
    return img;
}

TEST_F(BarScreenshotTest, BarOnA1440By900Display) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    defaults().setInteger("appearanceTransparency", 3);
    const auto screens = platform::displays().screens();
    ASSERT_EQ(screens.size(), 1u);
    ASSERT_EQ(screens[0].bounds, platform::Rect(0, 0, 1440, 900));

    QImage out(1440, 280, QImage::Format_ARGB32);
    QPainter p(&out);
    for (bool dark : {false, true}) {
        sim->setSystemAppearance(dark ? platform::Appearance::darkAqua : platform::Appearance::aqua);
        BarView view(store.get(), service, pins.get(), StartIconStore::shared(), StartMenuController::shared(),
                     screens[0].id);
        view.tray()->setTimeZone(QTimeZone::utc());
        view.tray()->setWallClock([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 41, 37), QTimeZone::utc()); });
        view.tray()->setBattery(TrayView::Battery{80, false, true});
        view.resize(1440, 44);
        view.show();
        p.drawImage(0, dark ? 140 : 0, renderBand(view, dark));
    }
    p.end();
    QLocale::setDefault(QLocale::system());

    EXPECT_EQ(out.size(), QSize(1440, 280));
    const QString path = qEnvironmentVariable("QUORVEL_BAR_SCREENSHOT");
    if (!path.isEmpty()) ASSERT_TRUE(out.save(path, "png")) << path.toStdString();
}

}  // namespace
