#pragma once
// Vector artwork of the three pets.
//
// Each routine draws into a painter that the caller has already moved into
// the pet's unit space: about 60 units wide, x to the right, y downwards,
// ear tips near y 2 and the foot line at y 54. The body never changes; only
// the pose moves the tail, head, ears, eyes and the sleep bubble. Every
// routine leaves the painter's state as it found it.
#include <QPointF>
#include <QRgb>

#include "taskbar/pet/pet_model.h"

class QPainter;

namespace PetArt {

// Colours both callers pass: pupils and dark details, and the eye whites.
inline constexpr QRgb darkDetailColor = 0x342E31;
inline constexpr QRgb eyeColor = 0xFFFEF8;

// The outline of every stroked shape; the only colour that follows the appearance.
QRgb outlineColor(bool isDark);

void drawCat(QPainter& painter, bool isDark, QRgb detail, QRgb eye, const PetPose& pose);
void drawDog(QPainter& painter, bool isDark, QRgb detail, QRgb eye, const PetPose& pose);
void drawMouse(QPainter& painter, bool isDark, QRgb detail, QRgb eye, const PetPose& pose);
void draw(StartPet pet, QPainter& painter, bool isDark, QRgb detail, QRgb eye, const PetPose& pose);

// The breathing bubble of a sleeping pet, its tip at `anchor`; nothing when
// the pet is awake.
void drawSleepBubble(QPainter& painter, bool isDark, QRgb eye, const PetPose& pose, QPointF anchor);

// Where each pet's sleep bubble grows from (its nose).
inline constexpr QPointF catSleepBubbleAnchor{31.5, 33.5};
inline constexpr QPointF dogSleepBubbleAnchor{32, 29};
inline constexpr QPointF mouseSleepBubbleAnchor{33, 33};

}  // namespace PetArt
