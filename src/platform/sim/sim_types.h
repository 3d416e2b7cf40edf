#pragma once
// Value types that describe what lives on the simulated desktop: the
// applications and windows a test adds, injected faults, and window-server
// entry keys.
#include <QColor>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "platform/workspace.h"

namespace platform::sim {

struct AppSpec {
    std::int32_t pid = 0;  // 0: the desktop picks the next free one
    QString bundleID{};      // empty: the application reports none
    QString name{};
    QString bundlePath{};    // empty: none
    QString executablePath{};
    ActivationPolicy policy = ActivationPolicy::regular;
    bool hidden = false;
    bool active = false;   // becomes the frontmost application
    bool finishedLaunching = true;
    bool hasIcon = true;
    std::optional<QColor> iconColor{};  // absent: derived from the bundle id
};

struct WindowSpec {
    QString title{};
    Rect frame{100, 100, 800, 600};  // global top-left coordinates
    QString subrole = QStringLiteral("AXStandardWindow");
    QString role = QStringLiteral("AXWindow");
    bool minimized = false;
    bool fullScreen = false;
    bool hasCloseButton = true;
    bool onScreen = true;      // false: ordered out (not in the on-screen list)
    std::int64_t layer = 0;
    double alpha = 1.0;
    bool focused = false;      // becomes the application's focused and main window
    int space = 0;             // 0: the space that is current when it is added
};

// A fault injected into one attribute (read or write) or action.
struct Fault {
    enum class Kind {
        failure,      // the request returns ax::Error::failure
        wrongType,    // a read returns a value of another type
        timeout,      // the application does not answer in time
        noValue,      // a read returns ax::Error::noValue
        unsupported,  // attributeUnsupported / actionUnsupported
    };
    Kind kind = Kind::failure;
    // timeout: how long the application would take to answer. A request
    // whose element's messaging timeout is shorter times out and costs that
    // timeout; otherwise it succeeds after `seconds`.
    double seconds = std::numeric_limits<double>::infinity();
    // wrongType: the value returned (monostate: one of another type is chosen).
    ax::Value value{};

    static Fault of(Kind kind) {
        Fault f;
        f.kind = kind;
        return f;
    }
    static Fault failure() { return of(Kind::failure); }
    static Fault wrongType(ax::Value v = {}) {
        Fault f = of(Kind::wrongType);
        f.value = std::move(v);
        return f;
    }
    static Fault timeout(double seconds = std::numeric_limits<double>::infinity()) {
        Fault f = of(Kind::timeout);
        f.seconds = seconds;
        return f;
    }
    static Fault noValue() { return of(Kind::noValue); }
    static Fault unsupported() { return of(Kind::unsupported); }
};

// The messaging timeout of an element nobody has set one on.
constexpr double defaultMessagingTimeout = 6.0;
// Height of the menu bar on the primary display.
constexpr double menuBarHeight = 25.0;
// Windows at or below this layer are desktop elements.
constexpr std::int64_t desktopIconLayer = -2147483603;

// Keys of a window server entry, as the window server describes a window.
namespace window_keys {
inline const QString number = QStringLiteral("kCGWindowNumber");
inline const QString ownerPID = QStringLiteral("kCGWindowOwnerPID");
inline const QString layer = QStringLiteral("kCGWindowLayer");
inline const QString bounds = QStringLiteral("kCGWindowBounds");  // map of X, Y, Width, Height
inline const QString alpha = QStringLiteral("kCGWindowAlpha");
inline const QString isOnScreen = QStringLiteral("kCGWindowIsOnscreen");
inline const QString ownerName = QStringLiteral("kCGWindowOwnerName");
inline const QString name = QStringLiteral("kCGWindowName");
}  // namespace window_keys

}  // namespace platform::sim
