#pragma once
// What a client window's info is made of, as the X server answered: the
// decoding half of reading windows, apart from the requests so that it runs
// (and is tested) without a server.
#include <xcb/xcb.h>

#include <cstdint>

#include "platform/x11/x11_connection.h"

#include <QByteArray>

namespace platform::x11 {

// One property of a window as the server answered it: absent when the
// request failed (the window is gone), else its type, format (8, 16 or 32)
// and value. The value is not owned: it points into the server's reply.
struct PropertyValue {
    bool present = false;
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    const void* data = nullptr;
    int length = 0;  // bytes

    static PropertyValue of(const xcb_get_property_reply_t* reply);
};

// The bytes of an 8-bit property; empty for another format.
QByteArray bytes(const PropertyValue& p);

// The properties WindowInfo is read from, all asked for in one round trip.
struct WindowProperties {
    PropertyValue pid{}, machine{}, desktop{}, state{}, types{}, actions{}, frame{}, shadow{}, netName{}, wmName{},
        wmClass{}, gtkId{}, transient{}, opacity{}, leader{}, hints{};
};

// Replaces what the info knows from properties by what the answers say
// (window, client area, viewable and exists stay as they were; the pid is
// _NET_WM_PID as given, for the caller to turn into the application). False
// when the window is gone. `utf8String` is the UTF8_STRING atom.
bool decodeWindowProperties(const WindowProperties& properties, xcb_atom_t utf8String, WindowInfo& info);

}  // namespace platform::x11
