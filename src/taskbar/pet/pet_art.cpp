#include "taskbar/pet/pet_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace PetArt {
namespace {

constexpr double radToDeg = 180.0 / std::numbers::pi;

struct Palette {
    QColor outline;
    QColor detail;
    QColor eye;
};

QPen linePen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void fillStroke(QPainter& p, const QPainterPath& path, const QColor& fill, const QColor& line, double width) {
    p.setPen(linePen(line, width));
    p.setBrush(fill);
    p.drawPath(path);
}

void fillOnly(QPainter& p, const QPainterPath& path, const QColor& fill) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
}

void strokeOnly(QPainter& p, const QPainterPath& path, const QColor& line, double width) {
    p.setPen(linePen(line, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

QPainterPath ellipse(double cx, double cy, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), rx, ry);
    return path;
}

QPainterPath line(double x0, double y0, double x1, double y1) {
    QPainterPath path;
    path.moveTo(x0, y0);
    path.lineTo(x1, y1);
    return path;
}

// Rotation by `radians` about `pivot`.
void rotateAbout(QPainter& p, QPointF pivot, double radians) {
    p.translate(pivot);
    p.rotate(radians * radToDeg);
    p.translate(-pivot);
}

// Eyes turn towards the open start menu (up and to the right) as the
// transition runs, whatever the pointer does.
QPointF menuGaze(const PetPose& pose) {
    const double t = std::clamp(pose.transition, 0.0, 1.0);
    return {pose.gazeX + t * (0.8 - pose.gazeX), pose.gazeY + t * (-0.6 - pose.gazeY)};
}

struct EyeShape {
    QPointF centre;
    double tilt = 0;         // radians
    QPainterPath white;      // about (0, 0)
    QSizeF pupil;
    QPointF pupilRest;       // about (0, 0)
    double closedHalfWidth = 3;
};

struct EyeStyle {
    double pupilFactor = 1;
    double squashFloor = 0.025;
    double outlineWidth = 1.3;
    double closedWidth = 1.9;
    bool highlight = false;
    bool clipPupil = false;
};

// Past this closure an eye is drawn shut.
constexpr double shutBlink = 0.82;

void drawEye(QPainter& p, const EyeShape& eye, const EyeStyle& style, const Palette& colors, const PetPose& pose,
             QPointF gaze) {
    p.save();
    p.translate(eye.centre);
    p.rotate(eye.tilt * radToDeg);
    if (pose.blink > shutBlink) {
        // A shut eye: one lid line sagging gently downwards.
        const double w = eye.closedHalfWidth;
        QPainterPath lid;
        lid.moveTo(-w, -0.3);
        lid.quadTo(0, w * 0.6, w, -0.3);
        strokeOnly(p, lid, colors.outline, style.closedWidth);
        p.restore();
        return;
    }
    // Squash the shapes, not the painter, so the outline keeps its width.
    const QTransform squash = QTransform::fromScale(1, std::max(1 - pose.blink, style.squashFloor));
    const QPainterPath white = squash.map(eye.white);
    fillStroke(p, white, colors.eye, colors.outline, style.outlineWidth);
    const QPointF centre = eye.pupilRest + gaze * style.pupilFactor;
    if (style.clipPupil) p.setClipPath(white, Qt::IntersectClip);
    fillOnly(p, squash.map(ellipse(centre.x(), centre.y(), eye.pupil.width() / 2, eye.pupil.height() / 2)),
             colors.detail);
    if (style.highlight) {
        const QPointF dot = centre + QPointF(eye.pupil.width() * 0.2, -eye.pupil.height() * 0.22);
        fillOnly(p, squash.map(ellipse(dot.x(), dot.y(), 0.55, 0.7)), colors.eye);
    }
    p.restore();
}

QPainterPath almond(double width, double height) {
    const double a = width / 2;
    const double k = height / 2 / 0.75;  // a cubic's apex lies at 3/4 of its control offset
    QPainterPath path;
    path.moveTo(-a, 0);
    path.cubicTo(-a / 2, -k, a / 2, -k, a, 0);
    path.cubicTo(a / 2, k, -a / 2, k, -a, 0);
    path.closeSubpath();
    return path;
}

// Mirror image of everything drawn next about the vertical line x = `axis`.
void mirrorAbout(QPainter& p, double axis) {
    p.translate(axis, 0);
    p.scale(-1, 1);
    p.translate(-axis, 0);
}

// ---- cat --------------------------------------------------------------------

const QColor catCoat(185, 189, 240);
const QColor catStripe(112, 117, 176);
const QColor catBelly(233, 233, 252);
const QColor catPink(216, 165, 192);
const QColor catNose(150, 114, 143);

QPainterPath catTail() {
    QPainterPath path;
    path.moveTo(41, 54);
    path.cubicTo(52, 55.5, 60.5, 48, 59.2, 36.5);
    path.cubicTo(58.8, 31, 60.2, 28.2, 57.2, 27.2);
    path.cubicTo(54.2, 26.6, 53.6, 31, 54.2, 36);
    path.cubicTo(55, 44.5, 50, 49.2, 41, 49.2);
    path.closeSubpath();
    return path;
}

QPainterPath catBody() {
    QPainterPath path;
    path.moveTo(18.5, 50.5);
    path.cubicTo(15.2, 43.5, 16.8, 36.5, 23, 34);
    path.cubicTo(27, 32.6, 33, 32.6, 37, 34);
    path.cubicTo(43.2, 36.5, 44.8, 43.5, 41.5, 50.5);
    path.cubicTo(37, 52.2, 23, 52.2, 18.5, 50.5);
    path.closeSubpath();
    return path;
}

QPainterPath catHead() {
    QPainterPath path;
    path.moveTo(11.5, 21);
    path.cubicTo(10.6, 15, 10.4, 9, 11.3, 4.6);
    path.cubicTo(11.6, 3.0, 12.9, 2.6, 14.0, 3.5);
    path.cubicTo(17.2, 6, 20.2, 9, 23.5, 11.6);
    path.cubicTo(28, 10.6, 33, 10.6, 37.5, 11.6);
    path.cubicTo(40.8, 9, 43.8, 6, 47.0, 3.5);
    path.cubicTo(48.1, 2.6, 49.4, 3.0, 49.7, 4.6);
    path.cubicTo(50.6, 9, 50.4, 15, 49.5, 21);
    path.cubicTo(53.6, 26, 53, 35.6, 45, 39.6);
    path.cubicTo(37, 43.4, 24, 43.4, 16, 39.6);
    path.cubicTo(8, 35.6, 7.4, 26, 11.5, 21);
    path.closeSubpath();
    return path;
}

QPainterPath catInnerEar(bool right) {
    QPainterPath path;
    path.moveTo(13.4, 7.2);
    path.cubicTo(15.6, 9.2, 17.6, 11, 19.6, 12.8);
    path.cubicTo(17.4, 13.8, 15.4, 15.2, 13.8, 17);
    path.cubicTo(13.1, 13.6, 13, 10.4, 13.4, 7.2);
    path.closeSubpath();
    if (right) path = QTransform(-1, 0, 0, 1, 61, 0).map(path);
    return path;
}

}  // namespace

