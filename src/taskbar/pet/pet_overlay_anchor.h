#pragma once
// Shows the pet on the start button.
//
// The anchor sits in the start button and lays a transparent overlay, 36
// points wide and as tall as the bar, centred on itself, over the bar's
// window: the pet is taller than the button. The overlay holds the drawing
// view, ignores the mouse (clicks reach the button beneath), follows the bar
// window in and out of sight, and is re-created when the button moves to
// another bar. Every update pushes the pet, the bar height, the start-menu
// state and the two pet settings into the drawing view.
#include <QPointer>
#include <QWidget>

#include "taskbar/pet/pet_drawing_view.h"
#include "taskbar/pet/pet_model.h"

class PetOverlayAnchor : public QWidget {
    Q_OBJECT
public:
    explicit PetOverlayAnchor(QWidget* parent = nullptr);
    ~PetOverlayAnchor() override;

    // The bar view's state for the pet; attaches the overlay when the anchor
    // can be placed, then places it and pushes the state.
    void setState(StartPet pet, bool menuOpen, bool followsPointer, bool idleMotion);
    // Takes the overlay down (the anchor leaves the bar for good).
    void dismantle();

    StartPet pet() const { return pet_; }
    bool menuOpen() const { return menuOpen_; }
    bool followsPointer() const { return followsPointer_; }
    bool idleMotion() const { return idleMotion_; }
    // The overlay while attached, and the window it lies over.
    QWidget* overlay() const { return overlay_; }
    QWidget* attachedWindow() const { return parent_; }
    PetDrawingView* drawing() const { return drawing_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachOverlay();
    void detachOverlay();
    void placeOverlay();
    void pushState();
    void updateOverlayVisibility();
    void watchAncestors();
    void unwatchAncestors();

    StartPet pet_ = StartPet::cat;
    bool menuOpen_ = false;
    bool followsPointer_ = true;
    bool idleMotion_ = true;
    QPointer<QWidget> overlay_;
    QPointer<PetDrawingView> drawing_;
    QPointer<QWidget> parent_;
    QList<QPointer<QWidget>> watched_;
};
