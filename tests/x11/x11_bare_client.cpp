#include "x11_bare_client.h"

#include <cstdlib>
#include <cstring>

#include "x11_session.h"

namespace x11test {

BareClient::BareClient() {
    conn_ = xcb_connect(Session::shared().display().c_str(), nullptr);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
}

BareClient::~BareClient() { xcb_disconnect(conn_); }

xcb_atom_t BareClient::atom(const char* name) {
    auto* r = xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (r) a = r->atom;
    std::free(r);
    return a;
}

xcb_window_t BareClient::open(const Options& o, int x, int y) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    const xcb_window_t w = xcb_generate_id(conn_);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, w, root_, std::int16_t(x), std::int16_t(y), 200, 120, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
    auto set = [&](xcb_atom_t property, xcb_atom_t type, int format, std::uint32_t count, const void* data) {
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, property, type, std::uint8_t(format), count, data);
    };
    set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, std::uint32_t(o.title.size()), o.title.constData());
    const QByteArray cls = o.instance + '\0' + o.cls + '\0';
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, std::uint32_t(cls.size()), cls.constData());
    if (o.pid) set(atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &o.pid);
    if (!o.machine.isEmpty())
        set(XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8, std::uint32_t(o.machine.size()), o.machine.constData());
    const xcb_window_t leader = o.leaderIsSelf ? w : o.leader;
    if (leader != XCB_WINDOW_NONE) set(atom("WM_CLIENT_LEADER"), XCB_ATOM_WINDOW, 32, 1, &leader);
    if (!o.icon.empty()) set(atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, std::uint32_t(o.icon.size()), o.icon.data());
    for (const auto& [name, text] : o.texts)
        set(atom(name.constData()), atom("UTF8_STRING"), 8, std::uint32_t(text.size()), text.constData());
    xcb_map_window(conn_, w);
    xcb_flush(conn_);
    windows_.push_back(w);
    return w;
}

void BareClient::setUrgent(xcb_window_t window, bool urgent) {
    // WM_HINTS: only the flags word matters here (urgency is bit 8).
    std::uint32_t hints[9] = {};
    hints[0] = urgent ? (1u << 8) : 0u;
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
    xcb_flush(conn_);
}

}  // namespace x11test
