#include "platform/sim/sim_displays.h"

namespace platform::sim {

std::vector<Screen> SimDisplays::screens() {
    std::lock_guard lock(core_->mutex);
    std::vector<Screen> out;
    for (const auto& d : core_->displays) out.push_back(core_->screenOf(d));
    return out;
}

std::optional<Screen> SimDisplays::mainScreen() {
    std::lock_guard lock(core_->mutex);
    if (core_->displays.empty()) return std::nullopt;
    for (const auto& d : core_->displays)
        if (d.id == core_->mainScreenID) return core_->screenOf(d);
    return core_->screenOf(core_->displays.front());
}

DisplayID SimDisplays::mainDisplayID() {
    std::lock_guard lock(core_->mutex);
    return core_->displays.empty() ? 0 : core_->displays.front().id;
}

Point SimDisplays::pointerLocation() {
    std::lock_guard lock(core_->mutex);
    return Point{core_->pointer.x, core_->primaryHeight() - core_->pointer.y};
}

std::optional<std::vector<DisplayID>> SimDisplays::activeDisplayList() {
    std::lock_guard lock(core_->mutex);
    if (core_->displayListUnavailable) return std::nullopt;
    std::vector<DisplayID> ids;
    for (const auto& d : core_->displays) ids.push_back(d.id);
    return ids;
}

Rect SimDisplays::displayBounds(DisplayID id) {
    std::lock_guard lock(core_->mutex);
    for (const auto& d : core_->displays)
        if (d.id == id) return d.bounds;
    return Rect();
}

int SimDisplays::addPointerMonitor(std::function<void()> callback) {
    std::lock_guard lock(core_->mutex);
    if (!callback) return 0;
    int token = core_->nextToken++;
    core_->pointerObservers[token] = std::move(callback);
    return token;
}

void SimDisplays::removePointerMonitor(int token) {
    std::lock_guard lock(core_->mutex);
    core_->pointerObservers.erase(token);
}

int SimDisplays::addMouseDownMonitor(std::function<void()> callback) {
    std::lock_guard lock(core_->mutex);
    if (!callback) return 0;
    int token = core_->nextToken++;
    core_->mouseDownObservers[token] = std::move(callback);
    return token;
}

void SimDisplays::removeMouseDownMonitor(int token) {
    std::lock_guard lock(core_->mutex);
    core_->mouseDownObservers.erase(token);
}

int SimDisplays::addObserver(std::function<void()> callback) {
    std::lock_guard lock(core_->mutex);
    int token = core_->nextToken++;
    core_->displayObservers[token] = std::move(callback);
    return token;
}

void SimDisplays::removeObserver(int token) {
    std::lock_guard lock(core_->mutex);
    core_->displayObservers.erase(token);
}

}  // namespace platform::sim
