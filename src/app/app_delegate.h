#pragma once
// The spine of the application: creates the long-lived workspace objects,
// enforces the single-instance rule at launch, and switches the workspace
// (bars, window service, constraint engine, power monitor, shortcuts, Dock
// takeover, accessibility wait) on and off in a fixed order.
#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "windows/window_types.h"

class AccessibilityService;
class BarPanelController;
class PinStore;
class RunningAppsStore;
class WindowConstraintEngine;
class WindowService;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    enum class LaunchOutcome { running, anotherCopyRunning };
    // The launch sequence. `anotherCopyRunning`: this copy showed its alert and
    // must end with status 0 without touching anything else.
    LaunchOutcome applicationDidFinishLaunching();
    // Where this copy is already known to be the only one (it holds the
    // single-instance lock), the launch shows the bars before it reads the
    // desktop; the check of the running applications still comes, and a
    // copy it ends takes its bars away again.
    void setShowsBarsFirst(bool first) { showsBarsFirst_ = first; }
    // The termination sequence; runs its stop at most once per process.
    void applicationWillTerminate();

    void startWorkspace();
    void stopWorkspace();
    void syncRunningApps(const std::vector<AppItem>& items);
    void handleDisplayChange();
    void toggleStartMenuFromHotKey();
    void minimizeAllFromHotKey();
    void handleAccessibilityResult(bool trusted, std::uint64_t generation);
    void applyDockSetup();

    bool workspaceRunning() const { return workspaceRunning_; }
    std::uint64_t workspaceGeneration() const { return workspaceGeneration_; }
    RunningAppsStore& store() const { return *store_; }
    PinStore& pinStore() const { return *pinStore_; }
    BarPanelController& barController() const { return *barController_; }
    const std::shared_ptr<WindowService>& windowService() const { return windowService_; }
    const std::shared_ptr<WindowConstraintEngine>& engine() const { return engine_; }
    const std::shared_ptr<AccessibilityService>& accessibility() const { return accessibility_; }
    bool hasTerminated() const { return terminated_; }

private:
    void setUpApplication();

    std::shared_ptr<AccessibilityService> accessibility_;
    std::unique_ptr<BarPanelController> barController_;
    std::shared_ptr<WindowConstraintEngine> engine_;
    std::optional<int> heightObserver_;
    std::optional<int> displayModeObserver_;
    bool workspaceRunning_ = false;
    std::uint64_t workspaceGeneration_ = 0;
    std::unique_ptr<RunningAppsStore> store_;
    std::shared_ptr<WindowService> windowService_;
    std::unique_ptr<PinStore> pinStore_;
    bool terminated_ = false;
    bool showsBarsFirst_ = false;
    // Callbacks that outlive a call hold this weakly.
    std::shared_ptr<AppDelegate*> self_;
};
