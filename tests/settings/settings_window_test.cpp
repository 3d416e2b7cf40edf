// Presenting the settings window: on which display, once per request, and
// what happens to a window that is already open, minimised or too large.
#include <gtest/gtest.h>

#include "settings/settings_view.h"
#include "settings_test_support.h"

namespace {

class SettingsWindowTest : public SettingsTest {
protected:
    // The visible frame of a display in Qt's top-left coordinates.
    QRect visibleFrame(platform::DisplayID id) {
        for (const auto& s : platform::displays().screens())
            if (s.id == id) {
                const double h = platform::displays().screens().front().frame.height();
                const auto v = s.visibleFrame;
                return QRect(int(v.minX()), int(h - v.maxY()), int(v.width()), int(v.height()));
            }
        return {};
    }
    QPoint centre(const QRect& r) { return QPoint(r.x() + r.width() / 2, r.y() + r.height() / 2); }
    // Centred within a pixel (the frame's origin is rounded).
    static bool centredOn(const QRect& frame, const QRect& visible) {
        return std::abs((frame.x() * 2 + frame.width()) - (visible.x() * 2 + visible.width())) <= 2 &&
               std::abs((frame.y() * 2 + frame.height()) - (visible.y() * 2 + visible.height())) <= 2;
    }
    void request(std::optional<platform::DisplayID> id) {
        SettingsWindow::show([this] { ++opens; }, id);
        sim->pump();
    }
    int opens = 0;
};

TEST_F(SettingsWindowTest, WhichDisplayARequestCentresOn) {
    const auto main = platform::displays().mainDisplayID();
    const auto second = sim->addDisplay(platform::Rect(1440, -200, 1920, 1080));
    struct Case {
        const char* what;
        std::optional<platform::DisplayID> id;
        platform::Point pointer;
        platform::DisplayID expected;
    };
    const Case cases[] = {
        {"by id", second, {200, 200}, second},
        {"no id: under the pointer", std::nullopt, {2000, 300}, second},
        {"no id, pointer on the main display", std::nullopt, {200, 200}, main},
        {"an id no display has: under the pointer", 4242u, {2000, 300}, second},
        {"pointer off every display: the main one", std::nullopt, {-9000, 0}, main},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim->setPointer(c.pointer);
        sim->setMainScreen(main);
        request(c.id);
        QWidget* w = SettingsWindow::window();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->size(), QSize(720, 470));
        EXPECT_TRUE(centredOn(w->frameGeometry(), visibleFrame(c.expected)));
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(SettingsWindow::presentationPending());
    }
    // One window, made once; later requests brought it forward.
    EXPECT_EQ(opens, 1);
    EXPECT_NE(qobject_cast<SettingsView*>(SettingsWindow::window()), nullptr);
}

TEST_F(SettingsWindowTest, AnOpenWindowIsMovedRestoredAndMadeActive) {
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    request(platform::displays().mainDisplayID());
    QWidget* w = SettingsWindow::window();
    ASSERT_NE(w, nullptr);
    const int activationsBefore = int(sim->logLines(QStringLiteral("app.activate")).size());

    // Minimised, and another window active.
    QWidget elsewhere;
    ASSERT_TRUE(showActive(elsewhere));
    w->showMinimized();
    ASSERT_TRUE(w->isMinimized());
    SettingsWindow::show([this] { ++opens; }, second);
    EXPECT_TRUE(w->isMinimized()) << "nothing happens before the main queue turns";
    sim->pump();
    EXPECT_EQ(opens, 1);
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(centredOn(w->frameGeometry(), visibleFrame(second)));
    EXPECT_TRUE(QTest::qWaitForWindowActive(w, 2000));
    EXPECT_GT(int(sim->logLines(QStringLiteral("app.activate")).size()), activationsBefore);

    // Moved by the person afterwards: a stale bring-forward does not undo it.
    w->move(10, 10);
    SettingsWindow::viewDidMoveToWindow(w);
    sim->pump();
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(10, 10));
}

TEST_F(SettingsWindowTest, RequestsBeforeTheWindowExistsOpenItOnceOnTheLatestDisplay) {
    const auto main = platform::displays().mainDisplayID();
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    SettingsWindow::show([this] { ++opens; }, second);
    SettingsWindow::show([this] { ++opens; }, main);
    EXPECT_EQ(SettingsWindow::window(), nullptr) << "opened a main-queue turn later";
    sim->pump();
    EXPECT_EQ(opens, 1);
    ASSERT_NE(SettingsWindow::window(), nullptr);
    EXPECT_TRUE(centredOn(SettingsWindow::window()->frameGeometry(), visibleFrame(main)));
}

TEST_F(SettingsWindowTest, TheMenuBarLinkOpensWithoutPlacingAndABarRequestThenFindsTheWindow) {
    SettingsWindow::openScene();
    QWidget* w = SettingsWindow::window();
    ASSERT_NE(w, nullptr);
    w->move(5, 7);
    sim->pump();
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(5, 7)) << "no request: not moved";
    request(platform::displays().mainDisplayID());
    EXPECT_EQ(opens, 0) << "the open action is not called for a live window";
    EXPECT_EQ(SettingsWindow::window(), w);
    EXPECT_TRUE(centredOn(w->frameGeometry(), visibleFrame(platform::displays().mainDisplayID())));

    // An open action that opens the window itself, as the platform's does.
    SettingsWindow::reset();
    SettingsWindow::show([this] {
        ++opens;
        SettingsWindow::openScene();
    }, std::nullopt);
    sim->pump();
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(qApp->topLevelWidgets().count(qobject_cast<QWidget*>(SettingsWindow::view())), 1);

    // Once the window is gone, the next request opens it again.
    delete SettingsWindow::window();
    EXPECT_EQ(SettingsWindow::window(), nullptr);
    request(std::nullopt);
    EXPECT_EQ(opens, 2);
    EXPECT_NE(SettingsWindow::window(), nullptr);
}

TEST_F(SettingsWindowTest, WindowLargerThanTheDisplayIsCentredWithoutClamping) {
    const auto small = sim->addDisplay(platform::Rect(1440, 0, 640, 400));
    request(small);
    QWidget* w = SettingsWindow::window();
    ASSERT_NE(w, nullptr);
    const QRect v = visibleFrame(small);
    EXPECT_LT(w->frameGeometry().left(), v.left());
    EXPECT_GT(w->frameGeometry().right(), v.right());
    EXPECT_LT(w->frameGeometry().top(), v.top());
    EXPECT_NEAR(centre(w->frameGeometry()).x(), centre(v).x(), 1);
    EXPECT_NEAR(centre(w->frameGeometry()).y(), centre(v).y(), 1);
}

}  // namespace