QRgb outlineColor(bool isDark) { return isDark ? qRgb(81, 69, 66) : qRgb(73, 62, 59); }

void drawCat(QPainter& p, bool isDark, QRgb detail, QRgb eye, const PetPose& pose) {
    const Palette colors{QColor(outlineColor(isDark)), QColor(detail), QColor(eye)};
    const QPointF gaze = menuGaze(pose);
    const double t = pose.transition;

    // Tail, swinging about where it joins the body; one stripe near the tip.
    p.save();
    rotateAbout(p, {44, 47}, pose.wag * 0.15);
    const QPainterPath tail = catTail();
    fillOnly(p, tail, catCoat);
    p.save();
    p.setClipPath(tail, Qt::IntersectClip);
    strokeOnly(p, line(52, 36.5, 62, 34.5), catStripe, 2.6);
    p.restore();
    strokeOnly(p, tail, colors.outline, 2.0);
    p.restore();

    // Front paws peek out below the body.
    fillStroke(p, ellipse(24, 51.5, 5.5, 3), catCoat, colors.outline, 1.8);
    fillStroke(p, ellipse(36, 51.5, 5.5, 3), catCoat, colors.outline, 1.8);
    fillStroke(p, catBody(), catCoat, colors.outline, 2.2);
    fillOnly(p, ellipse(30, 43.2, 5.6, 6.2), catBelly);
    // Legs and toes.
    strokeOnly(p, line(24.6, 45, 25.4, 50.2), colors.outline, 1.3);
    strokeOnly(p, line(35.4, 45, 34.6, 50.2), colors.outline, 1.3);
    for (double x : {22.2, 25.8, 34.2, 37.8}) strokeOnly(p, line(x, 52.6, x, 54.1), colors.outline, 1.1);

    // Head: lifts and turns towards the open menu, follows the gaze a little.
    p.save();
    p.translate(1.2 * t, -1.3 * t);
    rotateAbout(p, {30, 28}, 0.035 * gaze.x() - 0.13 * t - 0.018 * pose.wag);
    p.translate(30, 28);
    p.scale(0.92, 1);
    p.translate(-30, -28);

    const QPainterPath head = catHead();
    fillOnly(p, head, catCoat);
    p.save();
    p.setClipPath(head, Qt::IntersectClip);
    fillOnly(p, ellipse(45.5, 14.5, 10.5, 9), catStripe);
    p.restore();
    strokeOnly(p, head, colors.outline, 2.35);
    fillOnly(p, catInnerEar(false), catPink);
    fillOnly(p, catInnerEar(true), catPink);
    // Forehead stripes.
    strokeOnly(p, line(30.5, 12.4, 30.5, 16.6), catStripe, 1.8);
    strokeOnly(p, line(26.4, 12.8, 27.2, 15.8), catStripe, 1.6);
    strokeOnly(p, line(34.6, 12.8, 33.8, 15.8), catStripe, 1.6);

    const EyeStyle eyeStyle{1.6, 0.025, 1.3, 1.9, false, false};
    const QPainterPath white = almond(9.4, 7.8);
    drawEye(p, {{20, 27}, 0, white, {3.4, 5.0}, {0, 0}, 3.6}, eyeStyle, colors, pose, gaze);
    drawEye(p, {{41, 26.4}, 0, white, {3.4, 5.0}, {0, 0}, 3.6}, eyeStyle, colors, pose, gaze);

    fillOnly(p, ellipse(14.6, 33.2, 3, 1.9), catPink);
    fillOnly(p, ellipse(46.4, 33.2, 3, 1.9), catPink);
    QPainterPath nose;
    nose.moveTo(28.7, 29.8);
    nose.lineTo(32.3, 29.8);
    nose.lineTo(30.5, 31.9);
    nose.closeSubpath();
    fillStroke(p, nose, catNose, catNose, 1.2);
    strokeOnly(p, line(30.5, 31.9, 30.5, 33), colors.outline, 1.1);
    QPainterPath mouth;
    mouth.moveTo(28.4, 33);
    mouth.cubicTo(28.6, 35.6, 32.4, 35.6, 32.6, 33);
    mouth.closeSubpath();
    fillStroke(p, mouth, colors.detail, colors.detail, 0.8);
    // Whiskers.
    strokeOnly(p, line(7.8, 30.6, 12.6, 31.8), colors.outline, 1.1);
    strokeOnly(p, line(53.2, 30.6, 48.4, 31.8), colors.outline, 1.1);

    drawSleepBubble(p, isDark, eye, pose, catSleepBubbleAnchor);
    p.restore();
}

