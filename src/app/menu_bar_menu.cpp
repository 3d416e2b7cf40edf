#include "app/menu_bar_menu.h"

#include <QAction>

#include "core/localization.h"
#include "services/update_controller.h"

MenuBarMenu::MenuBarMenu(std::function<void()> openSettings, std::function<void()> quit, QWidget* parent)
    : QMenu(parent) {
    openSettings_ = addAction(QString());
    connect(openSettings_, &QAction::triggered, this, [openSettings] { openSettings(); });
    checkForUpdates_ = addAction(QString());
    connect(checkForUpdates_, &QAction::triggered, this, [] {
        auto& updates = services::UpdateController::shared();
        // Without an updater there is nothing to ask.
        if (updates.hasUpdater()) updates.checkForUpdates();
    });
    addSeparator();
    quit_ = addAction(QString());
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit_, &QAction::triggered, this, [quit] { quit(); });

    connect(&services::UpdateController::shared(), &services::UpdateController::canCheckForUpdatesChanged, this,
            [this](bool can) { checkForUpdates_->setEnabled(can); });
    connect(this, &QMenu::aboutToShow, this, &MenuBarMenu::refresh);
    refresh();
}

void MenuBarMenu::refresh() {
    openSettings_->setText(tr_("Open Settings…"));
    checkForUpdates_->setText(tr_("Check for Updates…"));
    quit_->setText(tr_("Quit Quorvel"));
    checkForUpdates_->setEnabled(services::UpdateController::shared().canCheckForUpdates());
}
