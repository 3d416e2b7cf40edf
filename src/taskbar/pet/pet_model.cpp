#include "taskbar/pet/pet_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

QString rawValue(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return QStringLiteral("cat");
        case StartPet::dog: return QStringLiteral("dog");
        case StartPet::mouse: return QStringLiteral("mouse");
    }
    return QStringLiteral("cat");
}

std::optional<StartPet> startPetFromRawValue(const QString& raw) {
    for (StartPet pet : allStartPets)
        if (rawValue(pet) == raw) return pet;
    return std::nullopt;
}

double blinkDuration(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return 0.24;
        case StartPet::dog: return 0.18;
        case StartPet::mouse: return 0.15;
    }
    return 0.24;
}

double wagDuration(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return 1.2;
        case StartPet::dog: return 0.9;
        case StartPet::mouse: return 0.65;
    }
    return 1.2;
}

double wagFrequency(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return 9;
        case StartPet::dog: return 26;
        case StartPet::mouse: return 21;
    }
    return 9;
}

double wiggle(StartPet pet, double t) {
    const double length = wagDuration(pet);
    // Written so that NaN fails the test and reads as no wag.
    if (!(t >= 0 && t <= length)) return 0;
    return std::sin(wagFrequency(pet) * t) * std::sin(std::numbers::pi * t / length);
}

double PetTransition::value(double now) const {
    if (!(duration > 0)) return target;
    double p = (now - startedAt) / duration;
    if (!(p >= 0)) p = 0;  // negative or NaN
    p = std::min(p, 1.0);
    return source + (target - source) * p * p * (3 - 2 * p);
}

void PetTransition::retarget(bool open, bool instant, double now) {
    const double next = open ? 1 : 0;
    if (target == next && !instant) return;
    const double current = value(now);
    target = next;
    source = current;
    startedAt = now;
    duration = instant ? 0 : (open ? 0.28 : 0.20) * std::abs(next - current);
}

double petRestLevel(double now, const PetRestCycle& rest) {
    const double t = now - rest.lastTouch - petRestDelay;
    if (!(t >= 0)) return 0;
    const double c = std::fmod(t, petRestCycleLength);
    if (c >= petRestAsleepLength) return 0;
    return std::min({1.0, c / petRestFade, (petRestAsleepLength - c) / petRestFade});
}

double petBreath(double now, const PetRestCycle& rest, bool reducedMotion) {
    if (reducedMotion) return 0.5;
    return (1 - std::cos(2 * std::numbers::pi * (now - rest.lastTouch - petRestDelay) / 3)) / 2;
}

double petBlinkAmount(StartPet pet, double now, double blinkAt, bool reducedMotion, bool idleMotion) {
    if (reducedMotion || !idleMotion) return 0;
    const double s = now - blinkAt;
    const double length = blinkDuration(pet);
    if (!(s >= 0 && s <= length)) return 0;
    return std::sin(std::numbers::pi * s / length);
}

double petWagAmount(StartPet pet, double now, double wagAt, bool reducedMotion, bool idleMotion, bool menuOpen) {
    if (reducedMotion || !idleMotion || menuOpen) return 0;
    return wiggle(pet, now - wagAt);
}

bool PetPointerGeometry::inTouchZone(double x, double y) const {
    const double head = headLine();
    return x >= 0 && x <= viewWidth && y >= head && y <= head + 28;
}

PetVector PetPointerGeometry::gazeTarget(double x, double y, bool followsPointer, bool reducedMotion) const {
    if (!followsPointer || reducedMotion) return {};
    const double dx = x - viewWidth / 2;
    if (!(std::abs(dx) <= 58)) return {};
    const double dy = y - (headLine() + 12);
    if (!(std::abs(dy) <= 54)) return {};
    // Close to the eyes the vector shrinks, so the pupils do not jump
    // from side to side as the pointer crosses the face.
    const double d = std::max(std::hypot(dx, dy), 24.0);
    return {dx / d, dy / d};
}

PetVector petEaseGaze(PetVector gaze, PetVector target) {
    gaze.x += (target.x - gaze.x) * 0.28;
    gaze.y += (target.y - gaze.y) * 0.28;
    if (std::hypot(target.x - gaze.x, target.y - gaze.y) < 0.005) gaze = target;
    return gaze;
}

PetPose petFramePose(double transition, PetVector gaze, double blink, double wag, double rest, double breath) {
    PetPose pose{transition, gaze.x, gaze.y, blink, wag, rest, breath};
    if (rest > 0) {
        pose.wag = wag * (1 - rest);
        pose.blink = std::max(blink, rest);
        pose.gazeX = gaze.x * (1 - rest);
        // A sleeping pet's eyes drop.
        pose.gazeY = rest * 0.6 + gaze.y * (1 - rest);
    }
    return pose;
}

double petSquash(double rest, double breath) {
    if (!(rest > 0)) return 1;
    return 1 - rest * (0.025 + 0.025 * breath);
}
