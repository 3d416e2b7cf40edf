#pragma once
// A private X server with a window manager for the live-desktop tests, and
// helpers to run real clients on it. Every wait is bounded.
#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_connection.h"
#include "support/environment_override.h"

namespace x11test {

// The one deadline of a live test's waits for an event or a state: generous,
// because a busy machine may take long to deliver what always comes. A test
// that passes never waits for it.
inline constexpr double patience = 30.0;

// A child process that dies with the test and is ended by the destructor.
class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // Starts argv[0] (searched in PATH) with DISPLAY set; false when it could not start.
    bool start(const std::vector<std::string>& argv, const std::string& display, int extraFd = -1, int extraFdTarget = -1,
               const std::vector<std::string>& extraEnvironment = {});
    pid_t pid() const { return pid_; }
    // Started as a process group of its own, which stop() ends whole: what a
    // wrapper such as dbus-run-session started (the bus) goes with it.
    void ownProcessGroup() { ownGroup_ = true; }
    bool running();
    // SIGTERM, then SIGKILL after the timeout; always reaps.
    void stop(double timeoutSeconds = 2.0);
    // Waits for the process to end by itself; false when it is still running.
    bool waitForExit(double timeoutSeconds);
    // The exit code of a process that ended by calling exit; -1 while it
    // runs or when a signal ended it.
    int exitCode() const { return exitCode_; }

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    bool ownGroup_ = false;
};

// Starts Xvfb on a free display with a screen of the size: the display
// (":N"), or empty with the reason in `error`.
std::string startXServer(Child& server, int width, int height, std::string& error);

// Waits until the window manager on `display` manages windows: it announces
// itself before it has finished starting, and a window mapped during its
// start-up is lost, so it is ready once a probe window becomes its client.
bool waitUntilManaging(platform::x11::Connection& conn, const std::string& display);

// Xvfb and openbox on a display of a test's own, apart from the shared
// session (a screen of another size, or a server the test ends); ended with
// the object.
class PrivateDesktop {
public:
    PrivateDesktop() = default;
    ~PrivateDesktop() { conn.reset(); }  // before its server ends
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;
    bool start(int width, int height, std::string& error);
    // Runs a program on this display and waits for it to end.
    bool run(const std::vector<std::string>& argv);
    // The X server goes away at once (SIGKILL).
    void killServer();

    std::string display;
    std::shared_ptr<platform::x11::Connection> conn;

private:
    Child server_;
    Child windowManager_;
};

// How one window manager is started in a test session, with its stock
// configuration. `program` is looked for in PATH; `package` names the Debian
// package a missing program comes from.
struct WindowManager {
    std::string name;
    std::string program;
    std::vector<std::string> argv;
    std::string package;
};
// The managers the live tests know by name ("openbox", "mutter", "kwin",
// "jwm", "fvwm", "awesome", "i3", "herbstluftwm", ...); null for an unknown one.
const WindowManager* windowManagerNamed(const std::string& name);
// The manager every session runs unless a test asks for another.
const WindowManager& defaultWindowManager();

// The X server (Xvfb) and window manager (openbox unless asked) of this test executable.
class Session {
public:
    static Session& shared();
    // Starts both; on failure `error` says which program is missing or failed.
    bool start(std::string& error, const WindowManager& manager = defaultWindowManager());
    void stop();
    // The manager the running session started with.
    const std::string& windowManagerName() const { return manager_; }
    const std::string& display() const { return display_; }
    // The window manager's process (to freeze it in a test); -1 when not running.
    pid_t windowManagerPid() const;
    bool isRunning() const { return !display_.empty(); }
    static constexpr int width = 1280;
    static constexpr int height = 800;

private:
    std::string display_;
    std::string manager_;
    std::unique_ptr<Child> server_;
    std::unique_ptr<Child> windowManager_;
};

// For the life of the object the shared session runs another window manager
// on a fresh X server; the default session comes back afterwards. `skipReason`
// is set (and nothing started) when the manager is not installed, so the test
// can skip with it; `error` when it is installed but did not come up.
class ManagerSession {
public:
    explicit ManagerSession(const std::string& name);
    ~ManagerSession();
    ManagerSession(const ManagerSession&) = delete;
    ManagerSession& operator=(const ManagerSession&) = delete;
    std::string skipReason;
    std::string error;
};

