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

QuorvelApp::~QuorvelApp() {
    if (auto host = trayHost_.lock()) host->removeObserver(trayToken_);
}

bool QuorvelApp::launch() {
    if (delegate_->applicationDidFinishLaunching() == AppDelegate::LaunchOutcome::anotherCopyRunning) return false;

    menu_ = std::make_unique<MenuBarMenu>([this] { openSettings(); }, [this] { terminate(); });
    showInTray();
    // A tray host that starts (or starts again) later gets the item too.
    if (auto host = platform::installed().systemTray) {
        trayHost_ = host;
        trayToken_ = host->addObserver([this] {
            if (auto h = trayHost_.lock(); h && h->isActive()) showInTray();
        });
    }
    return true;
}

void QuorvelApp::showInTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!tray_) platform::log(QStringLiteral("[Quorvel] no system tray host: the menu-bar item is not shown"));
        return;
    }
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>(MenuBarMenu::trayIcon());
        tray_->setToolTip(tr_("Quorvel"));
        menu_->attachTo(*tray_);
    }
    // Shown afresh: the icon docks into the host that runs now.
    tray_->hide();
    tray_->show();
}

void QuorvelApp::terminate() {
    delegate_->applicationWillTerminate();
    platform::application().terminate();
}

void QuorvelApp::openSettings() {
    // The plain settings link: opens the window without placing it.
    SettingsWindow::openScene();
}
