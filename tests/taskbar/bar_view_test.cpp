// The bar view: background table, start button, context menu, the unpin
// alert and what a person sees in a rendered bar.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>

#include "taskbar/bar_style.h"
#include "taskbar/bar_view.h"
#include "taskbar/overflow_button.h"
#include "taskbar/start_button.h"
#include "taskbar/task_strip.h"
#include "taskbar/tray_view.h"
#include "bar_test_support.h"
#include "qt_print.h"

namespace {

using services::HotKeyCombo;
using services::HotKeyModifiers;

class BarViewTest : public BarTest {
protected:
    std::unique_ptr<BarView> makeView(std::optional<platform::DisplayID> id = 1, int width = 1440, int height = 44) {
        auto view = std::make_unique<BarView>(store.get(), service, pins.get(), StartIconStore::shared(),
                                              startMenu, id);
        view->resize(width, height);
        view->show();
        return view;
    }
    QStringList menuTitles(QMenu& menu) {
        QStringList out;
        for (QAction* a : menu.actions()) out << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return out;
    }
    QAction* findAction(QMenu& menu, const QString& title) {
        for (QAction* a : menu.actions())
            if (a->text() == title) return a;
        return nullptr;
    }
};

TEST(BarBackground, ColourAndOpacityTable) {
    struct Case {
        const char* mode;
        qint64 level;
        double opacity;
        bool themed;
    };
    const Case cases[] = {
        {"neoIndigo", 5, 0.32, true}, {"neoSilver", 1, 0.82, true}, {"neoCitrus", 3, 0.58, true},
        {"neoBlush", 4, 0.32, true},  {"dark", 5, 0.0, false},      {"light", 0, 0.4, false},
        {"light", 7, 0.4, false},     {"system", 2, 0.85, false},   {"NeoIndigo", 5, 0.0, false},
        {"", 1, 0.85, false},
    };
    for (const auto& c : cases) {
        const QColor color = bar_style::backgroundColor(c.mode, c.level, platform::Appearance::aqua);
        EXPECT_NEAR(color.alphaF(), c.opacity, 0.003) << c.mode << " " << c.level;
        EXPECT_EQ(bar_style::themeColor(c.mode).has_value(), c.themed) << c.mode;
    }
    const QColor indigo = bar_style::backgroundColor("neoIndigo", 5, platform::Appearance::aqua);
    EXPECT_NEAR(indigo.redF(), 0.18, 0.003);
    EXPECT_NEAR(indigo.greenF(), 0.21, 0.003);
    EXPECT_NEAR(indigo.blueF(), 0.36, 0.003);
    // Without a theme the window background of the appearance shows through.
    EXPECT_NE(bar_style::backgroundColor("system", 1, platform::Appearance::aqua).rgb(),
              bar_style::backgroundColor("system", 1, platform::Appearance::darkAqua).rgb());
}

TEST(BarKeyboardShortcut, KeyTable) {
    struct Case {
        std::uint32_t keyCode;
        std::uint32_t mods;
        const char* expected;  // empty: no shortcut
    };
    const std::uint32_t ctrl = HotKeyModifiers::controlBit, opt = HotKeyModifiers::optionBit,
                        shift = HotKeyModifiers::shiftBit, cmd = HotKeyModifiers::commandBit;
    const Case cases[] = {
        {2, ctrl, "Ctrl+D"},
        {49, opt, "Alt+Space"},
        {36, cmd, "Meta+Return"},
        {53, 0, "Esc"},
        {117, 0, "Del"},
        {51, 0, "Backspace"},
        {123, shift, "Shift+Left"},
        {126, ctrl | opt | shift | cmd, "Meta+Ctrl+Alt+Shift+Up"},
        {122, 0, "F1"},
        {111, ctrl, "Ctrl+F12"},
        {96, 0, "F5"},
        {43, cmd, "Meta+,"},
        {18, ctrl, "Ctrl+1"},
        {10, ctrl, ""},   // "Key 10": longer than one character and no function key
        {82, 0, ""},      // keypad key without a name
    };
    for (const auto& c : cases) {
        const auto seq = BarView::keyboardShortcut(HotKeyCombo{c.keyCode, HotKeyModifiers{c.mods}});
        if (QString(c.expected).isEmpty()) {
            EXPECT_FALSE(seq.has_value()) << c.keyCode;
        } else {
            ASSERT_TRUE(seq.has_value()) << c.keyCode;
            EXPECT_EQ(seq->toString(QKeySequence::PortableText), c.expected) << c.keyCode;
        }
    }
}

TEST_F(BarViewTest, StartButtonAndPaddingsWithAndWithoutPet) {
    auto view = makeView();
    StartButton* button = view->startButton();
    // Opening and closing the menu repaints the button and moves nothing.
    QSignalSpy faces(button, &StartButton::faceChanged);
    sim->setPointer({100, 100});
    startMenu.open();
    ASSERT_TRUE(startMenu.presentedScreenID().has_value());
    startMenu.close();
    EXPECT_EQ(faces.count(), 0);
    EXPECT_EQ(button->geometry(), QRect(12, 8, 24, 28));
    EXPECT_EQ(view->taskStrip()->geometry().left(), 12 + 24 + 8);
    EXPECT_EQ(view->tray()->geometry().right() + 1, 1440 - 12);
    EXPECT_EQ(view->taskStrip()->geometry().right() + 1, view->tray()->geometry().left() - 8);

    StartIconStore::shared().setPet(StartPet::dog);
    EXPECT_EQ(button->geometry(), QRect(6, 8, 36, 28));
    EXPECT_EQ(view->taskStrip()->geometry().left(), 6 + 36 + 2);
    EXPECT_EQ(button->face(), StartButton::Face::pet);

    StartIconStore::shared().setPet(std::nullopt);
    EXPECT_EQ(button->geometry(), QRect(12, 8, 24, 28));
    EXPECT_EQ(button->face(), StartButton::Face::symbol);
    EXPECT_EQ(faces.count(), 2);
}

TEST_F(BarViewTest, PetViewSitsCentredBehindTheButtonAndLearnsWhereTheMenuIs) {
    const auto factory = StartButton::currentPetViewFactory();
    StartButton::setPetViewFactory([](StartButton&) { return new QWidget(); });
    auto bar1 = makeView(1);
    auto bar2 = makeView(2);
    StartIconStore::shared().setPet(StartPet::cat);
    StartButton* b1 = bar1->startButton();
    ASSERT_NE(b1->petView(), nullptr);
    EXPECT_EQ(b1->petView()->geometry(), QRect(6, 0, 36, 44));
    EXPECT_FALSE(b1->petState().menuOpen);

    sim->setPointer({100, 100});  // on display 1
    startMenu.open();
    ASSERT_EQ(startMenu.presentedScreenID(), std::optional<platform::DisplayID>(1));
    EXPECT_TRUE(bar1->startButton()->petState().menuOpen);
    EXPECT_FALSE(bar2->startButton()->petState().menuOpen);
    startMenu.close();
    EXPECT_FALSE(bar1->startButton()->petState().menuOpen);

    StartIconStore::shared().setPet(std::nullopt);
    EXPECT_EQ(b1->petView(), nullptr);
    StartButton::setPetViewFactory(factory);
}

TEST_F(BarViewTest, RightClickOnTheStartButtonOpensNoMenu) {
    auto view = makeView();
    view->show();
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, QPoint(10, 10), view->startButton()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(view->startButton(), &onButton);
    EXPECT_EQ(view->contextMenuRequests(), 0);
    EXPECT_FALSE(startMenu.isOpen());

    QContextMenuEvent onBar(QContextMenuEvent::Mouse, QPoint(700, 20), view->mapToGlobal(QPoint(700, 20)));
    QApplication::sendEvent(view.get(), &onBar);
    EXPECT_EQ(view->contextMenuRequests(), 1);
    ASSERT_NE(view->lastContextMenu(), nullptr);
    view->lastContextMenu()->close();
}

TEST_F(BarViewTest, LeftClickTogglesTheMenuAsAClick) {
    auto view = makeView();
    view->show();
    auto click = [&] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 14), QPointF(12, 14), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(12, 14), QPointF(12, 14), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->startButton(), &press);
        QApplication::sendEvent(view->startButton(), &release);
    };
    click();
    EXPECT_TRUE(startMenu.isOpen());
    click();
    EXPECT_FALSE(startMenu.isOpen());
    // The reopen guard is the menu's own: the button reports every click as one.
    EXPECT_EQ(startMenu.clickToggles, 2);
    EXPECT_EQ(startMenu.otherToggles, 0);
}