// Processes Qt events (the main queue) until the predicate holds or the time runs out.
bool pumpUntil(const std::function<bool()>& predicate, double timeoutSeconds = patience);
// Processes Qt events for a while.
void pumpFor(double seconds);

// An xterm at the given geometry ("80x24+40+40"); waits for its window. Every
// xterm is one application (XTerm) unless given a WM_CLASS class of its own.
struct Terminal {
    std::unique_ptr<Child> process;
    xcb_window_t window = XCB_WINDOW_NONE;
    pid_t pid() const { return process ? process->pid() : -1; }
};
// On the shared session, or on the X server of `display` when given.
std::unique_ptr<Terminal> openTerminal(platform::x11::Connection& conn, const std::string& geometry,
                                       const std::string& title = "quorvel-test", const std::string& cls = {},
                                       const std::string& display = {});

// Starts this test executable again as a helper on the shared session (its
// X server and manager, not ones of its own), with Qt on X11, running only
// the tests `filter` names, with the extra environment entries.
bool startSelf(Child& helper, const std::string& filter, const std::vector<std::string>& environment);

// Runs xdotool with the arguments and waits for it (bounded).
bool xdotool(const std::vector<std::string>& args);

// A window made by the test itself on its own connection, owned by our own
// process (its _NET_WM_PID), with optional fixed size hints.
class OwnWindow {
public:
    // On the shared session, or on the X server of `display` when given.
    OwnWindow(int x, int y, int width, int height, bool fixedSize = false, const std::string& display = {});
    ~OwnWindow();
    xcb_window_t window() const { return window_; }
    xcb_connection_t* connection() const { return conn_; }
    void destroy();

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

// The viewable dialog (EWMH dialog type) of the process now, or XCB_WINDOW_NONE.
xcb_window_t dialogOf(platform::x11::Connection& conn, pid_t pid);
// The same, waited for up to the timeout.
xcb_window_t waitForDialog(platform::x11::Connection& conn, pid_t pid, double timeoutSeconds = patience);
// Answers the process's dialog as a person would: activates it and presses
// the key (xdotool). True when that dialog then went away.
bool answerDialog(platform::x11::Connection& conn, pid_t pid, const std::string& key, double timeoutSeconds = patience);
// Settings of a user whose Dock question was answered on a desktop with a
// Dock ("Move to right edge"); a desktop without one ignores them.
bool seedFirstRunAnswered(const QString& preferencesDirectory);

// Asks the manager to add (or take away) one or two states of the window,
// as a pager does (source 2) unless told another source; sent at once.
void setWindowState(platform::x11::Connection& conn, xcb_window_t window, bool add, xcb_atom_t state,
                    xcb_atom_t other = XCB_ATOM_NONE, std::uint32_t source = 2);
// Maximised along both sides, as the manager marks it.
bool isMaximised(platform::x11::Connection& conn, xcb_window_t window);
// Asks the manager to activate the window, as a pager does.
void activateWindow(platform::x11::Connection& conn, xcb_window_t window);

// The first key code that types the keysym on the connection's keyboard; 0 when none does.
xcb_keycode_t keycodeOf(xcb_connection_t* connection, std::uint32_t keysym);

// Waits until the manager lists the window as a client.
bool waitForClient(platform::x11::Connection& conn, xcb_window_t window, double timeoutSeconds = patience);

using ::EnvironmentOverride;

// Installs the live backend of the shared session as the program does, with
// preferences in the folder. `adjust` may change the services (a log, the
// alerts) before they are installed. Empty on success, else why not.
std::string installLiveBackend(const QString& preferencesDirectory,
                               const std::function<void(platform::Services&)>& adjust = {});
// The same with options of the test's own; the display is the session's.
std::string installLiveBackend(platform::x11::BackendOptions options,
                               const std::function<void(platform::Services&)>& adjust = {});
// A connection of the test's own to the shared session: null, with the
// reason in `error`, when it cannot be opened.
std::shared_ptr<platform::x11::Connection> openSessionConnection(std::string* error = nullptr);

// A test of this process's live backend on the shared session, installed
// with preferences in a folder of the test's own (`dir`, which a fixture may
// fill before calling this SetUp), and a connection of the test's own whose
// listeners are told on the main queue.
class LiveBackendTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString prefs() const { return dir.filePath(QStringLiteral("prefs")); }

    QTemporaryDir dir;
    std::shared_ptr<platform::x11::Connection> conn;
};

}  // namespace x11test
