#pragma once
// A whole macOS-like desktop in memory: applications and their windows with
// accessibility attributes, the Dock's badges, the window server's list,
// displays, power, login item, hot keys, session requests, updater cycles,
// alerts, child processes, bundles and the preferences, behind every
// interface of src/platform. Tests install a fresh one per test (see
// tests/support/sim_fixture.h); the demo loads one from a JSON scenario.
//
// Threads: every method is safe from any thread (one lock guards the
// model). Callbacks the platform promises on the main thread (observers,
// notifications, completions, hot-key handlers) are posted on the main
// queue, so with the manual clock they run on pump()/advance().
//
// A fresh desktop has (unless Options say otherwise): one 1440x900 display,
// the program's own application (pid 100, "app.quorvel.Quorvel"), the Dock
// application ("com.apple.dock"), a trusted process, and an updater.
//
// The log records, in order, every write and action made through the
// platform interfaces (not the changes a test makes through this class):
//   ax.set pid=<pid> win=<n> <attribute> <value>[ -> <error>]
//   ax.set pid=<pid> app <attribute> <value>
//   ax.action pid=<pid> win=<n> AXRaise         ax.action pid=<pid> win=<n> close AXPress
//   ax.action pid=<pid> el=<identity> AXPress   ax.prompt
//       values: point "x,y", size "WxH", bool "true"/"false", text in quotes;
//       " -> <code>" is appended when the call returned an error
//   workspace.activate pid=<pid>[ all]   workspace.hide|unhide|terminate|forceTerminate pid=<pid>
//   workspace.openApplication <path>   workspace.openURL <url>   workspace.reveal <path>
//   prefs.set <domain> <key>   prefs.remove <domain> <key>   prefs.save <domain> unchanged|failed
//   hotkey.register key=<code> mods=0x<hex> id=<sig>/<id> -> <status>
//   hotkey.unregister ref=<ref>   hotkey.installHandler ref=<ref>   hotkey.removeHandler ref=<ref>
//   login.register   login.unregister   login.openSettings
//   session.lock   session.sleep   session.event <four-char event id>
//   updater.start   updater.check
//   alert "<message>" "<informative>" [<buttons>] -> <result>   beep
//   process.run <executable> <arguments...>   process.launch <executable> <arguments...>
//   process.load <library> <symbol>
//   app.setActivationPolicy regular|accessory|prohibited   app.activate
//   app.setAppearance light|dark|system   app.terminate
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_types.h"

namespace platform::sim {

class SimAccessibility;
class SimWorkspace;
class SimWindowServer;
class SimDisplays;
class SimHotKeys;

struct SimulatedDesktopOptions {
    bool threaded = false;  // true: real threads and Qt's main loop
    std::shared_ptr<prefs::Backend> preferences;  // null: in memory
    bool defaultDisplay = true;
    bool ownApplication = true;
    bool dock = true;
    bool updater = true;
    double startTime = 1000.0;  // manual clock only
};

class SimulatedDesktop : public std::enable_shared_from_this<SimulatedDesktop> {
public:
    using Options = SimulatedDesktopOptions;

    static std::shared_ptr<SimulatedDesktop> create(Options options = {});
    // A desktop populated from a scenario; null with *error set when the
    // scenario is malformed. A scenario brings its own displays: the
    // default display is only added when it names none.
    static std::shared_ptr<SimulatedDesktop> fromScenarioFile(const QString& path, Options options, QString* error);
    static std::shared_ptr<SimulatedDesktop> fromScenarioJson(const QByteArray& json, Options options, QString* error);

    ~SimulatedDesktop();
    SimulatedDesktop(const SimulatedDesktop&) = delete;
    SimulatedDesktop& operator=(const SimulatedDesktop&) = delete;

    Services services() const;
    void install();  // platform::install(services())

    // ---- time
    bool isThreaded() const { return !core_->manual; }
    // The manual clock (only without Options::threaded).
    ManualDispatcher& clock();
    void pump();
    void advance(double seconds);
    double now() const;

    // ---- log
    std::vector<QString> log() const;
    void clearLog();
    // Lines that start with the prefix, in order.
    std::vector<QString> logLines(const QString& prefix) const;
    std::vector<QString> systemLog() const;

    // ---- preferences
    // The in-memory store (null when Options gave a backend of their own).
    std::shared_ptr<prefs::MemoryBackend> memoryPreferences() const { return memoryPrefs_; }

    // ---- applications
    std::int32_t addApplication(AppSpec given);
    void terminateApplication(std::int32_t pid);
    void activateApplication(std::int32_t pid);
    void setHidden(std::int32_t pid, bool hidden);
    void setFinishedLaunching(std::int32_t pid, bool finished);
    // The application ignores polite termination requests.
    void setTerminateRefused(std::int32_t pid, bool refused);
    std::optional<RunningApplication> application(std::int32_t pid) const;
    std::int32_t frontmostPid() const;  // 0: none
    std::int32_t ownPid() const;
    std::int32_t dockPid() const;  // 0: no Dock
    // Posts a workspace notification (a space change, waking) to observers.
    void postWorkspaceNotification(const QString& name, std::int32_t pid = 0);
    void setOpenApplicationResult(const QString& path, OpenResult result);
    void setOpenURLResult(const QString& url, bool ok);
    void setDisplayName(const QString& path, const QString& name);
    // Whether a file viewer answers "reveal" requests (it does by default).
    void setFileViewerAvailable(bool available);

