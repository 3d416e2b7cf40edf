// How the bar looks and behaves on a live X11 desktop without a compositing
// manager: drawn opaque, following a compositor that starts and stops, its
// menus opening above it, and the pet's eyes following the pointer over
// other programs. Checked from outside, on the pixels the X server shows.
#include <QGuiApplication>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_compositor.h"
#include "platform/x11/x11_connection.h"
#include "taskbar/pet/pet_drawing_view.h"
#include "x11_program.h"
#include "x11_top_levels.h"

using namespace platform;
using namespace x11test;

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// A stand-in compositing manager: it only takes the manager selection, as
// every compositor does when it starts.
class FakeCompositor {
public:
    FakeCompositor() {
        conn_ = xcb_connect(x11test::Session::shared().display().c_str(), nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        window_ = xcb_generate_id(conn_);
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        Reply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, 13, "_NET_WM_CM_S0"), nullptr), &std::free);
        xcb_set_selection_owner(conn_, window_, atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE), XCB_CURRENT_TIME);
        xcb_flush(conn_);
    }
    ~FakeCompositor() { stop(); }
    // The compositor exits: its connection closes.
    void stop() {
        if (!conn_) return;
        xcb_disconnect(conn_);
        conn_ = nullptr;
    }

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

class X11BarLookTest : public ProgramTest {
protected:
    // The bar's background at a spot no button covers (below the buttons).
    QRgb barBackground() {
        const QImage img = screenImage(conn->xcb(), conn->root(), QRect(600, barTop + 41, 1, 1));
        return img.isNull() ? 0 : img.pixel(0, 0);
    }
};

// The colours at an image's four corners, without alpha; none for a null image.
std::vector<QRgb> cornerColours(const QImage& img) {
    if (img.isNull()) return {};
    std::vector<QRgb> out;
    for (QPoint c : {QPoint(0, 0), QPoint(img.width() - 1, 0), QPoint(0, img.height() - 1),
                     QPoint(img.width() - 1, img.height() - 1)})
        out.push_back(img.pixel(c) & 0xffffff);
    return out;
}

// The opaque window background of the light or the dark appearance, never
// darkened by the bar's opacity (40 %: 94 or 20).
bool isOpaqueBackground(QRgb p) {
    auto near = [](int v, int want) { return std::abs(v - want) <= 3; };
    return (near(qRed(p), 236) && near(qGreen(p), 236) && near(qBlue(p), 236)) ||
           (near(qRed(p), 50) && near(qGreen(p), 50) && near(qBlue(p), 50));
}

using X11CompositorTest = LiveBackendTest;
TEST_F(X11CompositorTest, FollowsTheManagerSelection) {
    ASSERT_TRUE(platform::installedCompositor());
    EXPECT_FALSE(platform::compositingActive()) << "openbox alone composites nothing";

    auto compositor = std::make_shared<x11::X11Compositor>(conn);
    EXPECT_TRUE(compositor->followsChanges()) << "Xvfb has XFixes";
    int changes = 0;
    compositor->addObserver([&] { ++changes; });
    {
        FakeCompositor manager;
        EXPECT_TRUE(pumpUntil([&] { return compositor->isActive() && platform::compositingActive(); }, patience))
            << "a compositor that starts is not noticed";
        EXPECT_EQ(changes, 1);
        manager.stop();
        EXPECT_TRUE(pumpUntil([&] { return !compositor->isActive() && !platform::compositingActive(); }, patience))
            << "a compositor that stops is not noticed";
        EXPECT_EQ(changes, 2);
    }
    // Started before we look: read at once.
    FakeCompositor running;
    xcb_flush(conn->xcb());
    ASSERT_TRUE(pumpUntil([&] { return platform::compositingActive(); }));
    EXPECT_TRUE(x11::X11Compositor(conn).isActive());
    running.stop();
    EXPECT_TRUE(pumpUntil([&] { return !platform::compositingActive(); }));
}

