// Application icons on a live desktop: the desktop entry's icon through the
// icon theme (SVG included), then the window's own pixels, and a lookup that
// found nothing is made again.
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_icons.h"
#include "support/test_files.h"
#include "taskbar/app_icon_provider.h"
#include "x11_bare_client.h"
#include "x11_session.h"

using namespace platform;
using namespace x11test;

namespace {

// A 2 x 2 icon of one colour, as _NET_WM_ICON holds it.
std::vector<std::uint32_t> pixelIcon(std::uint32_t argb) { return {2, 2, argb, argb, argb, argb}; }

QRgb centre(const QImage& img) { return img.pixel(img.width() / 2, img.height() / 2); }

class X11IconsTest : public LiveBackendTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // A theme folder with an application icon that exists only as SVG,
        // and a desktop entry naming it.
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("icons/hicolor/scalable/apps/quorvel-test-red.svg")),
                              "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                              "<rect width='16' height='16' fill='#ff0000'/></svg>"));
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("data/applications/quorvel-svg.desktop")),
                              "[Desktop Entry]\nType=Application\nName=Svg App\nExec=true\nIcon=quorvel-test-red\n"
                              "StartupWMClass=SvgApp\n"));
        searchPaths = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths(QStringList{dir.filePath(QStringLiteral("icons"))} + searchPaths);
        dataHome.emplace("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
        LiveBackendTest::SetUp();
    }
    void TearDown() override {
        LiveBackendTest::TearDown();
        QIcon::setThemeSearchPaths(searchPaths);
    }
    std::int32_t appOf(xcb_window_t w) {
        std::int32_t pid = 0;
        conn->waitUntil([&] {
            pid = conn->windowInfo(w).pid;
            return pid > 0 && workspace().application(pid).has_value();
        }, patience);
        return pid;
    }

    QStringList searchPaths;
    std::optional<EnvironmentOverride> dataHome;
};

// (Openbox gives a window without an icon one of its own, so the last step,
// no icon at all, is checked with a pinned application below.)
TEST_F(X11IconsTest, ThemeIconThenWindowIcon) {
    BareClient client;
    struct Case {
        const char* name;
        QByteArray cls;
        std::vector<std::uint32_t> icon;
        QRgb expected;
    };
    const Case cases[] = {
        // The entry's theme icon (SVG) wins over the window's own pixels.
        {"entry and window icon", "SvgApp", pixelIcon(0xff0000ffu), qRgb(255, 0, 0)},
        {"window icon only", "Plain", pixelIcon(0xff0000ffu), qRgb(0, 0, 255)},
    };
    int x = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BareClient::Options o;
        o.cls = c.cls;
        o.leaderIsSelf = true;
        o.icon = c.icon;
        const xcb_window_t w = client.open(o, x += 150, 80);
        ASSERT_TRUE(waitForClient(*conn, w));
        const auto pid = appOf(w);
        ASSERT_GT(pid, 0);
        std::optional<QImage> icon;
        ASSERT_TRUE(pumpUntil([&] { return (icon = workspace().iconForApplication(pid)).has_value(); }, patience));
        EXPECT_EQ(centre(*icon) & 0xffffffu, c.expected & 0xffffffu);
    }

    // xterm's entry (Debian's, where installed) names "mini.xterm", which
    // hicolor has only as SVG; xterm sets no _NET_WM_ICON of its own. The
    // workspace learns of the new window from its events, which a loaded
    // machine delivers a moment later.
    if (QFile::exists(QStringLiteral("/usr/share/applications/debian-xterm.desktop"))) {
        auto t = openTerminal(*conn, "40x10+600+400");
        ASSERT_TRUE(t);
        std::optional<QImage> icon;
        ASSERT_TRUE(pumpUntil([&] { return (icon = workspace().iconForApplication(t->pid())).has_value(); }, patience));
        EXPECT_GE(icon->width(), 32);
    }
}

