#pragma once
// Displays (screens) and the pointer.
//
// Two coordinate systems, as the system describes them:
// - `frame` / `visibleFrame`: screen coordinates with the origin at the bottom
//   left of the primary display, y growing upwards;
// - `bounds`: global coordinates with the origin at the top left of the
//   primary display, y growing downwards (the window server's system).
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace platform {

using DisplayID = std::uint32_t;

struct Screen {
    DisplayID id = 0;
    QString name;
    Rect frame;         // bottom-left origin
    Rect visibleFrame;  // frame minus the menu bar and the system Dock
    Rect bounds;        // top-left origin
    double backingScale = 1.0;
    friend bool operator==(const Screen&, const Screen&) = default;
};

class Displays {
public:
    virtual ~Displays() = default;
    // The primary display (with the menu bar) first.
    virtual std::vector<Screen> screens() = 0;
    // The screen with the keyboard focus; absent with no screens.
    virtual std::optional<Screen> mainScreen() = 0;
    // The primary display's id; 0 with no screens.
    virtual DisplayID mainDisplayID() = 0;
    // Pointer location in bottom-left screen coordinates.
    virtual Point pointerLocation() = 0;
    // The window server's active displays, in its order; absent when the
    // list cannot be read. By default the ids of `screens()`.
    virtual std::optional<std::vector<DisplayID>> activeDisplayList() {
        std::vector<DisplayID> ids;
        for (const Screen& s : screens()) ids.push_back(s.id);
        return ids;
    }
    // A display's bounds (top-left origin); the zero rectangle for an id that
    // names no active display.
    virtual Rect displayBounds(DisplayID id) {
        for (const Screen& s : screens())
            if (s.id == id) return s.bounds;
        return Rect();
    }
    // Screen-parameter changes; callbacks on the main thread.
    virtual int addObserver(std::function<void()> callback) = 0;
    virtual void removeObserver(int token) = 0;
    // Pointer movement anywhere on the desktop (moves and drags), also over
    // other programs' windows; callbacks on the main thread. Returns 0 when
    // the backend cannot watch the pointer outside the program's windows.
    virtual int addPointerMonitor(std::function<void()> callback) {
        (void)callback;
        return 0;
    }
    virtual void removePointerMonitor(int token) { (void)token; }
    // A mouse button pressed anywhere on the desktop, also over other
    // programs' windows and the desktop itself; the event goes on to its
    // window unchanged. Callbacks on the main thread. Returns 0 when the
    // backend cannot watch presses outside the program's windows.
    virtual int addMouseDownMonitor(std::function<void()> callback) {
        (void)callback;
        return 0;
    }
    virtual void removeMouseDownMonitor(int token) { (void)token; }
};

Displays& displays();

}  // namespace platform
