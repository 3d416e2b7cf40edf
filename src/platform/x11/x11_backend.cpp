#include "platform/x11/x11_backend.h"

#include "platform/linux/autostart_login_item.h"
#include "platform/linux/host_backend.h"
#include "platform/linux/power_supply.h"
#include "platform/linux/systemd_session.h"
#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_compositor.h"
#include "platform/x11/x11_alerts.h"
#include "platform/x11/x11_displays.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_launcher_entry.h"
#include "platform/x11/x11_processes.h"
#include "platform/x11/x11_system.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_workspace.h"

namespace platform::x11 {

std::optional<Services> makeServices(QString* error) { return makeServices(BackendOptions{}, error); }

std::shared_ptr<Connection> openDesktop(const BackendOptions& options, QString* error) {
    auto conn = Connection::open(options.display, error);
    if (!conn) return nullptr;
    if (!conn->hasWindowManager(options.windowManagerWait)) {
        if (error) *error = QStringLiteral("no EWMH window manager answers on the X display");
        return nullptr;
    }
    return conn;
}

std::optional<Services> makeServices(const BackendOptions& options, QString* error) {
    auto conn = openDesktop(options, error);
    if (!conn) return std::nullopt;
    return makeServices(std::move(conn), options);
}

Services makeServices(std::shared_ptr<Connection> conn, const BackendOptions& options) {
    Services s;
    linux_backend::fillHostServices(s, options.preferencesDirectory);
    conn->setDispatcher(s.dispatcher);
    // Windows are one application by their desktop entry, from the first read on.
    X11Workspace::Options wsOptions;
    wsOptions.entries = std::make_shared<DesktopEntryIndex>(wsOptions.desktopDirectories);
    conn->setApplicationKey([entries = wsOptions.entries](const WindowInfo& info) {
        return X11Workspace::applicationKey(*entries, info);
    });
    auto accessibility = std::make_shared<X11Accessibility>(conn);
    if (s.bundles)
        if (auto id = s.bundles->mainBundleIdentifier()) wsOptions.ownBundleID = *id;
    auto workspace = std::make_shared<X11Workspace>(conn, accessibility, wsOptions);
    // Unread badges: the desktop's launcher entries and urgent windows, seen
    // through the Dock's accessibility tree.
    auto badges = std::make_shared<BadgeDock>(conn, workspace, std::make_shared<LauncherEntries>());
    s.accessibility = std::make_shared<BadgeAccessibility>(accessibility, badges);
    s.workspace = std::make_shared<BadgeWorkspace>(workspace, badges);
    s.bundles = std::make_shared<BadgeBundles>(s.bundles, badges);
    s.windowServer = std::make_shared<X11WindowServer>(conn);
    s.displays = std::make_shared<X11Displays>(conn);
    s.hotKeys = std::make_shared<X11HotKeys>(conn);
    s.application = std::make_shared<X11Application>(conn);
    s.session = std::make_shared<linux_backend::SystemdSession>(options.sessionCommandFolder,
                                                               qEnvironmentVariable("XDG_SESSION_ID"));
    s.alerts = std::make_shared<DialogAlerts>(conn);
    s.processes = std::make_shared<DesktopProcesses>(s.processes);
    s.loginItems = linux_backend::AutostartLoginItems::forCurrentUser();
    s.powerSources = std::make_shared<linux_backend::PowerSupplySources>();
    s.updater = nullptr;
    s.compositor = std::make_shared<X11Compositor>(conn);
    s.systemTray = std::make_shared<X11Compositor>(conn, systemTraySelection);
    // A Linux desktop has no Dock to hide or give back, and its window
    // manager and terminals own Alt+Space and Ctrl+D.
    s.desktop.hasDock = false;
    s.desktop.isMac = false;
    s.desktop.shortcutStyle = ShortcutStyle::words;
    return s;
}

}  // namespace platform::x11
