#pragma once
// The internal battery's charge, charging state and external power, kept
// current from the platform's power-source information for the tray.
#include <QObject>
#include <QVariantMap>
#include <optional>
#include <vector>

namespace services {

struct BatteryReading {
    int percent = 0;  // 0 to 100
    bool isCharging = false;
    bool isPluggedIn = false;

    bool operator==(const BatteryReading&) const = default;

    // From the power-source descriptions: the first "InternalBattery" one;
    // absent when there is none.
    static std::optional<BatteryReading> fromPowerSources(const std::vector<QVariantMap>& descriptions);
};

class PowerSourceMonitor : public QObject {
    Q_OBJECT
public:
    PowerSourceMonitor() = default;
    ~PowerSourceMonitor() override;
    static PowerSourceMonitor& shared();

    const std::optional<BatteryReading>& reading() const { return reading_; }
    // Refreshes at once, then follows the platform's change notification.
    void start();
    // Stops following changes; the reading keeps its last value.
    void stop();
    void refresh();
    bool hasNotificationSource() const { return observerToken_.has_value(); }

signals:
    void readingChanged();

private:
    void setReading(std::optional<BatteryReading> reading);
    std::optional<BatteryReading> reading_;
    std::optional<int> observerToken_;
};

}  // namespace services
