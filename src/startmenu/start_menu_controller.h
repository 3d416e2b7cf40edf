#pragma once
// The one start-menu controller of the process: opens the menu's panel above
// the bar of the chosen display, closes it, and keeps the installed
// applications scanned.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch.h"
#include "platform/displays.h"
#include "taskbar/start_menu_port.h"

// The start menu's borderless panel; unlike a bar it takes keyboard focus.
class StartMenuPanel : public QWidget {
    Q_OBJECT
public:
    explicit StartMenuPanel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class StartMenuController : public StartMenuPort {
    Q_OBJECT
public:
    static constexpr double reopenGuard = 0.25;
    static constexpr double fadeOutDuration = 0.12;
    static constexpr double panelWidth = 360;
    static constexpr double panelHeight = 420;

    static StartMenuController& shared();
    static void resetShared();
    StartMenuController();
    ~StartMenuController() override;

    bool isOpen() const override { return panel_ != nullptr; }
    StartMenuPanel* panel() const { return panel_; }
    std::optional<platform::DisplayID> presentedScreenID() const override { return presentedScreenID_; }
    bool didLoadApps() const { return didLoadApps_; }
    double lastClosedAt() const { return lastClosedAt_; }
    const QStringList& apps() const { return apps_; }
    bool isScanning() const { return scanning_; }

    // The installed-applications scan; runs off the main thread and returns
    // the paths it found. Replaceable for tests.
    using Scanner = std::function<QStringList(const QStringList& known)>;
    void setScanner(Scanner scanner) { scanner_ = std::move(scanner); }

    void loadAppsIfNeeded();
    void toggle(bool fromClick) override;
    void open() override;
    void close() override;

signals:
    void panelChanged();
    void didLoadAppsChanged();

private:
    void applyScannedApps(const QStringList& apps);
    std::optional<platform::Screen> chooseScreen() const;

    QPointer<StartMenuPanel> panel_;
    std::optional<platform::DisplayID> presentedScreenID_;
    QStringList apps_;
    bool didLoadApps_ = false;
    bool scanning_ = false;
    double lastClosedAt_ = 0;
    Scanner scanner_;
    std::optional<platform::SerialQueue> scanQueue_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