    // ---- windows (numbers double as window-server window numbers)
    std::uint64_t addWindow(std::int32_t pid, WindowSpec given = {});
    void removeWindow(std::uint64_t window);
    void setWindowFrame(std::uint64_t window, Rect frame);
    // A window manager mid-way through a move and resize: the window takes
    // `frame` right after its position is next read, so a reader that asks
    // for position and then size sees a frame the window never had.
    void setFrameAfterNextPositionRead(std::uint64_t window, Rect frame);
    void setWindowTitle(std::uint64_t window, const QString& title);
    void setMinimized(std::uint64_t window, bool minimized);
    void setFullScreen(std::uint64_t window, bool fullScreen);
    void setOnScreen(std::uint64_t window, bool onScreen);
    void setWindowSpace(std::uint64_t window, int space);
    void setFocusedWindow(std::int32_t pid, std::uint64_t window);
    void raiseWindow(std::uint64_t window);
    void setCurrentSpace(int space);  // posts the space-change notification
    int currentSpace() const;
    // The window as it is now (frame, flags, title).
    std::optional<WindowSpec> window(std::uint64_t window) const;
    std::vector<std::uint64_t> windowsOf(std::int32_t pid) const;  // front to back
    std::vector<std::uint64_t> windowOrder() const;                // all, front to back
    std::uint64_t focusedWindow(std::int32_t pid) const;          // 0: none

    // ---- accessibility elements
    ax::Element applicationElement(std::int32_t pid) const;
    ax::Element windowElement(std::uint64_t window) const;  // invalid when there is no such window
    ax::Element closeButtonElement(std::uint64_t window) const;
    // A plain element under a parent (an application or another plain
    // element), listed in the parent's "AXChildren" after what it had.
    ax::Element addElement(const ax::Element& parent, std::map<QString, ax::Value> attributes = {});
    void removeElement(const ax::Element& element);
    // Sets (or, with monostate, makes valueless) an attribute of any element;
    // it takes precedence over what the model computes.
    void setElementAttribute(const ax::Element& element, const QString& attribute, ax::Value value);
    void clearElementAttribute(const ax::Element& element, const QString& attribute);
    double messagingTimeout(const ax::Element& element) const;  // 0: never set

    // ---- the Dock's items and badges
    ax::Element addDockItem(const QString& title, const QString& path, const QString& badge = {});
    // Sets the "AXStatusLabel" of the item for the path; empty removes it.
    void setDockBadge(const QString& path, const QString& badge);

    // ---- faults
    // attribute "*": every attribute of the element.
    void setAttributeFault(const ax::Element& element, const QString& attribute, Fault fault);
    void setWriteFault(const ax::Element& element, const QString& attribute, Fault fault);
    void setActionFault(const ax::Element& element, const QString& action, Fault fault);
    void clearFaults();
    // Every request to the application's elements times out.
    void setUnresponsive(std::int32_t pid, bool unresponsive);
    void setResizeRefused(std::uint64_t window, bool refused);
    void setMoveRefused(std::uint64_t window, bool refused);
    void setMaxSize(std::uint64_t window, std::optional<Size> size);
    void setMinSize(std::uint64_t window, std::optional<Size> size);
    // Time requests spent waiting for answers that timed out or came late,
    // by the label of the queue that asked ("main" on the main thread).
    double blockedSeconds(const std::string& queueLabel) const;

    // ---- trust
    void setTrusted(bool trusted);
    int trustPrompts() const;
    std::size_t liveObserverCount() const;

    // ---- window server
    void setWindowListUnavailable(bool unavailable);
    // An entry the window server reports besides the windows, at a position
    // of the front-to-back list; always listed as on screen.
    void addRawWindowEntry(QVariantMap entry, int position = 0);
    void clearRawWindowEntries();
    // Replaces a field of a window's entry (nullopt removes it).
    void corruptWindowEntry(std::uint64_t window, const QString& key, std::optional<QVariant> value);

    // ---- displays (the first is the primary; bounds in global top-left coordinates)
    DisplayID addDisplay(Rect bounds, const QString& name = {}, double scale = 1.0);
    void removeDisplay(DisplayID id);
    void setDisplayBounds(DisplayID id, Rect bounds);
    void setMainScreen(DisplayID id);  // the screen with the keyboard focus
    // The pointer in global top-left coordinates (pointerLocation() reports
    // it flipped to bottom-left screen coordinates).
    // Pointer monitors hear of every change.
    void setPointer(Point globalTopLeft);
    // A mouse button pressed at the pointer over something that is not the
    // program's (another application's window, the desktop): mouse-down
    // monitors hear of it.
    void pressMouseElsewhere();
    // The window server's display list cannot be read (activeDisplayList()).
    void setDisplayListUnavailable(bool unavailable);

