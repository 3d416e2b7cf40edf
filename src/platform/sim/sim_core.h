#pragma once
// The simulated desktop's shared model. Every sim backend reads and changes
// it under `mutex`; notifications leave it only through the main queue, so
// no callback ever runs while the lock is held.
#include <QImage>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/displays.h"
#include "platform/hotkeys.h"
#include "platform/login_item.h"
#include "platform/process.h"
#include "platform/session.h"
#include "platform/updater.h"
#include "platform/workspace.h"
#include "platform/sim/labeling_dispatcher.h"
#include "platform/sim/manual_dispatcher.h"
#include "platform/sim/sim_types.h"

namespace platform::sim {

struct AppState {
    AppSpec given;
    bool terminated = false;
    bool unresponsive = false;
    bool terminateRefused = false;
    std::uint64_t element = 0;
    std::uint64_t focusedWindow = 0;  // window numbers; 0: none
    std::uint64_t mainWindow = 0;
};

struct WindowState {
    std::uint64_t number = 0;
    std::int32_t pid = 0;
    WindowSpec given;
    std::uint64_t element = 0;
    std::uint64_t closeButton = 0;
    bool resizeRefused = false;
    bool moveRefused = false;
    // The frame the window manager gives the window right after the next
    // read of its position (a move and resize in progress).
    std::optional<Rect> frameAfterPositionRead;
    std::optional<Size> minSize;
    std::optional<Size> maxSize;
};

enum class ElementKind { application, window, closeButton, generic };

struct ElementState {
    ElementKind kind = ElementKind::generic;
    std::int32_t pid = 0;
    std::uint64_t window = 0;  // window and close button: the window number
    std::uint64_t parent = 0;  // generic elements
    std::map<QString, ax::Value> attributes;  // generic attributes, and overrides of any element
    std::vector<std::uint64_t> children;      // generic children
    double messagingTimeout = 0;              // 0: not set
    bool destroyed = false;
};

struct ObserverState {
    std::int32_t pid = 0;
    ax::ObserverCallback callback;
    std::set<std::pair<std::uint64_t, QString>> registrations;
    bool valid = true;  // guarded by Core::mutex
};

struct DisplayState {
    DisplayID id = 0;
    QString name;
    Rect bounds;
    double scale = 1.0;
};

struct HotKeyRegistration {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    HotKeyID id;
};

struct BundleInfo {
    QString bundleID;  // empty: none
    QVariantMap info;
};

struct AlertRecord {
    Alert alert;
    int result = 0;
};

class Core : public std::enable_shared_from_this<Core> {
public:
    Core(std::shared_ptr<LabelingDispatcher> dispatcher, std::shared_ptr<ManualDispatcher> manual);

    mutable std::recursive_mutex mutex;

    // Moves after every change of what the accessibility reads, the window
    // list or the workspace report (see changeCount() of those interfaces).
    std::atomic<std::uint64_t> changes{0};
    // Moves the count and lets the change observers know on the main queue.
    void changed();
    std::map<int, std::function<void()>> changeObservers;
    bool changeDeliveryPending = false;
    int nextChangeObserver = 1;
    // Counts one change when it goes out of scope, after the change was made.
    struct ChangeNote {
        explicit ChangeNote(Core& core) : core_(core) {}
        ~ChangeNote() { core_.changed(); }
        ChangeNote(const ChangeNote&) = delete;
        ChangeNote& operator=(const ChangeNote&) = delete;

    private:
        Core& core_;
    };
    std::shared_ptr<LabelingDispatcher> dispatcher;
    std::shared_ptr<ManualDispatcher> manual;  // null when threaded

    // ---- log
    std::vector<QString> logLines;
    void log(const QString& line);

    // ---- ids
    std::int32_t ownPid = 100;
    std::int32_t dockPid = 101;
    std::int32_t nextPid = 200;
    std::uint64_t nextElement = 1;
    std::uint64_t nextWindow = 1;

    // ---- applications and windows
    std::vector<std::int32_t> launchOrder;
    std::map<std::int32_t, AppState> apps;
    std::int32_t frontmost = 0;  // 0: none
    std::map<std::uint64_t, WindowState> windows;
    std::vector<std::uint64_t> zOrder;  // front first
    std::map<std::uint64_t, ElementState> elements;
    std::map<std::int32_t, std::uint64_t> appElements;
    int currentSpace = 1;

    AppState* app(std::int32_t pid);
    WindowState* window(std::uint64_t number);
    ElementState* element(std::uint64_t identity);
    std::uint64_t appElementFor(std::int32_t pid);  // allocates for unknown pids too
    std::uint64_t newElement(ElementKind kind, std::int32_t pid, std::uint64_t window = 0);
    RunningApplication describe(const AppState& a) const;
    bool isWindowVisible(const WindowState& w) const;
    std::vector<std::uint64_t> windowsOf(std::int32_t pid) const;  // front to back

