#include "startmenu/pin_row_catcher.h"

#include <QMenu>
#include <QMouseEvent>
#include <cmath>

#include "core/localization.h"

RowCatcherView::RowCatcherView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RowCatcherView"));
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
}

void RowCatcherView::setRow(std::optional<QString> path, Actions actions) {
    path_ = std::move(path);
    actions_ = std::move(actions);
}

std::optional<RowCatcherView::RowHit> RowCatcherView::rowUnderPointer(QWidget* window, QPoint windowPos) {
    if (!window) return std::nullopt;
    for (QWidget* w = window->childAt(windowPos); w; w = w->parentWidget()) {
        auto* catcher = qobject_cast<RowCatcherView*>(w);
        if (!catcher) {
            if (w == window) break;
            continue;
        }
        if (!catcher->path_) return std::nullopt;
        const QRect r(catcher->mapTo(window, QPoint(0, 0)), catcher->size());
        return RowHit{*catcher->path_, r.top() + r.height() / 2.0};
    }
    return std::nullopt;
}

void RowCatcherView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::RightButton) {
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(tr_("Unpin from Start"), this, &RowCatcherView::unpin);
        menu_ = menu;
        menu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    mouseDownPoint_ = event->position();
    didDrag_ = false;
}

void RowCatcherView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!path_ || !actions_.onReorder || !mouseDownPoint_) return;
    const QPointF p = event->position();
    // Window coordinates, y growing downwards: moving up makes y smaller.
    const double y = event->scenePosition().y();
    if (!didDrag_) {
        const double distance = std::abs(p.x() - mouseDownPoint_->x()) + std::abs(p.y() - mouseDownPoint_->y());
        if (distance <= dragThreshold) return;  // still a click
        didDrag_ = true;
        lastDragY_ = y;
        if (actions_.onDragBegan) actions_.onDragBegan();
    }
    const double previous = lastDragY_.value_or(y);
    lastDragY_ = y;
    const double dy = y - previous;
    const auto target = rowUnderPointer(window(), event->scenePosition().toPoint());
    if (!target || target->path == *path_) return;
    // Reorder once the pointer has crossed the row's middle in the direction it moves.
    const bool movingUpAboveMiddle = dy < 0 && y < target->midY;
    const bool movingDownBelowMiddle = dy > 0 && y > target->midY;
    if (movingUpAboveMiddle || movingDownBelowMiddle) actions_.onReorder(*path_, target->path);
}

void RowCatcherView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    if (didDrag_) {
        didDrag_ = false;
        if (actions_.onDragEnded) actions_.onDragEnded();
    } else if (mouseDownPoint_ && rect().contains(event->position().toPoint())) {
        if (actions_.onLaunch) actions_.onLaunch();
    }
    mouseDownPoint_.reset();
    lastDragY_.reset();
}

void RowCatcherView::unpin() {
    if (actions_.onUnpin) actions_.onUnpin();
}
