#include "taskbar/bar_panel_controller.h"

#include <QPointer>

#include "platform/platform.h"
#include "taskbar/start_menu_port.h"
#include "windows/bar_metrics.h"
#include "taskbar/bar_panel.h"
#include "taskbar/bar_view.h"
#include "taskbar/fullscreen_monitor.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/screen_geometry.h"

BarPanelController::BarPanelController(std::shared_ptr<FullscreenDetecting> detector, QObject* parent)
    : QObject(parent),
      monitor_(FullscreenMonitor::create(detector ? std::move(detector) : std::make_shared<AXFullscreenDetector>())) {}

BarPanelController::~BarPanelController() {
    monitor_->stop();
    stopObservingScreens();
    closeAll();
}

void BarPanelController::start(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore) {
    store_ = store;
    service_ = std::move(service);
    pinStore_ = pinStore;
    // Bars shown ahead stand as long as the displays are the ones they were made for.
    const bool keep = shownAhead_ && !panels_.empty() && lastConfiguration_ == currentConfiguration();
    shownAhead_ = false;
    if (!keep) rebuild();
    if (!screenObserver_) {
        QPointer<BarPanelController> self(this);
        screenObserver_ = platform::displays().addObserver([self] {
            if (self) self->screenParametersChanged();
        });
    }
    QPointer<BarPanelController> self(this);
    monitor_->setOnChange([self](std::optional<platform::DisplayID> display) {
        if (self) self->fullscreenChanged(display);
    });
    monitor_->start();
}

void BarPanelController::stopObservingScreens() {
    if (screenObserver_ && platform::isInstalled() && platform::installed().displays)
        platform::displays().removeObserver(*screenObserver_);
    screenObserver_.reset();
}

BarPanelController::Configuration BarPanelController::currentConfiguration() const {
    return Configuration{BarMetrics::barScreens(), BarMetrics::barThickness()};
}

void BarPanelController::screenParametersChanged() {
    if (lastConfiguration_ && *lastConfiguration_ == currentConfiguration()) return;
    rebuild();
}

void BarPanelController::rebuild() {
    ++rebuilds_;
    StartMenuPort::current().close();
    closeAll();
    const Configuration config = currentConfiguration();
    lastConfiguration_ = config;
    for (const auto& screen : config.screens) {
        BarPanel* panel = makePanel(screen, config.thickness);
        panels_.push_back(panel);
        // A display that is full screen keeps its bar hidden until the
        // application leaves full screen.
        if (!(fullscreenDisplay_ && *fullscreenDisplay_ == panel->displayID())) panel->show();
    }
    // The map requests are out: the views are built while the window
    // manager takes the bars in.
    for (BarPanel* panel : panels_) attachView(panel);
    emit panelsRebuilt();
}

void BarPanelController::showPanels(RunningAppsStore* store, std::shared_ptr<WindowService> service,
                                    PinStore* pinStore) {
    if (!panels_.empty()) return;
    store_ = store;
    service_ = std::move(service);
    pinStore_ = pinStore;
    rebuild();
    shownAhead_ = true;
}

BarPanel* BarPanelController::makePanel(const platform::Screen& screen, double thickness) {
    auto* panel = new BarPanel(screen.id);
    // Display bounds share Qt's global coordinates (top left, y downwards):
    // the bar is the band of the bar's thickness at the display's bottom edge.
    const platform::Rect b = screen.bounds.standardized();
    const platform::Rect frame(b.minX(), b.maxY() - thickness, b.width(), thickness);
    panel->setGeometry(screen_geometry::toQRect(frame));
    return panel;
}

void BarPanelController::attachView(BarPanel* panel) {
    if (!store_ || !service_ || !pinStore_) return;
    std::optional<platform::DisplayID> id;
    if (panel->displayID() != 0) id = panel->displayID();
    auto* view = new BarView(store_, service_, pinStore_, StartIconStore::shared(), StartMenuPort::current(), id,
                             panel);
    view->setOpenSettings(openSettings_);
    panel->setContentView(view);
}

void BarPanelController::closeAll() {
    for (BarPanel* panel : panels_) {
        panel->hide();
        panel->setContentView(nullptr);
        panel->deleteLater();
    }
    panels_.clear();
}

BarPanel* BarPanelController::panel(platform::DisplayID id) const {
    for (BarPanel* p : panels_)
        if (p->displayID() == id) return p;
    return nullptr;
}

void BarPanelController::fullscreenChanged(std::optional<platform::DisplayID> display) {
    const auto previous = fullscreenDisplay_;
    if (display == previous) return;
    fullscreenDisplay_ = display;
    if (previous)
        if (BarPanel* p = panel(*previous)) p->show();
    if (!display) return;
    auto& startMenu = StartMenuPort::current();
    if (startMenu.presentedScreenID() == display) startMenu.close();
    if (BarPanel* p = panel(*display)) p->hide();
}