TEST_F(BarViewTest, ContextMenuEntriesAndTheMinimizeAllShortcut) {
    auto view = makeView();
    std::unique_ptr<QMenu> menu(view->makeContextMenu());
    EXPECT_EQ(menuTitles(*menu), (QStringList{"Settings…", "Minimize All Windows", "|", "Quit Quorvel"}));
    QAction* minimize = findAction(*menu, "Minimize All Windows");
    ASSERT_NE(minimize, nullptr);
    EXPECT_EQ(minimize->shortcut().toString(QKeySequence::PortableText), "Ctrl+D");

    defaults().setString("minimizeAllHotKeyCombo", "96:6912");  // F5 with all four modifiers
    menu.reset(view->makeContextMenu());
    EXPECT_EQ(findAction(*menu, "Minimize All Windows")->shortcut().toString(QKeySequence::PortableText),
              "Meta+Ctrl+Alt+Shift+F5");

    defaults().setString("minimizeAllHotKeyCombo", "not a combo");  // the default combination
    menu.reset(view->makeContextMenu());
    EXPECT_EQ(findAction(*menu, "Minimize All Windows")->shortcut().toString(QKeySequence::PortableText), "Ctrl+D");

    defaults().setString("minimizeAllHotKeyCombo", "10:4096");  // no menu equivalent
    menu.reset(view->makeContextMenu());
    EXPECT_TRUE(findAction(*menu, "Minimize All Windows")->shortcut().isEmpty());

    defaults().remove("minimizeAllHotKeyCombo");
    services::GlobalHotKeyMonitor::shared().setLastMinimizeAllRegistrationFailed(true);
    menu.reset(view->makeContextMenu());
    EXPECT_TRUE(findAction(*menu, "Minimize All Windows")->shortcut().isEmpty());

    services::GlobalHotKeyMonitor::shared().setLastMinimizeAllRegistrationFailed(false);
    defaults().setBool("minimizeAllHotKeyEnabled", false);
    menu.reset(view->makeContextMenu());
    EXPECT_TRUE(findAction(*menu, "Minimize All Windows")->shortcut().isEmpty());
}

