// What a person sees of the start menu, as rendered pixels: the sections, a
// search, "No results", the light and dark appearance, English and Chinese,
// the selected and the dragged row. With QUORVEL_START_MENU_SCREENSHOT set it
// also writes the documentation's picture there.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "core/selection_color.h"
#include "core/settings_model.h"
#include "start_menu_test_support.h"
#include "support/paint_counter.h"
#include "taskbar/bar_style.h"

namespace {

class StartMenuRenderTest : public StartMenuTest {
protected:
    void SetUp() override {
        StartMenuTest::SetUp();
        auto& d = platform::prefs::userDefaults();
        d.setBool("launcherPinsSeeded", true);
        scanResult = {app("Finder"), app("Safari"),   app("Mail"),     app("Notes"),    app("Calendar"),
                      app("Maps"),   app("Photos"),   app("Music"),    app("Terminal"), app("Text Editor"),
                      app("Preview"), app("Calculator"), app("System Settings")};
        for (const auto& n : {"Finder", "Safari", "Mail"}) menu().launcherPins().toggle(app(n).path);
        for (const auto& n : {"Terminal", "Notes"}) menu().launcherRecents().record(app(n).path);
    }
    QImage render(bool dark, const QString& language, const QString& query = {}) {
        sim->setSystemAppearance(dark ? platform::Appearance::darkAqua : platform::Appearance::aqua);
        platform::prefs::userDefaults().setString(settings::keys::appLanguage, language);
        openLoaded();
        if (!query.isEmpty()) QTest::keyClicks(view()->searchField(), query);
        QApplication::processEvents();
        QImage image(view()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view()->render(&image, {}, {}, QWidget::DrawChildren);
        menu().close();
        return image;
    }
    // The row of the list at a row index, in view coordinates.
    static QRect rowRect(StartMenuView* v, int row) {
        QRect r = v->list()->visualRect(v->listModel()->index(row));
        return r.translated(v->list()->viewport()->mapTo(v, QPoint(0, 0)));
    }
    static bool differs(const QImage& a, const QImage& b, QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) return true;
        return false;
    }
    static int darkPixels(const QImage& img, QRect area, int below = 120) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(img.pixel(x, y)) < below && qAlpha(img.pixel(x, y)) > 200) ++n;
        return n;
    }
};

TEST_F(StartMenuRenderTest, LightAndDarkEnglishAndChineseSectionsSearchAndNoResults) {
    const QImage light = render(false, "english");
    const QImage dark = render(true, "english");
    const QImage chinese = render(false, "simplifiedChinese");
    const QImage searching = render(false, "english", "ma");
    const QImage nothing = render(false, "english", "zzzz");

    // The panel's background follows the appearance; its corners stay clear.
    const QPoint inside(180, 400);
    EXPECT_GT(qGray(light.pixel(inside)), 200);
    EXPECT_LT(qGray(dark.pixel(inside)), 80);
    EXPECT_EQ(qAlpha(light.pixel(0, 0)), 0);

    // Same applications, other language: the headers differ, the names do not.
    openLoaded();
    const QRect header = rowRect(view(), 0);   // "Pinned"
    const QRect finder = rowRect(view(), 1);   // "Finder"
    EXPECT_EQ(view()->listModel()->index(0).data().toString(), QStringLiteral("Pinned"));
    menu().close();
    EXPECT_TRUE(differs(light, chinese, header));
    EXPECT_FALSE(differs(light, chinese, finder.adjusted(0, 0, -200, 0)))
        << "the icon and the start of an application name are the same in both languages";

    // The first row is selected: drawn in the selection colour.
    const QColor blue = selection_color::color(SelectionColor::blue, platform::Appearance::aqua);
    const QColor fill = QColor(light.pixel(finder.right() - 20, finder.center().y()));
    EXPECT_LT(std::abs(fill.hue() - blue.hue()), 20) << fill.name().toStdString();
    EXPECT_GT(fill.saturation(), 40);

    // Searching shows plain rows without headers; the top row is a result.
    EXPECT_TRUE(differs(light, searching, header));
    // "No results" in the middle of the list, nothing where rows would be.
    const QRect middle(100, 180, 160, 60);
    EXPECT_GT(darkPixels(nothing, middle, 200), 10);
    EXPECT_EQ(darkPixels(nothing, QRect(10, 60, 340, 60), 200), 0);

    // The documentation's picture: light with sections, dark while searching.
    const QString path = qEnvironmentVariable("QUORVEL_START_MENU_SCREENSHOT");
    if (!path.isEmpty()) {
        const QImage darkSearch = render(true, "english", "ma");
        QImage out(2 * 360 + 3 * 24, 420 + 2 * 24, QImage::Format_ARGB32_Premultiplied);
        out.fill(QColor(96, 118, 140));
        QPainter p(&out);
        p.drawImage(24, 24, light);
        p.drawImage(2 * 24 + 360, 24, darkSearch);
        p.end();
        ASSERT_TRUE(out.save(path, "png")) << path.toStdString();
    }
}

