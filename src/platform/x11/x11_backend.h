#pragma once
// The live desktop: the platform's services on a real X11 session with an
// EWMH window manager, so the same program manages real windows.
//
// How the system's concepts map onto X11, and what happens where X11 has no
// counterpart:
//
// - Applications are the window manager's clients (_NET_CLIENT_LIST)
//   grouped by _NET_WM_PID. Clients without one, and clients of another
//   machine (WM_CLIENT_MACHINE), whose process ids mean nothing here, are
//   grouped by client leader and WM_CLASS under an identifier outside the
//   range of process ids (x11_client_groups.h). Launch order is the
//   processes' start time, client groups last.
// - Bundle identifier: the id of the matching .desktop file (by
//   _GTK_APPLICATION_ID, StartupWMClass or WM_CLASS), else the WM_CLASS
//   class. Bundle path: that .desktop file, else /proc/<pid>/exe. Name: the
//   desktop file's, else the WM_CLASS class. Another copy of this program
//   (same executable) carries our own bundle identifier.
// - Activation policy: "regular" for a process with a normal window that does
//   not skip the task bar, "accessory" otherwise and for ourselves.
// - Hiding an application has no X11 counterpart: its windows are minimised
//   and an application-level hidden flag is kept; unhiding restores just the
//   windows the hide minimised. A window of a hidden application restored by
//   other means clears the flag.
// - Activation: _NET_ACTIVE_WINDOW on the application's frontmost window.
//   Quit: _NET_CLOSE_WINDOW on each window. Force quit: SIGKILL, only to a
//   process that owns a window on this machine and is not ourselves; a
//   client group's connections are killed by the X server instead.
// - Workspace notifications are synthesised: launch and termination from
//   the client list (a process's first window appears / its last one goes),
//   activation from _NET_ACTIVE_WINDOW, space changes from
//   _NET_CURRENT_DESKTOP. Wake from sleep is never reported.
// - Accessibility: trust is always granted (X11 has no permission). Windows
//   are elements; an application's "AXWindows" are its clients on the current
//   desktop, front to back. Position and size are the visible outer frame
//   (client area plus _NET_FRAME_EXTENTS, minus _GTK_FRAME_EXTENTS). Writes
//   go through _NET_MOVERESIZE_WINDOW and wait (bounded by the element's
//   messaging timeout, else 0.5 s) for the manager's configure notification,
//   so a following read shows what the manager granted. A maximised window
//   leaves the maximised state before a frame write, since the manager would
//   otherwise keep it maximised. Minimised is _NET_WM_STATE_HIDDEN (set with
//   WM_CHANGE_STATE, cleared by mapping the window), full screen is
//   _NET_WM_STATE_FULLSCREEN, the title _NET_WM_NAME or WM_NAME. Subrole:
//   "AXStandardWindow" for normal windows, "AXDialog", "AXFloatingWindow"
//   (utility, toolbar, menu, and any window that skips the task bar) or
//   "AXUnknown". The close button is an element of its own when the allowed
//   actions include closing (or the manager lists none). Raise is
//   _NET_ACTIVE_WINDOW. The messaging timeout bounds write waits; reads are
//   answered by the X server, not by the application, so they never hang.
// - Observers: configure and property events of the clients and the root
//   window ("AXWindowMoved", "AXWindowResized", "AXWindowMiniaturized",
//   "AXWindowDeminiaturized", "AXTitleChanged", "AXWindowCreated",
//   "AXUIElementDestroyed", "AXFocusedWindowChanged", "AXMainWindowChanged",
//   "AXApplicationActivated"/"Deactivated"); "AXApplicationHidden"/"Shown"
//   come from our own hide and unhide.
// - Window list: the stacking list front to back; on screen means viewable,
//   not minimised and on the current desktop. Layers: 0 for normal windows,
//   3 for windows kept above, 20 for docks (our own bars among them), 101 for
//   menus and notifications; desktop windows are the desktop elements.
//   Alpha is _NET_WM_WINDOW_OPACITY. Spaces are EWMH desktops.
// - Displays: Qt's screens when Qt runs on the X server, else the root window
//   as one display; the id is a hash of the output's name. No space is
//   reserved with struts: keeping windows off the bar is the constraint
//   engine's job. Our bar panels (frameless, on top, never focused) become
//   dock-type windows on all desktops, skipped by pagers and task bars.
// - Unread badges: the session bus's launcher-entry signal and windows that
//   ask for attention, offered as the Dock's accessibility tree
//   (x11_launcher_entry.h); that Dock is listed among the running
//   applications but is no process and never has a button.
// - Global shortcuts: XGrabKey on the root window with every Caps Lock /
//   Num Lock variant; the virtual key codes of the ANSI layout map to key
//   symbols, command to Super (Mod4), option to Alt (Mod1). A combination
//   another client holds reports "taken".
// - No Dock exists: the Dock's preference domain is an ordinary file and its
//   restart command is not run (one log line says so). The login item is an
//   XDG autostart entry, power comes from /sys/class/power_supply, lock / sleep /
//   log out / restart / shut down go to loginctl and systemctl (only when the
//   options name their folder), and there is no update
//   framework. Alerts are modal message boxes the user answers; the beep is
//   the X bell.
// - Compositing: a compositing manager runs while the selection
//   _NET_WM_CM_S<screen> has an owner; XFixes reports each change of owner.
#include <QString>
#include <memory>
#include <optional>

#include "platform/platform.h"

namespace platform::x11 {

struct BackendOptions {
    QString display;               // empty: the DISPLAY environment variable
    QString preferencesDirectory;  // empty: the default folder
    double windowManagerWait = 1.0;  // how long to wait for the manager to answer
    // Where loginctl and systemctl are. Only the program's own start-up on
    // a live desktop names the real one; empty (tests): every session
    // request is refused and no command runs.
    QString sessionCommandFolder;
};

class Connection;

// The connection to the display once its EWMH manager answers; none with a
// reason when there is no usable X11 session. Needs no Qt application and
// may run on any thread, so it can be made while Qt starts.
std::shared_ptr<Connection> openDesktop(const BackendOptions& options, QString* error);

// The services of the live desktop (host parts for preferences, processes,
// log and bundles); absent with a reason when there is no usable X11
// session. Call on the main thread, after the Qt application exists.
std::optional<Services> makeServices(QString* error);
std::optional<Services> makeServices(const BackendOptions& options, QString* error);
// The same over a connection openDesktop made.
Services makeServices(std::shared_ptr<Connection> connection, const BackendOptions& options);

}  // namespace platform::x11
