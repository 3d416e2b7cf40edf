#include "app/menu_bar_menu.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "core/localization.h"
#include "services/update_controller.h"
#include "taskbar/symbol_painter.h"

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

QIcon MenuBarMenu::trayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF square(0.5, 0.5, size - 1.0, size - 1.0);
        QPainterPath rounded;
        rounded.addRoundedRect(square, size * 0.22, size * 0.22);
        p.fillPath(rounded, QColor(0x1F, 0x6F, 0xEB));
        p.setPen(QPen(QColor(0, 0, 0, 90), 1.0));
        p.drawPath(rounded);
        const double inset = size * 0.22;
        symbols::SymbolPainter::paint(p, symbols::defaultStartSymbol, square.adjusted(inset, inset, -inset, -inset),
                                      Qt::white);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void MenuBarMenu::attachTo(QSystemTrayIcon& tray) {
    tray.setContextMenu(this);
    connect(&tray, &QSystemTrayIcon::activated, this, [this, &tray](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger) return;
        // The host reports where the item is; else the pointer is on it.
        const QRect item = tray.geometry();
        popUpAt(item.isValid() ? item.center() : QCursor::pos());
    });
}

void MenuBarMenu::popUpAt(const QPoint& globalPos) {
    if (isVisible()) {
        hide();  // a second click closes it, as with the context menu
        return;
    }
    popup(globalPos);
}
