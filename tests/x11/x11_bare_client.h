#pragma once
// An X client made by the test on a connection of its own, with exactly the
// properties a test gives it: no _NET_WM_PID unless asked, any WM_CLASS,
// client leader, client machine, icon or urgency.
#include <xcb/xcb.h>

#include <QByteArray>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace x11test {

class BareClient {
public:
    BareClient();
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    struct Options {
        QByteArray instance = "bare";
        QByteArray cls = "Bare";
        QByteArray title = "bare-window";
        std::uint32_t pid = 0;          // 0: no _NET_WM_PID
        QByteArray machine;             // empty: no WM_CLIENT_MACHINE
        xcb_window_t leader = XCB_WINDOW_NONE;  // none: no WM_CLIENT_LEADER
        bool leaderIsSelf = false;
        std::vector<std::uint32_t> icon;  // _NET_WM_ICON as given
        std::vector<std::pair<QByteArray, QByteArray>> texts;  // UTF-8 properties by name
    };
    // Creates and maps a window; returns it.
    xcb_window_t open(const Options& options, int x = 100, int y = 100);
    void setUrgent(xcb_window_t window, bool urgent);
    xcb_connection_t* connection() const { return conn_; }
    xcb_atom_t atom(const char* name);

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> windows_;
};

}  // namespace x11test
