// The artwork compared with itself: a pose change must show where it moves
// something and nowhere else. With QUORVEL_PET_RENDER_DIR set, the poses are
// also written there as pictures (scripts/render_pets.sh).
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdlib>

#include "support/sim_fixture.h"
#include "taskbar/pet/pet_art.h"
#include "taskbar/pet/pet_thumbnail.h"

namespace {

// Pictures in unit space with a margin: x from −6 to 66, y from −2 to 58.
constexpr double marginX = 6, marginY = 2, unitsWide = 72, unitsHigh = 60;
constexpr double scale = 4;

QImage render(StartPet pet, const PetPose& pose, bool dark = false) {
    QImage image(int(unitsWide * scale), int(unitsHigh * scale), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.translate(marginX, marginY);
    PetArt::draw(pet, p, dark, PetArt::darkDetailColor, PetArt::eyeColor, pose);
    return image;
}

// A region in unit space, as pixels of the pictures above.
QRect pixels(QRectF units) {
    return QRectF((units.x() + marginX) * scale, (units.y() + marginY) * scale, units.width() * scale,
                  units.height() * scale)
        .toAlignedRect()
        .intersected(QRect(0, 0, int(unitsWide * scale), int(unitsHigh * scale)));
}

// Pixels that differ inside `inside` (all when empty), and outside every
// rectangle of `outside`.
int differing(const QImage& a, const QImage& b, const QList<QRectF>& skip = {}, QRectF only = {}) {
    QList<QRect> skipped;
    for (const auto& r : skip) skipped << pixels(r);
    const QRect area = only.isNull() ? a.rect() : pixels(only);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            bool skipThis = false;
            for (const auto& r : skipped) skipThis = skipThis || r.contains(x, y);
            if (!skipThis && a.pixel(x, y) != b.pixel(x, y)) ++count;
        }
    return count;
}

int pixelsNear(const QImage& image, QRgb color, QRectF units) {
    const QRect area = pixels(units);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) == 255 && std::abs(qRed(c) - qRed(color)) <= 2 && std::abs(qGreen(c) - qGreen(color)) <= 2 &&
                std::abs(qBlue(c) - qBlue(color)) <= 2)
                ++count;
        }
    return count;
}

struct Parts {
    StartPet pet;
    QList<QRectF> eyes;
    QList<QRectF> pupils;  // just around the pupils, clear of the nose
    QRectF tail;
    QRectF bubble;
    QRectF feet;  // never moves with the head or the transition
};

// Generous boxes around the moving parts of each pet.
const Parts partsOf[] = {
    {StartPet::cat, {QRectF(13, 20, 14, 14), QRectF(34, 19, 14, 14)}, {QRectF(17, 24, 6, 6), QRectF(38, 23.4, 6, 6)},
     QRectF(44, 22, 22, 36), QRectF(24, 18, 16, 18),
     QRectF(14, 50, 26, 6)},
    {StartPet::dog, {QRectF(13, 14, 17, 19), QRectF(31, 14, 16, 19)}, {QRectF(18.8, 20.2, 6, 6.6), QRectF(35.6, 20.2, 6, 6.6)},
     QRectF(40, 20, 26, 36), QRectF(25, 14, 16, 18),
     QRectF(14, 51, 30, 5)},
    {StartPet::mouse, {QRectF(17, 19, 13, 15), QRectF(30, 19, 13, 15)}, {QRectF(20.2, 23.2, 6, 6), QRectF(33.8, 23.2, 6, 6)},
     QRectF(38, 34, 28, 24),
     QRectF(26, 18, 15, 18), QRectF(14, 50, 22, 6)},
};

PetPose with(std::function<void(PetPose&)> change) {
    PetPose pose;
    change(pose);
    return pose;
}

