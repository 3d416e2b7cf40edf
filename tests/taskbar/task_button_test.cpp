// Task buttons: clicks, hide and minimise through the window service, the
// window list and context menus, launching a pinned application, and what a
// person sees: badges, dots, selection colours and the dimmed face.
#include <gtest/gtest.h>

#include "core/selection_color.h"
#include "task_strip_test_support.h"

namespace {

using platform::sim::AppSpec;
using platform::sim::WindowSpec;

class TaskButtonTest : public StripTest {
protected:
    std::int32_t addApp(const QString& name, int windows, bool active = false) {
        AppSpec s;
        s.name = name;
        s.bundleID = QStringLiteral("com.example.") + name.toLower();
        s.bundlePath = QStringLiteral("/Applications/") + name + QStringLiteral(".app");
        s.active = active;
        const auto pid = sim->addApplication(s);
        for (int i = 0; i < windows; ++i) {
            WindowSpec w;
            w.title = name + QStringLiteral(" %1").arg(i + 1);
            w.focused = i == 0;
            w.frame = platform::Rect(100 + 40 * i, 100 + 30 * i, 700, 500);
            sim->addWindow(pid, w);
        }
        return pid;
    }
    void startService() {
        service->setOnSnapshot([this](const std::vector<AppItem>& apps) { store->setApps(apps); });
        service->start();
        sim->advance(WindowService::scanDebounce + 0.01);
    }
    void TearDown() override {
        if (service) service->stop();
        StripTest::TearDown();
    }
    static QStringList titles(const std::vector<TaskMenuAction>& entries) {
        QStringList out;
        for (const auto& e : entries) out << (e.isSeparatorBefore ? QStringLiteral("—") : QString()) + e.title;
        return out;
    }
};

TEST_F(TaskButtonTest, ClicksActivateHideAndMinimiseThroughTheWindowService) {
    const auto front = addApp("Front", 1, true);
    const auto back = addApp("Back", 1);
    addApp("Third", 1);  // takes over when Front hides
    startService();
    defaults().setString("interactionModel", "grouped");
    auto* strip = makeStrip(900);
    auto click = [&](std::int32_t pid) {
        auto* b = strip->button(TaskButtonItem::appIdentity(pid));
        EXPECT_NE(b, nullptr);
        sim->clearLog();
        press(b->catcher(), QPointF(4, 4));
        release(b->catcher(), QPointF(5, 5));
        sim->pump();
        return sim->logLines("workspace.");
    };
    auto lines = click(front);
    EXPECT_NE(std::find(lines.begin(), lines.end(), QStringLiteral("workspace.hide pid=%1").arg(front)), lines.end())
        << "an active application hides";
    sim->advance(1);

    lines = click(back);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [&](const QString& l) { return l.startsWith(QStringLiteral("workspace.activate pid=%1").arg(back)); }),
              lines.end());
    sim->advance(1);

    // "clickActiveHides" off: an active application is activated again.
    defaults().setBool("clickActiveHides", false);
    sim->activateApplication(front);
    sim->advance(1);
    lines = click(front);
    for (const auto& l : lines) EXPECT_FALSE(l.startsWith("workspace.hide")) << l.toStdString();

    // Per-window mode: a click on the active window minimises it.
    defaults().setBool("clickActiveHides", true);
    defaults().setString("interactionModel", "perWindow");
    sim->activateApplication(front);
    sim->advance(1);
    const auto win = sim->windowsOf(front).front();
    auto* b = strip->button(TaskButtonItem::windowIdentity(store->apps().front().windows.front().id));
    for (const auto& a : store->apps())
        if (a.pid == front) b = strip->button(TaskButtonItem::windowIdentity(a.windows.front().id));
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->item().isActive);
    sim->clearLog();
    b->clickAction();
    sim->pump();
    const auto ax = sim->logLines("ax.set");
    EXPECT_NE(std::find(ax.begin(), ax.end(), QStringLiteral("ax.set pid=%1 win=%2 AXMinimized true").arg(front).arg(win)),
              ax.end());
}

