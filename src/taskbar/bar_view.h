#pragma once
// The content of one bar panel: the start button, the task strip and the
// tray in a row over the themed background, a hairline along the top edge,
// and one context menu for the whole bar.
#include <QKeySequence>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "platform/compositor.h"
#include "platform/displays.h"
#include "services/hot_key_combo.h"

class QMenu;
class RunningAppsStore;
class WindowService;
class PinStore;
class StartIconStore;
class StartMenuPort;
class StartButton;
class TaskStripView;
class TrayView;

class BarView : public QWidget {
    Q_OBJECT
public:
    static constexpr int leadingPaddingWithoutPet = 12;
    static constexpr int leadingPaddingWithPet = 6;
    static constexpr int trailingPadding = 12;
    static constexpr int startTrailingWithoutPet = 8;
    static constexpr int startTrailingWithPet = 2;
    static constexpr int stripTrailing = 8;

    BarView(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
            StartIconStore& iconStore, StartMenuPort& startMenu, std::optional<platform::DisplayID> displayID,
            QWidget* parent = nullptr);
    ~BarView() override;

    std::optional<platform::DisplayID> displayID() const { return displayID_; }
    StartButton* startButton() const { return startButton_; }
    TaskStripView* taskStrip() const { return taskStrip_; }
    TrayView* tray() const { return tray_; }

    // Opens the settings window centred on a display (the start-up provides it).
    using OpenSettings = std::function<void(std::optional<platform::DisplayID>)>;
    void setOpenSettings(OpenSettings action) { openSettings_ = std::move(action); }

    // The background colour and opacity in effect.
    QColor backgroundColor() const;

    // The bar-wide context menu, built afresh from the settings; the caller
    // owns it.
    QMenu* makeContextMenu();
    // How many times the bar-wide menu was asked for (right clicks that
    // reached the bar itself).
    int contextMenuRequests() const { return contextMenuRequests_; }
    QMenu* lastContextMenu() const;

    // The menu shortcut of a stored combination; none for a key without one.
    static std::optional<QKeySequence> keyboardShortcut(const services::HotKeyCombo& combo);
    // The alert for a pinned application that could not be opened; "Unpin"
    // removes the pin when it is still there.
    static void offerUnpinAfterOpenFailure(const QString& bundleID, const QString& displayName, PinStore& pinStore);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void relayout();
    void settingChanged(const QString& key);

    RunningAppsStore* store_;
    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_;
    StartIconStore& iconStore_;
    StartMenuPort& startMenu_;
    std::optional<platform::DisplayID> displayID_;
    OpenSettings openSettings_;

    StartButton* startButton_ = nullptr;
    TaskStripView* taskStrip_ = nullptr;
    TrayView* tray_ = nullptr;
    QWidget* hairline_ = nullptr;
    int contextMenuRequests_ = 0;
    QPointer<QMenu> lastMenu_;
    int appearanceObserver_ = 0;
    std::unique_ptr<platform::CompositorObservation> compositorObservation_;
};
