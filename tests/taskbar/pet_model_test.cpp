#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "taskbar/pet/pet_model.h"

namespace {

TEST(StartPetRawValue, ParsesOnlyExactStoredForms) {
    struct Case {
        const char* text;
        std::optional<StartPet> pet;
    };
    const Case cases[] = {
        {"cat", StartPet::cat}, {"dog", StartPet::dog},   {"mouse", StartPet::mouse}, {"Cat", std::nullopt},
        {"DOG", std::nullopt},  {" cat", std::nullopt},   {"", std::nullopt},         {"mice", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(startPetFromRawValue(QString::fromUtf8(c.text)), c.pet) << c.text;
    for (StartPet pet : allStartPets) EXPECT_EQ(startPetFromRawValue(rawValue(pet)), pet);
    EXPECT_EQ(allStartPets, (std::array{StartPet::cat, StartPet::dog, StartPet::mouse}));
}

TEST(StartPetTiming, EachPetHasItsOwnBlinkAndWag) {
    struct Case {
        StartPet pet;
        double blink, wag, frequency;
    };
    const Case cases[] = {{StartPet::cat, 0.24, 1.2, 9}, {StartPet::dog, 0.18, 0.9, 26}, {StartPet::mouse, 0.15, 0.65, 21}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(blinkDuration(c.pet), c.blink);
        EXPECT_DOUBLE_EQ(wagDuration(c.pet), c.wag);
        EXPECT_DOUBLE_EQ(wagFrequency(c.pet), c.frequency);
    }
}

TEST(StartPetWiggle, SwingsUnderAnEnvelopeAndIsStillOutsideTheWag) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        StartPet pet;
        double t, expected;
    };
    const Case cases[] = {
        {StartPet::dog, 0.45, std::sin(26 * 0.45)},  // half-way the envelope is 1
        {StartPet::dog, 0.0, 0},
        {StartPet::dog, 0.9000001, 0},
        {StartPet::dog, 5, 0},
        {StartPet::dog, -0.1, 0},
        {StartPet::dog, nan, 0},
        {StartPet::cat, 0.6, std::sin(9 * 0.6)},
        {StartPet::mouse, 0.2, std::sin(21 * 0.2) * std::sin(std::numbers::pi * 0.2 / 0.65)},
    };
    for (const auto& c : cases) EXPECT_NEAR(wiggle(c.pet, c.t), c.expected, 1e-12) << c.t;
    // The envelope closes the wag: its end is (numerically) still.
    EXPECT_NEAR(wiggle(StartPet::dog, 0.9), 0, 1e-12);
}

TEST(PetTransition, OpensInAQuarterSecondAndClosesFaster) {
    PetTransition t;
    t.retarget(true, false, 100);
    EXPECT_DOUBLE_EQ(t.duration, 0.28);
    EXPECT_DOUBLE_EQ(t.source, 0);
    EXPECT_DOUBLE_EQ(t.value(100), 0);
    EXPECT_NEAR(t.value(100.14), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(t.value(100.28), 1);
    EXPECT_DOUBLE_EQ(t.value(99), 0);  // before the start: still at the source
    EXPECT_TRUE(t.isRunning(100.2));
    EXPECT_FALSE(t.isRunning(100.28));

    t.retarget(false, false, 101);
    EXPECT_DOUBLE_EQ(t.duration, 0.20);
    EXPECT_DOUBLE_EQ(t.value(101.2), 0);
}

TEST(PetTransition, ReversalHalfWayStartsFromWhereThePoseIs) {
    PetTransition t;
    t.retarget(true, false, 10);
    t.retarget(false, false, 10.14);
    EXPECT_NEAR(t.source, 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(t.target, 0);
    EXPECT_NEAR(t.duration, 0.10, 1e-12);
    EXPECT_DOUBLE_EQ(t.startedAt, 10.14);
    EXPECT_NEAR(t.value(10.14), 0.5, 1e-9);
    EXPECT_NEAR(t.value(10.24), 0, 1e-12);
}

TEST(PetTransition, SameTargetChangesNothingUnlessInstant) {
    PetTransition t;
    t.retarget(true, false, 10);
    const PetTransition before = t;
    t.retarget(true, false, 10.1);
    EXPECT_EQ(t, before);

    // Instant jumps, even to the target it already has.
    t.retarget(true, true, 10.1);
    EXPECT_DOUBLE_EQ(t.duration, 0);
    EXPECT_DOUBLE_EQ(t.value(10.1), 1);
    EXPECT_DOUBLE_EQ(t.startedAt, 10.1);
    EXPECT_FALSE(t.isRunning(10.1));
    t.retarget(false, true, 11);
    EXPECT_DOUBLE_EQ(t.value(11), 0);
}

TEST(PetRestLevel, NapsAfterAMinuteInA42SecondCycle) {
    const PetRestCycle rest{500};
    struct Case {
        double after, level;
    };
    const Case cases[] = {
        {0, 0},     {59.9, 0},  {60, 0},    {60.4, 0.5}, {60.8, 1},   {70, 1},    {83.2, 1},   {83.6, 0.5},
        {84, 0},    {90, 0},    {101.9, 0}, {102, 0},    {102.4, 0.5}, {102.8, 1}, {125.2, 1}, {126, 0},
    };
    for (const auto& c : cases) EXPECT_NEAR(petRestLevel(500 + c.after, rest), c.level, 1e-9) << c.after;
    EXPECT_EQ(petRestLevel(400, rest), 0);  // a clock before the touch
}

TEST(PetBreath, BreathesEveryThreeSecondsOrHoldsStill) {
    const PetRestCycle rest{0};
    EXPECT_NEAR(petBreath(60, rest, false), 0, 1e-12);
    EXPECT_NEAR(petBreath(61.5, rest, false), 1, 1e-12);
    EXPECT_NEAR(petBreath(63, rest, false), 0, 1e-12);
    EXPECT_DOUBLE_EQ(petBreath(61.5, rest, true), 0.5);
    EXPECT_DOUBLE_EQ(petBreath(60.7, rest, true), 0.5);
}

TEST(PetBlinkAndWag, StillWithReducedMotionIdleMotionOffOrMenuOpen) {
    EXPECT_NEAR(petBlinkAmount(StartPet::cat, 10.12, 10, false, true), 1, 1e-12);
    EXPECT_EQ(petBlinkAmount(StartPet::cat, 10.12, 10, true, true), 0);
    EXPECT_EQ(petBlinkAmount(StartPet::cat, 10.12, 10, false, false), 0);
    EXPECT_EQ(petBlinkAmount(StartPet::mouse, 10.16, 10, false, true), 0);  // a mouse's blink is over
    EXPECT_EQ(petBlinkAmount(StartPet::cat, 10, -std::numeric_limits<double>::infinity(), false, true), 0);

    EXPECT_NEAR(petWagAmount(StartPet::dog, 10.45, 10, false, true, false), std::sin(26 * 0.45), 1e-12);
    EXPECT_EQ(petWagAmount(StartPet::dog, 10.45, 10, false, true, true), 0);
    EXPECT_EQ(petWagAmount(StartPet::dog, 10.45, 10, true, true, false), 0);
    EXPECT_EQ(petWagAmount(StartPet::dog, 10.45, 10, false, false, false), 0);
}

TEST(PetPointerGeometry, EyesFollowOnlyWithinReach) {
    // A 36 x 44 view on a 44 point bar: head line at 8, eye line at 20.
    const PetPointerGeometry g{36, 44, 44};
    ASSERT_DOUBLE_EQ(g.headLine(), 8);
    struct Case {
        const char* what;
        double x, y;
        PetVector expected;
    };
    const Case cases[] = {
        {"far right edge of reach", 18 + 58, 20, {1, 0}},
        {"just beyond the side", 18 + 58.5, 20, {0, 0}},
        {"far left edge of reach", 18 - 58, 20, {-1, 0}},
        {"straight below at reach", 18, 20 + 54, {0, 1}},
        {"too far below", 18, 20 + 54.5, {0, 0}},
        {"too far above", 18, 20 - 60, {0, 0}},
        {"close to the eyes: shorter than 1", 18 + 12, 20, {0.5, 0}},
        {"diagonal", 18 + 30, 20 - 40, {0.6, -0.8}},
    };
    for (const auto& c : cases) {
        const PetVector v = g.gazeTarget(c.x, c.y, true, false);
        EXPECT_NEAR(v.x, c.expected.x, 1e-12) << c.what;
        EXPECT_NEAR(v.y, c.expected.y, 1e-12) << c.what;
    }
    EXPECT_EQ(g.gazeTarget(18 + 30, 20, false, false), (PetVector{0, 0}));
    EXPECT_EQ(g.gazeTarget(18 + 30, 20, true, true), (PetVector{0, 0}));

    // The band over the head counts as a touch.
    EXPECT_TRUE(g.inTouchZone(18, 8));
    EXPECT_TRUE(g.inTouchZone(0, 36));
    EXPECT_FALSE(g.inTouchZone(18, 7.9));
    EXPECT_FALSE(g.inTouchZone(18, 36.1));
    EXPECT_FALSE(g.inTouchZone(37, 20));
    // A narrow bar moves the head line up.
    EXPECT_DOUBLE_EQ((PetPointerGeometry{36, 34, 34}).headLine(), 3);
}

TEST(PetEaseGaze, ApproachesWithoutOvershootAndSettles) {
    PetVector gaze{0, 0};
    const PetVector target{1, -0.5};
    gaze = petEaseGaze(gaze, target);
    EXPECT_DOUBLE_EQ(gaze.x, 0.28);
    EXPECT_DOUBLE_EQ(gaze.y, -0.14);
    int frames = 1;
    while (gaze != target && frames < 100) {
        const PetVector next = petEaseGaze(gaze, target);
        EXPECT_LE(next.x, target.x);
        EXPECT_GE(next.y, target.y);
        gaze = next;
        ++frames;
    }
    EXPECT_EQ(gaze, target);
    EXPECT_LT(frames, 30);  // settles within a second at 30 frames per second
}

TEST(PetFramePose, RestingClosesTheEyesAndStillsTheTail) {
    const PetPose awake = petFramePose(0.3, {0.5, -0.4}, 0.2, 0.7, 0, 0.4);
    EXPECT_EQ(awake, (PetPose{0.3, 0.5, -0.4, 0.2, 0.7, 0, 0.4}));

    const PetPose asleep = petFramePose(0, {0.5, -0.4}, 0.2, 0.7, 1, 0.4);
    EXPECT_DOUBLE_EQ(asleep.blink, 1);
    EXPECT_DOUBLE_EQ(asleep.wag, 0);
    EXPECT_DOUBLE_EQ(asleep.gazeX, 0);
    EXPECT_DOUBLE_EQ(asleep.gazeY, 0.6);

    const PetPose dozing = petFramePose(0, {0.5, -0.4}, 0.2, 0.7, 0.5, 0.4);
    EXPECT_DOUBLE_EQ(dozing.blink, 0.5);
    EXPECT_DOUBLE_EQ(dozing.wag, 0.35);
    EXPECT_DOUBLE_EQ(dozing.gazeY, 0.1);

    EXPECT_DOUBLE_EQ(petSquash(0, 1), 1);
    EXPECT_DOUBLE_EQ(petSquash(1, 0), 0.975);
    EXPECT_DOUBLE_EQ(petSquash(1, 1), 0.95);
}

}  // namespace
