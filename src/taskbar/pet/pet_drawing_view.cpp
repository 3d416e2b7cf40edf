#include "taskbar/pet/pet_drawing_view.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <random>

#include "platform/platform.h"
#include "taskbar/pet/pet_art.h"

// Watches pointer movement over the program's own windows. Every mouse move
// reaches the window first, so one look per move is enough; the event goes on
// unchanged.
class PetDrawingView::LocalMonitor : public QObject {
public:
    explicit LocalMonitor(PetDrawingView* view) : QObject(view), view_(view) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove && watched->isWindowType() && view_) view_->updateGaze();
        return false;
    }

private:
    QPointer<PetDrawingView> view_;
};

namespace {

constexpr double frameInterval = 1.0 / 30;
constexpr double idleInterval = 1.0;
constexpr double idleTolerance = 0.1;

}  // namespace

PetDrawingView::PetDrawingView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    uniform_ = [engine](double low, double high) { return std::uniform_real_distribution<double>(low, high)(*engine); };
    if (parent) movedToWindow();
}

PetDrawingView::~PetDrawingView() { detach(); }

void PetDrawingView::setRandomSource(std::function<double(double, double)> uniform) { uniform_ = std::move(uniform); }

bool PetDrawingView::frameTimerRunning() const { return frameTimer_ && frameTimer_->isValid(); }
bool PetDrawingView::idleTimerRunning() const { return idleTimer_ && idleTimer_->isValid(); }
bool PetDrawingView::pointerPollRunning() const { return pointerPoll_ && pointerPoll_->isValid(); }
int PetDrawingView::monitorCount() const { return (localMonitor_ ? 1 : 0) + (globalMonitor_ ? 1 : 0); }

// ---- window and settings ----------------------------------------------------

bool PetDrawingView::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) movedToWindow();
    return QWidget::event(event);
}

void PetDrawingView::movedToWindow() {
    if (observedWindow_) observedWindow_->removeEventFilter(this);
    observedWindow_ = nullptr;
    if (QWidget* w = window(); w != this) {
        w->installEventFilter(this);
        observedWindow_ = w;
    }
    observeAccessibility();
    refreshActivity(true);
}

bool PetDrawingView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == observedWindow_) {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::WindowStateChange: refreshActivity(false); break;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PetDrawingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshActivity(false);
}

void PetDrawingView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    refreshActivity(false);
}

void PetDrawingView::observeAccessibility() {
    if (accessibilityObserver_) return;
    auto app = platform::installed().application;
    if (!app) return;
    QPointer<PetDrawingView> self(this);
    accessibilityObserver_ = app->addObserver([self] {
        if (self) self->accessibilityChanged();
    });
    accessibilityObserverOwner_ = app;
}

void PetDrawingView::accessibilityChanged() {
    auto app = accessibilityObserverOwner_.lock();
    if (!app) return;
    // The same notification also reports appearance changes; only a real
    // change of reduce motion restarts the pet (a restart counts as a touch).
    const bool reduce = app->reduceMotion();
    if (reduce != reducedMotion) {
        reducedMotion = reduce;
        transition.retarget(menuOpen, reducedMotion, platform::uptime());
        refreshActivity(true);
    }
    update();
}

bool PetDrawingView::windowIsVisible() const {
    const QWidget* w = window();
    return isVisible() && w->isVisible() && !(w->windowState() & Qt::WindowMinimized);
}

void PetDrawingView::refreshActivity(bool force) {
    if (windowIsVisible()) {
        if (!force && active_) return;
        stopAll();
        active_ = true;
        rest.lastTouch = platform::uptime();
        if (reducedMotion || !followsPointer) gaze_ = gazeTarget_ = {};
        if (followsPointer || idleMotion) {
            localMonitor_ = new LocalMonitor(this);
            if (auto* app = QCoreApplication::instance()) app->installEventFilter(localMonitor_);
            if (auto displays = platform::installed().displays) {
                QPointer<PetDrawingView> self(this);
                if (int token = displays->addPointerMonitor([self] {
                        if (self) self->updateGaze();
                    })) {
                    globalMonitor_ = token;
                    globalMonitorOwner_ = displays;
                }
            }
            updateGaze();
        }
        if (idleMotion) startIdleTimer();
        // The idle tick looks at the pointer every second; without it, and
        // without a desktop-wide monitor, the eyes would only follow the
        // pointer over our own windows.
        if (followsPointer && !idleMotion && !reducedMotion && !globalMonitor_) {
            QPointer<PetDrawingView> self(this);
            pointerPoll_ = platform::Timer::scheduled(idleInterval, true, [self](platform::Timer&) {
                if (self && self->active_) self->updateGaze();
            });
        }
        if (transition.isRunning(platform::uptime()) || gaze_ != gazeTarget_) startFrameTimer();
        update();
        return;
    }
    if (!force && !active_) return;
    stopAll();
    active_ = false;
    gaze_ = gazeTarget_ = {};
    update();
}

void PetDrawingView::stopAll() {
    if (frameTimer_) frameTimer_->invalidate();
    frameTimer_.reset();
    if (idleTimer_) idleTimer_->invalidate();
    idleTimer_.reset();
    if (pointerPoll_) pointerPoll_->invalidate();
    pointerPoll_.reset();
    delete localMonitor_;  // leaves the application's filter list by itself
    localMonitor_ = nullptr;
    if (globalMonitor_) {
        if (auto displays = globalMonitorOwner_.lock()) displays->removePointerMonitor(globalMonitor_);
        globalMonitor_ = 0;
    }
}