TEST_F(BarViewTest, ContextMenuSpeaksTheChosenLanguage) {
    defaults().setString("appLanguage", "simplifiedChinese");
    auto view = makeView();
    std::unique_ptr<QMenu> menu(view->makeContextMenu());
    const QStringList titles = menuTitles(*menu);
    ASSERT_EQ(titles.size(), 4);
    EXPECT_EQ(titles[0], QString::fromUtf8("设置…"));
    EXPECT_EQ(titles[1], QString::fromUtf8("最小化所有窗口"));
    EXPECT_EQ(titles[3], QString::fromUtf8("退出 Quorvel"));
}

TEST_F(BarViewTest, QuitWaitsForTheNextTurnAndSettingsOpensOnThisDisplay) {
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    auto view = makeView(second);
    std::unique_ptr<QMenu> menu(view->makeContextMenu());
    findAction(*menu, "Quit Quorvel")->trigger();
    EXPECT_EQ(sim->terminateRequests(), 0);
    sim->pump();
    EXPECT_EQ(sim->terminateRequests(), 1);

    std::vector<std::optional<platform::DisplayID>> opened;
    view->setOpenSettings([&](std::optional<platform::DisplayID> display) { opened.push_back(display); });
    findAction(*menu, "Settings…")->trigger();
    EXPECT_EQ(opened, std::vector<std::optional<platform::DisplayID>>{second});
}

