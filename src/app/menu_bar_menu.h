#pragma once
// The menu-bar item's menu: settings, updates, quit. Its texts follow the
// language setting each time it opens; the update entry follows the update
// controller as it changes.
#include <QMenu>
#include <functional>

class QAction;
class QIcon;
class QSystemTrayIcon;

class MenuBarMenu : public QMenu {
    Q_OBJECT
public:
    MenuBarMenu(std::function<void()> openSettings, std::function<void()> quit, QWidget* parent = nullptr);

    QAction* openSettingsAction() const { return openSettings_; }
    QAction* checkForUpdatesAction() const { return checkForUpdates_; }
    QAction* quitAction() const { return quit_; }
    // Re-reads the language setting and the update state.
    void refresh();

    // The system-tray item's picture: the start symbol in white on a blue
    // rounded square, readable on light and dark panels alike, in the
    // sizes tray hosts ask for.
    static QIcon trayIcon();
    // Shows this menu from the tray item: on a right click (the host's
    // context menu) and on a left click too, above or below the item as the
    // screen allows.
    void attachTo(QSystemTrayIcon& tray);
    // Opens the menu at a point, as a left click on the item does.
    void popUpAt(const QPoint& globalPos);

private:
    QAction* openSettings_;
    QAction* checkForUpdates_;
    QAction* quit_;
};
