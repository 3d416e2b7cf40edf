#include "app/app_delegate.h"

#include <QPointer>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/desktop_traits.h"
#include "platform/notification_center.h"
#include "platform/platform.h"
#include "services/dock_controller.h"
#include "services/dock_state.h"
#include "services/global_hot_key_monitor.h"
#include "services/hot_key_combo.h"
#include "services/power_source_monitor.h"
#include "services/update_controller.h"
#include "settings/settings_window.h"
#include "startmenu/start_menu_controller.h"
#include "windows/bar_metrics.h"
#include "taskbar/bar_panel_controller.h"
#include "taskbar/fullscreen_monitor.h"
#include "windows/accessibility_service.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/window_constraint_engine.h"
#include "windows/window_service.h"

using services::DockCoexistMode;
using services::HotKeyCombo;

namespace {

using WeakDelegate = std::weak_ptr<AppDelegate*>;

AppDelegate* lock(const WeakDelegate& weak) {
    auto strong = weak.lock();
    return strong ? *strong : nullptr;
}

HotKeyCombo readCombo(const QString& key, HotKeyCombo fallback) {
    auto text = platform::prefs::userDefaults().stringValue(key);
    if (!text) return fallback;
    return HotKeyCombo::fromRawValue(*text).value_or(fallback);
}

bool readSwitch(const QString& key) {
    // A missing value, or one that is not a Bool, reads as on.
    return platform::prefs::userDefaults().boolValue(key).value_or(true);
}

HotKeyCombo readStartMenuHotKey() {
    return readCombo(settings::keys::startMenuHotKeyCombo, HotKeyCombo::defaultStartMenu());
}

HotKeyCombo readMinimizeAllHotKey() {
    return readCombo(settings::keys::minimizeAllHotKeyCombo, HotKeyCombo::defaultMinimizeAll());
}

DockCoexistMode currentDockMode() { return services::effectiveDockMode(platform::prefs::userDefaults()); }

}  // namespace

AppDelegate::AppDelegate() : self_(std::make_shared<AppDelegate*>(this)) {
    accessibility_ = AccessibilityService::create();
    barController_ = std::make_unique<BarPanelController>();
    // The bars sit below the start menu and the settings window: they reach
    // both through what is handed in here.
    StartMenuPort::setCurrent(&StartMenuController::shared());
    auto openSettings = [](std::optional<platform::DisplayID> display) { SettingsWindow::show([] {}, display); };
    barController_->setOpenSettings(openSettings);
    StartMenuController::shared().setOpenSettings(openSettings);
    engine_ = WindowConstraintEngine::create();
    store_ = std::make_unique<RunningAppsStore>();
    windowService_ = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
    pinStore_ = std::make_unique<PinStore>(&platform::prefs::userDefaults());
}

AppDelegate::~AppDelegate() {
    *self_ = nullptr;
    self_.reset();
    windowService_->setOnSnapshot(nullptr);
}

void AppDelegate::setUpApplication() {
    auto& app = platform::application();
    app.setActivationPolicy(platform::ActivationPolicy::accessory);
    const auto mode = fromRawValue<AppearanceMode>(
        platform::prefs::userDefaults().stringValue(settings::keys::appearanceMode).value_or(QString()));
    app.setAppearance(appearanceFor(mode.value_or(AppearanceMode::system)));
}

