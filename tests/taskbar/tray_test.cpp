// The tray's texts and layout, and the minute clock on the manual clock.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTimeZone>

#include "platform/platform.h"
#include "services/power_source_monitor.h"
#include "support/sim_fixture.h"
#include "taskbar/clock_text.h"
#include "taskbar/tray_view.h"
#include "qt_print.h"
#include "support/environment_override.h"

namespace {

const QTimeZone utc = QTimeZone::utc();

QDateTime at(int h, int m, int s) { return QDateTime(QDate(2026, 12, 9), QTime(h, m, s), utc); }

TEST(BatteryText, LevelSymbolBoundaries) {
    struct Case {
        int percent;
        const char* symbol;
    };
    const Case cases[] = {{0, "battery.0"},    {12, "battery.0"},  {13, "battery.25"}, {37, "battery.25"},
                          {38, "battery.50"},  {62, "battery.50"}, {63, "battery.75"}, {87, "battery.75"},
                          {88, "battery.100"}, {100, "battery.100"}};
    for (const auto& c : cases) EXPECT_EQ(BatteryText::levelSymbol(c.percent), c.symbol) << c.percent;
}

TEST(BatteryText, PowerSymbolPrefersChargingOverPluggedIn) {
    EXPECT_EQ(BatteryText::powerSymbol(true, true), "bolt.fill");
    EXPECT_EQ(BatteryText::powerSymbol(true, false), "bolt.fill");
    EXPECT_EQ(BatteryText::powerSymbol(false, true), "powerplug.fill");
    EXPECT_EQ(BatteryText::powerSymbol(false, false), "");
}

TEST(BatteryText, PercentFollowsTheLocale) {
    EXPECT_EQ(BatteryText::percent(80, QLocale(QLocale::English, QLocale::UnitedStates)), "80%");
    EXPECT_EQ(BatteryText::percent(80, QLocale(QLocale::Chinese, QLocale::China)), "80%");
    // A locale that separates the sign shows its own style.
    EXPECT_EQ(BatteryText::percent(80, QLocale(QLocale::French, QLocale::France)), QString::fromUtf8("80\u00a0%"));
}

TEST(ClockText, TimeAndDateInEnglishAndChinese) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale zh(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
    const QDateTime t = at(22, 41, 37);
    // The region's hour cycle decides between 12 and 24 hours.
    EXPECT_EQ(ClockText::time(t, en, utc), QString::fromUtf8("10:41\u202fPM"));
    EXPECT_EQ(ClockText::time(t, gb, utc), "22:41");
    EXPECT_EQ(ClockText::time(t, zh, utc), "22:41");
    EXPECT_EQ(ClockText::date(t, en, utc), "Wed, Dec 9");
    EXPECT_EQ(ClockText::date(t, zh, utc), QString::fromUtf8("12月9日周三"));
}

TEST(ClockText, FormatsInTheGivenZone) {
    const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
    const QDateTime t = at(23, 30, 0);
    EXPECT_EQ(ClockText::time(t, gb, QTimeZone("Asia/Shanghai")), "07:30");
    EXPECT_EQ(ClockText::date(t, gb, QTimeZone("Asia/Shanghai")), "Thu, 10 Dec");
}

TEST(MinuteAlignedSchedule, EntriesStartAtTheMinuteAndStep60Seconds) {
    const auto entries = MinuteAlignedSchedule::entries(at(10, 41, 37), 3, utc);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], at(10, 41, 0));
    EXPECT_EQ(entries[1], at(10, 42, 0));
    EXPECT_EQ(entries[2], at(10, 43, 0));
    EXPECT_DOUBLE_EQ(MinuteAlignedSchedule::secondsToNextMinute(at(10, 41, 37), utc), 23.0);
    // Exactly on the boundary the next entry is a whole minute away, never now.
    EXPECT_DOUBLE_EQ(MinuteAlignedSchedule::secondsToNextMinute(at(10, 42, 0), utc), 60.0);
    // In a zone with a half-hour offset the minute still starts at :00.
    const QTimeZone india("Asia/Kolkata");
    EXPECT_EQ(MinuteAlignedSchedule::startOfMinute(at(10, 41, 37), india).toTimeZone(utc), at(10, 41, 0));
}

class TrayViewTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::system());
        SimDesktopTest::TearDown();
    }
    // A wall clock that moves with the manual clock, starting at `start`.
    std::function<QDateTime()> wallClock(QDateTime start) {
        const double t0 = platform::uptime();
        return [start, t0] { return start.addMSecs(qint64((platform::uptime() - t0) * 1000.0)); };
    }
    void setFlag(const char* key, bool v) { platform::prefs::userDefaults().setBool(QString::fromLatin1(key), v); }
};

