#include "taskbar/pet/pet_start_button.h"

#include "taskbar/pet/pet_overlay_anchor.h"
#include "taskbar/start_button.h"

QWidget* makeStartButtonPetView(StartButton& button) {
    auto* anchor = new PetOverlayAnchor();
    const auto apply = [anchor](const StartButton::PetState& s) {
        anchor->setState(s.pet, s.menuOpen, s.followsPointer, s.idleMotion);
    };
    QObject::connect(&button, &StartButton::petStateChanged, anchor, apply);
    // Until the button has placed it in the bar this only keeps the state;
    // the overlay comes with the first layout.
    apply(button.petState());
    return anchor;
}
