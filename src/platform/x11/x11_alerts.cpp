#include "platform/x11/x11_alerts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/log.h"

namespace platform::x11 {
namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::informational: return QMessageBox::Information;
        case AlertStyle::critical: return QMessageBox::Critical;
        case AlertStyle::warning: break;
    }
    return QMessageBox::Warning;
}

// The cancel button answers Escape, in either interface language.
bool isCancelTitle(const QString& title) {
    return title == QStringLiteral("Cancel") || title == QStringLiteral("取消");
}

}  // namespace

DialogAlerts::DialogAlerts(std::shared_ptr<Connection> connection) : conn_(std::move(connection)) {}

int DialogAlerts::runModal(const Alert& alert) {
    // Only a widget application on this X server can put a dialog in front of
    // the user; anywhere else (no widgets, an off-screen platform) nobody
    // would ever see it, so nobody answers.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
        QGuiApplication::platformName() != QStringLiteral("xcb")) {
        platform::log(QStringLiteral("[Quorvel] 无法显示提示（没有窗口界面）：%1 %2")
                          .arg(alert.messageText, alert.informativeText));
        return alertNotAnswered;
    }
    QMessageBox box;
    box.setIcon(iconFor(alert.style));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    box.setWindowModality(Qt::ApplicationModal);
    // An alert without buttons still has the one every alert has.
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    std::vector<QAbstractButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        const auto role = i == 0                      ? QMessageBox::AcceptRole
                          : isCancelTitle(titles.at(i)) ? QMessageBox::RejectRole
                                                        : QMessageBox::ActionRole;
        QPushButton* b = box.addButton(titles.at(i), role);
        buttons.push_back(b);
        if (i == 0) box.setDefaultButton(b);
        if (role == QMessageBox::RejectRole) box.setEscapeButton(b);
    }
    if (titles.size() == 1) box.setEscapeButton(buttons.front());
    box.raise();
    box.activateWindow();
    box.exec();
    QAbstractButton* chosen = box.clickedButton();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == chosen) return alertFirstButtonReturn + int(i);
    return alertNotAnswered;
}

void DialogAlerts::beep() {
    // The bell at the user's base volume.
    xcb_bell(conn_->xcb(), 0);
    conn_->flush();
}

}  // namespace platform::x11