TEST_F(TrayViewTest, RedrawsAtTheStartOfTheNextMinuteAndNeverDrifts) {
    TrayView tray;
    tray.setTimeZone(utc);
    tray.setWallClock(wallClock(at(10, 41, 37)));
    EXPECT_EQ(tray.layout().timeText, "10:41");
    sim->advance(22.9);
    EXPECT_EQ(tray.minuteTicks(), 0);
    sim->advance(0.1);
    EXPECT_EQ(tray.minuteTicks(), 1);
    EXPECT_EQ(tray.currentEntry(), at(10, 42, 0));
    EXPECT_EQ(tray.layout().timeText, "10:42");
    // Many minutes later the ticks still land on the boundaries.
    sim->advance(60.0 * 30);
    EXPECT_EQ(tray.minuteTicks(), 31);
    EXPECT_EQ(tray.currentEntry(), at(11, 12, 0));
}

TEST_F(TrayViewTest, ReAlignsWhenTheWallClockJumps) {
    TrayView tray;
    tray.setTimeZone(utc);
    QDateTime wall = at(10, 41, 50);
    tray.setWallClock([&wall] { return wall; });
    // The machine slept: at the tick the wall clock reads 10:55:20.
    wall = at(10, 55, 20);
    sim->advance(10.0);
    EXPECT_EQ(tray.currentEntry(), at(10, 55, 0));
    // The next tick is measured from the wall clock: 40 s, not 60 s.
    wall = at(10, 55, 59);
    sim->advance(39.0);
    EXPECT_EQ(tray.minuteTicks(), 1);
    wall = at(10, 56, 0);
    sim->advance(1.0);
    EXPECT_EQ(tray.minuteTicks(), 2);
    EXPECT_EQ(tray.currentEntry(), at(10, 56, 0));
}

TEST_F(TrayViewTest, PartsFollowSettingsAndReading) {
    TrayView tray;
    tray.setTimeZone(utc);
    tray.setWallClock([] { return at(10, 41, 37); });
    tray.resize(200, 44);

    // No battery reading: no battery group even with the setting on.
    auto l = tray.layout();
    EXPECT_TRUE(l.levelSymbol.isEmpty());
    EXPECT_FALSE(l.timeText.isEmpty());
    EXPECT_EQ(l.dateFontSize, 9);
    EXPECT_TRUE(l.dateIsSecondary);
    EXPECT_LT(l.timeRect.bottom(), l.dateRect.bottom());
    EXPECT_DOUBLE_EQ(l.timeRect.right(), l.dateRect.right());  // trailing aligned

    tray.setBattery(TrayView::Battery{80, false, true});
    l = tray.layout();
    EXPECT_EQ(l.levelSymbol, "battery.75");
    EXPECT_EQ(l.powerSymbol, "powerplug.fill");
    EXPECT_EQ(l.percentText, "80%");
    EXPECT_LT(l.percentRect.right(), l.timeRect.left());  // battery left of the clock

    // On battery power neither power symbol.
    tray.setBattery(TrayView::Battery{50, false, false});
    EXPECT_TRUE(tray.layout().powerSymbol.isEmpty());

    // Date alone: one line, size 11, primary colour.
    setFlag("trayShowTime", false);
    l = tray.layout();
    EXPECT_TRUE(l.timeText.isEmpty());
    EXPECT_EQ(l.dateFontSize, 11);
    EXPECT_FALSE(l.dateIsSecondary);

    // A language switch lays the tray out again.
    int relaid = 0;
    QObject::connect(&tray, &TrayView::contentChanged, [&] { ++relaid; });
    platform::prefs::userDefaults().setString(QStringLiteral("appLanguage"), QStringLiteral("simplifiedChinese"));
    EXPECT_EQ(relaid, 1);

    setFlag("trayShowDate", false);
    setFlag("trayShowBattery", false);
    l = tray.layout();
    EXPECT_TRUE(l.levelSymbol.isEmpty() && l.timeText.isEmpty() && l.dateText.isEmpty());
    EXPECT_EQ(tray.sizeHint().width(), 0);
}

TEST_F(TrayViewTest, FollowsThePowerSourceMonitor) {
    auto& monitor = services::PowerSourceMonitor::shared();
    sim->setPowerSources(std::vector<QVariantMap>{platform::sim::SimulatedDesktop::battery(12, true, true)});
    monitor.refresh();
    TrayView tray;
    tray.followPowerSourceMonitor();
    ASSERT_TRUE(tray.battery());
    EXPECT_EQ(tray.layout().levelSymbol, "battery.0");
    EXPECT_EQ(tray.layout().powerSymbol, "bolt.fill");
    sim->setPowerSources(std::nullopt);
    monitor.refresh();
    EXPECT_FALSE(tray.battery());
}

}  // namespace

namespace {

// The system's zone is read at every minute, not fixed when the bar is built.
TEST_F(TrayViewTest, FollowsAChangeOfTheSystemTimeZone) {
    EnvironmentOverride zone("TZ", "UTC");
    {
        TrayView tray;
        tray.setWallClock(wallClock(at(10, 41, 37)));
        EXPECT_EQ(tray.layout().timeText, "10:41");
        qputenv("TZ", "Asia/Tokyo");
        sim->advance(23.0);
        EXPECT_EQ(tray.layout().timeText, "19:42") << "still in the zone the bar was built in";
        // A pinned zone stays.
        tray.setTimeZone(utc);
        sim->advance(60.0);
        EXPECT_EQ(tray.layout().timeText, "10:43");
    }
}

}  // namespace