TEST(PetArt, BlinkingChangesTheEyesAndNothingElse) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage open = render(parts.pet, {});
        const QImage half = render(parts.pet, with([](PetPose& p) { p.blink = 0.5; }));
        for (const auto& eye : parts.eyes) EXPECT_GT(differing(open, half, {}, eye), 20);
        EXPECT_EQ(differing(open, half, parts.eyes), 0);
    }
}

TEST(PetArt, EyesShutJustPastTheThreshold) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage flattened = render(parts.pet, with([](PetPose& p) { p.blink = 0.82; }));
        const QImage shut = render(parts.pet, with([](PetPose& p) { p.blink = 0.83; }));
        for (const auto& pupil : parts.pupils) {
            EXPECT_GT(pixelsNear(flattened, PetArt::darkDetailColor, pupil), 0) << "a flattened pupil still shows at 0.82";
            EXPECT_EQ(pixelsNear(shut, PetArt::darkDetailColor, pupil), 0) << "a shut eye is one line";
        }
        EXPECT_EQ(differing(flattened, shut, parts.eyes), 0);
    }
}

TEST(PetArt, LookingUpOrDownMovesOnlyThePupils) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage ahead = render(parts.pet, {});
        const QImage down = render(parts.pet, with([](PetPose& p) { p.gazeY = 0.9; }));
        EXPECT_GT(differing(ahead, down, {}, parts.eyes[0]), 10);
        EXPECT_EQ(differing(ahead, down, parts.eyes), 0);
        // Looking sideways turns the head, never the feet.
        const QImage right = render(parts.pet, with([](PetPose& p) { p.gazeX = 1; }));
        EXPECT_GT(differing(ahead, right), 0);
        EXPECT_EQ(differing(ahead, right, {}, parts.feet), 0);
    }
}

TEST(PetArt, TheOpenMenuTurnsTheEyesUpAndRightWhateverThePointer) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage pointerLeftBelow = render(parts.pet, with([](PetPose& p) {
            p.transition = 1;
            p.gazeX = -1;
            p.gazeY = 1;
        }));
        const QImage pointerElsewhere = render(parts.pet, with([](PetPose& p) {
            p.transition = 1;
            p.gazeX = 0.3;
            p.gazeY = -0.2;
        }));
        EXPECT_EQ(differing(pointerLeftBelow, pointerElsewhere), 0);
        // The head moves into the menu pose; the feet stay.
        const QImage closed = render(parts.pet, {});
        EXPECT_GT(differing(closed, pointerElsewhere), 100);
        EXPECT_EQ(differing(closed, pointerElsewhere, {}, parts.feet), 0);
    }
}

TEST(PetArt, TheMouseStopsWaggingInTheMenuPoseTheOthersDoNot) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage still = render(parts.pet, with([](PetPose& p) { p.transition = 1; }));
        const QImage wagging = render(parts.pet, with([](PetPose& p) {
            p.transition = 1;
            p.wag = 1;
        }));
        if (parts.pet == StartPet::mouse) EXPECT_EQ(differing(still, wagging), 0);
        else EXPECT_GT(differing(still, wagging, {}, parts.tail), 20);
        // Closed menu: every tail wags.
        EXPECT_GT(differing(render(parts.pet, {}), render(parts.pet, with([](PetPose& p) { p.wag = -1; })), {},
                            parts.tail),
                  20);
    }
}

TEST(PetArt, TheSleepBubbleShowsOnlyAtRestAndBreathes) {
    for (const auto& parts : partsOf) {
        SCOPED_TRACE(rawValue(parts.pet).toStdString());
        const QImage eyesShut = render(parts.pet, with([](PetPose& p) { p.blink = 1; }));
        const QImage asleep = render(parts.pet, with([](PetPose& p) {
            p.blink = 1;
            p.rest = 1;
        }));
        const QImage breathingIn = render(parts.pet, with([](PetPose& p) {
            p.blink = 1;
            p.rest = 1;
            p.breath = 1;
        }));
        EXPECT_GT(differing(eyesShut, asleep, {}, parts.bubble), 20);
        EXPECT_EQ(differing(eyesShut, asleep, {parts.bubble}), 0);
        EXPECT_GT(differing(asleep, breathingIn, {}, parts.bubble), 20);
        EXPECT_EQ(differing(asleep, breathingIn, {parts.bubble}), 0);
    }
}

