#pragma once
// Running applications of a live X11 desktop: the window manager's clients
// grouped by application (their desktop entry, else their WM_CLASS, across
// all their processes; x11_client_groups.h), with launching, activation, hiding
// and quitting mapped onto window-manager requests, and the workspace
// notifications synthesised from the root window's property changes.
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/workspace.h"
#include "platform/x11/x11_accessibility.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_desktop_entries.h"

namespace platform::x11 {

// Process start time in clock ticks from /proc/<pid>/stat; absent when unreadable.
std::optional<unsigned long long> processStartTime(std::int32_t pid);
// The fields of a /proc/<pid>/stat line (exposed for tests); the start time is absent
// when the line is malformed.
std::optional<unsigned long long> startTimeFromStatLine(const QByteArray& line);

class X11Workspace : public Workspace, public EventListener {
public:
    struct Options {
        QString ownBundleID = QStringLiteral("app.quorvel.Quorvel");
        QString ownName = QStringLiteral("Quorvel");
        QStringList desktopDirectories = DesktopEntryIndex::defaultDirectories();
        // Shared with the connection's application key; made from the folders when null.
        std::shared_ptr<DesktopEntryIndex> entries;
    };
    // A window's application key: its desktop entry, else the connection's default.
    static QString applicationKey(DesktopEntryIndex& entries, const WindowInfo& info);
    X11Workspace(std::shared_ptr<Connection> connection, std::shared_ptr<X11Accessibility> accessibility,
                 Options options);
    ~X11Workspace() override;

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> application(std::int32_t pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::int32_t ownProcessID() override;
    bool isProcessAlive(std::int32_t pid) override;

    bool activate(std::int32_t pid, bool allWindows) override;
    bool hide(std::int32_t pid) override;
    bool unhide(std::int32_t pid) override;
    bool terminate(std::int32_t pid) override;
    bool forceTerminate(std::int32_t pid) override;

    void openApplication(const QString& path, std::function<void(OpenResult)> completion) override;
    bool openURL(const QString& url) override;
    bool revealInFileViewer(const QString& path) override;
    std::optional<QString> urlForApplication(const QString& bundleID) override;
    // The running application of a desktop entry: a window whose WM_CLASS is
    // the entry's StartupWMClass, or that names the entry (_GTK_APPLICATION_ID,
    // _KDE_NET_WM_DESKTOP_FILE, _BAMF_DESKTOP_FILE), else one whose process
    // runs the entry's program. Absent when none runs.
    std::optional<std::int32_t> runningApplicationOf(const DesktopEntry& entry);

    std::optional<QImage> iconForApplication(std::int32_t pid) override;
    QImage iconForFile(const QString& path) override;
    QString iconImageFile(const QString& path) override;
    QString displayName(const QString& path) override;

    int addObserver(Callback callback) override;
    void removeObserver(int token) override;
    // The connection's count, and a count of our own for hiding, which can
    // change an application's state without any event.
    std::optional<std::uint64_t> changeCount() override {
        return conn_->changeCount() + hiddenChanges_.load(std::memory_order_acquire);
    }

    // Event thread.
    void clientsChanged(const std::vector<xcb_window_t>& added, const std::vector<xcb_window_t>& removed) override;
    void xEvent(const xcb_generic_event_t* event) override;

private:
    struct Hub;  // observers, shared with the closures on the main queue
    struct ProcessFacts {
        QString executable;
        std::optional<unsigned long long> startTime;
    };
    ProcessFacts processFacts(std::int32_t pid);
    // A live process of this machine among the application's windows (the
    // one it is named by first), or 0.
    std::int32_t memberProcess(std::int32_t app, const std::vector<WindowInfo>& windows);
    // Clients by application (only those of `only` when it is not 0).
    std::map<std::int32_t, std::vector<WindowInfo>> localClientsByPid(std::int32_t only = 0);
    RunningApplication describe(std::int32_t pid, const std::vector<WindowInfo>& windows, std::int32_t activePid);
    std::int32_t activePid();
    void post(const QString& name, std::int32_t pid);
    // The windows' applications and states as first read. Every question
    // that rests on them goes through the client list (`localClientsByPid`),
    // `isProcessAlive` or an observer, which ask for that read first.
    void readExistingWindows();
    // Notes whether the window shows in full screen now; true when that changed.
    bool noteFullScreen(const WindowInfo& info, bool gone = false);
    void setHidden(std::int32_t pid, bool hidden, bool notify);
    // Looks again at windows asked back from a hide until the manager has
    // restored them, `left` times at most (`mapped`: a map request was sent).
    static constexpr int restoreFollowUps = 8;
    static void followRestore(const std::weak_ptr<Connection>& conn, std::set<xcb_window_t> pending, int left,
                              bool mapped);
    void reopen(std::int32_t pid);
    // A window the hide acted on read shown before it was seen hidden: a late
    // report of an earlier change, a manager not there yet, or the window
    // hidden and shown again by other means before its reports reached us.
    // Which of them it was shows a moment later.
    static constexpr double comeBackSettleSeconds = 1.5;
    void checkCameBack(std::int32_t pid, xcb_window_t window);

    std::shared_ptr<Connection> conn_;
    std::shared_ptr<X11Accessibility> ax_;
    Options options_;
    std::shared_ptr<DesktopEntryIndex> entries_;
    std::shared_ptr<Hub> hub_;
    FirstRead firstRead_;
    std::mutex mutex_;
    std::map<xcb_window_t, std::int32_t> windowPids_;  // clients seen by the event thread, by application
    std::map<xcb_window_t, std::int32_t> windowProcesses_;  // their _NET_WM_PID
    std::map<xcb_window_t, bool> windowHidden_;
    // Clients shown in full screen (not minimised); under its own lock, as
    // the first read and the event thread both keep it.
    std::mutex fullScreenMutex_;
    std::set<xcb_window_t> fullScreen_;
    std::set<std::int32_t> hiddenApps_;
    std::map<std::int32_t, std::set<xcb_window_t>> minimisedByHide_;
    std::set<xcb_window_t> restoring_;
    std::map<std::int32_t, ProcessFacts> processFacts_;  // asked back by unhide, not yet shown
    std::int32_t lastActivePid_ = 0;
    std::atomic<std::uint64_t> hiddenChanges_{0};
    std::set<xcb_window_t> comeBackChecks_;
    // Gone with the workspace (on the main thread), so checks queued there drop.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace platform::x11
