#pragma once
// The one object through which the taskbar sees the other applications and
// their windows: it lists the applications that belong on the task strip,
// observes them, rescans them whenever something may have changed and
// publishes snapshots on the main thread. It also performs the clicks,
// window actions, context menus and placement commands of the task strip.
//
// Threads: the fields under "window queue" are touched only on the window
// queue, where the accessibility elements live; everything else only on the
// main thread. Hand-offs carry values only; closures hold the service weakly.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "core/resting_poll.h"
#include "platform/accessibility.h"
#include "platform/dispatch.h"
#include "platform/workspace.h"
#include "windows/change_stamp.h"
#include "windows/window_enumerator.h"
#include "windows/window_layout_calculator.h"
#include "windows/window_types.h"

class WindowService : public std::enable_shared_from_this<WindowService> {
public:
    static constexpr double scanDebounce = 0.2;
    // The longest a requested scan waits however often it is asked for again:
    // with the scan and the repaint after it, the strip is never more than
    // half a second behind a desktop that keeps changing.
    static constexpr double scanMaxWait = 0.3;
    static constexpr double pollInterval = 5.0;
    static constexpr double pollTolerance = 0.5;
    static constexpr double clickIntentLifetime = 0.6;

    // The accessibility notifications observed on every listed application,
    // in the order they are added and removed.
    static const std::vector<QString>& observedNotifications();

    using SnapshotCallback = std::function<void(const std::vector<AppItem>&)>;
    enum class AppRequest { terminate, forceTerminate };

    static std::shared_ptr<WindowService> create(platform::SerialQueue windowQueue);
    ~WindowService();
    WindowService(const WindowService&) = delete;
    WindowService& operator=(const WindowService&) = delete;

    // ---- lifecycle (main thread)
    void start();
    // Stops everything and returns once the window queue has run all work
    // queued before; no observer is left and a scan in flight is dropped.
    void stop();
    // Re-synchronises the observers with the listed applications and rescans.
    void resync();
    bool isRunning() const { return running_; }
    std::uint64_t lifecycleGeneration() const { return lifecycleGeneration_; }
    void setOnSnapshot(SnapshotCallback callback) { onSnapshot_ = std::move(callback); }

    // ---- scanning
    // Debounced: one scan `scanDebounce` after the last request, and no later
    // than `scanMaxWait` after the first one it answers.
    void scheduleScan();
    // From any thread: queues a scheduleScan on the main queue.
    void scheduleScanFromAnyThread();
    bool isScanPending() const { return scanPending_; }
    // Scans that found nothing changed since the last and published its list again.
    std::uint64_t scansTakenAgain() const { return scansTakenAgain_; }
    std::vector<platform::RunningApplication> listedApps();
    std::vector<std::int32_t> listedPIDs();
    void publish(const std::vector<AppItem>& items);
    const std::vector<AppItem>& lastRawSnapshot() const { return lastRawSnapshot_; }

    // ---- clicks, click intent and window actions (main thread)
    void handleClick(const TaskButtonItem& item, bool toggle);
    void activateApp(const TaskButtonItem& item);
    void minimizeWindow(WindowToken token);
    void closeWindow(WindowToken token);
    void hideApp(std::int32_t pid);
    void focusWindow(WindowToken token, std::int32_t pid);
    void openApp(std::int32_t pid);
    void minimizeAll();
    void setClickIntent(std::int32_t pid, bool isHide, std::optional<WindowToken> focusToken);
    // The list with the pending click intent overlaid; may end the intent.
    std::vector<AppItem> applyClickIntent(const std::vector<AppItem>& raw);
    bool hasClickIntent() const { return clickIntent_.has_value(); }

