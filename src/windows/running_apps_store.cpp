#include "windows/running_apps_store.h"

void RunningAppsStore::setApps(const std::vector<AppItem>& apps) {
    if (apps == apps_) return;
    apps_ = apps;
    emit appsChanged();
    emit changed();
}
