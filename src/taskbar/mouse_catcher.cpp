#include "taskbar/mouse_catcher.h"

#include "taskbar/bar_style.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <cmath>

CatcherView::CatcherView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CatcherView"));
    setAttribute(Qt::WA_NoSystemBackground);
    // Moves without a button reach us too, so a release that went
    // elsewhere (a lost grab) is noticed at the next move.
    setMouseTracking(true);
}

CatcherView::~CatcherView() {
    if (lastMenu_) lastMenu_->deleteLater();
}

QMenu* CatcherView::lastMenu() const { return lastMenu_.data(); }

void CatcherView::apply(const MouseCatcher& bridge) {
    onLeftClick_ = bridge.onLeftClick;
    leftMenuProvider_ = bridge.leftMenu;
    menuProvider_ = bridge.menu;
    bundleID_ = bridge.dragBundleID;
    onReorder_ = bridge.onReorder;
    onDragBegan_ = bridge.onDragBegan;
    onDragEnded_ = bridge.onDragEnded;
}

void CatcherView::cancelPress() {
    mouseDownPoint_.reset();
    lastDragX_.reset();
    if (didDrag_) {
        didDrag_ = false;
        // Copy first: the callback may rebuild the owner and re-apply.
        auto ended = onDragEnded_;
        if (ended) ended();
    }
}

void CatcherView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        mouseDownPoint_ = event->position();
        didDrag_ = false;
        lastDragX_ = event->scenePosition().x();
    } else if (event->button() == Qt::RightButton) {
        showMenu(menuProvider_ ? menuProvider_() : std::vector<TaskMenuAction>{}, event->globalPosition().toPoint(),
                 event->position().toPoint());
    }
}

void CatcherView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!mouseDownPoint_) return;
    if (!(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere: the grab was lost.
        cancelPress();
        return;
    }
    if (!bundleID_ || !onReorder_) return;

    const QPointF p = event->position();
    if (!didDrag_) {
        const QPointF d = p - *mouseDownPoint_;
        if (std::abs(d.x()) + std::abs(d.y()) <= dragThreshold) return;
        didDrag_ = true;
        auto began = onDragBegan_;
        if (began) began();
    }
    const double x = event->scenePosition().x();
    const double previous = lastDragX_.value_or(x);
    lastDragX_ = x;

    const auto hit = catcherAt(window(), event->scenePosition());
    if (!hit || !bundleID_ || hit->bundleID == *bundleID_) return;
    const double dx = x - previous;
    if ((dx > 0 && x > hit->midX) || (dx < 0 && x < hit->midX)) {
        auto reorder = onReorder_;
        const QString dragged = *bundleID_;
        reorder(dragged, hit->bundleID);
    }
}

void CatcherView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    if (didDrag_) {
        cancelPress();  // reports the end of the drag; no click follows
        return;
    }
    if (!mouseDownPoint_) return;  // no press of ours (it was cancelled)
    mouseDownPoint_.reset();
    lastDragX_.reset();
    if (!rect().contains(event->position().toPoint())) return;
    auto list = leftMenuProvider_ ? leftMenuProvider_() : std::vector<TaskMenuAction>{};
    if (!list.empty()) {
        showMenu(std::move(list), event->globalPosition().toPoint(), event->position().toPoint());
        return;
    }
    auto click = onLeftClick_;
    if (click) click();
}

void CatcherView::contextMenuEvent(QContextMenuEvent* event) {
    // The press already showed this button's menu; the bar's own menu must
    // not open as well.
    event->accept();
}

void CatcherView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    cancelPress();
}

bool CatcherView::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::UngrabMouse:
        case QEvent::WindowDeactivate:
            cancelPress();
            break;
        case QEvent::EnabledChange:
            if (!isEnabled()) cancelPress();
            break;
        default: break;
    }
    return QWidget::event(event);
}

void CatcherView::showMenu(std::vector<TaskMenuAction> actions, const QPoint& globalPos, const QPoint& localPos) {
    actions_ = std::move(actions);
    if (actions_.empty()) return;
    if (lastMenu_) lastMenu_->deleteLater();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("TaskMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int i = 0; i < int(actions_.size()); ++i) {
        if (actions_[std::size_t(i)].isSeparatorBefore) menu->addSeparator();
        QAction* action = menu->addAction(bar_style::menuEntryText(actions_[std::size_t(i)].title));
        QPointer<CatcherView> self(this);
        // Run after the menu has closed, on the main thread.
        connect(action, &QAction::triggered, this, [self, i] {
            if (self) self->fire(i);
        }, Qt::QueuedConnection);
    }
    lastMenu_ = menu;
    bar_style::popUpAboveBar(menu, globalPos, localPos, this);
}

void CatcherView::fire(int tag) {
    if (tag < 0 || tag >= int(actions_.size())) return;
    auto perform = actions_[std::size_t(tag)].perform;
    if (perform) perform();
}

std::optional<CatcherView::Hit> CatcherView::catcherAt(QWidget* window, const QPointF& windowPoint) {
    if (!window) return std::nullopt;
    QWidget* w = window->childAt(windowPoint.toPoint());
    while (w && !qobject_cast<CatcherView*>(w)) w = w->parentWidget();
    auto* catcher = qobject_cast<CatcherView*>(w);
    if (!catcher || !catcher->bundleID_) return std::nullopt;
    const QPointF mid = catcher->mapTo(window, QPointF(catcher->width() / 2.0, 0));
    return Hit{*catcher->bundleID_, mid.x()};
}
