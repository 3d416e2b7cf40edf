#pragma once
// Keeps other applications' windows off the bars. A window that fills its
// display or is snapped to a side, the bottom half or a bottom quarter, and
// whose bottom edge lies inside the bar, is shortened to end at the bar's
// top edge; when the application refuses the size, the window is moved up.
//
// Three paths feed that one rule:
// - the frontmost application's accessibility notifications, settled for
//   0.18 s, constrain its focused window;
// - a full scan of every regular application's windows, 0.25 s after an
//   activation, a space or screen change, or a bar change, and once at start;
// - a 0.5 s poll of the frontmost application's on-screen windows in the
//   window list that acts once two samples 0.18 s apart agree.
//
// Threads: start/stop and every timer and work item run on the main thread;
// all accessibility work (and every element the engine holds) stays on the
// queue "app.quorvel.ax"; window-list samples are taken on
// "app.quorvel.geometry". Delayed work holds the engine weakly and is
// discarded by `running`, cancelled work items and `geometryGeneration`.
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/resting_poll.h"
#include "platform/accessibility.h"
#include "platform/dispatch.h"
#include "platform/geometry.h"
#include "windows/change_stamp.h"

class WindowConstraintEngine : public std::enable_shared_from_this<WindowConstraintEngine> {
public:
    // One on-screen window of the window list.
    struct WindowGeometry {
        std::uint32_t id = 0;
        platform::Rect frame;
        friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
    };
    // The frontmost application's on-screen windows, sorted by id.
    struct FrontmostGeometry {
        std::int32_t pid = 0;
        std::vector<WindowGeometry> windows;
        friend bool operator==(const FrontmostGeometry&, const FrontmostGeometry&) = default;
    };

    // Settle time of accessibility notifications and window-list changes.
    static constexpr double settleDelay = 0.18;
    static constexpr double fullScanDelay = 0.25;
    // However often it is asked for again, a full scan waits no longer than
    // this. The settle of the frontmost window's own moves has no cap: while
    // they go on, the user is still dragging it.
    static constexpr double fullScanMaxWait = 0.5;
    static constexpr double geometryPollInterval = 0.5;
    // A poll tick may come this much later, so it can share a wake-up.
    static constexpr double geometryPollTolerance = 0.05;

    // The engine must be owned by a shared pointer: delayed work holds it weakly.
    static std::shared_ptr<WindowConstraintEngine> create();
    ~WindowConstraintEngine();
    WindowConstraintEngine(const WindowConstraintEngine&) = delete;
    WindowConstraintEngine& operator=(const WindowConstraintEngine&) = delete;

    // Main thread.
    void start();
    // Cancels everything pending; observers are removed and the remembered
    // frames forgotten by a block queued on the accessibility queue (run an
    // empty `axQueue().sync` afterwards to wait for it).
    void stop();
    // The debounced full scan (after a change of bar height or display mode).
    void scheduleFullScan();
    bool isRunning() const { return running_; }

    // Notification handlers (main thread).
    void appActivated();
    void triggerFullScan();

    const platform::SerialQueue& axQueue() const { return axQueue_; }
    const platform::SerialQueue& geometryQueue() const { return geometryQueue_; }

    // Number of windows whose applied frame is remembered. Accessibility
    // queue only (tests pump that queue on their own thread).
    std::size_t rememberedFrameCount() const { return lastApplied_.size(); }

    // A sample of a process's on-screen windows at layer 0 from the window
    // list; absent when the window server gives no list.
    static std::optional<FrontmostGeometry> frontmostWindowList(std::int32_t pid);

private:
    WindowConstraintEngine();

    // A cancellable piece of delayed main-thread work: scheduling or
    // cancelling bumps the sequence, so only the latest scheduled run fires.
    struct WorkItem {
        CappedDebounce wait;
        std::uint64_t sequence = 0;
        bool pending = false;
    };
    template <typename F>
    void scheduleWork(WorkItem WindowConstraintEngine::*item, F work);
    void cancelWork(WorkItem& item);

    std::optional<std::int32_t> frontmostOtherPid() const;

    // Accessibility path.
    void observeFrontmost();
    void attachObserver(std::int32_t pid);      // AX queue
    void removeAllObservers();                  // AX queue
    void handleAXEvent();
    void constrainFocusedWindow(std::int32_t pid, const std::vector<platform::Rect>& displays, double thickness);

    // Full scan.
    void scanAllApps();
    void constrainAllApps(const std::vector<std::int32_t>& pids, const std::vector<platform::Rect>& displays,
                          double thickness);

    // Window-list poll.
    void startGeometryPoll();
    void pollFrontmostGeometry();
    void windowListChanged();
    void handleGeometrySample(const std::optional<FrontmostGeometry>& sample);
    void confirmGeometry(std::uint64_t generation, std::int32_t pid, const std::vector<WindowGeometry>& windows);
    void constrainApp(std::int32_t pid, const std::vector<platform::Rect>& displays, double thickness);

    void handleAppActivated();
    // AX queue: the one rule, applied to one window.
    void constrainWindow(const platform::ax::Element& window, const std::vector<platform::Rect>& displays,
                         double thickness);
    void removeNotificationObservers();

    platform::SerialQueue axQueue_;
    platform::SerialQueue geometryQueue_;

    // AX queue.
    std::map<std::int32_t, std::shared_ptr<platform::ax::Observer>> observers_;
    std::optional<std::int32_t> observedPID_;
    std::unordered_map<platform::ax::Element, platform::Rect> lastApplied_;

    // Main thread.
    static constexpr double uncapped = std::numeric_limits<double>::infinity();
    WorkItem pendingItem_{CappedDebounce(settleDelay, uncapped)};
    WorkItem pendingFullScan_{CappedDebounce(fullScanDelay, fullScanMaxWait)};
    WorkItem pendingGeometryConstrain_{CappedDebounce(settleDelay, uncapped)};
    std::optional<FrontmostGeometry> lastFrontmostGeometry_;
    // What the last completed poll saw, and in which generation: a poll that
    // finds the same again has nothing new to sample and returns at once.
    struct QuietPoll {
        ChangeStamp stamp;
        std::uint64_t generation = 0;
    };
    std::optional<QuietPoll> quietPoll_;
    // Rests while the last sample stands, until the window list changes.
    RestingPoll geometryPoll_{geometryPollInterval, geometryPollTolerance};
    int windowListObserver_ = 0;
    bool geometryPollInFlight_ = false;
    std::uint64_t geometryGeneration_ = 0;
    bool running_ = false;
    std::optional<int> workspaceObserver_;
    std::optional<int> displaysObserver_;
};