// ---- dog --------------------------------------------------------------------

namespace {

const QColor dogCoat(232, 191, 98);
const QColor dogEars(115, 123, 157);
const QColor dogEarLine(82, 94, 128);
const QColor dogChest(255, 227, 167);
const QColor dogMuzzle(255, 240, 202);
const QColor dogPink(232, 157, 162);
const QColor dogTongueLine(181, 116, 133);

QPainterPath dogTail() {
    QPainterPath path;
    path.moveTo(41.5, 46);
    path.cubicTo(46, 44, 50, 40, 51.4, 33);
    path.cubicTo(51.9, 30.4, 54.6, 29.4, 55.6, 31.6);
    path.cubicTo(56.6, 34, 55, 41.5, 50, 46.5);
    path.cubicTo(47.5, 49, 44, 49.6, 42, 49.2);
    path.closeSubpath();
    return path;
}

QPainterPath dogBody() {
    QPainterPath path;
    path.moveTo(17, 53.6);
    path.cubicTo(14.4, 46, 15.8, 38.2, 21.5, 35);
    path.lineTo(39, 35);
    path.cubicTo(44.7, 38.2, 46.1, 46, 43.5, 53.6);
    path.cubicTo(36, 55, 24, 55, 17, 53.6);
    path.closeSubpath();
    return path;
}

QPainterPath dogHead() {
    QPainterPath path;
    path.moveTo(30, 7);
    path.cubicTo(42.4, 7, 49.6, 14.4, 49.6, 25);
    path.cubicTo(49.6, 35.4, 42, 42.4, 30, 42.4);
    path.cubicTo(18, 42.4, 10.4, 35.4, 10.4, 25);
    path.cubicTo(10.4, 14.4, 17.6, 7, 30, 7);
    path.closeSubpath();
    return path;
}

QPainterPath dogEar() {
    QPainterPath path;
    path.moveTo(17.6, 8.4);
    path.cubicTo(12, 7.4, 6.4, 10, 5.4, 17);
    path.cubicTo(4.7, 22.6, 5.8, 28, 8.5, 30.6);
    path.cubicTo(11, 32.8, 13.6, 30.2, 14.1, 26);
    path.cubicTo(14.7, 21, 15.6, 15, 19.6, 11.6);
    path.cubicTo(20.2, 10, 19.2, 8.7, 17.6, 8.4);
    path.closeSubpath();
    return path;
}

QPainterPath dogTongue() {
    QPainterPath path;
    path.moveTo(27.6, 36.4);
    path.lineTo(33.4, 36.4);
    path.lineTo(33.4, 40);
    path.cubicTo(33.4, 43.2, 27.6, 43.2, 27.6, 40);
    path.closeSubpath();
    return path;
}

QPainterPath dogNose() {
    QPainterPath path;
    path.moveTo(27.4, 29.3);
    path.cubicTo(27.4, 27.6, 33.6, 27.6, 33.6, 29.3);
    path.cubicTo(33.6, 31, 31.4, 32.4, 30.5, 32.4);
    path.cubicTo(29.6, 32.4, 27.4, 31, 27.4, 29.3);
    path.closeSubpath();
    return path;
}

}  // namespace