TEST_F(X11IconsTest, AMissingIconIsAskedForAgain) {
    // A pinned application whose icon file is not there yet.
    const QString late = dir.filePath(QStringLiteral("late.svg"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("data/applications/quorvel-late.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Late\nExec=true\nIcon=" + late.toUtf8() + "\n"));
    AppIconProvider::resetShared();
    auto& provider = AppIconProvider::shared();
    ASSERT_TRUE(workspace().urlForApplication(QStringLiteral("quorvel-late")));
    EXPECT_FALSE(provider.iconForBundleID(QStringLiteral("quorvel-late"))) << "nothing yet: the placeholder is drawn";
    EXPECT_EQ(provider.cachedBundleIcons(), 0) << "a stand-in is not kept";
    EXPECT_EQ(workspace().iconForFile(late).cacheKey(), workspace().iconForFile(dir.path()).cacheKey())
        << "every file without an icon shares the one stand-in";
    ASSERT_TRUE(writeFile(late, "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                                "<rect width='16' height='16' fill='#00ff00'/></svg>"));
    std::optional<QImage> found;
    ASSERT_TRUE(pumpUntil([&] { return (found = provider.iconForBundleID(QStringLiteral("quorvel-late"))).has_value(); },
                          patience));
    EXPECT_EQ(centre(*found) & 0xffffffu, 0x00ff00u);
    EXPECT_EQ(provider.cachedBundleIcons(), 1) << "a found icon is kept";
    AppIconProvider::resetShared();
}

// Without an XSETTINGS daemon the icon theme is GTK's (its settings.ini),
// else an installed desktop theme, and what the user's theme lacks comes from
// those before hicolor: entries of terminals and editors get real icons.
TEST(X11IconThemeTest, ThemeWithoutASettingsDaemon) {
    ASSERT_TRUE(x11test::Session::shared().isRunning());
    if (!QFile::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "the Adwaita icon theme is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A theme of the user's own with one icon, naming only hicolor as parent.
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("data/icons/QuorvelBlue/index.theme")),
                          "[Icon Theme]\nName=QuorvelBlue\nInherits=hicolor\nDirectories=48x48/apps\n\n"
                          "[48x48/apps]\nSize=48\nType=Fixed\n"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("data/icons/QuorvelBlue/48x48/apps")));
    QImage blue(48, 48, QImage::Format_ARGB32);
    blue.fill(QColor(0, 0, 255));
    ASSERT_TRUE(blue.save(dir.filePath(QStringLiteral("data/icons/QuorvelBlue/48x48/apps/quorvel-blue.png"))));
    auto entry = [&](const char* id, const char* icon) {
        const QString path = dir.filePath(QStringLiteral("data/applications/%1.desktop").arg(QLatin1String(id)));
        EXPECT_TRUE(writeFile(path, QByteArray("[Desktop Entry]\nType=Application\nName=") + id +
                                        "\nExec=true\nIcon=" + icon + "\n"));
        return path;
    };
    const QString terminal = entry("quorvel-qterminal", "utilities-terminal");
    const QString editor = entry("quorvel-editor", "accessories-text-editor");
    const QString themed = entry("quorvel-blue", "quorvel-blue");
    EnvironmentOverride dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    EnvironmentOverride configHome("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    EnvironmentOverride configDirs("XDG_CONFIG_DIRS", dir.filePath(QStringLiteral("none")).toUtf8());
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeBefore = QIcon::themeName();
    struct Case {
        const char* name;
        QByteArray settings;  // the user's gtk-3.0/settings.ini; empty: none
        QString theme;
        bool themedIcon;      // the user's own theme's icon is found
    };
    const Case cases[] = {
        {"GTK's settings name the theme", "[Settings]\ngtk-icon-theme-name = \"QuorvelBlue\"\n",
         QStringLiteral("QuorvelBlue"), true},
        {"no settings: an installed desktop theme", {}, QStringLiteral("Adwaita"), false},
        {"settings name a theme that is not installed", "[Settings]\ngtk-icon-theme-name=Nowhere\n",
         QStringLiteral("Adwaita"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath(QStringLiteral("config/gtk-3.0/settings.ini")));
        if (!c.settings.isEmpty()) {
            ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("config/gtk-3.0/settings.ini")), c.settings));
        }
        // What Qt names when no desktop told it a theme.
        QIcon::setThemeName(QStringLiteral("hicolor"));
        ASSERT_EQ(installLiveBackend(dir.filePath(QStringLiteral("prefs"))), "");
        EXPECT_EQ(QIcon::themeName(), c.theme);
        for (const QString& path : {terminal, editor})
            EXPECT_FALSE(isGenericIcon(workspace().iconForFile(path))) << path.toStdString();
        const QImage own = workspace().iconForFile(themed);
        EXPECT_EQ(!isGenericIcon(own) && (centre(own) & 0xffffffu) == 0x0000ffu, c.themedIcon);
        platform::uninstall();
    }
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeBefore);
}

// A folder's size is what the theme's index says, not what its name suggests.
TEST(X11IconThemeTest, FolderSizesComeFromTheIndex) {
    QTemporaryDir dir;
    const QString theme = dir.filePath(QStringLiteral("QuorvelSizes"));
    ASSERT_TRUE(writeFile(theme + "/index.theme",
                          "[Icon Theme]\nDirectories=large,64x64,32x32@2,48x48,scalable\n[large]\nSize=16\n[64x64]\n"
                          "Size=64\n[32x32@2]\nSize=32\nScale=2\n[48x48]\nSize=48\n[scalable]\nSize=16\n"
                          "MaxSize=512\nType=Scalable\n"));
    const struct { const char *icon, *in, *orIn; int size; } cases[] = {
        {"a", "large", "64x64", 16}, {"b", "32x32@2", "48x48", 64}, {"c", "scalable", "48x48", 64}};
    for (const auto& c : cases) {
        for (const char* folder : {c.in, c.orIn}) ASSERT_TRUE(writeFile(theme + '/' + folder + '/' + c.icon + ".png", "x"));
        EXPECT_EQ(x11::themeIconFile("QuorvelSizes", c.icon, c.size, {dir.path()}),
                  theme + '/' + c.in + '/' + c.icon + ".png");
    }
}

TEST(X11IconPixelsTest, RejectsShortData) {
    EXPECT_FALSE(x11::imageFromPixels({1, 2, 3}, 2, 2));
    EXPECT_FALSE(x11::imageFromPixels({}, 0, 0));
    auto img = x11::imageFromPixels({0xff112233u}, 1, 1);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixel(0, 0), 0xff112233u);
}

}  // namespace
