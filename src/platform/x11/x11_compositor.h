#pragma once
// The compositing manager of the live desktop: one runs while some client
// owns the selection _NET_WM_CM_S<screen>. The owner is read once; from then
// on the X server reports every change of owner (XFixes selection events),
// so following a compositor that starts or stops costs no round trip.
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/compositor.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// The same watch follows any manager selection of the screen: the system
// tray's host owns _NET_SYSTEM_TRAY_S<screen> while it runs.
constexpr const char* compositorSelection = "_NET_WM_CM_S";
constexpr const char* systemTraySelection = "_NET_SYSTEM_TRAY_S";

class X11Compositor : public Compositor, private EventListener {
public:
    // `selectionPrefix`: the selection's name without the screen number.
    explicit X11Compositor(std::shared_ptr<Connection> conn, const char* selectionPrefix = compositorSelection);
    ~X11Compositor() override;

    bool isActive() override;
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;
    // False when the server lacks XFixes: then the owner read at start holds.
    bool followsChanges() const { return xfixesEvent_ != 0; }

private:
    void xEvent(const xcb_generic_event_t* event) override;
    void publish(bool active);

    std::shared_ptr<Connection> conn_;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    std::uint8_t xfixesEvent_ = 0;  // the selection-notify event code; 0: none
    // Main thread only.
    bool published_ = false;
    int nextToken_ = 1;
    std::map<int, std::function<void()>> observers_;
    // Lets a delivery that arrives after destruction do nothing.
    std::shared_ptr<X11Compositor*> self_;
};

}  // namespace platform::x11