void PetDrawingView::detach() {
    active_ = false;
    stopAll();
    if (observedWindow_) observedWindow_->removeEventFilter(this);
    observedWindow_ = nullptr;
    if (accessibilityObserver_) {
        if (auto app = accessibilityObserverOwner_.lock()) app->removeObserver(accessibilityObserver_);
        accessibilityObserver_ = 0;
    }
}

// ---- timers -----------------------------------------------------------------

void PetDrawingView::startFrameTimer() {
    if (!active_ || reducedMotion || frameTimer_) return;
    QPointer<PetDrawingView> self(this);
    frameTimer_ = platform::Timer::scheduled(frameInterval, true, [self](platform::Timer&) {
        if (self) self->frameTick();
    });
}

void PetDrawingView::startIdleTimer() {
    QPointer<PetDrawingView> self(this);
    idleTimer_ = platform::Timer::scheduled(
        idleInterval, true,
        [self](platform::Timer&) {
            if (self) self->idleTick();
        },
        idleTolerance);
}

void PetDrawingView::updateGaze() {
    auto displays = platform::installed().displays;
    if (!displays) return;
    // The pointer comes in bottom-left screen coordinates.
    const platform::Point pointer = displays->pointerLocation();
    const auto screens = displays->screens();
    const double mainHeight = screens.empty() ? 0 : screens.front().bounds.height();
    const QPointF p = mapFromGlobal(QPointF(pointer.x, mainHeight - pointer.y));

    const PetPointerGeometry geometry{double(width()), double(height()), barHeight};
    if (geometry.inTouchZone(p.x(), p.y())) {
        rest.lastTouch = platform::uptime();
        update();
    }
    gazeTarget_ = geometry.gazeTarget(p.x(), p.y(), followsPointer, reducedMotion);
    if (gaze_ != gazeTarget_) startFrameTimer();
}

void PetDrawingView::idleTick() {
    if (!active_) return;
    updateGaze();
    const double now = platform::uptime();
    if (menuOpen) rest.lastTouch = now;
    if (petRestLevel(now, rest) > 0) {
        // A resting pet breathes; it neither blinks nor wags.
        startFrameTimer();
        redrawIfChanged();
        return;
    }
    if (now >= nextBlink_) {
        blinkAt_ = now;
        nextBlink_ = now + uniform_(4, 8);
        if (!menuOpen && now >= nextWag_) {
            wagAt_ = now;
            nextWag_ = now + uniform_(10, 18);
        }
        startFrameTimer();
    }
    redrawIfChanged();
}

PetDrawingView::ShownFrame PetDrawingView::frameAt(double now) const {
    PetPose pose = framePose(now);
    if (pose.rest == 0) pose.breath = 0;  // breathing only shows in the nap
    return {pose, frameSquash(now), pet, isDark(), size(), barHeight};
}

void PetDrawingView::redrawIfChanged() {
    // Awake and still, every idle tick would paint the same picture.
    if (shown_ && *shown_ == frameAt(platform::uptime())) return;
    update();
}

bool PetDrawingView::stillMoving(double now) const {
    return transition.isRunning(now) || gaze_ != gazeTarget_ || now - blinkAt_ <= blinkDuration(pet) ||
           now - wagAt_ <= wagDuration(pet) || (idleMotion && petRestLevel(now, rest) != 0);
}

void PetDrawingView::frameTick() {
    gaze_ = petEaseGaze(gaze_, gazeTarget_);
    update();
    if (!stillMoving(platform::uptime())) {
        if (frameTimer_) frameTimer_->invalidate();
        frameTimer_.reset();
    }
}

// ---- drawing ----------------------------------------------------------------

bool PetDrawingView::isDark() const {
    const auto& app = platform::installed().application;
    return app && app->effectiveAppearance() == platform::Appearance::darkAqua;
}

PetPose PetDrawingView::framePose(double now) const {
    const double restLevel = idleMotion && !menuOpen ? petRestLevel(now, rest) : 0;
    return petFramePose(transition.value(now), gaze_,
                        petBlinkAmount(pet, now, blinkAt_, reducedMotion, idleMotion),
                        petWagAmount(pet, now, wagAt_, reducedMotion, idleMotion, menuOpen), restLevel,
                        petBreath(now, rest, reducedMotion));
}

double PetDrawingView::frameSquash(double now) const {
    const double restLevel = idleMotion && !menuOpen ? petRestLevel(now, rest) : 0;
    return petSquash(restLevel, petBreath(now, rest, reducedMotion));
}

void PetDrawingView::drawFrame(QPainter& painter, double now) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The artwork's unit space: 60 units across 30 points, the head's top
    // half a bar plus 14 points above the bottom.
    painter.translate(width() / 2.0 - 15, height() - (barHeight * 0.5 + 14));
    painter.scale(0.5, 0.5);
    const double squash = frameSquash(now);
    if (squash != 1) {
        painter.translate(0, 54);
        painter.scale(1, squash);
        painter.translate(0, -54);
    }
    PetArt::draw(pet, painter, isDark(), PetArt::darkDetailColor, PetArt::eyeColor, framePose(now));
    painter.restore();
}

void PetDrawingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double now = platform::uptime();
    drawFrame(painter, now);
    shown_ = frameAt(now);
    ++framesDrawn_;
}
