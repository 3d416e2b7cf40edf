#include "services/power_source_monitor.h"

#include <QPointer>
#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "platform/preferences.h"

namespace services {
namespace {

using platform::prefs::Kind;
using platform::prefs::kindOf;

std::optional<qint64> integerOf(const QVariantMap& d, const QString& key) {
    auto it = d.constFind(key);
    if (it == d.constEnd() || kindOf(it.value()) != Kind::integer) return std::nullopt;
    return it.value().toLongLong();
}

}  // namespace

std::optional<BatteryReading> BatteryReading::fromPowerSources(const std::vector<QVariantMap>& descriptions) {
    namespace k = platform::power_keys;
    const QVariantMap* battery = nullptr;
    for (const auto& d : descriptions) {
        if (d.isEmpty()) continue;
        auto type = d.value(k::type);
        if (kindOf(type) == Kind::text && type.toString() == k::internalBattery) {
            battery = &d;
            break;
        }
    }
    if (!battery) return std::nullopt;
    const qint64 current = integerOf(*battery, k::currentCapacity).value_or(0);
    const qint64 maximum = integerOf(*battery, k::maxCapacity).value_or(100);
    qint64 percent;
    if (maximum <= 0) {
        percent = std::clamp<qint64>(current, 0, 100);
    } else {
        const double ratio = std::round(double(current) / double(maximum) * 100.0);  // halves away from zero
        percent = qint64(std::clamp(ratio, 0.0, 100.0));
    }
    BatteryReading r;
    r.percent = int(percent);
    auto charging = battery->value(k::isCharging);
    r.isCharging = kindOf(charging) == Kind::boolean && charging.toBool();
    auto state = battery->value(k::powerSourceState);
    r.isPluggedIn = kindOf(state) == Kind::text && state.toString() == k::acPower;
    return r;
}

PowerSourceMonitor::~PowerSourceMonitor() { stop(); }

PowerSourceMonitor& PowerSourceMonitor::shared() {
    static platform::SharedInstance<PowerSourceMonitor> instance;
    return *instance.get([] { return std::make_shared<PowerSourceMonitor>(); });
}

void PowerSourceMonitor::start() {
    refresh();
    if (observerToken_) return;
    QPointer<PowerSourceMonitor> self(this);
    observerToken_ = platform::powerSources().addChangeObserver([self] {
        if (self) self->refresh();
    });
}

void PowerSourceMonitor::stop() {
    if (!observerToken_) return;
    const int token = *observerToken_;
    observerToken_.reset();
    if (platform::installed().powerSources) platform::powerSources().removeChangeObserver(token);
}

void PowerSourceMonitor::refresh() {
    auto descriptions = platform::powerSources().copyDescriptions();
    if (!descriptions) {
        setReading(std::nullopt);
        return;
    }
    setReading(BatteryReading::fromPowerSources(*descriptions));
}

void PowerSourceMonitor::setReading(std::optional<BatteryReading> reading) {
    if (reading_ == reading) return;
    reading_ = reading;
    emit readingChanged();
}

}  // namespace services
