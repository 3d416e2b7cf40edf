#pragma once
// The real program started on the live-desktop tests' X session, in a home
// of its own, and what the tests read back from the X server: its windows
// and the pixels a person sees.
#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/x11/x11_connection.h"
#include "x11_session.h"

namespace x11test {

// The medium bar, the default, along the bottom of the session's display.
constexpr int barHeight = 44;
constexpr int barTop = Session::height - barHeight;

// What the X server shows in a rectangle of the root window (no compositor:
// exactly what a person sees); null when it cannot be read.
QImage screenImage(xcb_connection_t* c, xcb_window_t root, const QRect& r);

// Writes the program's settings domain into the folder before it starts:
// the plist dictionary's entries as they stand ("<key>k</key><true/>...").
bool writeSettings(const QString& preferencesDirectory, const char* entries);
// Settings of a user whose Dock question was answered on a desktop with a
// Dock ("Move to right edge"); a desktop without one ignores them.
bool seedFirstRunAnswered(const QString& preferencesDirectory);

// A fixture that runs the program (`launch`) and stops it at the end of the
// test, with the terminals the test opened.
class ProgramTest : public ::testing::Test {
public:
    // The program built beside the test executable.
    static std::string binary();
    // The environment the program runs in ("NAME=value"): the home's folders,
    // and session commands that run nothing, so a test never locks, suspends
    // or ends the machine's session.
    static std::vector<std::string> programEnvironment(const QString& home);

protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program (ending a copy this test runs) with the extra
    // environment entries, and waits for its bar.
    bool launch(const std::vector<std::string>& extraEnvironment = {});
    void writeSettings(const char* entries) { ASSERT_TRUE(x11test::writeSettings(home.path(), entries)); }

    bool isBar(const platform::x11::WindowInfo& info);
    // The bar among the clients (a fixture may look further).
    virtual platform::x11::WindowInfo bar();
    // The program's open menus (override-redirect windows that belong to
    // another of its windows), in root coordinates; tool tips left out.
    std::vector<QRect> popups();
    // Waits until the bar's strip draws something in the slot around x (a
    // task button), where it first showed the empty bar.
    bool waitForTaskButton(int x);
    // Waits until a client holds the global shortcut, as xdotool names it
    // ("ctrl+alt+space"), or with `held` false, until none does.
    bool waitForShortcut(const std::string& keys, bool held = true, double timeoutSeconds = patience);
    // Does `act` (a click, a key press) until `done` holds, at most `tries`
    // times, each waited on for a third of the patience: a press on a freshly
    // shown or focused window may not reach it yet.
    bool repeatUntil(const std::function<void()>& act, const std::function<bool()>& done, int tries = 3);
    // Whether the manager's work area ends at the bar's top edge.
    bool workAreaEndsAtBar();
    // The program's settings window, whichever pane it shows.
    platform::x11::WindowInfo settingsWindow();
    // The pointer over the bar, wherever the manager's own panel is (stock
    // configurations bring one, often along the same edge and above ours:
    // jwm's tray covers the lower 25 px).
    void pointAtBar(int x);
    // Opens the settings from the bar's context menu, clicking its first
    // entry ("Settings…"): not every manager lets the menu have the
    // keyboard. The window once shown and, with `active`, the active window.
    platform::x11::WindowInfo openSettingsFromBar(bool active = true);
    // A CARDINAL (or other 32-bit typed) property of the window, at most 16
    // values; empty when unset.
    std::vector<std::uint32_t> cardinals(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type = XCB_ATOM_CARDINAL);
    // An xterm of the test's, ended with the test; `cls` as for openTerminal.
    Terminal& terminal(const std::string& geometry, const std::string& title = "quorvel-test",
                       const std::string& cls = {});

    std::shared_ptr<platform::x11::Connection> conn;
    QTemporaryDir home;
    std::unique_ptr<Child> app;
    std::vector<std::unique_ptr<Terminal>> terminals;
};

}  // namespace x11test