void drawDog(QPainter& p, bool isDark, QRgb detail, QRgb eye, const PetPose& pose) {
    const Palette colors{QColor(outlineColor(isDark)), QColor(detail), QColor(eye)};
    const QPointF gaze = menuGaze(pose);
    const double t = pose.transition;
    const double wag = pose.wag;

    p.save();
    rotateAbout(p, {44, 43}, wag * 0.4);
    fillStroke(p, dogTail(), dogEars, colors.outline, 2.0);
    p.restore();

    // The whole body sways with the tail.
    p.save();
    rotateAbout(p, {30, 53}, wag * 0.032);
    p.translate(30, 53);
    p.scale(1, 1 - std::abs(wag) * 0.025);
    p.translate(-30, -53);
    fillStroke(p, dogBody(), dogCoat, colors.outline, 2.2);
    QPainterPath chest;
    chest.moveTo(23.6, 35.4);
    chest.cubicTo(25.4, 43.6, 28, 47.6, 30.3, 48.4);
    chest.cubicTo(32.6, 47.6, 35.2, 43.6, 37, 35.4);
    chest.closeSubpath();
    fillOnly(p, chest, dogChest);
    strokeOnly(p, line(24.8, 46, 24.6, 53.8), colors.outline, 1.3);
    strokeOnly(p, line(35.8, 46, 36, 53.8), colors.outline, 1.3);
    for (double x : {21.4, 39.2}) strokeOnly(p, line(x, 52.2, x, 54.2), colors.outline, 1.1);
    p.restore();

    p.save();
    p.translate(1.2 * t + 0.35 * wag, -1.2 * t - 0.7 * std::abs(wag));
    rotateAbout(p, {30, 28}, 0.025 * wag + 0.04 * gaze.x() - 0.15 * t);
    fillStroke(p, dogHead(), dogCoat, colors.outline, 2.3);

    // Floppy ears hang in front of the head and flap with the wag.
    p.save();
    rotateAbout(p, {16, 10}, wag * -0.095);
    fillStroke(p, dogEar(), dogEars, colors.outline, 2.0);
    QPainterPath inner;
    inner.moveTo(13.2, 13.4);
    inner.cubicTo(10.4, 17, 9.2, 22, 9.8, 27);
    strokeOnly(p, inner, dogEarLine, 1.3);
    p.restore();
    p.save();
    rotateAbout(p, {44, 11}, wag * 0.07);
    mirrorAbout(p, 30);
    fillStroke(p, dogEar(), dogEars, colors.outline, 2.0);
    p.restore();

    const EyeStyle eyeStyle{1.3, 0.03, 1.4, 2.0, true, true};
    QPainterPath leftWhite = ellipse(0, 0, 5.7, 6.3);
    QPainterPath rightWhite = ellipse(0, 0, 4.7, 6.3);
    drawEye(p, {{21.8, 23.2}, -0.075, leftWhite, {6.2, 7.6}, {0.2, 0.4}, 4.4}, eyeStyle, colors, pose, gaze);
    drawEye(p, {{38.6, 23.2}, 0.065, rightWhite, {5.6, 7.6}, {-0.2, 0.4}, 3.8}, eyeStyle, colors, pose, gaze);

    const QPainterPath tongue = dogTongue();
    fillStroke(p, tongue, dogPink, colors.outline, 1.2);
    strokeOnly(p, line(30.5, 37.6, 30.5, 40.2), dogTongueLine, 1.1);
    fillStroke(p, ellipse(30.5, 33.2, 7.8, 4.6), dogMuzzle, colors.outline, 1.3);
    fillOnly(p, dogNose(), colors.detail);
    strokeOnly(p, line(30.5, 32.4, 30.5, 34.6), colors.outline, 1.1);
    fillOnly(p, ellipse(15.8, 32.6, 2.8, 1.9), dogPink);
    fillOnly(p, ellipse(45.2, 32.6, 2.8, 1.9), dogPink);

    drawSleepBubble(p, isDark, eye, pose, dogSleepBubbleAnchor);
    p.restore();
}