TEST_F(BarViewTest, UnpinAlertAfterAFailedOpen) {
    pins->togglePin("com.example.gone");
    sim->queueAlertAnswers({1});  // Cancel
    BarView::offerUnpinAfterOpenFailure("com.example.gone", "Gone", *pins);
    EXPECT_TRUE(pins->pinnedBundleIDs().contains("com.example.gone"));
    ASSERT_EQ(sim->alertsShown().size(), 1u);
    EXPECT_EQ(sim->alertsShown()[0].alert.messageText, QString::fromUtf8("Couldn't open “Gone”"));
    EXPECT_EQ(sim->alertsShown()[0].alert.buttons, (QStringList{"Unpin", "Cancel"}));

    sim->queueAlertAnswers({0});  // Unpin
    BarView::offerUnpinAfterOpenFailure("com.example.gone", "Gone", *pins);
    EXPECT_FALSE(pins->pinnedBundleIDs().contains("com.example.gone"));

    // No longer pinned: choosing Unpin must not pin it again.
    sim->queueAlertAnswers({0});
    BarView::offerUnpinAfterOpenFailure("com.example.gone", "Gone", *pins);
    EXPECT_FALSE(pins->pinnedBundleIDs().contains("com.example.gone"));
}

// ---- rendering -------------------------------------------------------------

int luminance(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; }

// Pixels in `r` whose luminance differs from `reference` by more than 60.
int inkIn(const QImage& img, const QRect& r, QRgb reference) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (std::abs(luminance(img.pixel(x, y)) - luminance(reference)) > 60) ++n;
    return n;
}

class BarRenderTest : public BarViewTest, public ::testing::WithParamInterface<platform::Appearance> {};

TEST_P(BarRenderTest, HairlineStartSymbolAndTrayTextWhereTheyBelong) {
    sim->setSystemAppearance(GetParam());
    defaults().setInteger("appearanceTransparency", 1);
    sim->setPowerSources(std::vector<QVariantMap>{platform::sim::SimulatedDesktop::battery(80, false, true)});
    auto view = makeView(1, 1440, 44);
    view->tray()->setBattery(TrayView::Battery{80, false, true});
    // Render over an opaque backdrop, as the desktop behind the bar would be.
    QImage img(view->size(), QImage::Format_ARGB32);
    img.fill(GetParam() == platform::Appearance::aqua ? Qt::white : Qt::black);
    view->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);

    const QRgb background = img.pixel(700, 30);
    // The hairline: the top row differs from the row below it, the whole width.
    for (int x : {0, 300, 720, 1439}) EXPECT_NE(img.pixel(x, 0), img.pixel(x, 1)) << x;
    EXPECT_EQ(img.pixel(700, 1), background);

    // The start symbol: ink inside the start button, none in the leading padding.
    EXPECT_GT(inkIn(img, QRect(12, 8, 24, 28), background), 40);
    EXPECT_EQ(inkIn(img, QRect(0, 1, 12, 43), background), 0);
    // Primary colour: dark ink on the light bar, light ink on the dark one.
    const QRgb symbolPixel = img.pixel(20, 18);
    if (GetParam() == platform::Appearance::aqua) EXPECT_LT(luminance(symbolPixel), luminance(background));
    else EXPECT_GT(luminance(symbolPixel), luminance(background));

    // The tray: ink at the right end, ending 12 points before the edge.
    const QRect tray = view->tray()->geometry();
    EXPECT_GT(inkIn(img, QRect(tray.left(), 1, tray.width(), 42), background), 100);
    EXPECT_EQ(inkIn(img, QRect(1440 - 11, 1, 11, 43), background), 0);
    // Nothing in the empty task strip.
    EXPECT_EQ(inkIn(img, view->taskStrip()->geometry().adjusted(0, 1, 0, 0), background), 0);
}

INSTANTIATE_TEST_SUITE_P(Appearances, BarRenderTest,
                         ::testing::Values(platform::Appearance::aqua, platform::Appearance::darkAqua));

TEST_F(BarViewTest, PictureFaceFallsBackToTheSymbolWhenNotLoaded) {
    auto view = makeView();
    auto& icons = StartIconStore::shared();
    icons.setUseCustom(true);  // chosen, but no picture loaded
    EXPECT_EQ(view->startButton()->face(), StartButton::Face::symbol);
    defaults().setString("appearanceStartIconSymbol", "");
    EXPECT_EQ(view->startButton()->symbolName(), "square.grid.2x2.fill");
    defaults().setString("appearanceStartIconSymbol", "circle.grid.3x3.fill");
    EXPECT_EQ(view->startButton()->symbolName(), "circle.grid.3x3.fill");
    QImage red(64, 64, QImage::Format_ARGB32);
    red.fill(Qt::red);
    icons.setCustomImageValue(red);
    EXPECT_EQ(view->startButton()->face(), StartButton::Face::picture);
}

}  // namespace

