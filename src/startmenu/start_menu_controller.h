#pragma once
// The one start-menu controller of the process. It owns the installed
// applications and their background scan, the two launcher stores, and while
// the menu is open the panel, the model of that opening and what closes the
// menu again: the panel losing the keyboard focus, the program losing the
// active state, another application becoming active, and a mouse press in any
// of our windows outside the panel (its own context menus count as inside).
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dispatch.h"
#include "platform/displays.h"
#include "startmenu/start_menu_data.h"
#include "taskbar/start_menu_port.h"

namespace motion {
class ClockAnimation;
}
class StartMenuView;

// The start menu's borderless panel; unlike a bar it takes keyboard focus.
class StartMenuPanel : public QWidget {
    Q_OBJECT
public:
    explicit StartMenuPanel(QWidget* parent = nullptr);
    StartMenuView* view() const { return view_; }
    void setView(StartMenuView* view);
    // Hands the view over, hidden and without a parent.
    StartMenuView* takeView();

signals:
    // The panel stopped being the window with the keyboard focus.
    void resignedKey();

protected:
    void changeEvent(QEvent* event) override;

private:
    StartMenuView* view_ = nullptr;
};

class StartMenuController : public StartMenuPort {
    Q_OBJECT
public:
    static constexpr double reopenGuard = 0.25;
    // How long after a close or a new list of applications the next
    // opening's panel is made.
    static constexpr double spareDelay = 0.3;
    // How long a lost activation may take to come back before it closes the menu.
    static constexpr double activationRegainGrace = 0.1;
    static constexpr double fadeInDuration = 0.18;
    static constexpr double fadeOutDuration = 0.12;
    static constexpr double fadeInStartOpacity = 0.05;
    static constexpr double panelWidth = 360;
    static constexpr double panelHeight = 420;

    static StartMenuController& shared();
    static void resetShared();
    StartMenuController();
    ~StartMenuController() override;

    // The panel's place for a display: 8 points right of its left edge, its
    // bottom 6 points above the bar's top edge, 360 by 420. `screenFrame` is
    // in the platform's bottom-left screen coordinates; the result is in Qt's
    // top-left global coordinates.
    static QRect panelGeometry(const platform::Rect& screenFrame, double primaryHeight, double barThickness);
    // The same place beside a bar's frame as the window manager placed it
    // (Qt's global coordinates): above a bar in the lower half of its
    // display, below one in the upper half.
    static QRect panelGeometryNextTo(const QRect& barFrame, const QRect& screenRect);
    // The frame of the shown bar of a display, if there is one.
    static std::optional<QRect> barFrameOn(platform::DisplayID display);

    bool isOpen() const override { return panel_ != nullptr; }
    StartMenuPanel* panel() const { return panel_; }
    std::optional<platform::DisplayID> presentedScreenID() const override { return presentedScreenID_; }
    bool didLoadApps() const { return didLoadApps_; }
    double lastClosedAt() const { return lastClosedAt_; }
    const std::vector<InstalledApp>& apps() const { return apps_; }
    bool isScanning() const { return scanning_; }
    StartMenuModel* menuModel() const { return menuModel_; }
    LauncherPinStore& launcherPins() { return *launcherPins_; }
    LauncherRecentsStore& launcherRecents() { return *launcherRecents_; }

    // The installed-applications scan; runs off the main thread with the
    // applications already known. Replaceable for tests.
    using Scanner = std::function<std::vector<InstalledApp>(const std::vector<InstalledApp>& known)>;
    void setScanner(Scanner scanner) { scanner_ = std::move(scanner); }
    // Opens the settings window on a display; the start-up hands it in.
    using OpenSettings = std::function<void(std::optional<platform::DisplayID>)>;
    void setOpenSettings(OpenSettings open) { openSettings_ = std::move(open); }

    void loadAppsIfNeeded();
    void toggle(bool fromClick) override;
    void open() override;
    void close() override;
    void applyScannedApps(std::vector<InstalledApp> apps);
    // Makes the panel of the next opening ahead of it; nothing while open or
    // before the first scan.
    void prepareNextOpening();
    void launchApp(const QString& path);
    void perform(SessionAction action);

    // Whether opening and closing fade: a pet on the start button, motion
    // allowed, and a compositor that draws window opacity.
    static bool fadeApplies();

signals:
    void panelChanged();
    void didLoadAppsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<platform::Screen> chooseScreen() const;
    void stopWatching();
    bool isInsidePanel(QWidget* widget) const;
    bool pointerIsOverPanel() const;

    QPointer<StartMenuPanel> panel_;
    std::optional<platform::DisplayID> presentedScreenID_;
    std::vector<InstalledApp> apps_;
    // What the scans are given as the known list: `apps_` as it was when the
    // first of them since its last change started.
    std::shared_ptr<const std::vector<InstalledApp>> knownForScan_;
    bool didLoadApps_ = false;
    bool scanning_ = false;
    // Decoding the rows' icons ahead of the first opening, a chunk a turn,
    // for the first rows of the list only: a few screenfuls.
    static constexpr qsizetype iconWarmChunk = 8;
    static constexpr int iconWarmRows = 64;
    static constexpr double iconWarmPause = 0.005;
    std::uint64_t iconWarmGeneration_ = 0;
    void warmIcons();
    void warmIconsFrom(std::shared_ptr<const QStringList> paths, qsizetype from, std::uint64_t generation);
    QPointer<StartMenuModel> menuModel_;
    // The last opening's model, kept for the next one while the applications
    // stay the same, so its search index is not built again.
    QPointer<StartMenuModel> reusableModel_;
    QPointer<StartMenuPanel> lastPanel_;
    // The last closed panel's view, out of its window and still following
    // the reusable model: the next opening over that model puts it in its
    // panel instead of building the view and its list again.
    QPointer<StartMenuView> keptView_;
    void forgetKeptView();
    // A hidden panel around the view of the reusable model, its window made
    // and its rows drawn once while nobody waits: the next opening shows it.
    QPointer<StartMenuPanel> sparePanel_;
    StartMenuModel* modelForOpening();
    StartMenuView* viewFor(StartMenuModel& model);
    StartMenuPanel* spareFor(const StartMenuModel* model) const;
    void dropSparePanel();
    void prepareNextOpeningSoon();
    std::vector<QMetaObject::Connection> observers_;
    int workspaceObserver_ = 0;
    int mouseDownMonitor_ = 0;
    bool clickMonitor_ = false;
    // One of the panel's own popups just closed; the panel gets the focus back.
    bool popupClosing_ = false;
    double lastClosedAt_ = 0;
    std::unique_ptr<LauncherPinStore> launcherPins_;
    std::unique_ptr<LauncherRecentsStore> launcherRecents_;
    SessionActions sessionActions_;
    Scanner scanner_;
    OpenSettings openSettings_;
    std::optional<platform::SerialQueue> scanQueue_;
    // The desktop's everyday applications, once it named them: the pins' seed.
    std::optional<QStringList> seedBundleIDs_;
    std::shared_ptr<motion::ClockAnimation> fadeIn_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