// Without a compositor the bar is opaque, its menus open above it, and the
// start menu is opaque to its corners in the light window background: no
// black squares where rounded corners were meant. A compositor that starts
// makes the bar translucent and the open menu's corners clear again (here
// nobody blends, so the darkened colour and black corners show); one that
// stops brings the opaque look back.
TEST_F(X11BarLookTest, BarMenusAndStartMenuOpaqueWithoutCompositorAndFollowOneThatStartsAndStops) {
    // Control-Option-Space opens the menu.
    writeSettings("<key>startMenuHotKeyCombo</key><string>49:6144</string>\n"
                  "<key>launcherPinsSeeded</key><true/>");
    terminals.push_back(openTerminal(*conn, "80x24+40+40", "menu-test"));
    ASSERT_TRUE(terminals.back());
    ASSERT_TRUE(launch()) << "no bar appeared";
    EXPECT_TRUE(conn->waitUntil([&] { return isOpaqueBackground(barBackground()); }, patience))
        << "the bar is darkened by its opacity: " << std::hex << barBackground();

    // The bar's menus open above it, opaque to their corners.
    ASSERT_TRUE(waitForTaskButton(110)) << "the strip shows no button of the terminal";
    struct Case {
        const char* what;
        int x;
    };
    // The bar itself (an empty stretch of the strip) and the terminal's task button.
    for (const Case& c : {Case{"bar menu", 700}, Case{"task button menu", 110}}) {
        SCOPED_TRACE(c.what);
        xdotool({"mousemove", std::to_string(c.x), std::to_string(barTop + barHeight / 2)});
        std::vector<QRect> menus;
        xdotool({"click", "3"});
        ASSERT_TRUE(conn->waitUntil([&] { return !(menus = popups()).empty(); }, patience)) << "no menu opened";
        EXPECT_LE(menus.front().bottom() + 1, barTop) << "the menu covers the bar";
        EXPECT_GT(menus.front().bottom() + 1, barTop - 4) << "the menu does not sit on the bar";
        const QImage img = screenImage(conn->xcb(), conn->root(), menus.front());
        ASSERT_FALSE(img.isNull());
        // Opaque to its corners: no black square where a transparent corner was meant.
        for (QRgb corner : cornerColours(img)) EXPECT_NE(corner, 0u) << "a black corner";
        xdotool({"key", "Escape"});
        conn->waitUntil([&] { return popups().empty(); }, patience);
    }

    auto panel = [&] { return startMenuOf(*conn, app->pid()); };
    // The shortcut's grab may come a moment after the bar.
    ASSERT_TRUE(waitForShortcut("ctrl+alt+space"));
    xdotool({"key", "ctrl+alt+space"});
    ASSERT_TRUE(conn->waitUntil([&] { return panel().exists; }, patience)) << "the start menu did not open";
    auto corners = [&] {
        const platform::Rect f = panel().frame();
        return cornerColours(screenImage(conn->xcb(), conn->root(),
                                         QRect(int(f.minX()), int(f.minY()), int(f.width()), int(f.height()))));
    };
    auto light = [&] {
        const auto c = corners();
        return c.size() == 4 && std::all_of(c.begin(), c.end(), [](QRgb p) { return qGray(p) > 220; });
    };
    auto black = [&] {
        const auto c = corners();
        return c.size() == 4 && std::all_of(c.begin(), c.end(), [](QRgb p) { return p == 0; });
    };
    auto shown = [&] {
        std::string out;
        for (QRgb p : corners()) out += QString::number(p, 16).toStdString() + " ";
        return out;
    };
    EXPECT_TRUE(conn->waitUntil(light, patience)) << "corners " << shown();

    auto manager = std::make_unique<FakeCompositor>();
    EXPECT_TRUE(conn->waitUntil(black, patience)) << "a compositor that starts is not followed: corners " << shown();
    EXPECT_TRUE(conn->waitUntil([&] { return !isOpaqueBackground(barBackground()); }, patience))
        << "the bar does not follow a compositor that starts";
    manager->stop();
    EXPECT_TRUE(conn->waitUntil(light, patience)) << "a compositor that stops is not followed: corners " << shown();
    EXPECT_TRUE(conn->waitUntil([&] { return isOpaqueBackground(barBackground()); }, patience))
        << "the bar does not follow a compositor that stops";
    EXPECT_TRUE(panel().exists) << "the menu closed on the way";
}

// ---- the pet's eyes ----------------------------------------------------------

constexpr const char* petChildSwitch = "QUORVEL_X11_PET_CHILD";

