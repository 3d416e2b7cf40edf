#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/linux/power_supply.h"
#include "services/power_source_monitor.h"
#include "services_fixture.h"
#include "support/test_files.h"

using platform::linux_backend::PowerSupplySources;
using services::BatteryReading;

namespace {

class PowerSupplyTest : public services_test::ServicesTest {
protected:
    void write(const QString& supply, const char* attribute, const QByteArray& value) {
        ASSERT_TRUE(writeFile(root() + u'/' + supply + u'/' + QLatin1String(attribute), value));
    }
    QString root() const { return dir.path() + QStringLiteral("/power_supply"); }
    std::optional<BatteryReading> reading() {
        auto d = PowerSupplySources::readDescriptions(root());
        return d ? BatteryReading::fromPowerSources(*d) : std::nullopt;
    }
    QTemporaryDir dir;
};

TEST_F(PowerSupplyTest, MissingFolderOrNoBatteryGivesNoReading) {
    EXPECT_FALSE(PowerSupplySources::readDescriptions(root()));
    write(QStringLiteral("AC"), "type", "Mains\n");
    write(QStringLiteral("AC"), "online", "1\n");
    auto d = PowerSupplySources::readDescriptions(root());
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->empty());
    EXPECT_FALSE(reading());
}

TEST_F(PowerSupplyTest, LaptopBatteryWithAdapter) {
    write(QStringLiteral("AC"), "type", "Mains\n");
    write(QStringLiteral("AC"), "online", "0\n");
    write(QStringLiteral("BAT0"), "type", "Battery\n");
    write(QStringLiteral("BAT0"), "capacity", "57\n");
    write(QStringLiteral("BAT0"), "status", "Discharging\n");
    EXPECT_EQ(reading(), (BatteryReading{57, false, false}));
    write(QStringLiteral("AC"), "online", "1\n");
    write(QStringLiteral("BAT0"), "status", "Charging\n");
    EXPECT_EQ(reading(), (BatteryReading{57, true, true}));
    // Plugged in but held at a charge limit.
    write(QStringLiteral("BAT0"), "status", "Not charging\n");
    EXPECT_EQ(reading(), (BatteryReading{57, false, true}));
}

TEST_F(PowerSupplyTest, CapacityFromEnergyOrCharge) {
    write(QStringLiteral("BAT1"), "type", "Battery");
    write(QStringLiteral("BAT1"), "energy_now", "25000000");
    write(QStringLiteral("BAT1"), "energy_full", "40000000");
    write(QStringLiteral("BAT1"), "status", "Full");
    // No adapter listed: the battery's status tells about mains power.
    EXPECT_EQ(reading(), (BatteryReading{63, false, true}));
    QFile::remove(root() + QStringLiteral("/BAT1/energy_now"));
    write(QStringLiteral("BAT1"), "charge_now", "1000");
    write(QStringLiteral("BAT1"), "charge_full", "4000");
    EXPECT_EQ(reading()->percent, 25);
}

TEST_F(PowerSupplyTest, DeviceBatteriesAbsentBatteriesAndJunkAreSkipped) {
    write(QStringLiteral("hidpp_battery_0"), "type", "Battery");
    write(QStringLiteral("hidpp_battery_0"), "scope", "Device");
    write(QStringLiteral("hidpp_battery_0"), "capacity", "5");
    EXPECT_FALSE(reading());
    write(QStringLiteral("BAT0"), "type", "Battery");
    write(QStringLiteral("BAT0"), "present", "0");
    EXPECT_FALSE(reading());
    write(QStringLiteral("BAT1"), "type", "Battery");
    write(QStringLiteral("BAT1"), "capacity", "lots");
    write(QStringLiteral("BAT1"), "status", QByteArray(100000, 'x'));
    auto r = reading();
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (BatteryReading{0, false, false}));
}

TEST_F(PowerSupplyTest, PollingTellsObserversOnlyOfChanges) {
    write(QStringLiteral("BAT0"), "type", "Battery");
    write(QStringLiteral("BAT0"), "capacity", "80");
    PowerSupplySources sources(root(), 5.0);
    int calls = 0;
    const int token = sources.addChangeObserver([&] { ++calls; });
    dispatcher->advance(5.0);
    EXPECT_EQ(calls, 0);
    write(QStringLiteral("BAT0"), "capacity", "79");
    dispatcher->advance(4.9);
    EXPECT_EQ(calls, 0);
    dispatcher->advance(0.1);
    EXPECT_EQ(calls, 1);
    dispatcher->advance(10.0);
    EXPECT_EQ(calls, 1);
    sources.removeChangeObserver(token);
    write(QStringLiteral("BAT0"), "capacity", "10");
    dispatcher->advance(10.0);
    EXPECT_EQ(calls, 1);
}

}  // namespace
