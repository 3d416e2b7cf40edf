#pragma once
// The applications of the latest published window snapshot, in snapshot
// order. Main thread only; an equal snapshot publishes nothing.
#include <QObject>
#include <vector>

#include "windows/window_types.h"

class RunningAppsStore : public QObject {
    Q_OBJECT
public:
    explicit RunningAppsStore(QObject* parent = nullptr) : QObject(parent) {}

    const std::vector<AppItem>& apps() const { return apps_; }
    // Any difference in any field, window order and titles included, is a change.
    void setApps(const std::vector<AppItem>& apps);

signals:
    void appsChanged();
    void changed();

private:
    std::vector<AppItem> apps_;
};
