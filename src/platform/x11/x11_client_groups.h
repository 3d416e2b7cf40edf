#pragma once
// Applications of clients that name no process of this machine.
//
// A window normally belongs to the process in its _NET_WM_PID. Some clients
// never set it (xcalc, xeyes and other Xt/Xlib programs), and a client of
// another machine (ssh -X; WM_CLIENT_MACHINE names another host) has a
// process id that means nothing here. Such windows still form applications:
// one per client leader (WM_CLIENT_LEADER, else the WM_HINTS window group,
// else the window itself) and WM_CLASS class. Each such application gets an
// identifier from a range no process id of this machine reaches (Linux
// process ids stay below 2^22), so it can stand where a process id is
// expected, and nothing is ever signalled with it.
#include <QString>
#include <cstdint>
#include <optional>
#include <xcb/xcb.h>

namespace platform::x11 {

constexpr std::int32_t clientGroupBase = 0x40000000;

inline bool isClientGroup(std::int32_t id) { return id >= clientGroupBase; }

// The application identifier of a window: its process id when it names a
// process of this machine, else the identifier of its client group (stable
// for the life of the program).
std::int32_t applicationIdFor(std::int32_t processID, bool local, xcb_window_t leader, const QString& wmClassClass);

// True when the client machine is this one (or unnamed, as most local
// clients that do not set it).
bool isLocalMachine(const std::optional<QString>& clientMachine, const QString& hostName);

}  // namespace platform::x11
