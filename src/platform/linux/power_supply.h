#pragma once
// Power sources read from the kernel's power-supply folder
// (/sys/class/power_supply), turned into the descriptions the program reads:
// one "InternalBattery" description per system battery with its capacity,
// charging state and whether mains power is connected. The folder has no
// change events, so observers are served by polling it on the main thread.
#include <QString>
#include <map>
#include <memory>

#include "platform/dispatch.h"
#include "platform/power_sources.h"

namespace platform::linux_backend {

class PowerSupplySources : public PowerSources {
public:
    static inline const QString defaultRoot = QStringLiteral("/sys/class/power_supply");

    explicit PowerSupplySources(QString root = defaultRoot, double pollSeconds = 5.0);
    ~PowerSupplySources() override;

    std::optional<std::vector<QVariantMap>> copyDescriptions() override;
    int addChangeObserver(std::function<void()> callback) override;
    void removeChangeObserver(int token) override;

    // The descriptions of the supplies under a folder; absent when the folder
    // cannot be read.
    static std::optional<std::vector<QVariantMap>> readDescriptions(const QString& root);
    // Reads again and tells the observers when anything changed.
    void poll();

private:
    QString root_;
    double pollSeconds_;
    std::map<int, std::function<void()>> observers_;
    int nextToken_ = 1;
    std::shared_ptr<Timer> timer_;
    std::optional<std::vector<QVariantMap>> last_;
};

}  // namespace platform::linux_backend
