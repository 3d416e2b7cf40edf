#pragma once
// The pet on the start button: which animal it is, its timing, and the value
// records of its animation. Plain values, main thread only; every time is
// system uptime in seconds (platform::uptime()).
#include <QString>
#include <array>
#include <optional>

enum class StartPet { cat, dog, mouse };

// Every pet, in the order the settings offer them.
inline constexpr std::array<StartPet, 3> allStartPets{StartPet::cat, StartPet::dog, StartPet::mouse};

// "cat", "dog", "mouse": the stored form.
QString rawValue(StartPet pet);
// Exact, case-sensitive match of a stored form; anything else is no pet.
std::optional<StartPet> startPetFromRawValue(const QString& raw);

// How long a blink and a wag last, and how fast the tail swings.
double blinkDuration(StartPet pet);
double wagDuration(StartPet pet);
double wagFrequency(StartPet pet);  // radians per second

// Tail deflection `t` seconds after a wag began: a swing under an envelope
// that rises from and falls back to 0; 0 outside the wag (and for NaN).
double wiggle(StartPet pet, double t);

// The eased move into (target 1) and out of (target 0) the start-menu pose.
struct PetTransition {
    double target = 0;
    double source = 0;
    double startedAt = 0;
    double duration = 0;  // 0: already at target

    // Smoothstep from `source` to `target` over `duration`.
    double value(double now) const;
    // Starts a move towards open (1) or closed (0) from wherever the pose is
    // now. A full opening takes 0.28 s, a full closing 0.20 s, a partial one
    // proportionally less; `instant` jumps at once, even to the same target.
    void retarget(bool open, bool instant, double now);
    // True while the move is under way.
    bool isRunning(double now) const { return now < startedAt + duration; }

    friend bool operator==(const PetTransition&, const PetTransition&) = default;
};

// When the pet was last touched (pointer over its head, menu open, pet
// changed, drawing became active); the rest cycle counts from there.
struct PetRestCycle {
    double lastTouch = 0;
    friend bool operator==(const PetRestCycle&, const PetRestCycle&) = default;
};

// The pose of one frame, as the artwork reads it.
struct PetPose {
    double transition = 0;  // 0 menu closed … 1 open
    double gazeX = 0;       // −1 … 1, right positive
    double gazeY = 0;       // −1 … 1, down positive
    double blink = 0;       // 0 … 1 eyelid closure
    double wag = 0;         // −1 … 1 tail deflection
    double rest = 0;        // 0 … 1, asleep at 1
    double breath = 0;      // 0 … 1 breathing phase
    friend bool operator==(const PetPose&, const PetPose&) = default;
};

// ---- motion rules of the drawing ------------------------------------------

// Seconds without a touch before the pet dozes off, and its sleep cycle:
// asleep for the first 24 s of every 42 s, fading in and out over 0.8 s.
inline constexpr double petRestDelay = 60;
inline constexpr double petRestCycleLength = 42;
inline constexpr double petRestAsleepLength = 24;
inline constexpr double petRestFade = 0.8;

// 0 awake … 1 asleep.
double petRestLevel(double now, const PetRestCycle& rest);
// Breathing phase over a 3 s cycle; a still 0.5 with reduced motion.
double petBreath(double now, const PetRestCycle& rest, bool reducedMotion);
// Eyelid closure of the blink that began at `blinkAt`.
double petBlinkAmount(StartPet pet, double now, double blinkAt, bool reducedMotion, bool idleMotion);
// Tail deflection of the wag that began at `wagAt`; none while the menu is open.
double petWagAmount(StartPet pet, double now, double wagAt, bool reducedMotion, bool idleMotion, bool menuOpen);

struct PetVector {
    double x = 0;
    double y = 0;
    friend bool operator==(const PetVector&, const PetVector&) = default;
};

// Where the pointer sits relative to a drawing view of the given size (view
// coordinates, y down), and what the pet makes of it.
struct PetPointerGeometry {
    double viewWidth = 36;
    double viewHeight = 44;
    double barHeight = 44;

    // The y of the top of the pet's head in the view.
    double headLine() const { return viewHeight - (barHeight * 0.5 + 14); }
    // The band over the head that counts as a touch.
    bool inTouchZone(double x, double y) const;
    // Eye direction towards the pointer (length at most 1), or centred when the
    // pointer is too far to the side, above or below, or following is off.
    PetVector gazeTarget(double x, double y, bool followsPointer, bool reducedMotion) const;
};

// One step of the eyes easing towards their target (a 30 fps frame); snaps
// onto the target once within 0.005.
PetVector petEaseGaze(PetVector gaze, PetVector target);

// The pose one frame shows: the raw pose with the sleeping pet's squash
// applied to the eyes, tail and gaze. `rest` is already 0 when resting does
// not apply (idle motion off or menu open).
PetPose petFramePose(double transition, PetVector gaze, double blink, double wag, double rest, double breath);
// Vertical scale of a resting pet about its foot line.
double petSquash(double rest, double breath);
