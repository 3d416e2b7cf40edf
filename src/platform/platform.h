#pragma once
// The installed backend: which implementation answers each concept.
// Chosen once at start-up; tests install a fresh simulated desktop per test.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/accessibility.h"
#include "platform/alerts.h"
#include "platform/application_folders.h"
#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/compositor.h"
#include "platform/desktop_traits.h"
#include "platform/dispatch.h"
#include "platform/displays.h"
#include "platform/hotkeys.h"
#include "platform/log.h"
#include "platform/login_item.h"
#include "platform/power_sources.h"
#include "platform/preferences.h"
#include "platform/process.h"
#include "platform/session.h"
#include "platform/updater.h"
#include "platform/window_list.h"
#include "platform/workspace.h"

namespace platform {

struct Services {
    std::shared_ptr<Dispatcher> dispatcher;
    std::shared_ptr<ax::Accessibility> accessibility;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<WindowServer> windowServer;
    std::shared_ptr<Displays> displays;
    std::shared_ptr<prefs::Backend> preferences;
    std::shared_ptr<Bundles> bundles;
    std::shared_ptr<HotKeys> hotKeys;
    std::shared_ptr<LoginItems> loginItems;
    std::shared_ptr<PowerSources> powerSources;
    std::shared_ptr<Session> session;
    std::shared_ptr<Updater> updater;  // may be null: no update framework
    std::shared_ptr<Processes> processes;
    std::shared_ptr<Alerts> alerts;
    std::shared_ptr<Application> application;
    std::shared_ptr<SystemLog> log;
    // May be null: no installed applications are found.
    std::shared_ptr<ApplicationFolders> applicationFolders;
    std::shared_ptr<Compositor> compositor;  // may be null: windows are composited
    // Whether a system-tray host (the notification area our menu-bar item
    // docks into) runs, with the same shape: present or not, told on every
    // change. May be null: the host is asked once, at start.
    std::shared_ptr<Compositor> systemTray;
    DesktopTraits desktop;
};

// Installs the backend; every member must be set except `updater`,
// `compositor` and `systemTray`.
// Replaces an earlier installation and forgets its preference domains.
void install(Services services);
void uninstall();
bool isInstalled();
const Services& installed();
// Changes at every install() and uninstall(): objects that keep a queue or
// other backend state across calls compare it to notice a new installation.
std::uint64_t installationGeneration();

// The program's shared instances (one per process) belong to the installed
// backend: each registers a reset once, and every replacement or removal of
// the backend runs the resets (newest first) while the old backend is still
// installed, so the next use creates a fresh instance on the new one.
void registerSharedInstanceReset(std::function<void()> reset);
// Runs every registered reset now (newest first). The program calls it before
// its Qt application goes: shared instances own widgets and timers.
void resetSharedInstances();

// Holds the one shared instance of T for the current installation, for use
// from any thread. An instance belongs to the installation it was made
// under: one made while a replaced backend was being torn down (a reset's
// destructor asking for it again) is never handed out under the next one.
template <typename T>
class SharedInstance {
public:
    template <typename Make>
    std::shared_ptr<T> get(Make make) {
        std::shared_ptr<T> stale;  // destroyed after the lock is let go: it may ask for shared instances
        std::lock_guard lock(mutex_);
        const std::uint64_t now = installationGeneration();
        if (!instance_ || madeUnder_ != now) {
            if (!registered_) {
                registered_ = true;
                registerSharedInstanceReset([this] { reset(); });
            }
            stale = std::move(instance_);
            instance_ = make();
            madeUnder_ = now;
        }
        return instance_;
    }
    // Drops the instance; the next get() makes a fresh one.
    void reset() {
        std::shared_ptr<T> old;
        std::lock_guard lock(mutex_);
        old = std::move(instance_);
    }

private:
    std::mutex mutex_;
    std::shared_ptr<T> instance_;
    std::uint64_t madeUnder_ = 0;
    bool registered_ = false;
};

}  // namespace platform
