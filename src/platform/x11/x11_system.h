#pragma once
// The program as an application of a live X11 desktop, for the parts that
// the desktop itself has no answer to.
#include <QObject>
#include <QPointer>
#include <QWindow>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <array>
#include <vector>

#include "platform/geometry.h"
#include "platform/application.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_xsettings.h"

class QTimer;
class QWindow;

namespace platform::x11 {

// Our own bar panels are frameless top-level windows that stay on top and
// never take the focus. On X11 such a window becomes a dock-type window on
// every desktop, skipped by task bars and pagers, so the window manager keeps
// it above normal windows, never focuses it and never lists it.
bool isPanelWindowFlags(int windowFlags);
// A popup panel of ours (the start menu) is a frameless top-level tool window
// that stays on top and takes the keyboard. It opens where we put it: under
// a manager that places such windows itself (herbstluftwm puts every window
// it floats at its own spot), it is shown again outside the manager's care
// (override-redirect, as the menus of other panels are), focused by us.
bool isPopupPanelWindowFlags(int windowFlags);

// The area a panel reserves at the screen edge it sits on, as the twelve
// values of _NET_WM_STRUT_PARTIAL (left, right, top, bottom, then the start
// and end of each edge's span), measured from the edges of the whole X screen
// (`root`) as the window manager wants them. A panel along the bottom or top
// edge of its display reserves from the screen edge to its far side, over its
// own width; a panel on neither edge reserves nothing. Device pixels.
std::array<std::uint32_t, 12> strutFor(const Rect& panel, const Rect& display, const Rect& root);
// Where our own panels reserved space in this run (top-left coordinates of
// Qt, one rectangle per strip), for the displays to give back: the bar is
// not something that takes space from itself.
std::vector<Rect> ownReservedAreas();

// Gives the heap the start-up freed back to the system, once the bars are
// up and have been quiet for `startUpSettleSeconds`. Code pages stay: read
// back from disk, they made the first start-menu opening several
// milliseconds slower on a desktop where no other Qt program runs.
void releaseStartUpMemory();
constexpr double startUpSettleSeconds = 3.0;

class X11Application : public Application {
public:
    // Create on the main thread. `quit` ends the run loop (default: Qt's quit).
    X11Application(std::shared_ptr<Connection> connection, std::function<void()> quit = {});
    ~X11Application() override;

    void setActivationPolicy(ActivationPolicy policy) override;
    ActivationPolicy activationPolicy() override;
    void activateIgnoringOtherApps() override;
    void setAppearance(std::optional<Appearance> appearance) override;
    std::optional<Appearance> appearance() override;
    Appearance effectiveAppearance() override;
    bool reduceMotion() override;
    QColor accentColor() override;
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;
    void terminate() override;
    void followFrame(QWindow* window, std::function<void()> changed) override;
    std::optional<QMargins> frameMargins(QWindow* window) override;
    void moveToCurrentDesktop(QWindow* window) override;

    // Makes a window of ours a panel (see above); done for every panel-like
    // window by itself as soon as its native window exists.
    void preparePanel(QWindow* window);
    // After the panel is mapped: on every desktop, skipped by pagers and task bars.
    void announcePanel(QWindow* window);
    // Withdraws a mapped window of ours and maps it again, to be managed anew.
    void remanage(xcb_window_t window);
    // Reserves the panel's strip at its display's edge (or releases it when
    // the panel is hidden), so maximised windows stop at the bar.
    void reservePanelArea(QWindow* window, bool shown);
    // Our top-level windows in the order they were last shown.
    void noteShown(QWindow* window);

private:
    class Filter;
    class Watcher;
    void notify();
    // Main thread: the manager configured one of our windows, or changed the
    // frame it gives one.
    void ownWindowConfigured(xcb_window_t window);
    void ownFrameChanged(xcb_window_t window);
    void keepFrameOnScreen(QWindow* panel, xcb_window_t window);
    void forgetPanel(QWindow* window);
    void preparePopup(QWindow* window);
    void placePopup(QWindow* window);
    void releasePopup(QWindow* window);
    void followIconTheme();

    std::shared_ptr<Connection> conn_;
    std::function<void()> quit_;
    std::unique_ptr<Filter> filter_;
    std::unique_ptr<QTimer> releaseTimer_;  // gives back start-up memory once the panels are quiet
    // The desktop's theme and animation switches; its changes, and changes of
    // the palette Qt takes from the desktop, reach the observers.
    std::shared_ptr<X11Application*> self_;
    std::unique_ptr<XSettingsWatcher> xsettings_;
    std::mutex mutex_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    std::optional<Appearance> appearance_;
    std::map<int, std::function<void()>> observers_;
    int next_ = 1;
    std::vector<QPointer<QWindow>> shown_;  // main thread
    // Main thread: our panels and the windows whose frame is followed, by
    // their X window.
    std::map<xcb_window_t, QWindow*> panels_;
    std::map<xcb_window_t, std::function<void()>> frameFollowers_;
    std::unique_ptr<Watcher> watcher_;
};

}  // namespace platform::x11
