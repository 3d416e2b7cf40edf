#pragma once
// The animated pet: follows the pointer with its eyes, blinks and wags at
// random intervals, dozes off after a minute untouched, and turns towards the
// open start menu.
//
// It costs nothing while still: the 30 fps frame timer runs only while
// something moves (the menu transition, the eyes travelling, a blink or wag,
// a resting pet breathing) and stops itself once all has settled. A 1 s idle
// timer schedules blinks and wags and drives the rest cycle. While its window
// is hidden or minimised the view holds no timer and no pointer monitor.
// Where the desktop reports no pointer moves outside our windows, the
// pointer is looked at once a second while nothing else looks.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "taskbar/pet/pet_model.h"

namespace platform {
class Application;
class Displays;
class Timer;
}  // namespace platform

class PetDrawingView : public QWidget {
    Q_OBJECT
public:
    explicit PetDrawingView(QWidget* parent = nullptr);
    ~PetDrawingView() override;

    // Inputs, set by the overlay anchor before it asks for a refresh.
    StartPet pet = StartPet::cat;
    double barHeight = 44;
    bool followsPointer = true;  // "appearancePetFollowsPointer"
    bool idleMotion = true;      // "appearancePetIdleMotion"
    bool menuOpen = false;       // the start menu is open on this bar's display
    bool reducedMotion = false;  // the system's reduce-motion option
    PetTransition transition;
    PetRestCycle rest;

    // Brings monitors and timers in line with the window's visibility and
    // the settings. Forced, it starts afresh (and counts as a touch) even
    // when already active.
    void refreshActivity(bool force);
    // Starts the frame timer when it may run and is not running yet.
    void startFrameTimer();
    // Stops everything and drops the window and accessibility observations.
    void detach();

    bool isActive() const { return active_; }
    bool frameTimerRunning() const;
    bool idleTimerRunning() const;
    // Where the platform cannot report pointer moves over other programs, a
    // timer looks at the pointer as often as the idle timer would; it runs
    // while the eyes follow the pointer and no idle timer looks already.
    bool pointerPollRunning() const;
    // Installed pointer monitors: the in-program one and, where the
    // platform offers it, the desktop-wide one.
    int monitorCount() const;
    PetVector gaze() const { return gaze_; }
    PetVector gazeTarget() const { return gazeTarget_; }
    double blinkAt() const { return blinkAt_; }
    double wagAt() const { return wagAt_; }
    double nextBlink() const { return nextBlink_; }
    double nextWag() const { return nextWag_; }
    // Frames drawn so far.
    int framesDrawn() const { return framesDrawn_; }

    // The pose and vertical squash a frame drawn at `now` shows.
    PetPose framePose(double now) const;
    double frameSquash(double now) const;
    // Draws one frame into `painter` (already set to the view's coordinates).
    void drawFrame(QPainter& painter, double now) const;

    // Uniform random source for the blink and wag intervals (tests fix it).
    void setRandomSource(std::function<double(double low, double high)> uniform);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class LocalMonitor;

    void movedToWindow();
    void observeAccessibility();
    void accessibilityChanged();
    void stopAll();
    void updateGaze();
    void startIdleTimer();
    void idleTick();
    void frameTick();
    bool windowIsVisible() const;
    bool isDark() const;
    bool stillMoving(double now) const;
    void redrawIfChanged();

    bool active_ = false;
    PetVector gaze_;
    PetVector gazeTarget_;
    double blinkAt_ = -std::numeric_limits<double>::infinity();
    double wagAt_ = -std::numeric_limits<double>::infinity();
    double nextWag_ = 0;
    double nextBlink_ = 0;
    std::shared_ptr<platform::Timer> frameTimer_;
    std::shared_ptr<platform::Timer> idleTimer_;
    std::shared_ptr<platform::Timer> pointerPoll_;
    LocalMonitor* localMonitor_ = nullptr;
    int globalMonitor_ = 0;
    std::weak_ptr<platform::Displays> globalMonitorOwner_;
    QPointer<QWidget> observedWindow_;
    int accessibilityObserver_ = 0;
    std::weak_ptr<platform::Application> accessibilityObserverOwner_;
    int framesDrawn_ = 0;
    // What the last frame showed, so an idle tick that would draw the same
    // picture again draws nothing.
    struct ShownFrame {
        PetPose pose;
        double squash = 1;
        StartPet pet = StartPet::cat;
        bool dark = false;
        QSize size;
        double barHeight = 0;
        friend bool operator==(const ShownFrame&, const ShownFrame&) = default;
    };
    std::optional<ShownFrame> shown_;
    ShownFrame frameAt(double now) const;
    std::function<double(double, double)> uniform_;
};
