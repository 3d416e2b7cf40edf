#pragma once
// Windows a program shows outside the manager's care (its menus): top-level
// windows in no client list, found among the root window's children.
#include <cstdlib>
#include <functional>
#include <xcb/xcb.h>

#include "platform/x11/x11_connection.h"

namespace x11test {

// A viewable top-level window of the process that matches.
inline platform::x11::WindowInfo topLevelOf(platform::x11::Connection& conn, int pid,
                                            const std::function<bool(const platform::x11::WindowInfo&)>& match) {
    platform::x11::WindowInfo found;
    auto* tree = xcb_query_tree_reply(conn.xcb(), xcb_query_tree(conn.xcb(), conn.root()), nullptr);
    if (!tree) return found;
    auto* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found.exists; ++i) {
        const auto info = conn.windowInfo(children[i]);
        if (info.processID == pid && info.viewable && match(info)) found = info;
    }
    std::free(tree);
    return found;
}

// The start menu of the process, while it is open.
inline platform::x11::WindowInfo startMenuOf(platform::x11::Connection& conn, int pid) {
    return topLevelOf(conn, pid, [](const platform::x11::WindowInfo& i) { return i.title == "Quorvel Start"; });
}

// The window with the keyboard focus.
inline xcb_window_t keyboardFocus(platform::x11::Connection& conn) {
    auto* r = xcb_get_input_focus_reply(conn.xcb(), xcb_get_input_focus(conn.xcb()), nullptr);
    const xcb_window_t w = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(r);
    return w;
}

}  // namespace x11test
