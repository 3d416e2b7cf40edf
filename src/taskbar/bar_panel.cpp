#include "taskbar/bar_panel.h"

BarPanel::BarPanel(platform::DisplayID displayID, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint),
      displayID_(displayID) {
    setObjectName(QStringLiteral("BarPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::NoFocus);
}

void BarPanel::setContentView(QWidget* view) {
    if (content_ == view) return;
    if (content_) {
        content_->hide();
        content_->deleteLater();
    }
    content_ = view;
    if (!view) return;
    view->setParent(this);
    view->setGeometry(rect());
    view->show();
}

void BarPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (content_) content_->setGeometry(rect());
}