    std::int32_t addApplication(AppSpec given);
    std::uint64_t addWindow(std::int32_t pid, WindowSpec given);
    bool removeWindow(std::uint64_t number);
    bool activate(std::int32_t pid);
    bool setHidden(std::int32_t pid, bool hidden);
    void activateNextAfter(std::int32_t pid);
    bool terminate(std::int32_t pid, bool force);
    // Applies a frame change (with refusal and clamping for sizes) and posts
    // moved/resized. Returns false when a resize was refused.
    bool moveWindow(std::uint64_t number, Point origin);
    bool resizeWindow(std::uint64_t number, Size size);
    void setMinimized(std::uint64_t number, bool minimized);
    void focusWindow(std::int32_t pid, std::uint64_t number);
    void raiseWindow(std::uint64_t number);
    void setTitle(std::uint64_t number, const QString& title);
    void destroyElementTree(std::uint64_t identity);

    // ---- accessibility
    bool trusted = true;
    int trustPrompts = 0;
    std::map<std::pair<std::uint64_t, QString>, Fault> readFaults;
    std::map<std::pair<std::uint64_t, QString>, Fault> writeFaults;
    std::map<std::pair<std::uint64_t, QString>, Fault> actionFaults;
    std::map<std::string, double> blocked;
    std::vector<std::weak_ptr<ObserverState>> observers;
    void postAx(std::uint64_t elementIdentity, std::int32_t pid, const QString& notification);
    // Gives the window a new frame and posts the moved and resized
    // notifications the change calls for. The mutex is held.
    void moveWindowFrame(WindowState& window, Rect frame);

    // ---- workspace
    std::map<int, Workspace::Callback> workspaceObservers;
    int nextToken = 1;
    std::map<QString, OpenResult> openResults;  // by application path
    std::map<QString, bool> openURLResults;
    std::map<QString, QString> displayNames;
    void postWorkspace(const QString& name, std::int32_t pid);

    // ---- window server
    bool windowListUnavailable = false;
    std::vector<std::pair<int, QVariantMap>> rawEntries;  // (position, entry)
    std::map<std::uint64_t, std::map<QString, std::optional<QVariant>>> corruptions;

    // ---- displays
    std::vector<DisplayState> displays;  // the primary first
    DisplayID nextDisplay = 1;
    DisplayID mainScreenID = 0;  // 0: the primary
    Point pointer;               // global top-left
    std::map<int, std::function<void()>> displayObservers;
    std::map<int, std::function<void()>> pointerObservers;
    std::map<int, std::function<void()>> mouseDownObservers;
    bool displayListUnavailable = false;
    Screen screenOf(const DisplayState& d) const;
    double primaryHeight() const;

    // ---- hot keys
    std::map<int, HotKeyRegistration> hotKeys;
    std::set<std::pair<std::uint32_t, std::uint32_t>> hotKeysTakenElsewhere;
    std::map<int, std::function<void(HotKeyID)>> hotKeyHandlers;
    int nextHotKeyRef = 1;
    std::optional<OSStatus> hotKeyStatusOverride;

    // ---- power
    std::optional<std::vector<QVariantMap>> powerSources = std::vector<QVariantMap>{};
    std::map<int, std::function<void()>> powerObservers;

    // ---- login item
    LoginItemStatus loginStatus = LoginItemStatus::notRegistered;
    std::optional<QString> loginRegisterError;
    std::optional<QString> loginUnregisterError;

    // ---- session
    std::map<std::uint32_t, OSStatus> sessionResults;
    QString screenLockLibrary = QString::fromUtf8(screen_lock::libraryPath);
    std::function<int()> loadedScreenLock;  // once loaded, the library stays loaded

    // ---- updater
    bool updaterStartResult = true;
    bool updaterStarted = false;
    UpdaterDelegate updaterDelegate;
    bool canCheck = true;
    std::function<void(bool)> canCheckObserver;
    int updateChecks = 0;

    // ---- alerts
    std::vector<int> alertAnswers;  // button indexes, used front first
    std::vector<AlertRecord> alertsShown;
    int beeps = 0;
    bool fileViewerAvailable = true;

    // ---- processes
    std::map<QString, ProcessResult> processOutcomes;
    std::vector<std::pair<QString, QStringList>> processRuns;
    std::map<std::pair<QString, QString>, std::function<int()>> loadableFunctions;

    // ---- bundles
    QString mainBundleID = QStringLiteral("app.quorvel.Quorvel");
    QVariantMap mainInfo;
    QStringList preferredLocalizations{QStringLiteral("en")};
    QStringList availableLocalizations{QStringLiteral("en"), QStringLiteral("zh-Hans")};
    std::map<QString, BundleInfo> bundles;  // by path

    // ---- application
    ActivationPolicy ownPolicy = ActivationPolicy::regular;
    std::optional<Appearance> appearance;
    Appearance systemAppearance = Appearance::aqua;
    bool reduceMotion = false;
    QColor accentColor{0, 122, 255};
    std::map<int, std::function<void()>> applicationObservers;
    int terminateRequests = 0;
    std::function<void()> terminateHandler;

    // ---- system log
    std::vector<QString> systemLog;

    // Runs the callbacks of an observer table on the main queue; a callback
    // removed before delivery is not called.
    void postToObservers(std::map<int, std::function<void()>> Core::*table);
    void onMain(Task task);

    static QImage makeIcon(const QColor& color);
    static QColor colorFor(const QString& key);
};

// Text of an accessibility value as it appears in the log.
QString describeValue(const ax::Value& value);

}  // namespace platform::sim
