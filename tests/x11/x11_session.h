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
    // Starts argv[0] (searched in PATH) with DISPLAY set, the extra
    // environment entries ("NAME=value") and `fd3` as its descriptor 3;
    // false when it could not start.
    bool start(const std::vector<std::string>& argv, const std::string& display,
               const std::vector<std::string>& extraEnvironment = {}, int fd3 = -1);
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

// Xvfb and a window manager (openbox unless asked) on a display of a test's
// own, apart from the shared session (a screen of another size, or a server
// the test ends); ended with the object.
class PrivateDesktop {
public:
    PrivateDesktop() = default;
    ~PrivateDesktop() { conn.reset(); }  // before its server ends
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;
    // Starts both, with the manager named (see Session::start); `error` says why not.
    bool start(int width, int height, std::string& error, const std::string& manager = "openbox");
    // Runs a program on this display and waits for it to end.
    bool run(const std::vector<std::string>& argv);
    // The X server goes away at once (SIGKILL).
    void killServer();
    pid_t windowManagerPid() const { return windowManager_.pid(); }

    std::string display;
    std::shared_ptr<platform::x11::Connection> conn;

private:
    Child server_;
    Child windowManager_;
};

// The desktop of this test executable, shared by its tests.
class Session {
public:
    static Session& shared();
    // Starts it with the manager named ("openbox", "mutter", "kwin", "jwm",
    // "fvwm", "awesome", "i3", "herbstluftwm", ...) in its stock
    // configuration; `error` says why not (a program not installed, say).
    bool start(std::string& error, const std::string& manager = "openbox");
    void stop();
    const std::string& display() const { return display_; }
    // The window manager's process (to freeze it in a test); -1 when not running.
    pid_t windowManagerPid() const { return desktop_ ? desktop_->windowManagerPid() : -1; }
    bool isRunning() const { return !display_.empty(); }
    static constexpr int width = 1280;
    static constexpr int height = 800;

private:
    std::string display_;
    std::unique_ptr<PrivateDesktop> desktop_;
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

private:
    bool replaced_ = false;
};

// Processes Qt events (the main queue) until the predicate holds or the time runs out.
bool pumpUntil(const std::function<bool()>& predicate, double timeoutSeconds = patience);
// Processes Qt events for a while.
void pumpFor(double seconds);

// The first viewable client of the process that matches (any, without
// `match`), waited for up to the timeout; `exists` is false when none came.
platform::x11::WindowInfo clientOf(platform::x11::Connection& conn, pid_t pid,
                                   const std::function<bool(const platform::x11::WindowInfo&)>& match = {},
                                   double timeoutSeconds = 0);
// Waits until the manager lists the window as a client.
bool waitForClient(platform::x11::Connection& conn, xcb_window_t window, double timeoutSeconds = patience);

// An xterm at the geometry ("80x24+40+40") once its window is up, on the
// shared session or the X server of `display`. Every xterm is one
// application (XTerm) unless given a WM_CLASS class of its own.
struct Terminal {
    std::unique_ptr<Child> process;
    xcb_window_t window = XCB_WINDOW_NONE;
    pid_t pid() const { return process ? process->pid() : -1; }
};
std::unique_ptr<Terminal> openTerminal(platform::x11::Connection& conn, const std::string& geometry,
                                       const std::string& title = "quorvel-test", const std::string& cls = {},
                                       const std::string& display = {});

// This test executable again, on the shared session with Qt on X11, running
// only the tests `filter` names, with the extra environment entries.
bool startSelf(Child& helper, const std::string& filter, const std::vector<std::string>& environment);

// Runs xdotool on the shared session and waits for it.
bool xdotool(const std::vector<std::string>& args);

// A window of the test's own connection, with our pid as its _NET_WM_PID and
// optionally a fixed size, on the shared session or the server of `display`.
class OwnWindow {
public:
    OwnWindow(int x, int y, int width, int height, bool fixedSize = false, const std::string& display = {});
    ~OwnWindow();
    xcb_window_t window() const { return window_; }
    void destroy();

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

// The process's viewable dialog (EWMH dialog type), waited for up to the
// timeout; XCB_WINDOW_NONE when none.
xcb_window_t dialogOf(platform::x11::Connection& conn, pid_t pid, double timeoutSeconds = 0);
// Answers the process's dialog as a person would: activates it and presses
// the key. True when that dialog then went away.
bool answerDialog(platform::x11::Connection& conn, pid_t pid, const std::string& key, double timeoutSeconds = patience);

// Asks the manager, as a pager does (source 2) unless told another source,
// to add (or take away) one or two states of the window.
void setWindowState(platform::x11::Connection& conn, xcb_window_t window, bool add, xcb_atom_t state,
                    xcb_atom_t other = XCB_ATOM_NONE, std::uint32_t source = 2);
bool isMaximised(platform::x11::Connection& conn, xcb_window_t window);
// Asks the manager to activate the window, as a pager does.
void activateWindow(platform::x11::Connection& conn, xcb_window_t window);

// The first key code that types the keysym; 0 when none does.
xcb_keycode_t keycodeOf(xcb_connection_t* connection, std::uint32_t keysym);

using ::EnvironmentOverride;

// Installs the shared session's live backend as the program does, with the
// preferences folder (or options) given; `adjust` may change the services
// before they are installed. Empty on success, else why not.
std::string installLiveBackend(const QString& preferencesDirectory,
                               const std::function<void(platform::Services&)>& adjust = {});
std::string installLiveBackend(platform::x11::BackendOptions options,
                               const std::function<void(platform::Services&)>& adjust = {});
// A connection of the test's own to the shared session; null (`error` says why) when it cannot open.
std::shared_ptr<platform::x11::Connection> openSessionConnection(std::string* error = nullptr);

// The live backend installed with preferences in `dir` (which a fixture may
// fill before this SetUp), and a connection of the test's own whose
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