TEST_F(TaskButtonTest, WindowListAndContextMenus) {
    const auto mail = addApp("Mail", 3);
    const auto solo = addApp("Solo", 3);
    startService();
    pins->setPinnedBundleIDs({"com.example.mail", "com.example.gone"});
    auto* strip = makeStrip(1200);

    // A pinned running application with three windows, in either mode.
    for (const char* model : {"perWindow", "grouped"}) {
        SCOPED_TRACE(model);
        defaults().setString("interactionModel", model);
        auto* pinned = strip->pinnedButtons().front();
        EXPECT_EQ(pinned->item().pid, mail);
        EXPECT_EQ(pinned->item().badge, 3);
        auto list = titles(pinned->windowListEntries());
        list.sort();
        EXPECT_EQ(list, (QStringList{"Mail 1", "Mail 2", "Mail 3"}));
        const auto menu = titles(pinned->contextMenuEntries());
        ASSERT_GE(menu.size(), 2);
        EXPECT_EQ(menu.back(), "—Unpin");
    }
    // Running, not pinned, per-window: three buttons without badge; the click goes straight through.
    defaults().setString("interactionModel", "perWindow");
    int soloButtons = 0;
    for (auto* b : strip->runningButtons())
        if (b->item().pid == solo) {
            ++soloButtons;
            EXPECT_EQ(b->item().badge, 0);
            EXPECT_TRUE(b->windowListEntries().empty());
            EXPECT_EQ(titles(b->contextMenuEntries()).back(), "—Pin to taskbar");
        }
    EXPECT_EQ(soloButtons, 3);
    // Grouped: one button whose left click lists the windows instead of clicking.
    defaults().setString("interactionModel", "grouped");
    auto* grouped = strip->button(TaskButtonItem::appIdentity(solo));
    ASSERT_NE(grouped, nullptr);
    sim->clearLog();
    press(grouped->catcher(), QPointF(3, 3));
    release(grouped->catcher(), QPointF(3, 3));
    sim->pump();
    EXPECT_TRUE(sim->logLines("workspace.").empty()) << "no click when the window list opens";
    auto shown = titles(grouped->catcher()->actions());
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"Solo 1", "Solo 2", "Solo 3"}));

    // A pinned application that does not run: only "Unpin", which unpins.
    auto* gone = strip->pinnedButtons().back();
    EXPECT_EQ(gone->item().id, "pin:com.example.gone");
    const auto entries = gone->contextMenuEntries();
    ASSERT_EQ(titles(entries), QStringList{"Unpin"});
    entries[0].perform();
    EXPECT_EQ(pins->pinnedBundleIDs(), QStringList{"com.example.mail"});
    EXPECT_EQ(defaults().stringArrayValue("pinnedBundleIDs"), QStringList{"com.example.mail"});
}

TEST_F(TaskButtonTest, APinnedApplicationThatDoesNotRunIsLaunchedOrOffersToUnpin) {
    startService();
    sim->addBundle("/Applications/Found.app", "com.example.found");
    pins->setPinnedBundleIDs({"com.example.found", "com.example.missing"});
    auto* strip = makeStrip(600);
    auto buttons = strip->pinnedButtons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(buttons[0]->item().isDimmed);
    EXPECT_FALSE(buttons[0]->showsLabel());

    sim->clearLog();
    buttons[0]->clickAction();
    sim->pump();
    EXPECT_EQ(sim->logLines("workspace.openApplication"),
              std::vector<QString>{"workspace.openApplication /Applications/Found.app"});
    sim->setOpenApplicationResult("/Applications/Found.app", platform::OpenResult{false, "damaged"});
    buttons[0]->clickAction();
    sim->pump();
    EXPECT_EQ(sim->beepCount(), 1);

    // Not found: the alert offers to unpin; its first button unpins.
    sim->queueAlertAnswers({0});
    buttons[1]->clickAction();
    sim->pump();
    ASSERT_EQ(sim->alertsShown().size(), 1u);
    EXPECT_EQ(pins->pinnedBundleIDs(), QStringList{"com.example.found"});

    // While the service is stopped even a findable application gets the alert.
    service->stop();
    sim->queueAlertAnswers({1});
    strip->pinnedButtons()[0]->clickAction();
    sim->pump();
    EXPECT_EQ(sim->alertsShown().size(), 2u);
    EXPECT_EQ(pins->pinnedBundleIDs(), QStringList{"com.example.found"}) << "Cancel keeps the pin";
}

TEST_F(TaskButtonTest, PinEntryFollowsTheChosenLanguage) {
    store->setApps({app(95, "Lone")});
    auto* strip = makeStrip(600);
    auto* b = strip->runningButtons().front();
    defaults().setString("appLanguage", "simplifiedChinese");
    EXPECT_EQ(b->contextMenuEntries().back().title, QStringLiteral("固定到任务栏"));
    pins->setPinnedBundleIDs({"com.example.lone"});
    EXPECT_EQ(strip->pinnedButtons().front()->contextMenuEntries().back().title, QStringLiteral("取消固定"));
    EXPECT_EQ(strip->overflowButton()->toolTip(), QStringLiteral("更多应用")) << "in the chosen language before any overflow";
    defaults().setString("appLanguage", "english");
    EXPECT_EQ(strip->pinnedButtons().front()->contextMenuEntries().back().title, "Unpin");
}

// ---- what a person sees

QColor pixel(const QImage& img, QPointF p) { return img.pixelColor(p.toPoint()); }

