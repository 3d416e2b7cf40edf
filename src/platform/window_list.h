#pragma once
// The window server's list of windows.
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace platform {

// One entry of the window list. A field that is missing or of the wrong type
// in the window server's description is absent here.
struct WindowRecord {
    std::optional<std::int64_t> number;
    std::optional<std::int64_t> ownerPID;
    std::optional<std::int64_t> layer;
    std::optional<Rect> bounds;  // global top-left coordinates
    std::optional<double> alpha;
    std::optional<bool> isOnScreen;
    std::optional<QString> ownerName;
    std::optional<QString> name;
    // False for a window its window manager frames (a title bar, borders):
    // such a window may span a whole display (maximised while nothing
    // reserves an edge) without being full screen. Absent when the window
    // server cannot tell.
    std::optional<bool> isBorderless;
};

enum WindowListOption : unsigned {
    windowListAll = 0,
    windowListOnScreenOnly = 1 << 0,
    windowListOnScreenAboveWindow = 1 << 1,
    windowListOnScreenBelowWindow = 1 << 2,
    windowListIncludingWindow = 1 << 3,
    windowListExcludeDesktopElements = 1 << 4,
};

class WindowServer {
public:
    virtual ~WindowServer() = default;
    // Front to back. Absent when the window server gives no list.
    virtual std::optional<std::vector<WindowRecord>> copyWindowList(unsigned options, std::int64_t relativeTo) = 0;
    // A number that moves whenever the window list may have changed. While
    // it stays the same, a poll can take its last answer again. Absent when
    // this window server cannot tell: every poll then reads afresh.
    virtual std::optional<std::uint64_t> changeCount() { return std::nullopt; }
    // Calls back on the main thread soon after changeCount() moved (once for
    // a burst of changes), so a poll that found nothing to do can rest until
    // then. Returns 0 when this window server cannot tell.
    virtual int addChangeObserver(std::function<void()> callback) {
        (void)callback;
        return 0;
    }
    virtual void removeChangeObserver(int token) { (void)token; }
};

WindowServer& windowServer();

}  // namespace platform
