#pragma once
// Owns every bar panel and the full-screen monitor: one panel per chosen
// display, rebuilt when the screens or a bar setting change, and hidden while
// an application is full screen on its display.
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/displays.h"

class BarPanel;
class FullscreenMonitor;
class FullscreenDetecting;
class PinStore;
class RunningAppsStore;
class WindowService;

class BarPanelController : public QObject {
    Q_OBJECT
public:
    // The detector defaults to the accessibility one.
    explicit BarPanelController(std::shared_ptr<FullscreenDetecting> detector = nullptr, QObject* parent = nullptr);
    ~BarPanelController() override;

    // Shows the bars for the current displays ahead of the rest of the
    // launch: their windows first, then their views. `start` keeps these
    // bars while the displays stay as they were.
    void showPanels(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore);
    void start(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore);
    void rebuild();
    // Screen configuration changed: rebuilds only when what the bars depend
    // on differs from the last build, so changes our own panels cause can
    // never loop.
    void screenParametersChanged();
    void closeAll();
    void fullscreenChanged(std::optional<platform::DisplayID> display);
    // Stops listening to screen changes (the workspace stop does this).
    void stopObservingScreens();

    const std::vector<BarPanel*>& panels() const { return panels_; }
    BarPanel* panel(platform::DisplayID id) const;
    std::optional<platform::DisplayID> fullscreenDisplay() const { return fullscreenDisplay_; }
    FullscreenMonitor& fullscreenMonitor() const { return *monitor_; }
    int rebuildCount() const { return rebuilds_; }

    // Opens the settings window centred on a display, for the bars' "Settings…".
    using OpenSettings = std::function<void(std::optional<platform::DisplayID>)>;
    void setOpenSettings(OpenSettings action) { openSettings_ = std::move(action); }

signals:
    void panelsRebuilt();

private:
    struct Configuration {
        std::vector<platform::Screen> screens;
        double thickness = 0;
        friend bool operator==(const Configuration&, const Configuration&) = default;
    };
    Configuration currentConfiguration() const;
    BarPanel* makePanel(const platform::Screen& screen, double thickness);
    // Gives a panel its bar view, once there is a store to show (after the
    // panels are shown, so their map requests go out first).
    void attachView(BarPanel* panel);

    std::vector<BarPanel*> panels_;
    std::shared_ptr<FullscreenMonitor> monitor_;
    std::optional<platform::DisplayID> fullscreenDisplay_;
    RunningAppsStore* store_ = nullptr;
    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_ = nullptr;
    std::optional<int> screenObserver_;
    std::optional<Configuration> lastConfiguration_;
    OpenSettings openSettings_;
    int rebuilds_ = 0;
    bool shownAhead_ = false;
};
