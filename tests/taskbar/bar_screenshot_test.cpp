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

    // A populated strip: two pins (one running), running applications with
    // windows, an active one, a window count and an unread mark.
    std::vector<AppItem> running;
    const char* names[] = {"Finder", "Safari", "Mail", "Notes", "Terminal", "Music"};
    for (int i = 0; i < 6; ++i) {
        platform::sim::AppSpec given;
        given.name = names[i];
        given.bundleID = QStringLiteral("com.example.") + QString(names[i]).toLower();
        given.bundlePath = QStringLiteral("/Applications/%1.app").arg(names[i]);
        AppItem a;
        a.pid = a.id = sim->addApplication(given);
        a.bundleID = given.bundleID;
        a.name = names[i];
        a.isActive = i == 1;
        a.hasVisibleWindow = true;
        a.hasUnread = i == 2;
        const int windows = i == 3 ? 3 : 1;
        for (int w = 0; w < windows; ++w)
            a.windows.push_back(WindowItem{WindowToken(100 + i * 10 + w),
                                           windows > 1 ? QStringLiteral("%1 %2").arg(names[i]).arg(w + 1)
                                                       : QString(names[i]),
                                           false, a.isActive && w == 0});
        running.push_back(a);
    }
    sim->addBundle("/Applications/Calendar.app", "com.example.calendar");
    pins->setPinnedBundleIDs({"com.example.finder", "com.example.calendar"});
    defaults().setString("interactionModel", "grouped");
    store->setApps(running);

    QImage out(1440, 280, QImage::Format_ARGB32);
    QPainter p(&out);
    for (bool dark : {false, true}) {
        sim->setSystemAppearance(dark ? platform::Appearance::darkAqua : platform::Appearance::aqua);
        BarView view(store.get(), service, pins.get(), StartIconStore::shared(), startMenu,
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
    if (!path.isEmpty()) {
        ASSERT_TRUE(out.save(path, "png")) << path.toStdString();
    }
}

}  // namespace