// Only the outline follows the appearance: every pixel that changes turns
// towards the dark outline's colour (a few units brighter), fills stay.
void expectOnlyOutlineChanges(const QImage& light, const QImage& dark) {
    int changed = 0;
    for (int y = 0; y < light.height(); ++y)
        for (int x = 0; x < light.width(); ++x) {
            const QRgb a = light.pixel(x, y), b = dark.pixel(x, y);
            if (a == b) continue;
            ++changed;
            ASSERT_EQ(qAlpha(a), qAlpha(b));
            for (int d : {qRed(b) - qRed(a), qGreen(b) - qGreen(a), qBlue(b) - qBlue(a)}) {
                ASSERT_GE(d, -1) << x << "," << y;
                ASSERT_LE(d, 9) << x << "," << y;
            }
        }
    EXPECT_GT(changed, 500);
}

TEST(PetArt, DarkAppearanceChangesOnlyTheOutline) {
    for (StartPet pet : allStartPets) {
        SCOPED_TRACE(rawValue(pet).toStdString());
        const PetPose pose{0.4, 0.3, -0.2, 0.3, 0.5, 0.6, 0.5};
        expectOnlyOutlineChanges(render(pet, pose, false), render(pet, pose, true));
    }
}

TEST(PetArt, ThreeClearlyDifferentAnimals) {
    const QImage cat = render(StartPet::cat, {});
    const QImage dog = render(StartPet::dog, {});
    const QImage mouse = render(StartPet::mouse, {});
    const int total = cat.width() * cat.height();
    EXPECT_GT(differing(cat, dog), total / 5);
    EXPECT_GT(differing(dog, mouse), total / 5);
    EXPECT_GT(differing(cat, mouse), total / 5);
}

TEST(PetArt, LeavesThePainterAsItFoundIt) {
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.translate(3, 4);
    p.scale(0.5, 0.5);
    p.setOpacity(0.7);
    p.setPen(QPen(Qt::red, 3));
    const QTransform before = p.transform();
    for (StartPet pet : allStartPets) {
        PetArt::draw(pet, p, true, PetArt::darkDetailColor, PetArt::eyeColor, PetPose{1, 1, 1, 0.5, 1, 1, 1});
        EXPECT_EQ(p.transform(), before);
        EXPECT_DOUBLE_EQ(p.opacity(), 0.7);
        EXPECT_FALSE(p.hasClipping());
    }
}

class PetThumbnailTest : public SimDesktopTest {};

