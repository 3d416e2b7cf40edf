#pragma once
// The middle of the bar: pinned and running applications as task buttons.
// The bar view gives it all the room between the start button and the tray.
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/displays.h"

class RunningAppsStore;
class WindowService;
class PinStore;

class TaskStrip : public QWidget {
    Q_OBJECT
public:
    TaskStrip(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
              std::optional<platform::DisplayID> displayID, QWidget* parent = nullptr);

    RunningAppsStore* store() const { return store_; }
    const std::shared_ptr<WindowService>& service() const { return service_; }
    PinStore* pinStore() const { return pinStore_; }

private:
    RunningAppsStore* store_;
    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_;
    std::optional<platform::DisplayID> displayID_;
};