AppDelegate::LaunchOutcome AppDelegate::applicationDidFinishLaunching() {
    auto& workspace = platform::workspace();
    auto& app = platform::application();

    if (showsBarsFirst_) {
        // The bars first: the rest of the launch reads the whole desktop,
        // and until a bar is mapped the desktop keeps its bottom edge for
        // windows.
        setUpApplication();
        barController_->showPanels(store_.get(), windowService_, pinStore_.get());
    }

    // Single-instance rule: another process with our bundle identifier ends this one.
    if (auto bundleID = platform::bundles().mainBundleIdentifier()) {
        const auto own = workspace.ownProcessID();
        bool another = false;
        for (const auto& running : workspace.runningApplications())
            if (running.bundleID == *bundleID && running.pid != own && !running.isTerminated) another = true;
        if (another) {
            barController_->closeAll();
            app.setActivationPolicy(platform::ActivationPolicy::accessory);
            // This alert follows the system's locale, not the language setting.
            const auto bundle = LocalizationBundle::mainBundle();
            platform::Alert alert;
            alert.messageText = bundle.localizedString("Quorvel is already running");
            alert.informativeText = bundle.localizedString(
                "Quit the running copy of Quorvel, then open this copy again. Only one copy can run at a time.");
            alert.buttons = {bundle.localizedString("OK")};
            app.activateIgnoringOtherApps();
            platform::alerts().runModal(alert);
            platform::log(QStringLiteral("[Quorvel] 已有实例在运行，已提示用户，本实例退场。"));
            terminated_ = true;  // nothing to stop: this copy never started
            return LaunchOutcome::anotherCopyRunning;
        }
    }

    if (!showsBarsFirst_) setUpApplication();

    services::DockController::shared()->installSignalHandlers();
    startWorkspace();

    WeakDelegate weak = self_;
    services::UpdateController::shared().setUp(
        [weak] {
            if (auto* d = lock(weak)) d->stopWorkspace();
        },
        [weak] {
            if (auto* d = lock(weak)) d->startWorkspace();
        });
    return LaunchOutcome::running;
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    auto& updates = services::UpdateController::shared();
    updates.markTerminating();
    updates.setPreparingInstallation(false);
    stopWorkspace();
}

void AppDelegate::startWorkspace() {
    if (workspaceRunning_) return;
    workspaceRunning_ = true;
    const std::uint64_t generation = ++workspaceGeneration_;
    WeakDelegate weak = self_;

    auto& startMenu = StartMenuController::shared();
    if (!startMenu.didLoadApps()) startMenu.loadAppsIfNeeded();

    // Identical snapshots never reach the store, so they never redraw.
    QPointer<RunningAppsStore> store(store_.get());
    windowService_->setOnSnapshot([store](const std::vector<AppItem>& items) {
        if (!store) return;
        if (items == store->apps()) return;
        store->setApps(items);
    });

    barController_->start(store_.get(), windowService_, pinStore_.get());

    auto& center = platform::NotificationCenter::defaultCenter();
    auto onDisplayChange = [weak](const QString&) {
        platform::MainQueue::async([weak] {
            if (auto* d = lock(weak)) d->handleDisplayChange();
        });
    };
    if (heightObserver_) center.removeObserver(*heightObserver_);
    heightObserver_ = center.addObserver(BarMetrics::barHeightChangedNotification(), onDisplayChange);
    if (displayModeObserver_) center.removeObserver(*displayModeObserver_);
    displayModeObserver_ = center.addObserver(BarMetrics::displayModeChangedNotification(), onDisplayChange);

    windowService_->start();
    services::PowerSourceMonitor::shared().start();

    auto& hotKeys = services::GlobalHotKeyMonitor::shared();
    hotKeys.start(
        [weak] {
            if (auto* d = lock(weak)) d->toggleStartMenuFromHotKey();
        },
        [weak] {
            if (auto* d = lock(weak)) d->minimizeAllFromHotKey();
        });
    const bool startMenuOK = hotKeys.registerCombo(
        readStartMenuHotKey(), readSwitch(settings::keys::startMenuHotKeyEnabled), false);
    hotKeys.setLastRegistrationFailed(!startMenuOK);
    const bool minimizeAllOK = hotKeys.registerCombo(
        readMinimizeAllHotKey(), readSwitch(settings::keys::minimizeAllHotKeyEnabled), true);
    hotKeys.setLastMinimizeAllRegistrationFailed(!minimizeAllOK);

    applyDockSetup();
    // The Dock question runs a nested event loop: go on only if this is still the same run.
    if (!workspaceRunning_ || workspaceGeneration_ != generation) return;

    accessibility_->requestTrust([weak, generation](bool trusted) {
        if (auto* d = lock(weak)) d->handleAccessibilityResult(trusted, generation);
    });
}

