#include "platform/x11/x11_client_groups.h"

#include <map>
#include <mutex>
#include <utility>

namespace platform::x11 {

std::int32_t applicationIdFor(std::int32_t processID, bool local, xcb_window_t leader, const QString& wmClassClass) {
    if (processID > 0 && processID < clientGroupBase && local) return processID;
    static std::mutex mutex;
    static std::map<std::pair<xcb_window_t, QString>, std::int32_t> groups;
    static std::int32_t next = clientGroupBase;
    std::lock_guard lock(mutex);
    auto [it, added] = groups.try_emplace({leader, wmClassClass}, next);
    if (added) next = next == 0x7fffffff ? clientGroupBase : next + 1;
    return it->second;
}

bool isLocalMachine(const std::optional<QString>& clientMachine, const QString& hostName) {
    if (!clientMachine || clientMachine->isEmpty()) return true;
    return *clientMachine == hostName || *clientMachine == QStringLiteral("localhost");
}

ApplicationGroups& ApplicationGroups::shared() {
    // Never destroyed: connections held by the installed services are let go
    // of as the process exits, whenever this table was first used.
    static ApplicationGroups* const groups = new ApplicationGroups;
    return *groups;
}

std::int32_t ApplicationGroups::join(const void* holder, xcb_window_t window, const QString& key,
                                     std::int32_t ownId) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) {
        std::int32_t app = ownId;
        if (!key.isEmpty())
            if (auto k = byKey_.find(key); k != byKey_.end()) app = k->second;
        it = windows_.emplace(window, std::make_pair(app, std::set<const void*>{})).first;
        ++windowCounts_[app];
    }
    it->second.second.insert(holder);
    const std::int32_t app = it->second.first;
    // Another connection may name the same window by another key (one that
    // knows no desktop entries): both keys lead here from now on.
    if (!key.isEmpty() && byKey_.emplace(key, app).second) keysOf_[app].insert(key);
    return app;
}

std::int32_t ApplicationGroups::peek(xcb_window_t window, const QString& key, std::int32_t ownId) const {
    std::lock_guard lock(mutex_);
    if (auto it = windows_.find(window); it != windows_.end()) return it->second.first;
    if (!key.isEmpty())
        if (auto k = byKey_.find(key); k != byKey_.end()) return k->second;
    return ownId;
}

void ApplicationGroups::release(
    std::map<xcb_window_t, std::pair<std::int32_t, std::set<const void*>>>::iterator it) {
    const std::int32_t app = it->second.first;
    windows_.erase(it);
    auto count = windowCounts_.find(app);
    if (count == windowCounts_.end() || --count->second > 0) return;
    windowCounts_.erase(count);
    // The application's last window went: its keys start afresh.
    if (auto keys = keysOf_.find(app); keys != keysOf_.end()) {
        for (const QString& k : keys->second) byKey_.erase(k);
        keysOf_.erase(keys);
    }
}

void ApplicationGroups::leave(const void* holder, xcb_window_t window) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.second.erase(holder);
    if (it->second.second.empty()) release(it);
}

void ApplicationGroups::leaveAll(const void* holder) {
    std::lock_guard lock(mutex_);
    for (auto it = windows_.begin(); it != windows_.end();) {
        auto next = std::next(it);
        it->second.second.erase(holder);
        if (it->second.second.empty()) release(it);
        it = next;
    }
}

std::size_t ApplicationGroups::size() const {
    std::lock_guard lock(mutex_);
    return windows_.size();
}

}  // namespace platform::x11
