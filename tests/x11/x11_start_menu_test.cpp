// The start menu of the real program on a live X11 desktop: the shortcut
// opens it above the bar with the keyboard in its search field, typing
// filters, Return starts an application of a fixture XDG applications folder
// (its window appears and gets a task button), Escape and a press on the
// desktop close it.
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_icons.h"
#include "support/test_files.h"
#include "taskbar/app_icon_provider.h"
#include "x11_program.h"
#include "x11_top_levels.h"

using namespace platform;
using namespace x11test;

namespace {

class X11StartMenuTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // Control-Option-Space opens the menu (Option-Space is the window
        // manager's own); the first-run Dock question is answered already.
        writeSettings("<key>startMenuHotKeyCombo</key><string>49:6144</string>\n"
                      "<key>dockSetupCompleted</key><true/>\n"
                      "<key>launcherPinsSeeded</key><true/>");
        QDir().mkpath(home.filePath("share"));
        ASSERT_TRUE(writeFile(home.filePath("data/applications/quorvel-fixture-term.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Fixture Terminal\n"
                              "Exec=xterm -T \"fixture terminal\" -geometry 40x8+300+120\n"));
        ASSERT_TRUE(writeFile(home.filePath("data/applications/quorvel-fixture-other.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Other Fixture\nExec=xterm -T other\n"));
    }
    void TearDown() override {
        ProgramTest::TearDown();
        for (pid_t pid : launched) kill(pid, SIGKILL);
    }
    bool launch() { return ProgramTest::launch({"XDG_DATA_DIRS=" + home.path().toStdString() + "/share"}); }
    // A viewable client of the process whose title contains the text.
    x11::WindowInfo windowOf(pid_t pid, const QString& title) {
        for (const auto& info : conn->windowInfos(conn->clientList()))
            if (info.processID == pid && info.viewable && info.title.contains(title)) return info;
        return {};
    }
    x11::WindowInfo menuPanel() { return startMenuOf(*conn, app->pid()); }
    x11::WindowInfo titled(const QString& title) {
        for (const auto& info : conn->windowInfos(conn->clientList()))
            if (info.viewable && info.title == title) return info;
        return {};
    }
    // A press that comes while a slow machine is still closing the last
    // opening is taken by that closing: pressed again while the menu stays shut.
    bool openMenu() {
        return repeatUntil([] { xdotool({"key", "ctrl+alt+space"}); },
                           [&] { return menuPanel().exists && keyboardFocus(*conn) == menuPanel().window; });
    }

    std::vector<pid_t> launched;
};

TEST_F(X11StartMenuTest, ShortcutTypingReturnEscapeAndADesktopPress) {
    ASSERT_TRUE(launch()) << "the program did not come up";
    ASSERT_TRUE(waitForShortcut("ctrl+alt+space"));

    // The shortcut opens the menu above the bar, as the active window.
    ASSERT_TRUE(openMenu()) << "the menu did not open with the keyboard focus";
    const Rect frame = menuPanel().frame();
    EXPECT_EQ(frame, Rect(8, barTop - 6 - 420, 360, 420));

    // Typing goes to the search field; Return starts the one match.
    xdotool({"type", "--delay", "30", "fixture term"});
    xdotool({"key", "Return"});
    EXPECT_TRUE(conn->waitUntil([&] { return titled("fixture terminal").exists; }, patience))
        << "the fixture application's window did not appear";
    EXPECT_TRUE(conn->waitUntil([&] { return !menuPanel().exists; }, patience)) << "a launch closes the menu";
    const auto terminal = titled("fixture terminal");
    if (terminal.pid) launched.push_back(terminal.pid);

    // It has a task button: the first after the start button; clicking the
    // active application's button minimises its window.
    ASSERT_TRUE(conn->waitUntil([&] { return conn->activeWindow() == terminal.window; }, patience));
    ASSERT_TRUE(waitForTaskButton(78)) << "the strip shows no button of the launched application";
    xdotool({"mousemove", "78", std::to_string(int(barTop + barHeight / 2))});
    bool hidden = false;
    for (int attempt = 0; attempt < 3 && !hidden; ++attempt) {
        xdotool({"click", "1"});
        hidden = conn->waitUntil(
            [&] { return conn->windowInfo(terminal.window).hasState(conn->ewmh()->_NET_WM_STATE_HIDDEN); },
            patience / 3);
    }
    EXPECT_TRUE(hidden) << "the launched application has no working task button";

    // Escape closes the menu.
    ASSERT_TRUE(openMenu());
    xdotool({"key", "Escape"});
    EXPECT_TRUE(conn->waitUntil([&] { return !menuPanel().exists; }, patience)) << "Escape leaves the menu open";

    // A press on the empty desktop closes it too.
    ASSERT_TRUE(openMenu());
    xdotool({"mousemove", "900", "200"});
    xdotool({"click", "1"});
    EXPECT_TRUE(conn->waitUntil([&] { return !menuPanel().exists; }, patience)) << "a desktop press leaves the menu open";
}

// The menu's icons are found and decoded off the GUI thread: the theme's
// file, by plain look-ups through the themes the GUI thread's loader uses.
TEST(X11StartMenuIconsThreaded, ThemeIconFileFoundAndDecodedOffTheGuiThread) {
    QTemporaryDir dir;
    const QString theme = dir.filePath("icons/hicolor");
    ASSERT_TRUE(writeFile(theme + "/index.theme", "[Icon Theme]\nName=Hicolor\nDirectories=scalable/apps\n"));
    ASSERT_TRUE(writeFile(theme + "/scalable/apps/quorvel-threaded-red.svg",
                          "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                          "<rect width='16' height='16' fill='#f00'/></svg>"));
    // The user's theme names its parent in [Icon Theme], after a group of
    // another kind: an icon only that parent has is found too.
    const QString child = dir.filePath("icons/QuorvelChild");
    ASSERT_TRUE(writeFile(child + "/index.theme",
                          "# made by hand\n[X-Other]\nInherits=hicolor\n\n[Icon Theme]\nName=Child\n"
                          "Inherits=QuorvelParent\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\n"));
    const QString parent = dir.filePath("icons/QuorvelParent");
    ASSERT_TRUE(writeFile(parent + "/index.theme", "[Icon Theme]\nName=Parent\nDirectories=scalable/apps\n"));
    ASSERT_TRUE(writeFile(parent + "/scalable/apps/quorvel-threaded-blue.svg",
                          "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                          "<rect width='16' height='16' fill='#00f'/></svg>"));
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeBefore = QIcon::themeName();
    QIcon::setThemeSearchPaths(QStringList{dir.filePath("icons")} + searchPaths);
    QIcon::setThemeName(QStringLiteral("QuorvelChild"));
    x11::prepareIconLookup();

    QString file, inParent;
    QImage image;
    std::thread worker([&] {
        image = AppIconProvider::decodeIconFile(file = x11::desktopIconFile("quorvel-threaded-red.svg"));
        inParent = x11::desktopIconFile("quorvel-threaded-blue");
    });
    worker.join();
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeBefore);
    x11::prepareIconLookup();
    EXPECT_EQ(file, theme + "/scalable/apps/quorvel-threaded-red.svg");
    EXPECT_EQ(inParent, parent + "/scalable/apps/quorvel-threaded-blue.svg");
    ASSERT_EQ(image.size(), QSize(64, 64)) << "a vector icon is drawn at the row's size";
    EXPECT_EQ(image.pixel(32, 32), qRgb(255, 0, 0));
}

}  // namespace
