#pragma once
// The pet on a start button: the view a start button places for a chosen
// pet, kept in step with the button's pet state.
class QWidget;
class StartButton;

// An overlay anchor that takes the button's pet, menu state and pet settings
// now and at every change.
QWidget* makeStartButtonPetView(StartButton& button);
