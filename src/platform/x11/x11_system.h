#pragma once
// The program as an application of a live X11 desktop and the alerts, for
// the parts that the desktop itself has no answer to.
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/x11/x11_connection.h"

class QWindow;

namespace platform::x11 {

// Our own bar panels are frameless top-level windows that stay on top and
// never take the focus. On X11 such a window becomes a dock-type window on
// every desktop, skipped by task bars and pagers, so the window manager keeps
// it above normal windows, never focuses it and never lists it.
bool isPanelWindowFlags(int windowFlags);

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

    // Makes a window of ours a panel (see above); done for every panel-like
    // window by itself as soon as its native window exists.
    void preparePanel(QWindow* window);
    // After the panel is mapped: on every desktop, skipped by pagers and task bars.
    void announcePanel(QWindow* window);

private:
    class Filter;
    void notify();

    std::shared_ptr<Connection> conn_;
    std::function<void()> quit_;
    std::unique_ptr<Filter> filter_;
    std::mutex mutex_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    std::optional<Appearance> appearance_;
    std::map<int, std::function<void()>> observers_;
    int next_ = 1;
};

// Alerts without a window toolkit of their own at this layer: the text goes to
// the system log and the default (first) button is the answer. The program
// may install alerts drawn with its widgets instead.
class DefaultButtonAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;
    void beep() override;
};

}  // namespace platform::x11