TEST_F(StartMenuRenderTest, DraggedRowOutranksTheSelectedLook) {
    openLoaded();
    auto* v = view();
    // Row 1 (Finder) is keyboard-selected; drag it.
    RowCatcherView* finder = v->catcher(app("Finder").path);
    ASSERT_TRUE(finder);
    auto grab = [&] {
        QImage image(v->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        v->render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    const QRect r = rowRect(v, 1);
    const QImage selected = grab();
    QTest::mousePress(finder, Qt::LeftButton, {}, {20, 10});
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 10), QPointF(finder->mapTo(finder->window(), QPoint(30, 10))),
                     QPointF(), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(finder, &move);
    const QImage dragged = grab();
    const QPoint fillPoint(r.right() - 20, r.center().y());
    // Stronger fill (0.5 against 0.35) and a light border along the top edge.
    EXPECT_LT(qGray(dragged.pixel(fillPoint)), qGray(selected.pixel(fillPoint)));
    EXPECT_GT(qGray(dragged.pixel(r.center().x(), r.top())), qGray(selected.pixel(r.center().x(), r.top())) - 1);
    QTest::mouseRelease(finder, Qt::LeftButton, {}, {30, 10});
    const QImage after = grab();
    EXPECT_EQ(after.pixel(fillPoint), selected.pixel(fillPoint));
}

// Without a compositing manager nothing blends the panel with the desktop:
// it is drawn opaque to its corners in the same colours, and it follows a
// compositor that starts or stops while it is open.
TEST_F(StartMenuRenderTest, OpaqueSquareWithoutACompositorRoundedWithOne) {
    struct Case {
        bool dark;
        QColor background;
    };
    for (const Case& c : {Case{false, QColor(236, 236, 236)}, Case{true, QColor(50, 50, 50)}}) {
        SCOPED_TRACE(c.dark ? "dark" : "light");
        sim->setCompositingActive(false);
        const QImage opaque = render(c.dark, "english");
        sim->setCompositingActive(true);
        const QImage composited = render(c.dark, "english");
        const QPoint inside(180, 4);  // above the search field
        for (QPoint corner : {QPoint(0, 0), QPoint(359, 0), QPoint(0, 419), QPoint(359, 419)}) {
            EXPECT_EQ(qAlpha(opaque.pixel(corner)), 255) << corner.x() << "," << corner.y();
            // The background under the faint edge line, never black.
            EXPECT_LE(std::abs(qGray(opaque.pixel(corner)) - qGray(c.background.rgb())), 20);
            EXPECT_EQ(qAlpha(composited.pixel(corner)), 0) << "the rounded corner is clear";
        }
        EXPECT_EQ(QColor(opaque.pixel(inside)), c.background) << "the same colour, opaque";
        EXPECT_EQ(qAlpha(composited.pixel(inside)), 245);
    }

    // Live: the open panel is redrawn when the compositor stops and starts.
    openLoaded();
    auto* v = view();
    ASSERT_TRUE(v);
    menu().panel()->show();
    PaintCounter counter;
    QApplication::processEvents();
    counter.watch(v);
    for (bool active : {false, true}) {
        const int before = counter.paints;
        sim->setCompositingActive(active);
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > before; }, 2000)) << "not redrawn, active " << active;
    }
    v->removeEventFilter(&counter);
    menu().close();
}

}  // namespace
