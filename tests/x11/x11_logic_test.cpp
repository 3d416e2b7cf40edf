// The parts of the live desktop backend that need no X server: frame
// arithmetic, desktop entries, key mapping, screen geometry, panel flags.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <unistd.h>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/linux/systemd_session.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_desktop_entries.h"
#include "platform/x11/x11_displays.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_system.h"
#include "platform/x11/x11_window_properties.h"
#include "platform/x11/x11_workspace.h"
#include "support/test_files.h"

using namespace platform;
using namespace platform::x11;

namespace {

TEST(X11FrameTest, VisibleFrameAndClientSizeAreInverse) {
    struct Case {
        FrameExtents decoration, shadow;
        Rect client;
        Rect visible;
    };
    const Case cases[] = {
        {{}, {}, Rect(10, 20, 300, 200), Rect(10, 20, 300, 200)},
        // A decorated window: the frame grows by the decoration.
        {{1, 1, 20, 5}, {}, Rect(11, 30, 484, 316), Rect(10, 10, 486, 341)},
        // A client-side decorated window: the shadow margin is not part of it.
        {{}, {26, 26, 23, 29}, Rect(0, 0, 852, 652), Rect(26, 23, 800, 600)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(visibleFrame(c.client, c.decoration, c.shadow), c.visible);
        EXPECT_EQ(clientSizeFor(c.visible.size, c.decoration, c.shadow), c.client.size);
    }
}

TEST(X11DesktopEntryTest, ExecArguments) {
    struct Case {
        const char* exec;
        QStringList args;
    };
    const Case cases[] = {
        {"xterm", {"xterm"}},
        {"firefox %u", {"firefox"}},
        {"gimp-2.10 %U --new", {"gimp-2.10", "--new"}},
        {"\"/opt/My App/run\" --flag", {"/opt/My App/run", "--flag"}},
        {"sh -c \"echo \\\"hi\\\"\"", {"sh", "-c", "echo \"hi\""}},
        {"printf 100%%", {"printf", "100%"}},
        {"  spaced   out  ", {"spaced", "out"}},
        {"\"\" empty", {"", "empty"}},
        {"broken \"quote", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(desktopExecArguments(QString::fromUtf8(c.exec)), c.args) << c.exec;
}

class DesktopEntryFiles : public ::testing::Test {
protected:
    QString write(const QString& relative, const QByteArray& text) {
        const QString path = dir.path() + u'/' + relative;
        EXPECT_TRUE(writeFile(path, text));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(DesktopEntryFiles, OnlyShownApplicationsParse) {
    struct Case {
        const char* text;
        bool parses;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nType=Application\nName=Editor\nExec=ed\n", true},
        {"[Desktop Entry]\nType=Link\nName=Site\n", false},
        {"[Desktop Entry]\nType=Application\nExec=ed\n", false},  // no name
        {"[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", false},
        // Keys of another group do not count.
        {"[Other]\nType=Application\nName=X\n", false},
        {"\x00\x01\x02 binary", false},
        {"", false},
    };
    int i = 0;
    for (const auto& c : cases) {
        const QString path = write(QStringLiteral("e%1.desktop").arg(i++), QByteArray(c.text, int(strlen(c.text))));
        EXPECT_EQ(parseDesktopEntry(path, QStringLiteral("e")).has_value(), c.parses) << c.text;
    }
    // An oversized file is refused without being read whole.
    const QString huge = write(QStringLiteral("huge.desktop"),
                               "[Desktop Entry]\nType=Application\nName=Big\n" + QByteArray(2 * 1024 * 1024, '#'));
    EXPECT_FALSE(parseDesktopEntry(huge, QStringLiteral("huge")));
    auto e = parseDesktopEntry(write(QStringLiteral("esc.desktop"),
                                     "[Desktop Entry]\nType=Application\nName=Two\\sWords\nIcon=/x.png\n"),
                               QStringLiteral("esc"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Two Words"));
    EXPECT_EQ(e->icon, QStringLiteral("/x.png"));
}

TEST_F(DesktopEntryFiles, MatchPrefersApplicationIdThenWindowClassThenId) {
    write(QStringLiteral("org.example.Notes.desktop"), "[Desktop Entry]\nType=Application\nName=Notes\n");
    write(QStringLiteral("term.desktop"),
          "[Desktop Entry]\nType=Application\nName=Term\nStartupWMClass=XTerm\n");
    write(QStringLiteral("xterm.desktop"), "[Desktop Entry]\nType=Application\nName=Plain\n");
    write(QStringLiteral("kde/konsole.desktop"), "[Desktop Entry]\nType=Application\nName=Konsole\n");
    DesktopEntryIndex index({dir.path()});
    struct Case {
        const char* gtkId;
        const char* cls;
        const char* inst;
        const char* expectedId;  // nullptr: no match
    };
    const Case cases[] = {
        {"org.example.Notes", "Whatever", "whatever", "org.example.Notes"},
        {"", "XTerm", "xterm", "term"},        // StartupWMClass wins over the id
        {"", "Notes", "notes", "org.example.Notes"},  // the last part of a dotted id
        {"", "kde-konsole", "", "kde-konsole"},       // sub-folders join with '-'
        {"", "XTERM", "", "xterm"},                   // ids ignore case
        {"", "Unknown", "unknown", nullptr},
        {"", "", "", nullptr},
    };
    for (const auto& c : cases) {
        auto m = index.match(QString::fromUtf8(c.gtkId), QString::fromUtf8(c.cls), QString::fromUtf8(c.inst));
        if (c.expectedId) {
            ASSERT_TRUE(m) << c.cls;
            EXPECT_EQ(m->id, QString::fromUtf8(c.expectedId)) << c.cls;
        } else {
            EXPECT_FALSE(m) << c.cls;
        }
    }
    EXPECT_EQ(index.byId(QStringLiteral("term"))->name, QStringLiteral("Term"));
}

// The folders are watched rather than walked each time: an entry added,
// edited or removed, and a folder that appears later, are still seen.
TEST_F(DesktopEntryFiles, LaterChangesAreSeen) {
    const QString user = dir.path() + QStringLiteral("/user");
    const QString edited = write(QStringLiteral("a.desktop"), "[Desktop Entry]\nType=Application\nName=A\n");
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("linked.desktop"));
    writeFile(target, "[Desktop Entry]\nType=Application\nName=L\n");
    QFile::link(target, dir.path() + QStringLiteral("/linked.desktop"));
    DesktopEntryIndex index({user, dir.path()}, 0.0);
    // An edit within the same millisecond as the last write still counts.
    const auto rewrite = [](const QString& path, const QByteArray& text) {
        writeFile(path, text);
        QFile f(path);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    };
    auto name = [&](const char* id) {
        auto e = index.byId(QString::fromUtf8(id));
        return e ? e->name.toStdString() : std::string("-");
    };
    ASSERT_EQ(name("a"), "A");
    const std::pair<std::function<void()>, std::pair<const char*, const char*>> steps[] = {
        {[&] { write(QStringLiteral("b.desktop"), "[Desktop Entry]\nType=Application\nName=B\n"); }, {"b", "B"}},
        {[&] { rewrite(edited, "[Desktop Entry]\nType=Application\nName=A2\n"); }, {"a", "A2"}},
        {[&] { writeFile(user + QStringLiteral("/a.desktop"), "[Desktop Entry]\nType=Application\nName=Mine\n"); },
         {"a", "Mine"}},
        {[&] { QFile::remove(dir.path() + QStringLiteral("/b.desktop")); }, {"b", "-"}},
        {[&] { rewrite(target, "[Desktop Entry]\nType=Application\nName=L2\n"); }, {"linked", "L2"}},
    };
    for (const auto& [change, expected] : steps) {
        SCOPED_TRACE(expected.first);
        change();
        EXPECT_EQ(name(expected.first), expected.second);
    }
}

TEST(X11ProcessTest, StartTimeFromStatLine) {
    struct Case {
        const char* line;
        std::optional<unsigned long long> start;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"123 (xterm) S 1 2", std::nullopt},
        {"no parenthesis at all", std::nullopt},
        {"7 (xterm) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 4242 99 100", 4242ull},
        // A command with spaces and parentheses of its own.
        {"7 (a) b (c) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 4242 99 100", 4242ull},
    };
    for (const auto& c : cases) EXPECT_EQ(startTimeFromStatLine(QByteArray(c.line)), c.start) << c.line;
    EXPECT_TRUE(processStartTime(getpid()).has_value());
}

TEST(X11HotKeyMappingTest, VirtualKeysAndModifiers) {
    struct KeyCase {
        std::uint32_t code;
        std::optional<std::uint32_t> keysym;
    };
    const KeyCase keys[] = {
        {0x00, 'a'}, {0x02, 'd'}, {0x12, '1'}, {0x1D, '0'}, {0x31, ' '}, {0x24, 0xff0d}, {0x35, 0xff1b},
        {0x7A, 0xffbe}, {0x7E, 0xff52}, {0x0A, std::nullopt}, {0xFFFF, std::nullopt},
    };
    for (const auto& k : keys) EXPECT_EQ(keysymForVirtualKey(k.code), k.keysym) << k.code;
    struct ModCase {
        std::uint32_t carbon;
        std::optional<std::uint16_t> x;
    };
    const ModCase mods[] = {
        {0, 0},
        {0x1000, XCB_MOD_MASK_CONTROL},
        {0x800, XCB_MOD_MASK_1},
        {0x100, XCB_MOD_MASK_4},
        {0x200 | 0x1000, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL},
        {0x100 | 0x200 | 0x800 | 0x1000, XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL},
        {0x400, std::nullopt},  // caps lock is no shortcut modifier
        {0x1000 | 0x1, std::nullopt},
    };
    for (const auto& m : mods) EXPECT_EQ(xModifiersFor(m.carbon), m.x) << m.carbon;
}

TEST(X11DisplaysTest, ScreensFlipAroundThePrimary) {
    auto screens = makeScreens({
        {QStringLiteral("HDMI-1"), Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1050), 1.0},
        {QStringLiteral("DP-2"), Rect(1920, 200, 1280, 1024), Rect(), 2.0},
    });
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(screens[0].visibleFrame, Rect(0, 30, 1920, 1050));
    // The second screen's top is 200 below the primary's top.
    EXPECT_EQ(screens[1].frame, Rect(1920, 1080 - 1224, 1280, 1024));
    EXPECT_EQ(screens[1].visibleFrame, screens[1].frame) << "no usable area reported: all of it";
    EXPECT_EQ(screens[1].backingScale, 2.0);
    EXPECT_NE(screens[0].id, screens[1].id);
    EXPECT_EQ(screens[0].id, displayIDForName(QStringLiteral("HDMI-1"), 5)) << "the id follows the name";
    EXPECT_EQ(displayIDForName(QString(), 0), 1u);
    EXPECT_TRUE(makeScreens({}).empty());
    // Two outputs with one name still get distinct ids.
    auto twins = makeScreens({{QStringLiteral("X"), Rect(0, 0, 10, 10), Rect(), 1},
                              {QStringLiteral("X"), Rect(10, 0, 10, 10), Rect(), 1}});
    EXPECT_NE(twins[0].id, twins[1].id);
}

TEST(X11SystemTest, PanelFlagsAndSessionCommands) {
    const int bar = int(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    const int top = int(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    const struct {
        int flags;
        bool panel, popupPanel;
    } cases[] = {
        {bar, true, false},  // a bar is no popup panel
        {bar | int(Qt::NoDropShadowWindowHint), true, false},
        // The start menu takes the focus: the popup panel, and no plain one.
        {int(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint), false, true},
        {int(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), false, true},
        {int(Qt::Tool | Qt::WindowStaysOnTopHint), false, false},
        {int(Qt::Window) | top, false, false},  // a plain window
        {int(Qt::Popup) | top, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isPanelWindowFlags(c.flags), c.panel) << std::hex << c.flags;
        EXPECT_EQ(isPopupPanelWindowFlags(c.flags), c.popupPanel) << std::hex << c.flags;
    }

    // The session commands (each one is also run through stand-ins by the
    // start menu's tests): the live desktop's folder, and none without one.
    using linux_backend::SystemdSession;
    const SystemdSession live(QStringLiteral("/usr/bin/"), QStringLiteral("c2"));
    EXPECT_EQ(live.commandFor(SystemdSession::Request::logOut),
              (QStringList{"/usr/bin/loginctl", "terminate-session", "c2"}));
    EXPECT_EQ(live.commandFor(SystemdSession::Request::shutDown), (QStringList{"/usr/bin/systemctl", "poweroff"}));
    // Without a session id, logind finds the caller's graphical session itself.
    EXPECT_EQ(SystemdSession(QStringLiteral("/usr/bin"), QString()).commandFor(SystemdSession::Request::logOut),
              (QStringList{"/usr/bin/loginctl", "terminate-session", "auto"}));
    EXPECT_TRUE(SystemdSession(QString(), QStringLiteral("c2")).commandFor(SystemdSession::Request::restart).isEmpty());
}

TEST(X11Struts, ReservedStripFollowsTheEdgeThePanelSitsOn) {
    using V = std::array<std::uint32_t, 12>;
    const Rect root(0, 0, 3200, 1080);
    const Rect left(0, 0, 1920, 1080), right(1920, 200, 1280, 800);
    struct Case {
        const char* what;
        Rect panel, display;
        V expected;
    } cases[] = {
        {"bottom of the left display", Rect(0, 1036, 1920, 44), left, V{0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0, 1919}},
        // Measured from the bottom of the whole screen, which the shorter
        // right display does not reach.
        {"bottom of a shorter display", Rect(1920, 956, 1280, 44), right,
         V{0, 0, 0, 124, 0, 0, 0, 0, 0, 0, 1920, 3199}},
        {"top edge", Rect(0, 0, 1920, 30), left, V{0, 0, 30, 0, 0, 0, 0, 0, 0, 1919, 0, 0}},
        {"floating in the middle", Rect(100, 500, 400, 44), left, V{}},
        {"empty", Rect(), left, V{}},
    };
    for (const auto& c : cases) EXPECT_EQ(strutFor(c.panel, c.display, root), c.expected) << c.what;
}

TEST(X11Struts, OwnStripIsGivenBackToTheUsableArea) {
    const Rect bounds(0, 0, 1920, 1080);
    const std::vector<Rect> ours{Rect(0, 1036, 1920, 44)};
    struct Case {
        const char* what;
        Rect available;
        std::vector<Rect> reserved;
        Rect expected;
    } cases[] = {
        {"stops at our bar", Rect(0, 0, 1920, 1036), ours, Rect(0, 0, 1920, 1080)},
        {"another dock below ours keeps its part", Rect(0, 0, 1920, 1000), ours, Rect(0, 0, 1920, 1000)},
        {"bar hidden: nothing reserved", bounds, ours, bounds},
        // The manager's one work area: a shorter display's bar cuts this one too.
        {"a strip on another display", Rect(0, 0, 1920, 1036), {Rect(1920, 1036, 1280, 44)}, bounds},
        {"a shorter display's strip", Rect(0, 0, 1920, 980), {Rect(1920, 980, 1280, 44), ours[0]}, bounds},
        {"another display's strip at another height", Rect(0, 0, 1920, 1000), {Rect(1920, 980, 1280, 44)},
         Rect(0, 0, 1920, 1000)},
        {"top panel", Rect(0, 30, 1920, 1050), {Rect(0, 0, 1920, 30)}, bounds},
    };
    for (const auto& c : cases) EXPECT_EQ(giveBackOwnReservation(bounds, c.available, c.reserved), c.expected) << c.what;
}

// The properties of a window as the server answers them, decoded without a server.
TEST(X11WindowPropertiesTest, DecodesWhatTheServerAnswered) {
    const xcb_atom_t utf8 = 300;
    // The values live as long as the cases that point into them.
    const std::vector<std::uint32_t> pid{4242}, pidZero{0}, pidTooLarge{0x80000000u}, group{1u << 6, 0, 0, 0, 0, 0, 0, 0, 77},
        urgentGroup{(1u << 6) | (1u << 8), 0, 0, 0, 0, 0, 0, 0, 77}, leader{55}, opaque{0xffffffffu};
    const QByteArray utf8Title("Caf\xc3\xa9"), latin1Title("Caf\xe9"), cls("xterm\0XTerm", 11), host("here\0", 5);
    auto cards = [](const std::vector<std::uint32_t>& v) {
        return PropertyValue{true, XCB_ATOM_CARDINAL, 32, v.data(), int(v.size() * 4)};
    };
    auto text = [](const QByteArray& b, xcb_atom_t type = XCB_ATOM_STRING) {
        return PropertyValue{true, type, 8, b.constData(), int(b.size())};
    };
    struct Case {
        const char* what;
        WindowProperties in;
        bool exists;
        std::function<bool(const WindowInfo&)> holds;
    };
    const auto noPid = [](const WindowInfo& i) { return i.pid == 0; };
    const auto cafe = [](const WindowInfo& i) { return i.title == QStringLiteral("Café"); };
    const Case cases[] = {
        {"a gone window answers no _NET_WM_PID request", {}, false, noPid},
        {"the pid as given", {.pid = cards(pid)}, true, [](const WindowInfo& i) { return i.pid == 4242 && i.processID == 4242; }},
        {"a pid of 0 is none", {.pid = cards(pidZero)}, true, noPid},
        {"a pid beyond the range is none", {.pid = cards(pidTooLarge)}, true, noPid},
        {"_NET_WM_NAME before WM_NAME", {.pid = cards(pid), .netName = text(utf8Title, utf8), .wmName = text(latin1Title)},
         true, cafe},
        {"a Latin-1 WM_NAME", {.pid = cards(pid), .wmName = text(latin1Title)}, true, cafe},
        {"a UTF-8 WM_NAME", {.pid = cards(pid), .wmName = text(utf8Title, utf8)}, true, cafe},
        {"a name of the wrong format is no name", {.pid = cards(pid), .netName = cards(leader)}, true,
         [](const WindowInfo& i) { return i.title.isEmpty(); }},
        {"WM_CLASS: instance, then class; the machine up to its NUL",
         {.pid = cards(pid), .machine = text(host), .wmClass = text(cls)}, true,
         [](const WindowInfo& i) {
             return i.wmClassInstance == QStringLiteral("xterm") && i.wmClassClass == QStringLiteral("XTerm") &&
                    i.clientMachine == QStringLiteral("here");
         }},
        {"the WM_HINTS group leads without WM_CLIENT_LEADER", {.pid = cards(pid), .hints = cards(group)}, true,
         [](const WindowInfo& i) { return i.clientLeader == 77 && !i.urgencyHint; }},
        {"WM_CLIENT_LEADER before the group; urgency", {.pid = cards(pid), .leader = cards(leader), .hints = cards(urgentGroup)},
         true, [](const WindowInfo& i) { return i.clientLeader == 55 && i.urgencyHint; }},
        {"allowed actions only when of type ATOM", {.pid = cards(pid), .actions = cards(leader), .opacity = cards(opaque)},
         true, [](const WindowInfo& i) { return !i.allowedActions && i.opacity == 1.0; }},
    };
    for (const auto& c : cases) {
        WindowInfo info;
        info.window = 9;
        info.title = QStringLiteral("stale");
        info.clientArea = Rect(1, 2, 3, 4);
        EXPECT_EQ(decodeWindowProperties(c.in, utf8, info), c.exists) << c.what;
        EXPECT_TRUE(c.holds(info)) << c.what;
        EXPECT_EQ(info.window, 9u) << c.what;
        EXPECT_EQ(info.clientArea, Rect(1, 2, 3, 4)) << c.what;
        EXPECT_NE(info.title, QStringLiteral("stale")) << c.what;
    }
}

}  // namespace
