#pragma once
// Shared helpers of the window-tracking tests on the simulated desktop.
#include <QString>
#include <algorithm>
#include <vector>

#include "support/sim_fixture.h"
#include "windows/window_types.h"

namespace windows_test {

using platform::sim::AppSpec;
using platform::sim::WindowSpec;

inline AppSpec app(const QString& name, const QString& bundleID = {}, bool active = false) {
    AppSpec s;
    s.name = name;
    s.bundleID = bundleID.isEmpty() ? QStringLiteral("com.example.") + name.toLower() : bundleID;
    s.bundlePath = QStringLiteral("/Applications/") + name + QStringLiteral(".app");
    s.active = active;
    return s;
}

inline WindowSpec window(const QString& title, platform::Rect frame = {100, 100, 800, 600}) {
    WindowSpec w;
    w.title = title;
    w.frame = frame;
    return w;
}

inline const AppItem* find(const std::vector<AppItem>& apps, std::int32_t pid) {
    auto it = std::find_if(apps.begin(), apps.end(), [pid](const AppItem& a) { return a.pid == pid; });
    return it == apps.end() ? nullptr : &*it;
}

inline std::vector<QString> titles(const AppItem& app) {
    std::vector<QString> out;
    for (const auto& w : app.windows) out.push_back(w.title);
    return out;
}

inline std::vector<WindowToken> tokens(const AppItem& app) {
    std::vector<WindowToken> out;
    for (const auto& w : app.windows) out.push_back(w.id);
    return out;
}

inline TaskButtonItem appButton(std::int32_t pid, bool active = false) {
    return TaskButtonItem{TaskButtonItem::appIdentity(pid), TaskButtonKind::app(pid), pid, std::nullopt, {}, 0,
                          active, false, false, pid > 0, false};
}

inline TaskButtonItem windowButton(WindowToken token, std::int32_t pid, bool active = false) {
    return TaskButtonItem{TaskButtonItem::windowIdentity(token), TaskButtonKind::window(token, pid), pid,
                          std::nullopt, {}, 0, active, false, false, true, false};
}

}  // namespace windows_test