// The helper: shows the pet with idle motion off in a bar-like panel of its
// own, moves the pointer over the root window above it (another program's
// area: our windows receive no move there) and expects the eyes to turn.
TEST(X11PetChild, EyesFollowThePointerOverOtherPrograms) {
    if (!std::getenv(petChildSwitch)) GTEST_SKIP() << "runs as the helper of X11PetTest only";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QTemporaryDir prefs;
    ASSERT_EQ(installLiveBackend(prefs.path()), "");
    ASSERT_TRUE(xdotool({"mousemove", "600", "100"}));  // far from the pet
    {
        QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                   Qt::WindowDoesNotAcceptFocus);
        panel.setAttribute(Qt::WA_ShowWithoutActivating);
        panel.setGeometry(100, barTop, 36, barHeight);
        auto* pet = new PetDrawingView(&panel);
        pet->idleMotion = false;
        pet->followsPointer = true;
        pet->setGeometry(panel.rect());
        panel.show();
        ASSERT_TRUE(pumpUntil([&] { return pet->isActive(); }, patience));
        // The manager places a new window as it likes; a move after mapping is kept.
        panel.move(100, barTop);
        ASSERT_TRUE(pumpUntil([&] { return pet->mapToGlobal(QPoint(0, 0)) == QPoint(100, barTop); }, patience));
        EXPECT_EQ(pet->gazeTarget(), PetVector{});
        EXPECT_FALSE(pet->idleTimerRunning());
        // Above the panel, to the right of the pet's middle, within reach.
        ASSERT_TRUE(xdotool({"mousemove", "150", std::to_string(barTop - 20)}));
        EXPECT_TRUE(pumpUntil([&] { return pet->gazeTarget().x > 0.1 && pet->gazeTarget().y < -0.1; }, patience))
            << "the eyes ignore the pointer over another program: target " << pet->gazeTarget().x << ","
            << pet->gazeTarget().y << " poll " << pet->pointerPollRunning() << " active " << pet->isActive()
            << " pet at " << pet->mapToGlobal(QPoint(0, 0)).x() << "," << pet->mapToGlobal(QPoint(0, 0)).y();
        EXPECT_TRUE(pumpUntil([&] { return pet->gaze() == pet->gazeTarget(); }, patience)) << "the eyes never arrive";
        ASSERT_TRUE(xdotool({"mousemove", "90", std::to_string(barTop - 20)}));
        EXPECT_TRUE(pumpUntil([&] { return pet->gazeTarget().x < -0.1; }, patience)) << "the eyes do not follow to the left";
        panel.hide();
        EXPECT_TRUE(pumpUntil([&] { return !pet->isActive(); }, patience));
        EXPECT_FALSE(pet->pointerPollRunning()) << "a hidden pet keeps looking";
    }
    platform::uninstall();
}

TEST(X11PetTest, EyesFollowThePointerOverOtherProgramsWithIdleMotionOff) {
    Child helper;
    ASSERT_TRUE(startSelf(helper, "X11PetChild.*", {std::string(petChildSwitch) + "=1"}));
    ASSERT_TRUE(helper.waitForExit(2 * patience)) << "the helper did not finish";
    EXPECT_EQ(helper.exitCode(), 0) << "the helper's checks failed (run it with " << petChildSwitch << "=1 to see)";
}

// Writes the picture of the live bar for the documentation when
// QUORVEL_LIVE_BAR_SCREENSHOT names a file (scripts/render_live_bar_screenshot.sh):
// the real program on Xvfb + openbox, no compositing manager, with real
// applications running.
TEST_F(X11BarLookTest, LiveScreenshot) {
    const QString target = qEnvironmentVariable("QUORVEL_LIVE_BAR_SCREENSHOT");
    if (target.isEmpty()) GTEST_SKIP() << "set QUORVEL_LIVE_BAR_SCREENSHOT to write the picture";
    std::vector<std::unique_ptr<Child>> others;
    terminals.push_back(openTerminal(*conn, "80x20+60+60", "xterm"));
    ASSERT_TRUE(terminals.back());
    // Other small X programs, where installed.
    for (const char* program : {"xcalc", "xeyes", "xclock", "mousepad", "galculator", "gpicview"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) continue;
        others.push_back(std::make_unique<Child>());
        others.back()->start({program}, x11test::Session::shared().display());
    }
    // A desktop colour, so the picture shows the bar standing on something.
    const std::uint32_t teal = 0x3b6e8f;
    xcb_change_window_attributes(conn->xcb(), conn->root(), XCB_CW_BACK_PIXEL, &teal);
    xcb_clear_area(conn->xcb(), 0, conn->root(), 0, 0, 0, 0);
    conn->flush();
    ASSERT_TRUE(launch()) << "no bar appeared";
    xdotool({"mousemove", "640", "300"});
    // Taken once the strip has filled in and the icons have arrived: the
    // picture has stayed the same for a second.
    const QRect area(0, barTop - 80, x11test::Session::width, barHeight + 80);
    QImage img;
    auto changed = std::chrono::steady_clock::now();
    EXPECT_TRUE(conn->waitUntil([&] {
        QImage now = screenImage(conn->xcb(), conn->root(), area);
        if (now != img) {
            img = std::move(now);
            changed = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - changed > std::chrono::seconds(1);
    }, patience)) << "the bar never came to rest";
    ASSERT_FALSE(img.isNull());
    ASSERT_TRUE(img.save(target)) << target.toStdString();
}

}  // namespace