TEST_F(TaskButtonTest, SelectionColourFillsActiveAndDraggedButtons) {
    defaults().setString("interactionModel", "grouped");
    store->setApps({app(81, "Act", 1, true), app(82, "Idle")});
    for (const char* colour : {"blue", "burgundy", "terminalGreen", "nonsense"}) {
        SCOPED_TRACE(colour);
        defaults().setString("appearanceSelectionColor", colour);
        auto* strip = makeStrip(600);
        const QColor sel = selection_color::color(
            fromRawValue<SelectionColor>(colour).value_or(SelectionColor::blue), platform::Appearance::aqua);
        auto* active = strip->button("app:81");
        auto* idle = strip->button("app:82");
        const QPointF probe(active->naturalWidth() - 3, active->buttonRect().center().y());
        QImage a = BarTest::grab(*active);
        QColor c = pixel(a, probe);
        EXPECT_NEAR(c.alpha(), 64, 4);
        EXPECT_NEAR(c.red(), sel.red(), 6);
        EXPECT_NEAR(c.green(), sel.green(), 6);
        EXPECT_NEAR(c.blue(), sel.blue(), 6);
        EXPECT_LT(pixel(BarTest::grab(*idle), probe).alpha(), 3) << "a plain button has no fill";

        // Dragged wins over active: a stronger fill.
        pins->setDraggingBundleID(QStringLiteral("com.example.act"));
        EXPECT_NEAR(pixel(BarTest::grab(*active), probe).alpha(), 115, 4);
        pins->clearDragging();
        strips.clear();
    }
}

TEST_F(TaskButtonTest, DotsAndBadgesAreDrawnWhereTheSettingsAllow) {
    defaults().setString("interactionModel", "grouped");
    pins->setPinnedBundleIDs({"com.example.pinned"});
    for (const char* height : {"narrow", "medium", "tall"}) {
        SCOPED_TRACE(height);
        defaults().setString("appearanceBarHeight", height);
        store->setApps({app(91, "Pinned", 3, false, true), app(92, "Plain", 1, false, true)});
        const int stripHeight = int(TaskStripLayout::runningDotReferenceHeight(height));
        auto* strip = makeStrip(800, stripHeight);
        auto* pinned = strip->pinnedButtons().front();
        auto* plain = strip->button("app:92");
        const double x = TaskStripLayout::iconSize(height);
        const QRectF icon(5, pinned->buttonRect().center().y() - x / 2, x, x);
        const QPointF dot(icon.center().x(), icon.bottom() - 1.75 + 6.5);
        const QPointF unread(icon.right() - 1.5, icon.top() + 1.5);

        QImage img = BarTest::grab(*pinned);
        EXPECT_GT(pixel(img, dot).alpha(), 100) << "running dot under a pinned running app";
        const QColor red = pixel(img, unread);
        EXPECT_GT(red.red(), 200);
        EXPECT_LT(red.green(), 100);
        // The badge of 3 widens the button by the capsule.
        EXPECT_GT(pinned->naturalWidth(), int(x + 10 + 5 + 8));
        EXPECT_LT(pixel(BarTest::grab(*plain), dot).alpha(), 20) << "running buttons carry no dot";

        defaults().setBool("showUnreadBadge", false);
        defaults().setBool("showRunningIndicator", false);
        img = BarTest::grab(*pinned);
        EXPECT_LT(pixel(img, dot).alpha(), 20);
        EXPECT_LT(pixel(img, unread).red() - pixel(img, unread).green(), 60);
        defaults().remove("showUnreadBadge");
        defaults().remove("showRunningIndicator");
        strips.clear();
    }
}

TEST_F(TaskButtonTest, ADimmedButtonIsFadedAndNamedByItsBundle) {
    sim->addBundle("/Applications/Sketch Pad.app", "com.example.sketch");
    pins->setPinnedBundleIDs({"com.example.sketch"});
    auto* strip = makeStrip(400);
    auto* b = strip->pinnedButtons().front();
    EXPECT_FALSE(b->labelText().isEmpty());
    EXPECT_EQ(b->toolTip(), b->labelText());
    EXPECT_EQ(b->catcher()->toolTip(), b->labelText());
    // Draw the same item undimmed and compare the strongest icon pixel.
    QImage dimmed = BarTest::grab(*b);
    auto item = b->item();
    item.isDimmed = false;
    b->setContent(item, 0, false, b->iconSize(), TaskButtonSettings::read());
    QImage full = BarTest::grab(*b);
    int maxDim = 0, maxFull = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            maxDim = std::max(maxDim, dimmed.pixelColor(x, y).alpha());
            maxFull = std::max(maxFull, full.pixelColor(x, y).alpha());
        }
    EXPECT_GT(maxFull, 240);
    EXPECT_NEAR(maxDim, 0.6 * maxFull, 8);
}

}  // namespace
