#pragma once
// The program as an application of the desktop: activation, appearance and
// the system's display options.
#include <QColor>
#include <QMargins>
#include <functional>
#include <optional>

#include "platform/workspace.h"

class QWindow;

namespace platform {

enum class Appearance { aqua, darkAqua };

class Application {
public:
    virtual ~Application() = default;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual ActivationPolicy activationPolicy() = 0;
    virtual void activateIgnoringOtherApps() = 0;
    // Absent: follow the system.
    virtual void setAppearance(std::optional<Appearance> appearance) = 0;
    virtual std::optional<Appearance> appearance() = 0;
    // What is in effect: the set appearance, else the system's.
    virtual Appearance effectiveAppearance() = 0;
    virtual bool reduceMotion() = 0;
    virtual QColor accentColor() = 0;
    // Appearance or display-option changes; callbacks on the main thread.
    virtual int addObserver(std::function<void()> callback) = 0;
    virtual void removeObserver(int token) = 0;
    // Ends the program's run loop (the termination path runs first).
    virtual void terminate() = 0;

    // Asks the window manager for the frame (title bar, borders) it will give
    // one of our windows, best before it is shown, and calls `changed` on the
    // main thread whenever that frame arrives or changes, so a window placed
    // by its frame can be placed again. A null callback stops following.
    // Nothing to do where frames are known at once.
    virtual void followFrame(QWindow* window, std::function<void()> changed) {
        (void)window;
        (void)changed;
    }
    // The frame the window manager says it gives one of our windows (in the
    // window's own points), where it says so; Qt's own reckoning can miss it
    // (a manager that frames a window but names no frame support).
    virtual std::optional<QMargins> frameMargins(QWindow* window) {
        (void)window;
        return std::nullopt;
    }
    // Brings one of our windows to the virtual desktop the user is on.
    virtual void moveToCurrentDesktop(QWindow* window) { (void)window; }
};

Application& application();

}  // namespace platform
