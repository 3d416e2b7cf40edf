#pragma once
// Displays of a live X11 desktop: Qt's screens when Qt itself runs on the
// X server, else the root window as one display. Read on the main thread
// and kept, so other threads read the last known list without touching Qt.
#include <QObject>
#include <QPointer>
#include <map>
#include <memory>
#include <mutex>

#include "platform/displays.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// A stable 32-bit id from a screen's name (the output's name does not change
// while it is connected); never 0.
DisplayID displayIDForName(const QString& name, int index);

// Screens from top-left rectangles (bounds and usable area), primary first:
// the bottom-left `frame` and `visibleFrame` are measured from the primary's
// bottom edge.
struct ScreenSource {
    QString name;
    Rect bounds;
    Rect available;
    double scale = 1.0;
};
std::vector<Screen> makeScreens(const std::vector<ScreenSource>& sources);
// The usable area of a display as if our own panels reserved nothing there:
// the bar's own strip is no loss of space to the bar, and a usable area that
// moved with every bar shown or hidden would rebuild the bars in a loop.
Rect giveBackOwnReservation(const Rect& bounds, const Rect& available, const std::vector<Rect>& reserved);
// The same displays with the same geometry, whatever their usable areas.
bool sameMonitors(const std::vector<Screen>& a, const std::vector<Screen>& b);

class X11Displays : public Displays, public EventListener {
public:
    // Create on the main thread.
    explicit X11Displays(std::shared_ptr<Connection> connection);
    ~X11Displays() override;

    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    DisplayID mainDisplayID() override;
    Point pointerLocation() override;
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;
    // Presses anywhere come from the input extension's raw events on the
    // root window, which reach every client that asks, take no grab and
    // leave the press to its window.
    int addMouseDownMonitor(std::function<void()> callback) override;
    void removeMouseDownMonitor(int token) override;

    // Reads the screens again (main thread) and tells the observers when they changed.
    void refresh();
    void xEvent(const xcb_generic_event_t* event) override;

private:
    struct Shared;
    std::vector<ScreenSource> readSources();
    void watchQtScreens();
    bool selectRawPresses();

    std::shared_ptr<Connection> conn_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<QObject> context_;  // owns the Qt connections
};

}  // namespace platform::x11
