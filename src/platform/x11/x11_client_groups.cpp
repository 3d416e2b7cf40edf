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

}  // namespace platform::x11
