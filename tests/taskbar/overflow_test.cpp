// The overflow button: its face, its menu of hidden items, what choosing an
// entry does, and rendered strips of 5 and 40 items at every bar height.
#include <gtest/gtest.h>

#include <QDir>
#include <cstdlib>

#include "taskbar/bar_style.h"

#include "task_strip_test_support.h"

namespace {

class OverflowTest : public StripTest {};

QStringList titles(const std::vector<TaskMenuAction>& entries) {
    QStringList out;
    for (const auto& e : entries) out << e.title;
    return out;
}

TEST_F(OverflowTest, MenuListsHiddenItemsWithCountsAndNames) {
    sim->addBundle("/Applications/Quiet Pad.app", "com.example.quiet");
    auto quiet = app(7, "Quiet");
    quiet.name.clear();
    quiet.bundleID = QStringLiteral("com.example.quiet");
    auto list = apps(6, 3);
    list.push_back(quiet);
    defaults().setString("interactionModel", "grouped");
    store->setApps(list);
    auto* strip = makeStrip(200);
    auto* over = strip->overflowButton();
    ASSERT_TRUE(over->isVisibleTo(strip));
    const auto entries = over->menuEntries();
    ASSERT_EQ(entries.size(), over->items().size());
    const QStringList shown = titles(entries);
    EXPECT_TRUE(shown.contains("App05 (3)")) << shown.join("|").toStdString();
    EXPECT_FALSE(shown.contains(""));
    TaskButtonItem unnamed{"pin:com.example.quiet", TaskButtonKind::app(0), 0, QString("com.example.quiet"), {}, 0,
                           false, true, true, false, false};
    EXPECT_EQ(OverflowButtonView::entryName(unnamed), AppIconProvider::shared().displayName("com.example.quiet"));
    EXPECT_FALSE(OverflowButtonView::entryName(unnamed).isEmpty());
    for (const auto& e : entries) EXPECT_FALSE(e.isSeparatorBefore);

    // Per-window mode: each hidden window under its own title, no count.
    defaults().setString("interactionModel", "perWindow");
    const QStringList perWindow = titles(strip->overflowButton()->menuEntries());
    EXPECT_TRUE(perWindow.contains("App05 3"));
    for (const auto& t : perWindow) EXPECT_FALSE(t.endsWith(")")) << t.toStdString();

    // No context menu, no drag.
    auto* c = over->catcher();
    press(c, {3, 3}, Qt::RightButton);
    EXPECT_EQ(c->lastMenu(), nullptr);
    press(c, {3, 3});
    move(c, {30, 3});
    EXPECT_FALSE(c->isDragging());
    EXPECT_FALSE(pins->draggingBundleID());
    EXPECT_EQ(over->toolTip(), "More apps");
}

TEST_F(OverflowTest, ChoosingAnEntryActivatesEvenAnActiveApplication) {
    platform::sim::AppSpec s;
    s.name = "Busy";
    s.bundleID = "com.example.busy";
    s.bundlePath = "/Applications/Busy.app";
    s.active = true;
    const auto pid = sim->addApplication(s);
    platform::sim::WindowSpec w;
    w.title = "Busy 1";
    w.focused = true;
    sim->addWindow(pid, w);
    service->setOnSnapshot([this](const std::vector<AppItem>& a) { store->setApps(a); });
    service->start();
    sim->advance(WindowService::scanDebounce + 0.01);
    ASSERT_FALSE(store->apps().empty());
    TaskButtonItem item{TaskButtonItem::appIdentity(pid), TaskButtonKind::app(pid), pid, QString("com.example.busy"),
                        "Busy", 0, true, false, false, true, false};
    sim->clearLog();
    OverflowButtonView::itemAction(item, "Busy", service, pins.get());
    sim->pump();
    EXPECT_TRUE(sim->logLines("workspace.hide").empty());
    EXPECT_FALSE(sim->logLines("workspace.activate").empty());

    // Stopped service: a running item does nothing.
    service->stop();
    sim->clearLog();
    OverflowButtonView::itemAction(item, "Busy", service, pins.get());
    sim->pump();
    EXPECT_TRUE(sim->logLines("workspace.").empty());
    EXPECT_TRUE(sim->alertsShown().empty());
}

// Counts the pixels of a region that differ from transparent.
int ink(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect c = r.intersected(img.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x) n += img.pixelColor(x, y).alpha() > 30 ? 1 : 0;
    return n;
}

TEST_F(OverflowTest, RenderedStripsOfFiveAndFortyAtEveryBarHeight) {
    const QString outDir = qEnvironmentVariable("QUORVEL_STRIP_RENDER_DIR");
    pins->setPinnedBundleIDs({"com.example.app00", "com.example.files"});
    for (const char* height : {"narrow", "medium", "tall"})
        for (int n : {5, 40}) {
            SCOPED_TRACE(testing::Message() << height << " " << n);
            defaults().setString("appearanceBarHeight", height);
            auto list = apps(n, n == 5 ? 2 : 1);
            list[1].isActive = true;
            list[2].hasUnread = true;
            store->setApps(list);
            const int h = int(TaskStripLayout::runningDotReferenceHeight(height));
            auto* strip = makeStrip(1000, h);
            QImage img(strip->size(), QImage::Format_ARGB32);
            img.fill(QColor(40, 44, 60));
            strip->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
            if (!outDir.isEmpty()) img.save(QDir(outDir).filePath(QStringLiteral("strip-%1-%2.png").arg(height).arg(n)));

            const QImage raw = BarTest::grab(*strip);
            // Every shown button draws its icon, and no shown button passes the strip's end.
            for (auto* b : strip->pinnedButtons()) EXPECT_GT(ink(raw, b->geometry()), 20) << b->item().id.toStdString();
            for (auto* b : strip->runningButtons()) {
                EXPECT_GT(ink(raw, b->geometry()), 20) << b->item().id.toStdString();
                EXPECT_LE(b->geometry().right(), strip->width());
            }
            auto* over = strip->overflowButton();
            if (n == 40) {
                ASSERT_TRUE(over->isVisibleTo(strip));
                EXPECT_EQ(over->items().size() + strip->runningButtons().size(), 39u);  // one is pinned
                EXPECT_GT(ink(raw, over->geometry()), 20) << "the » and its count are drawn";
                EXPECT_LE(over->geometry().right(), strip->width());
            } else {
                EXPECT_FALSE(over->isVisibleTo(strip));
                EXPECT_EQ(strip->runningButtons().size(), 8u);  // four applications, two windows each
            }
            // The running dot below the pinned running application is inside the image.
            auto* pinned = strip->pinnedButtons().front();
            const double x = TaskStripLayout::iconSize(height);
            const QPointF dot(pinned->x() + 5 + x / 2, pinned->buttonRect().center().y() + x / 2 - 1.75 + 6.5);
            EXPECT_GT(raw.pixelColor(dot.toPoint()).alpha(), 100);
            strips.clear();
        }
}

// The » and its count stand out from the bar's own background, light and dark.
TEST_F(OverflowTest, FaceIsDrawnInTheBarsTextColourInBothAppearances) {
    auto luminance = [](QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; };
    for (auto appearance : {platform::Appearance::aqua, platform::Appearance::darkAqua}) {
        SCOPED_TRACE(appearance == platform::Appearance::aqua ? "light" : "dark");
        sim->setSystemAppearance(appearance);
        store->setApps(apps(40, 1));
        auto* strip = makeStrip(1000, 44);
        auto* over = strip->overflowButton();
        ASSERT_TRUE(over->isVisibleTo(strip));
        const QColor ground = bar_style::backgroundColor("system", 1, appearance, false);
        QImage img(strip->size(), QImage::Format_ARGB32);
        img.fill(ground);
        strip->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        int marks = 0;
        const QRect r = over->geometry();
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (std::abs(luminance(img.pixel(x, y)) - luminance(ground.rgb())) > 100) ++marks;
        EXPECT_GT(marks, 30) << "the chevron and count are barely visible";
        strips.clear();
    }
}

}  // namespace
