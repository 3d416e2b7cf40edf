#pragma once
// The start menu is shown outside the manager's care: a top-level window in
// no client list, found among the root window's children.
#include <cstdlib>
#include <xcb/xcb.h>

#include "platform/x11/x11_connection.h"

namespace x11test {

// The process's start menu while it is open.
inline platform::x11::WindowInfo startMenuOf(platform::x11::Connection& conn, int pid) {
    platform::x11::WindowInfo found;
    auto* tree = xcb_query_tree_reply(conn.xcb(), xcb_query_tree(conn.xcb(), conn.root()), nullptr);
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree) && !found.exists; ++i) {
        const auto info = conn.windowInfo(xcb_query_tree_children(tree)[i]);
        if (info.processID == pid && info.viewable && info.title == "Quorvel Start") found = info;
    }
    std::free(tree);
    return found;
}

// The window with the keyboard focus.
inline xcb_window_t keyboardFocus(platform::x11::Connection& conn) {
    auto* r = xcb_get_input_focus_reply(conn.xcb(), xcb_get_input_focus(conn.xcb()), nullptr);
    const xcb_window_t w = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(r);
    return w;
}

}  // namespace x11test
