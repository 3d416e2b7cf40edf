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
#include <map>
#include <mutex>
#include <optional>
#include <set>
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

// Running applications as a Linux user sees them: the windows of one
// application key (its desktop entry, else its WM_CLASS class) are one
// application whatever process owns them; five xterms are one XTerm. A
// window joins the application its key already has; a key seen for the
// first time starts an application named by the window's own identifier
// (its process, else its client group), so a program of one process keeps
// its process id. Windows without a key stay with their process.
//
// The application of a window stays the same for as long as it is managed,
// and an application's identifier lives while any of its windows does, even
// after the process it was named by has gone. Every connection of this
// program to the display sees the same applications: a window is held by
// each connection that reads it, and goes when the last one lets it go.
class ApplicationGroups {
public:
    static ApplicationGroups& shared();

    // The application of a managed window, which `holder` now holds.
    std::int32_t join(const void* holder, xcb_window_t window, const QString& key, std::int32_t ownId);
    // The application a window would have, without holding it (for windows
    // that are not managed).
    std::int32_t peek(xcb_window_t window, const QString& key, std::int32_t ownId) const;
    void leave(const void* holder, xcb_window_t window);
    void leaveAll(const void* holder);
    // Windows held now (for tests).
    std::size_t size() const;

private:
    void release(std::map<xcb_window_t, std::pair<std::int32_t, std::set<const void*>>>::iterator it);

    mutable std::mutex mutex_;
    std::map<xcb_window_t, std::pair<std::int32_t, std::set<const void*>>> windows_;  // application, holders
    std::map<std::int32_t, std::size_t> windowCounts_;
    std::map<QString, std::int32_t> byKey_;
    std::map<std::int32_t, std::set<QString>> keysOf_;
};

}  // namespace platform::x11
