// Costs of the services' work that runs on the main thread or the Dock queue:
// one poll of the power-supply folder (every few seconds), turning the
// descriptions into a reading, and the Dock state's stored form.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/linux/power_supply.h"
#include "services/dock_state.h"
#include "services/hot_key_combo.h"
#include "services/power_source_monitor.h"

namespace {

void writeAttr(const QString& dir, const char* name, const QByteArray& value) {
    QDir().mkpath(dir);
    QFile f(dir + u'/' + QLatin1String(name));
    if (f.open(QIODevice::WriteOnly)) f.write(value);
}

void BM_PowerSupplyPoll(benchmark::State& state) {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    writeAttr(root + "/AC", "type", "Mains\n");
    writeAttr(root + "/AC", "online", "1\n");
    writeAttr(root + "/BAT0", "type", "Battery\n");
    writeAttr(root + "/BAT0", "capacity", "57\n");
    writeAttr(root + "/BAT0", "status", "Charging\n");
    writeAttr(root + "/hid_battery", "type", "Battery\n");
    writeAttr(root + "/hid_battery", "scope", "Device\n");
    for (auto _ : state) {
        auto d = platform::linux_backend::PowerSupplySources::readDescriptions(root);
        benchmark::DoNotOptimize(services::BatteryReading::fromPowerSources(*d));
    }
}
BENCHMARK(BM_PowerSupplyPoll);

void BM_BatteryReading(benchmark::State& state) {
    std::vector<QVariantMap> list{QVariantMap{{"Type", "InternalBattery"},
                                              {"Current Capacity", qint64(50)},
                                              {"Max Capacity", qint64(80)},
                                              {"Is Charging", true},
                                              {"Power Source State", "AC Power"}}};
    for (auto _ : state) benchmark::DoNotOptimize(services::BatteryReading::fromPowerSources(list));
}
BENCHMARK(BM_BatteryReading);

void BM_DockStateRoundTrip(benchmark::State& state) {
    const services::DockState s{true, services::DockEdge::left, 2.0};
    for (auto _ : state) benchmark::DoNotOptimize(services::DockState::decode(*s.encoded()));
}
BENCHMARK(BM_DockStateRoundTrip);

void BM_HotKeyParseAndShow(benchmark::State& state) {
    const QString text = QStringLiteral("49:6912");
    for (auto _ : state) benchmark::DoNotOptimize(services::HotKeyCombo::fromRawValue(text)->displayString());
}
BENCHMARK(BM_HotKeyParseAndShow);

}  // namespace

BENCHMARK_MAIN();
