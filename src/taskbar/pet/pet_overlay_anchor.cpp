#include "taskbar/pet/pet_overlay_anchor.h"

#include <QEvent>
#include <cmath>

#include "platform/platform.h"
#include "taskbar/pet/pet_drawing_view.h"

namespace {

constexpr int overlayWidth = 36;

bool reduceMotionNow() {
    const auto& app = platform::installed().application;
    return app && app->reduceMotion();
}

bool shownOnScreen(const QWidget* window) {
    return window->isVisible() && !(window->windowState() & Qt::WindowMinimized);
}

}  // namespace

PetOverlayAnchor::PetOverlayAnchor(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    drawing_ = new PetDrawingView(this);
    drawing_->hide();
}

PetOverlayAnchor::~PetOverlayAnchor() { detachOverlay(); }

void PetOverlayAnchor::setState(StartPet pet, bool menuOpen, bool followsPointer, bool idleMotion) {
    pet_ = pet;
    menuOpen_ = menuOpen;
    followsPointer_ = followsPointer;
    idleMotion_ = idleMotion;
    attachOverlay();
}

void PetOverlayAnchor::dismantle() { detachOverlay(); }

bool PetOverlayAnchor::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ParentChange:
        case QEvent::Show:
        case QEvent::ShowToParent:
        case QEvent::Resize:
        case QEvent::Move: attachOverlay(); break;
        case QEvent::HideToParent: detachOverlay(); break;
        default: break;
    }
    return QWidget::event(event);
}

bool PetOverlayAnchor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide ||
                               event->type() == QEvent::WindowStateChange)) {
        updateOverlayVisibility();
    } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
               event->type() == QEvent::ParentChange) {
        // The button moved within the bar, the bar changed size, or the
        // button went to another bar.
        attachOverlay();
    }
    return QWidget::eventFilter(watched, event);
}

void PetOverlayAnchor::attachOverlay() {
    QWidget* w = window();
    if (parent_ && parent_ != w) detachOverlay();
    // Not inside a bar yet, taken out of it, or not laid out: wait for the
    // next update or layout pass.
    if (w == this || isHidden() || width() <= 0) return;
    if (!overlay_) {
        if (!drawing_) drawing_ = new PetDrawingView(this);
        auto* overlay = new QWidget(w);
        overlay->setObjectName(QStringLiteral("petOverlay"));
        overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
        overlay_ = overlay;
        parent_ = w;
        drawing_->setParent(overlay);
        drawing_->show();
        overlay->show();
        watchAncestors();
    }
    placeOverlay();
    pushState();
    updateOverlayVisibility();
}

void PetOverlayAnchor::placeOverlay() {
    const QPoint origin = mapTo(parent_.data(), QPoint(0, 0));
    const double midX = origin.x() + width() / 2.0;
    overlay_->setGeometry(int(std::lround(midX - overlayWidth / 2.0)), 0, overlayWidth, parent_->height());
    drawing_->setGeometry(overlay_->rect());
    // Above whatever the bar laid out since.
    overlay_->raise();
}

void PetOverlayAnchor::pushState() {
    PetDrawingView& d = *drawing_;
    // A new pet starts awake, and an open menu keeps the pet awake.
    if (d.pet != pet_ || menuOpen_) d.rest.lastTouch = platform::uptime();
    d.pet = pet_;
    d.barHeight = parent_->height();
    d.menuOpen = menuOpen_;
    const bool reduce = reduceMotionNow();
    // A change of reduce motion restarts the view as a settings change does,
    // so no frame timer outlives the switch.
    const bool restart = d.followsPointer != followsPointer_ || d.idleMotion != idleMotion_ || d.reducedMotion != reduce;
    d.followsPointer = followsPointer_;
    d.idleMotion = idleMotion_;
    d.reducedMotion = reduce;
    d.transition.retarget(menuOpen_, d.reducedMotion, platform::uptime());
    if (restart) d.refreshActivity(true);
    if (d.isActive() && d.transition.isRunning(platform::uptime())) d.startFrameTimer();
    d.update();
}

void PetOverlayAnchor::updateOverlayVisibility() {
    if (overlay_ && parent_) {
        if (!shownOnScreen(parent_)) {
            overlay_->hide();
        } else if (overlay_->isHidden()) {
            overlay_->show();
            overlay_->raise();
        }
    }
    if (drawing_) drawing_->refreshActivity(false);
}

void PetOverlayAnchor::watchAncestors() {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        w->installEventFilter(this);
        watched_ << w;
        if (w == parent_) break;
    }
}

void PetOverlayAnchor::unwatchAncestors() {
    for (const auto& w : std::as_const(watched_))
        if (w) w->removeEventFilter(this);
    watched_.clear();
}

void PetOverlayAnchor::detachOverlay() {
    unwatchAncestors();
    if (drawing_) {
        // Back under the anchor, hidden, so it outlives the overlay.
        drawing_->hide();
        drawing_->setParent(this);
        drawing_->detach();
    }
    if (overlay_) delete overlay_.data();
    overlay_ = nullptr;
    parent_ = nullptr;
}