void AppDelegate::handleAccessibilityResult(bool trusted, std::uint64_t generation) {
    if (!workspaceRunning_ || workspaceGeneration_ != generation) return;
    if (trusted) {
        engine_->start();
        windowService_->resync();
        // Elsewhere the windows come from the window manager's EWMH lists,
        // with no permission to grant: the log says so instead.
        platform::log(platform::desktopTraits().isMac
                          ? QStringLiteral("[Quorvel] Accessibility 已授权，占位引擎 + 任务栏窗口枚举启动。")
                          : QStringLiteral("[Quorvel] EWMH window access ready: constraint engine + task-bar "
                                           "window enumeration started."));
    } else {
        platform::log(
            QStringLiteral("[Quorvel] Accessibility 未授权：bar 与 App 图标可显示，但占位/窗口枚举不可用。"));
    }
}

void AppDelegate::stopWorkspace() {
    workspaceRunning_ = false;
    ++workspaceGeneration_;

    engine_->stop();
    engine_->axQueue().sync([] {});
    windowService_->stop();
    services::PowerSourceMonitor::shared().stop();
    services::GlobalHotKeyMonitor::shared().stop();

    auto& center = platform::NotificationCenter::defaultCenter();
    if (heightObserver_) center.removeObserver(*heightObserver_);
    heightObserver_.reset();
    if (displayModeObserver_) center.removeObserver(*displayModeObserver_);
    displayModeObserver_.reset();

    barController_->fullscreenMonitor().stop();
    barController_->stopObservingScreens();
    barController_->closeAll();
    StartMenuController::shared().close();

    services::DockController::shared()->restoreSynchronously();
}

void AppDelegate::syncRunningApps(const std::vector<AppItem>& items) {
    if (items == store_->apps()) return;
    store_->setApps(items);
}

void AppDelegate::handleDisplayChange() {
    barController_->rebuild();
    engine_->scheduleFullScan();
}

void AppDelegate::toggleStartMenuFromHotKey() {
    auto& menu = StartMenuController::shared();
    if (menu.isOpen())
        menu.close();
    else
        menu.open();
}

void AppDelegate::minimizeAllFromHotKey() { windowService_->minimizeAll(); }

void AppDelegate::applyDockSetup() {
    // Without a Dock there is nothing to ask about, take over or give back:
    // the Dock's settings and the first-run answer stay unwritten, so a
    // later start on a desktop with a Dock still asks.
    if (!platform::desktopTraits().hasDock) return;
    auto& defaults = platform::prefs::userDefaults();
    auto dock = services::DockController::shared();
    if (defaults.boolValue(settings::keys::dockSetupCompleted).value_or(false)) {
        dock->apply(currentDockMode());
        return;
    }
    platform::application().activateIgnoringOtherApps();
    platform::Alert alert;
    alert.messageText = tr_("Auto-hide the Dock?");
    alert.informativeText = tr_("Quorvel uses the bottom edge. The Dock returns to its previous settings when you quit.");
    alert.buttons = {tr_("Move to right edge"), tr_("Keep current position"), tr_("Leave Dock unchanged")};
    const int answer = platform::alerts().runModal(alert);

    bool manage = false;
    DockCoexistMode stored = DockCoexistMode::moveRight;
    DockCoexistMode applied = DockCoexistMode::off;
    if (answer == platform::alertFirstButtonReturn) {
        manage = true;
        stored = applied = DockCoexistMode::moveRight;
    } else if (answer == platform::alertFirstButtonReturn + 1) {
        manage = true;
        stored = applied = DockCoexistMode::hide;
    }
    defaults.setBool(settings::keys::dockManageEnabled, manage);
    defaults.setString(settings::keys::dockCoexistMode, services::rawValue(stored));
    defaults.setBool(settings::keys::dockSetupCompleted, true);
    dock->apply(applied);
}
