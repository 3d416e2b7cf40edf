#include "taskbar/task_strip.h"

TaskStrip::TaskStrip(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
                     std::optional<platform::DisplayID> displayID, QWidget* parent)
    : QWidget(parent), store_(store), service_(std::move(service)), pinStore_(pinStore), displayID_(displayID) {
    setObjectName(QStringLiteral("TaskStrip"));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}