namespace {

TEST_F(BarViewTest, AccessibleStartButtonPressesLikeTheShortcut) {
    auto view = makeView();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(view->startButton());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), "Start");
    EXPECT_EQ(a->childCount(), 0);
    auto* actions = a->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(startMenu.isOpen());
    // No reopen guard: a press right after a close opens again.
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(startMenu.isOpen());
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(startMenu.isOpen());
    EXPECT_EQ(view->startButton()->toolTip(), "Start");
}

}  // namespace

namespace {

TEST_F(BarViewTest, OpaqueWithoutACompositorAndRedrawnWhenOneStarts) {
    auto view = makeView();
    defaults().setString("appearanceMode", "light");
    EXPECT_EQ(view->backgroundColor().alpha(), 102);  // 40 %
    auto render = [&] {
        QImage img(view->size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        view->render(&img);
        return img.pixelColor(700, 42);
    };
    sim->setCompositingActive(false);
    EXPECT_EQ(view->backgroundColor(), QColor(236, 236, 236)) << "the same colour, opaque";
    EXPECT_EQ(render(), QColor(236, 236, 236));
    sim->setCompositingActive(true);
    EXPECT_EQ(render().alpha(), 102);
    // Every theme colour and level stays its colour, opaque.
    sim->setCompositingActive(false);
    for (const char* mode : {"neoIndigo", "dark", "neoCitrus"})
        for (qint64 level : {0, 1, 4}) {
            const QColor composited = bar_style::backgroundColor(mode, level, platform::Appearance::darkAqua, true);
            const QColor opaque = bar_style::backgroundColor(mode, level, platform::Appearance::darkAqua, false);
            EXPECT_EQ(opaque.alpha(), 255);
            EXPECT_EQ(opaque.rgb(), composited.rgb()) << mode << level;
        }
}

TEST(BarPopup, OpensAboveTheBarInsideTheScreen) {
    const QRect screen(0, 0, 1440, 900);
    const QRect bar(0, 856, 1440, 44);
    struct Case {
        QSize menu;
        QPoint pointer;
        QPoint expected;
    };
    const Case cases[] = {
        {{200, 120}, {300, 870}, {300, 736}},    // bottom edge on the bar's top edge
        {{200, 120}, {1400, 870}, {1240, 736}},  // kept inside on the right
        {{200, 120}, {-20, 870}, {0, 736}},      // and on the left
        {{200, 2000}, {300, 870}, {300, 0}},     // too tall: from the screen's top
    };
    for (const auto& c : cases)
        EXPECT_EQ(bar_style::popupPosition(c.menu, c.pointer, bar, screen), c.expected);
    // A second screen to the right, with its bar.
    EXPECT_EQ(bar_style::popupPosition({100, 50}, {1500, 870}, QRect(1440, 856, 1280, 44), QRect(1440, 0, 1280, 900)),
              QPoint(1500, 806));
}

// Where the press really was places the menu, not where the toolkit last
// heard the bar's window was (a manager may still be moving it).
TEST(BarPopup, FollowsThePressNotAStaleWindowPosition) {
    QWidget bar;
    bar.setGeometry(0, 0, 400, 44);
    bar.show();
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    // Pressed 14 px into the bar, whose top really is at y 456.
    bar_style::popUpAboveBar(&menu, QPoint(100, 470), QPoint(100, 14), &bar);
    EXPECT_EQ(menu.geometry().bottom() + 1, 456);
}

TEST_F(BarViewTest, StartAndMoreAppsToolTipsFollowTheLanguage) {
    auto view = makeView();
    defaults().setString("appLanguage", "simplifiedChinese");
    EXPECT_EQ(view->startButton()->toolTip(), QStringLiteral("开始"));
    EXPECT_EQ(view->startButton()->accessibleName(), QStringLiteral("开始"));
    OverflowButtonView over(service, pins.get());
    EXPECT_EQ(over.toolTip(), QStringLiteral("更多应用"));
    defaults().setString("appLanguage", "english");
    EXPECT_EQ(view->startButton()->toolTip(), "Start");
    EXPECT_EQ(over.toolTip(), "More apps");
    EXPECT_EQ(over.catcher()->toolTip(), "More apps");
}

}  // namespace
