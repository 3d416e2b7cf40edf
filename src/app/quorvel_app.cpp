#include "app/quorvel_app.h"

#include <QCoreApplication>
#include <QIcon>
#include <QSystemTrayIcon>

#include "core/localization.h"
#include "app/menu_bar_menu.h"
#include "platform/platform.h"
#include "settings/settings_window.h"

QuorvelApp::QuorvelApp() : delegate_(std::make_unique<AppDelegate>()) {
    // However the event loop ends (the menu, a session end), the workspace stops first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { delegate_->applicationWillTerminate(); });
}

QuorvelApp::~QuorvelApp() = default;

bool QuorvelApp::launch() {
    if (delegate_->applicationDidFinishLaunching() == AppDelegate::LaunchOutcome::anotherCopyRunning) return false;

    menu_ = std::make_unique<MenuBarMenu>([this] { openSettings(); }, [this] { terminate(); });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<QSystemTrayIcon>(MenuBarMenu::trayIcon());
        tray_->setToolTip(tr_("Quorvel"));
        menu_->attachTo(*tray_);
        tray_->show();
    } else {
        platform::log(QStringLiteral("[Quorvel] no system tray host: the menu-bar item is not shown"));
    }
    return true;
}

void QuorvelApp::terminate() {
    delegate_->applicationWillTerminate();
    platform::application().terminate();
}

void QuorvelApp::openSettings() {
    // The plain settings link: opens the window without placing it.
    SettingsWindow::openScene();
}