    // ---- power sources
    void setPowerSources(std::optional<std::vector<QVariantMap>> descriptions);
    static QVariantMap battery(int percent, bool charging, bool onACPower);

    // ---- login item
    void setLoginItemStatus(LoginItemStatus status);
    void setLoginItemErrors(std::optional<QString> onRegister, std::optional<QString> onUnregister);

    // ---- hot keys
    // The combination belongs to another application: registering it fails.
    void takeHotKeyElsewhere(std::uint32_t keyCode, std::uint32_t modifiers, bool taken = true);
    void setHotKeyRegistrationStatus(std::optional<OSStatus> status);
    bool pressHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
    std::vector<HotKeyRegistration> registeredHotKeys() const;

    // ---- session
    // The screen lock loads its function through the installed process
    // launcher (scripted with setLoadableFunction, or a real library when a
    // test installs the host's launcher); sleep launches the power-management
    // command (scripted with setProcessOutcome).
    void setSessionEventResult(std::uint32_t eventID, OSStatus status);
    // Where the screen lock looks for its library (the system's path by default).
    void setScreenLockLibrary(const QString& path);

    // ---- updater
    void setUpdaterStartResult(bool ok);
    // May be called from any thread; the observer runs on the calling thread.
    void setCanCheckForUpdates(bool can);
    bool updaterStarted() const;
    int updateChecks() const;
    // The updater's calls into the program, on the main queue.
    void updaterWillInstall();
    void updaterAbort();
    void updaterFinishCycle();

    // ---- alerts
    // Button indexes the next alerts answer with (the first button when none is queued).
    void queueAlertAnswers(std::vector<int> buttonIndexes);
    std::vector<AlertRecord> alertsShown() const;
    int beepCount() const;

    // ---- processes
    // How runs and launches of the executable end (by default they start
    // and exit with status 0); a launch reports the end on the main queue.
    void setProcessOutcome(const QString& executable, ProcessResult result);
    static ProcessResult exitedWith(int status);
    static ProcessResult cannotStart(const QString& error);
    std::vector<std::pair<QString, QStringList>> processRuns() const;
    void setLoadableFunction(const QString& library, const QString& symbol, std::function<int()> function);

    // ---- bundles
    void setMainBundleIdentifier(const QString& identifier);
    void setMainInfoValue(const QString& key, QVariant value);
    void setPreferredLocalizations(QStringList localizations);
    void addBundle(const QString& path, const QString& bundleID, QVariantMap info = {});

    // ---- the program as an application
    void setSystemAppearance(Appearance appearance);
    void setReduceMotion(bool reduce);
    void setAccentColor(QColor color);
    int terminateRequests() const;
    void setTerminateHandler(std::function<void()> handler);
    // Whether a compositing manager runs (it does unless a test says not);
    // main thread, observers are told at once.
    void setCompositingActive(bool active);
    bool compositingActive() const;

    // ---- installed applications: real folders of application bundles
    // The folders the start menu scans; none until a test or a scenario
    // points them somewhere. Tests may set their own locations on it.
    BundleFolders& applicationFolders() const { return *applicationFolders_; }
    // A private home folder for this desktop (created at first use, removed
    // with the desktop). Its "Applications" folder is the user's, and
    // "<home>/System" stands in for the machine's own folders, so the scan
    // looks at "<home>/System/Applications", "<home>/System/System/Applications",
    // "<home>/Applications" and "<home>/System/System/Library/CoreServices/Finder.app".
    QString homeDirectory();
    // Creates "<folder>/<fileName>/Contents/Info.plist" declaring the
    // identifier (none when empty) and returns the bundle path, or an empty
    // text when it could not be written.
    static QString writeBundle(const QString& folder, const QString& fileName, const QString& bundleID);

    // The shared model (for the sim's own parts).
    const std::shared_ptr<Core>& core() const { return core_; }
    SimWindowServer& windowServer() const;

private:
    explicit SimulatedDesktop(const Options& options);
    template <typename F>
    auto locked(F&& f) const {
        std::lock_guard lock(core_->mutex);
        return f(*core_);
    }

    Options options_;
    std::shared_ptr<Core> core_;
    std::shared_ptr<prefs::MemoryBackend> memoryPrefs_;
    Services services_;
    std::shared_ptr<SimHotKeys> hotKeys_;
    std::shared_ptr<SimWindowServer> windowServer_;
    std::shared_ptr<BundleFolders> applicationFolders_;
    std::unique_ptr<QTemporaryDir> home_;
    std::shared_ptr<ManualCompositor> compositor_;
    std::int32_t dockPid_ = 0;
    std::uint64_t dockList_ = 0;
};

}  // namespace platform::sim