    // ---- menus and placement (main thread)
    std::vector<TaskMenuAction> menuItems(const TaskButtonKind& kind);
    std::vector<TaskMenuAction> windowMenuItems(std::int32_t pid);
    std::vector<TaskMenuAction> layoutMenuItems(WindowToken token, std::int32_t pid, bool isAppItem);
    void applyPlacement(WindowToken token, std::int32_t pid, bool isAppItem,
                        WindowLayoutCalculator::Placement placement);
    void showInFinder(std::int32_t pid);
    void sendToApp(std::int32_t pid, AppRequest request);

    // ---- inspection of the window queue's state (blocks until the queue ran
    // everything queued before; for tests and diagnostics)
    struct QueueSnapshot {
        std::map<WindowToken, platform::ax::Element> elements;
        WindowToken nextToken = 1;
        std::set<std::int32_t> observedPIDs;
        std::size_t titleCacheSize = 0;
        std::size_t knownStandardSize = 0;
        std::size_t bundleIDCacheSize = 0;
    };
    QueueSnapshot inspectQueue() const;

private:
    explicit WindowService(platform::SerialQueue windowQueue);

    struct ClickIntent {
        std::int32_t pid = 0;
        bool isHide = false;
        std::optional<WindowToken> focusToken;
        double deadline = 0;
    };

    // Window-queue state.
    struct QueueState {
        WindowEnumerator::ElementMap elements;
        WindowToken nextToken = 1;
        WindowEnumerator::TitleCache titleCache;
        WindowEnumerator::TokenSet knownStandard;
        std::map<std::int32_t, std::shared_ptr<platform::ax::Observer>> observers;
        std::map<QString, QString> pathBundleIDCache;
    };

    // main thread
    void appsChanged();
    void appActivated();
    void syncObserversAndScan();
    void performScan();
    bool declaresAgent(const platform::RunningApplication& app);
    std::vector<WindowEnumerator::AppDescriptor> appDescriptors();
    void cancelPendingScan();
    void activateFinder(std::uint64_t generation);
    void beepOnMain() const;
    void emitSnapshot(const std::vector<AppItem>& items);

    // window queue
    void syncObservers(const std::set<std::int32_t>& pids);
    void removeObserver(std::int32_t pid, const std::shared_ptr<platform::ax::Observer>& observer);
    void dropAXState();
    std::vector<AppItem> readDockBadges(std::vector<AppItem> items, std::int32_t dockPID);
    // `scanWhenMissing`: also schedule a scan when the token is gone.
    void raiseToken(WindowToken token, bool scanWhenMissing);
    void placeWindow(WindowToken token, bool isAppItem, std::int32_t pid,
                     const std::vector<WindowLayoutCalculator::DisplayArea>& displays,
                     WindowLayoutCalculator::Placement placement);

    const platform::SerialQueue windowQueue_;
    QueueState q_;  // window queue only

    // main thread only
    bool running_ = false;
    std::uint64_t lifecycleGeneration_ = 0;
    bool scanPending_ = false;
    std::uint64_t scanRequest_ = 0;
    CappedDebounce scanWait_{scanDebounce, scanMaxWait};
    // Rests while the last list stands, until the window server reports a
    // change or a scan is asked for.
    RestingPoll poll_{pollInterval, pollTolerance};
    int changeObserver_ = 0;
    std::unique_ptr<QObject> prefsContext_;  // receives the settings' change signal
    void startPoll();
    void pollTick();
    void resumePoll();
    bool standingList() const;
    void publishStandingList();
    std::optional<int> workspaceObserver_;
    std::vector<AppItem> lastRawSnapshot_;
    // What the scan behind lastRawSnapshot_ read: while the platform's counts
    // and the badge setting stay, a scan would find the same list.
    struct ScanStamp {
        ChangeStamp stamp;
        bool readsBadges = true;
    };
    std::optional<ScanStamp> lastScan_;
    std::uint64_t scansTakenAgain_ = 0;
    std::optional<ClickIntent> clickIntent_;
    std::map<QString, bool> agentDeclCache_;
    SnapshotCallback onSnapshot_;
};
