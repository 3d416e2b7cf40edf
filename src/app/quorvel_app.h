#pragma once
// The application object: installs the delegate and declares the two scenes,
// the menu-bar item (a system-tray icon with its menu) and the settings window.
#include <QObject>
#include <memory>

#include "app/app_delegate.h"

class MenuBarMenu;
namespace platform {
class Compositor;
}
class QSystemTrayIcon;

class QuorvelApp : public QObject {
    Q_OBJECT
public:
    QuorvelApp();
    ~QuorvelApp() override;

    // Runs the launch sequence and shows the menu-bar item; false when this
    // copy must end (another copy runs).
    bool launch();
    // The termination path: the workspace stops exactly once, then the event loop ends.
    void terminate();

    AppDelegate& delegate() const { return *delegate_; }
    MenuBarMenu* menu() const { return menu_.get(); }
    void openSettings();

private:
    // Docks the menu-bar item into the system tray when a host runs.
    void showInTray();

    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<MenuBarMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::weak_ptr<platform::Compositor> trayHost_;
    int trayToken_ = 0;
};
