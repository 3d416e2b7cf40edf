#include "services/power_source_monitor.h"
#include "services_fixture.h"

using services::BatteryReading;
using services::PowerSourceMonitor;

namespace {

QVariantMap battery(std::optional<QVariant> current, std::optional<QVariant> max, QVariant charging = QVariant(false),
                    QVariant state = QVariant(QStringLiteral("Battery Power"))) {
    QVariantMap d{{QStringLiteral("Type"), QStringLiteral("InternalBattery")}};
    if (current) d.insert(QStringLiteral("Current Capacity"), *current);
    if (max) d.insert(QStringLiteral("Max Capacity"), *max);
    if (charging.isValid()) d.insert(QStringLiteral("Is Charging"), charging);
    if (state.isValid()) d.insert(QStringLiteral("Power Source State"), state);
    return d;
}

QVariant n(qint64 v) { return QVariant(v); }

TEST(BatteryReadingTest, PercentRounding) {
    struct Case {
        std::optional<QVariant> current, max;
        int percent;
    };
    const Case cases[] = {
        {n(50), n(80), 63},     // 62.5 rounds up
        {n(1), n(200), 1},      // 0.5 rounds up
        {n(1), n(201), 0},
        {n(150), n(100), 100},  // clamped
        {n(120), n(0), 100},    // no usable maximum: the current value, clamped
        {std::nullopt, n(0), 0},
        {n(87), std::nullopt, 87},
        {n(-5), n(100), 0},
        {n(-5), n(-1), 0},
        {n(7), n(-3), 7},
        {n(std::numeric_limits<qint64>::max()), n(1), 100},
        {n(1), n(std::numeric_limits<qint64>::max()), 0},
        {QVariant(50.0), n(80), 0},                 // not an integer: 0
        {n(40), QVariant(QStringLiteral("80")), 40},  // not an integer: 100
        {std::nullopt, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        auto r = BatteryReading::fromPowerSources({battery(c.current, c.max)});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->percent, c.percent) << (c.current ? c.current->toString().toStdString() : "-") << "/"
                                         << (c.max ? c.max->toString().toStdString() : "-");
    }
}

TEST(BatteryReadingTest, ChargingAndPluggedIn) {
    struct Case {
        QVariant charging, state;
        bool isCharging, isPluggedIn;
    };
    const Case cases[] = {
        {QVariant(false), QVariant(QStringLiteral("AC Power")), false, true},
        {QVariant(true), QVariant(QStringLiteral("AC Power")), true, true},
        {QVariant(true), QVariant(QStringLiteral("Battery Power")), true, false},
        {QVariant(), QVariant(), false, false},
        {n(1), QVariant(QStringLiteral("ac power")), false, false},
        {QVariant(QStringLiteral("true")), n(1), false, false},
    };
    for (const auto& c : cases) {
        auto r = BatteryReading::fromPowerSources({battery(n(10), n(100), c.charging, c.state)});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->isCharging, c.isCharging);
        EXPECT_EQ(r->isPluggedIn, c.isPluggedIn);
    }
}

TEST(BatteryReadingTest, OnlyTheFirstInternalBatteryCounts) {
    EXPECT_FALSE(BatteryReading::fromPowerSources({}));
    QVariantMap ups{{QStringLiteral("Type"), QStringLiteral("UPS")}, {QStringLiteral("Current Capacity"), n(5)}};
    EXPECT_FALSE(BatteryReading::fromPowerSources({ups}));
    QVariantMap wrongType{{QStringLiteral("Type"), QVariant(QByteArray("InternalBattery"))}};
    EXPECT_FALSE(BatteryReading::fromPowerSources({wrongType}));
    auto r = BatteryReading::fromPowerSources({QVariantMap{}, ups, battery(n(30), n(100)), battery(n(90), n(100))});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->percent, 30);
}

class PowerMonitorTest : public services_test::ServicesTest {
protected:
    PowerSourceMonitor monitor;
    int published = 0;
    void SetUp() override {
        ServicesTest::SetUp();
        QObject::connect(&monitor, &PowerSourceMonitor::readingChanged, [this] { ++published; });
    }
};

TEST_F(PowerMonitorTest, FollowsChangesWhileStartedAndPublishesOnlyChanges) {
    power->descriptions = std::vector<QVariantMap>{battery(n(50), n(100))};
    monitor.start();
    ASSERT_TRUE(monitor.reading());
    EXPECT_EQ(monitor.reading()->percent, 50);
    EXPECT_EQ(published, 1);
    monitor.start();  // a second start only refreshes
    EXPECT_EQ(power->observers.size(), 1u);
    EXPECT_EQ(published, 1);

    power->notify();  // same reading: nothing published
    EXPECT_EQ(published, 1);
    power->descriptions = std::vector<QVariantMap>{battery(n(51), n(100))};
    power->notify();
    EXPECT_EQ(monitor.reading()->percent, 51);
    EXPECT_EQ(published, 2);

    power->descriptions = std::nullopt;  // information unavailable
    power->notify();
    EXPECT_FALSE(monitor.reading());
    EXPECT_EQ(published, 3);

    power->descriptions = std::vector<QVariantMap>{battery(n(60), n(100))};
    monitor.stop();
    EXPECT_TRUE(power->observers.empty());
    EXPECT_FALSE(monitor.hasNotificationSource());
    power->notify();
    EXPECT_FALSE(monitor.reading());  // keeps its last value after stop
    monitor.start();
    EXPECT_EQ(monitor.reading()->percent, 60);
}

}  // namespace
