#pragma once
// Power sources: descriptions of batteries and mains power.
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

// Keys of a power-source description.
namespace power_keys {
inline const QString type = QStringLiteral("Type");                      // "InternalBattery", ...
inline const QString isPresent = QStringLiteral("Is Present");           // bool
inline const QString currentCapacity = QStringLiteral("Current Capacity");  // integer
inline const QString maxCapacity = QStringLiteral("Max Capacity");          // integer
inline const QString isCharging = QStringLiteral("Is Charging");            // bool
inline const QString powerSourceState = QStringLiteral("Power Source State");  // "AC Power" / "Battery Power"
inline const QString name = QStringLiteral("Name");
inline const QString internalBattery = QStringLiteral("InternalBattery");
inline const QString acPower = QStringLiteral("AC Power");
inline const QString batteryPower = QStringLiteral("Battery Power");
}  // namespace power_keys

class PowerSources {
public:
    virtual ~PowerSources() = default;
    // One description per power source; absent when the information is unavailable.
    virtual std::optional<std::vector<QVariantMap>> copyDescriptions() = 0;
    // Change notification, delivered on the main thread. Returns a token.
    virtual int addChangeObserver(std::function<void()> callback) = 0;
    virtual void removeChangeObserver(int token) = 0;
};

PowerSources& powerSources();

}  // namespace platform