// ---- mouse ------------------------------------------------------------------

namespace {

const QColor mouseCoat(205, 200, 212);
const QColor mouseBelly(236, 231, 232);
const QColor mousePink(230, 175, 180);
const QColor mouseNose(196, 142, 153);

QPainterPath mouseTail(double w) {
    QPainterPath path;
    path.moveTo(40, 51.6);
    path.cubicTo(47, 55, 55, 53.6, 56.6, 47.6);
    path.cubicTo(57.6, 43.6, 55.6 + 3 * w, 40.4, 52.4 + 5 * w, 39.4 - w);
    return path;
}

QPainterPath mouseBody() {
    QPainterPath path;
    path.moveTo(19, 52);
    path.cubicTo(15.5, 45, 17, 37, 23, 34);
    path.cubicTo(27, 32.5, 33, 32.5, 37, 34);
    path.cubicTo(43, 37, 44.5, 45, 41, 52);
    path.cubicTo(36, 54, 24, 54, 19, 52);
    path.closeSubpath();
    return path;
}

QPainterPath mousePaw(QPointF centre) {
    // Five round toes: a radius that swells five times around the centre.
    QPainterPath path;
    constexpr int steps = 40;
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * std::numbers::pi * i / steps - std::numbers::pi / 2;
        const double r = 2.0 + 0.3 * std::cos(5 * (a + std::numbers::pi / 2));
        const QPointF pt = centre + QPointF(std::cos(a) * r, std::sin(a) * r);
        if (i == 0) path.moveTo(pt);
        else path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

QPainterPath mouseHead() {
    QPainterPath path;
    path.moveTo(30, 12);
    path.cubicTo(40.6, 12, 46.6, 19, 46.1, 27.5);
    path.cubicTo(45.6, 35, 38.6, 41.6, 30, 42);
    path.cubicTo(21.4, 41.6, 14.4, 35, 13.9, 27.5);
    path.cubicTo(13.4, 19, 19.4, 12, 30, 12);
    path.closeSubpath();
    return path;
}

}  // namespace

void drawMouse(QPainter& p, bool isDark, QRgb detail, QRgb eye, const PetPose& pose) {
    const Palette colors{QColor(outlineColor(isDark)), QColor(detail), QColor(eye)};
    const QPointF gaze = menuGaze(pose);
    const double t = pose.transition;
    // The mouse settles down as the menu opens: its wag fades out.
    const double w = pose.wag * (1 - t);

    const QPainterPath tail = mouseTail(w);
    strokeOnly(p, tail, colors.outline, 3.9);
    strokeOnly(p, tail, mousePink, 1.8);

    fillStroke(p, ellipse(23.4, 53, 4.4, 2.1), mousePink, colors.outline, 1.4);
    fillStroke(p, ellipse(36.6, 53, 4.4, 2.1), mousePink, colors.outline, 1.4);
    fillStroke(p, mouseBody(), mouseCoat, colors.outline, 2.2);
    fillOnly(p, ellipse(30, 45.4, 6.8, 6.2), mouseBelly);

    // Arms hold two paws before the chest; the right one mirrors the left.
    for (int side = 0; side < 2; ++side) {
        p.save();
        if (side == 1) mirrorAbout(p, 30);
        QPainterPath arm;
        arm.moveTo(20.6, 38.6);
        arm.cubicTo(21.4, 42, 23.2, 43.8, 25.4, 44.2);
        strokeOnly(p, arm, colors.outline, 1.4);
        fillStroke(p, mousePaw({26.6, 44.2}), mousePink, colors.outline, 1.1);
        p.restore();
    }

    p.save();
    p.translate(1.1 * t + 0.35 * gaze.x(), -1.5 * t);
    rotateAbout(p, {30, 26}, 0.015 * w + 0.045 * gaze.x() - 0.12 * t);

    // Round ears behind the head.
    p.save();
    rotateAbout(p, {18, 19}, w * 0.055);
    fillStroke(p, ellipse(12.6, 13.8, 9.4, 9.2), mouseCoat, colors.outline, 2.2);
    fillOnly(p, ellipse(13, 14.4, 5.8, 5.6), mousePink);
    p.restore();
    p.save();
    rotateAbout(p, {43, 19}, w * -0.08);
    fillStroke(p, ellipse(47.4, 13.8, 9.4, 9.2), mouseCoat, colors.outline, 2.2);
    fillOnly(p, ellipse(47, 14.4, 5.8, 5.6), mousePink);
    p.restore();

    fillStroke(p, mouseHead(), mouseCoat, colors.outline, 2.25);

    const EyeStyle eyeStyle{1.0, 0.025, 1.2, 1.85, true, false};
    const QPainterPath white = ellipse(0, 0, 3.3, 3.9);
    drawEye(p, {{23.2, 26.2}, -0.1, white, {4.0, 4.8}, {0, 0.3}, 3.0}, eyeStyle, colors, pose, gaze);
    drawEye(p, {{36.8, 26.2}, 0.07, white, {4.0, 4.8}, {0, 0.3}, 3.0}, eyeStyle, colors, pose, gaze);

    fillOnly(p, ellipse(30, 34.4, 6.4, 4.4), mouseBelly);
    QPainterPath tooth;
    tooth.addRoundedRect(QRectF(28.9, 36.4, 2.2, 2.3), 0.5, 0.5);
    fillStroke(p, tooth, colors.eye, colors.outline, 0.9);
    QPainterPath mouth;
    mouth.moveTo(27.4, 35.8);
    mouth.quadTo(30, 37.2, 32.6, 35.8);
    strokeOnly(p, mouth, colors.outline, 1.1);
    fillOnly(p, ellipse(30, 32.2, 1.9, 1.4), mouseNose);
    for (int side = 0; side < 2; ++side) {
        p.save();
        if (side == 1) mirrorAbout(p, 30);
        strokeOnly(p, line(22.6, 33.6, 15.2, 32.2), colors.outline, 1.0);
        strokeOnly(p, line(22.6, 35.2, 15.4, 36.2), colors.outline, 1.0);
        p.restore();
    }
    fillOnly(p, ellipse(19.2, 32.4, 2.4, 1.6), mousePink);
    fillOnly(p, ellipse(40.8, 32.4, 2.4, 1.6), mousePink);

    drawSleepBubble(p, isDark, eye, pose, mouseSleepBubbleAnchor);
    p.restore();
}

void draw(StartPet pet, QPainter& painter, bool isDark, QRgb detail, QRgb eye, const PetPose& pose) {
    switch (pet) {
        case StartPet::cat: drawCat(painter, isDark, detail, eye, pose); return;
        case StartPet::dog: drawDog(painter, isDark, detail, eye, pose); return;
        case StartPet::mouse: drawMouse(painter, isDark, detail, eye, pose); return;
    }
}

void drawSleepBubble(QPainter& p, bool isDark, QRgb eye, const PetPose& pose, QPointF anchor) {
    if (!(pose.rest > 0)) return;
    // The bubble swells and shrinks with every breath.
    const double f = pose.breath * 2.4 + 2.2;
    const double x = anchor.x();
    const double y = anchor.y();
    QPainterPath bubble;
    bubble.moveTo(x, y);
    bubble.cubicTo(x - 0.35 * f, y - 0.45 * f, x - f, y - 0.9 * f, x - f, y - 1.5 * f);
    bubble.arcTo(QRectF(x - f, y - 2.5 * f, 2 * f, 2 * f), 180, -180);
    bubble.cubicTo(x + f, y - 0.9 * f, x + 0.35 * f, y - 0.45 * f, x, y);
    bubble.closeSubpath();
    p.save();
    p.setOpacity(p.opacity() * std::min(pose.rest, 1.0) * 0.85);
    fillStroke(p, bubble, QColor(215, 234, 240), QColor(outlineColor(isDark)), 0.9);
    fillOnly(p, ellipse(x - 0.42 * f, y - 1.85 * f, 0.2 * f, 0.275 * f), QColor(eye));
    p.restore();
}

}  // namespace PetArt