TEST_F(PetThumbnailTest, NeutralPoseInBothAppearancesOnlyTheOutlineDiffers) {
    for (StartPet pet : allStartPets) {
        QImage light(136, 120, QImage::Format_ARGB32_Premultiplied), dark = light;
        light.fill(Qt::transparent);
        dark.fill(Qt::transparent);
        {
            QPainter p(&light);
            PetThumbnail::drawPet(p, light.size(), pet, false);
        }
        {
            QPainter p(&dark);
            PetThumbnail::drawPet(p, dark.size(), pet, true);
        }
        expectOnlyOutlineChanges(light, dark);
    }
    // The widget follows the application's appearance unless told otherwise.
    PetThumbnail thumbnail(StartPet::dog);
    EXPECT_EQ(thumbnail.accessibleName(), QStringLiteral("Ziruziz the dog"));
    EXPECT_FALSE(thumbnail.isDark());
    sim->setSystemAppearance(platform::Appearance::darkAqua);
    EXPECT_TRUE(thumbnail.isDark());
    thumbnail.setColorScheme(false);
    EXPECT_FALSE(thumbnail.isDark());

    // What the widget paints is the neutral pose fitted to its size.
    thumbnail.resize(136, 120);
    QImage expected(136, 120, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter p(&expected);
        PetThumbnail::drawPet(p, expected.size(), StartPet::dog, false);
    }
    QImage shown(136, 120, QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    thumbnail.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(shown, expected);
}

// ---- pictures for people ----------------------------------------------------

struct NamedPose {
    const char* name;
    PetPose pose;
};

const NamedPose docPoses[] = {
    {"neutral", {}},
    {"look-left", {0, -1, 0, 0, 0, 0, 0}},
    {"look-right", {0, 1, 0, 0, 0, 0, 0}},
    {"look-up", {0, 0, -1, 0, 0, 0, 0}},
    {"look-down", {0, 0, 1, 0, 0, 0, 0}},
    {"blink-half", {0, 0, 0, 0.6, 0, 0, 0}},
    {"blink-shut", {0, 0, 0, 1, 0, 0, 0}},
    {"wag-left", {0, 0, 0, 0, -1, 0, 0}},
    {"wag-right", {0, 0, 0, 0, 1, 0, 0}},
    {"start-menu", {1, 0, 0, 0, 0, 0, 0}},
    {"asleep", {0, 0, 0.6, 1, 0, 1, 0.5}},
};

// One bar cell of the start button as the drawing view lays it out: 36
// points wide on a 44-point bar, at `pixelRatio` pixels per point.
QImage barCell(StartPet pet, const PetPose& pose, bool dark, double pixelRatio) {
    QImage image(int(36 * pixelRatio), int(44 * pixelRatio), QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(44, 44, 48) : QColor(236, 236, 238));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixelRatio, pixelRatio);
    p.translate(36 / 2.0 - 15, 44 - (44 * 0.5 + 14));
    p.scale(0.5, 0.5);
    const double squash = petSquash(pose.rest, pose.breath);
    p.translate(0, 54);
    p.scale(1, squash);
    p.translate(0, -54);
    PetArt::draw(pet, p, dark, PetArt::darkDetailColor, PetArt::eyeColor, pose);
    return image;
}

TEST(PetArtPictures, WritesEveryPoseWhenAsked) {
    const char* dir = std::getenv("QUORVEL_PET_RENDER_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "set QUORVEL_PET_RENDER_DIR to write the pictures";
    QDir out(QString::fromLocal8Bit(dir));
    ASSERT_TRUE(out.mkpath(QStringLiteral(".")));
    const int cells = int(std::size(docPoses));
    for (bool dark : {false, true}) {
        const QString appearance = dark ? QStringLiteral("dark") : QStringLiteral("light");
        // One sheet per appearance: a row per pet at 1x, 2x and 4x.
        const double ratios[] = {1, 2, 4};
        int sheetHeight = 0;
        for (double r : ratios) sheetHeight += int(44 * r) * 3;
        QImage sheet(int(36 * 4) * cells, sheetHeight, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(dark ? QColor(44, 44, 48) : QColor(236, 236, 238));
        QPainter sp(&sheet);
        int y = 0;
        for (double r : ratios)
            for (StartPet pet : allStartPets) {
                for (int i = 0; i < cells; ++i) {
                    const QImage cell = barCell(pet, docPoses[i].pose, dark, r);
                    sp.drawImage(int(36 * 4) * i + (int(36 * 4) - cell.width()) / 2, y, cell);
                    if (r == 2) {
                        ASSERT_TRUE(cell.save(out.filePath(QStringLiteral("%1-%2-%3.png")
                                                               .arg(rawValue(pet), QString::fromLatin1(docPoses[i].name),
                                                                    appearance))));
                    }
                }
                y += int(44 * r);
            }
        sp.end();
        ASSERT_TRUE(sheet.save(out.filePath(QStringLiteral("sheet-%1.png").arg(appearance))));
    }
}

}  // namespace
