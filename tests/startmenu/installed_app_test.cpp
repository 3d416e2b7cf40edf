// The scan of application folders on a real fixture tree, reuse of known
// records, and the list helpers that go between paths and records.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include "platform/application_folders.h"
#include "platform/sim/simulated_desktop.h"
#include "startmenu/installed_app.h"
#include "support/sim_fixture.h"
#include "support/test_files.h"

namespace {

using platform::sim::SimulatedDesktop;

// Bundle folders that count how often a bundle is read.
class CountingFolders : public platform::BundleFolders {
public:
    CountingFolders() : BundleFolders({}, {}) {}
    QString displayName(const QString& path) override {
        ++nameReads;
        return renamed.value(path, BundleFolders::displayName(path));
    }
    std::optional<QString> bundleIdentifier(const QString& path) override {
        ++idReads;
        return BundleFolders::bundleIdentifier(path);
    }
    int nameReads = 0, idReads = 0;
    QHash<QString, QString> renamed;
};

class ScanFixture : public ::testing::Test {
protected:
    QString root() const { return dir.path() + QStringLiteral("/R"); }
    QString bundle(const QString& relative, const QString& id) {
        const QString rel = relative;
        const qsizetype slash = rel.lastIndexOf(u'/');
        const QString folder = slash < 0 ? root() : root() + u'/' + rel.left(slash);
        const QString path = SimulatedDesktop::writeBundle(folder, rel.mid(slash + 1), id);
        EXPECT_FALSE(path.isEmpty()) << relative.toStdString();
        return path;
    }
    void file(const QString& path, const QByteArray& bytes) { ASSERT_TRUE(writeFile(path, bytes)); }
    static QStringList paths(const std::vector<InstalledApp>& apps) {
        QStringList out;
        for (const auto& a : apps) out << a.path;
        return out;
    }
    QTemporaryDir dir;
    CountingFolders folders;
};

TEST_F(ScanFixture, DepthAndSuffixRules) {
    bundle(QStringLiteral("A.app"), QStringLiteral("com.a"));
    bundle(QStringLiteral("Utilities/B.app"), QStringLiteral("com.b"));
    bundle(QStringLiteral("Utilities/Deep/C.app"), QStringLiteral("com.c"));            // two folders down
    bundle(QStringLiteral("A.app/Contents/Applications/Inner.app"), QStringLiteral("i"));  // inside a bundle
    bundle(QStringLiteral("X.APP"), QStringLiteral("com.upper"));                        // suffix is case-sensitive
    bundle(QStringLiteral("X.APP/Nested.app"), QStringLiteral("com.nested"));            // X.APP is a folder: descended
    file(root() + QStringLiteral("/F.app"), "not a bundle");                              // a plain file
    // A symbolic link to a folder elsewhere is descended into like a folder.
    const QString elsewhere = dir.path() + QStringLiteral("/elsewhere");
    SimulatedDesktop::writeBundle(elsewhere, QStringLiteral("Linked.app"), QStringLiteral("com.linked"));
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(root() + "/link").constData()), 0);

    const auto apps = InstalledAppScanner::collect({root()}, {}, {}, folders);
    QStringList found = paths(apps);
    found.sort();
    QStringList expected{root() + "/A.app", root() + "/F.app", root() + "/Utilities/B.app",
                         root() + "/X.APP/Nested.app", root() + "/link/Linked.app"};
    expected.sort();
    EXPECT_EQ(found, expected);
    for (const auto& a : apps) {
        if (a.path.endsWith("/F.app")) {
            EXPECT_EQ(a.bundleID, std::nullopt);  // unreadable bundle: a record without identifier
            EXPECT_EQ(a.name, QStringLiteral("F"));
        }
        if (a.path.endsWith("/B.app")) {
            EXPECT_EQ(a.bundleID, std::optional<QString>("com.b"));
        }
    }
}

TEST_F(ScanFixture, MissingRootsAreSkippedAndExtrasComeLastOnce) {
    const QString a = bundle(QStringLiteral("A.app"), QStringLiteral("com.a"));
    const QString finder = SimulatedDesktop::writeBundle(dir.path() + "/Core", "Finder.app", "com.apple.finder");
    const auto apps = InstalledAppScanner::collect({dir.path() + "/missing", root(), root()},
                                                   {a, dir.path() + "/Core/Gone.app", finder}, {}, folders);
    // The root named twice and the extra already found are listed once.
    EXPECT_EQ(paths(apps), (QStringList{a, finder}));
}

TEST_F(ScanFixture, UnreadableFolderIsSkipped) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads folders without permission";
    bundle(QStringLiteral("Locked/L.app"), QStringLiteral("com.l"));
    const QString b = bundle(QStringLiteral("B.app"), QStringLiteral("com.b"));
    QFile::setPermissions(root() + "/Locked", QFileDevice::Permissions());
    EXPECT_EQ(paths(InstalledAppScanner::collect({root()}, {}, {}, folders)), QStringList{b});
    QFile::setPermissions(root() + "/Locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(ScanFixture, RescanReadsOnlyUnknownBundles) {
    bundle(QStringLiteral("A.app"), QStringLiteral("com.a"));
    bundle(QStringLiteral("Utilities/B.app"), QStringLiteral("com.b"));
    bundle(QStringLiteral("NoID.app"), QString());
    const auto first = InstalledAppScanner::collect({root()}, {}, {}, folders);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(folders.idReads, 3);

    // A known record with an identifier comes back unchanged, even though the
    // bundle's display name changed since; the one without is read again.
    folders.renamed.insert(root() + "/A.app", QStringLiteral("Renamed.app"));
    folders.idReads = folders.nameReads = 0;
    const QString added = bundle(QStringLiteral("New.app"), QStringLiteral("com.new"));
    const auto second = InstalledAppScanner::collect({root()}, {}, first, folders);
    EXPECT_EQ(folders.idReads, 2);  // NoID.app and New.app
    EXPECT_EQ(folders.nameReads, 2);
    for (const auto& a : second) {
        if (a.path.endsWith("/A.app")) {
            EXPECT_EQ(a.name, QStringLiteral("A"));
        }
    }
    EXPECT_TRUE(paths(second).contains(added));
}

TEST_F(ScanFixture, MalformedInfoListsGiveNoIdentifier) {
    const QByteArray head = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    struct Case {
        const char* bundle;
        QByteArray info;
        std::optional<QString> id;
    };
    const Case cases[] = {
        {"Good", head + "<dict><key>CFBundleIdentifier</key><string>com.good</string></dict></plist>", "com.good"},
        {"NoId", head + "<dict><key>CFBundleName</key><string>x</string></dict></plist>", std::nullopt},
        {"WrongType", head + "<dict><key>CFBundleIdentifier</key><integer>3</integer></dict></plist>", std::nullopt},
        {"NotDict", head + "<array><string>com.x</string></array></plist>", std::nullopt},
        {"Binary", QByteArray("bplist00\xd1\x01\x02\0\0\xff\xff", 14), std::nullopt},
        {"Garbage", QByteArray("\0\x01\x02\x03garbage"), std::nullopt},
        {"Deep", head + QByteArray("<array>").repeated(100000) + QByteArray("</array>").repeated(100000) + "</plist>",
         std::nullopt},
        {"Huge", head + "<dict><key>CFBundleIdentifier</key><string>com.huge</string><key>Pad</key><string>" +
                     QByteArray(2 * 1024 * 1024, 'x') + "</string></dict></plist>",
         std::nullopt},
    };
    for (const auto& c : cases) {
        const QString path = root() + u'/' + QString::fromLatin1(c.bundle) + ".app";
        file(path + "/Contents/Info.plist", c.info);
        EXPECT_EQ(folders.bundleIdentifier(path), c.id) << c.bundle;
    }
}

TEST(InstalledAppTest, MakeAppDropsTheAppSuffixOnly) {
    struct Case {
        QString display, name;
    };
    const Case cases[] = {{"Safari.app", "Safari"}, {"Safari", "Safari"}, {"Tool.APP", "Tool.APP"}, {".app", ""}};
    for (const auto& c : cases) {
        CountingFolders folders;
        folders.renamed.insert("/x/Y.app", c.display);
        EXPECT_EQ(InstalledAppScanner::makeApp("/x/Y.app", {}, folders).name, c.name) << c.display.toStdString();
    }
    EXPECT_EQ(droppingLast("abc", 5), QString());
    EXPECT_EQ(droppingLast("abc", 0), QStringLiteral("abc"));
}

TEST(InstalledAppTest, ListHelpers) {
    const InstalledApp a{"A", "/a", "A"}, b1{"B", "/b1", "B"}, b2{"B2", "/b2", "B"}, p{"P", "/p", std::nullopt};
    EXPECT_EQ(InstalledApp::seedPaths({"B", "A", "Z"}, {a, b1, b2}), (QStringList{"/b1", "/a"}));
    EXPECT_EQ(InstalledApp::apps({"/p", "/q", "/p"}, {p}), std::vector<InstalledApp>{p});
    // First record of a path wins in the index.
    const InstalledApp pAgain{"Other", "/p", "x"};
    EXPECT_EQ(InstalledApp::indexByPath({p, pAgain}).value("/p"), p);
    EXPECT_EQ(InstalledApp::filterPaths({"/a", "/x", "/a"}, {"/a"}), (QStringList{"/a", "/a"}));
    EXPECT_TRUE(InstalledApp::filterPaths({"/a"}, {}).isEmpty());

    const QStringList l{"A", "B", "C", "D"};
    struct Case {
        QString moved, target;
        QStringList result;
    };
    const Case cases[] = {
        {"A", "C", {"B", "C", "A", "D"}},
        {"D", "B", {"A", "D", "B", "C"}},
        {"A", "A", l},
        {"Z", "B", l},
        {"A", "Z", l},
    };
    for (const auto& c : cases) EXPECT_EQ(movePath(l, c.moved, c.target), c.result) << c.moved.toStdString();

    // Equality: nil identifiers are equal to each other and never to a text.
    EXPECT_EQ((InstalledApp{"N", "/n", std::nullopt}), (InstalledApp{"N", "/n", std::nullopt}));
    EXPECT_NE((InstalledApp{"N", "/n", std::nullopt}), (InstalledApp{"N", "/n", QString()}));
}

// The simulated desktop's scan runs in its home folder's fixture tree.
class SimScanTest : public SimDesktopTest {};

TEST_F(SimScanTest, ScanLooksInTheDesktopsFolders) {
    EXPECT_TRUE(InstalledAppScanner::scan({}).empty());  // nothing before a home exists
    const QString home = sim->homeDirectory();
    ASSERT_FALSE(home.isEmpty());
    const QString user = SimulatedDesktop::writeBundle(home + "/Applications", "Mine.app", "me.mine");
    const QString sys = SimulatedDesktop::writeBundle(home + "/System/Applications", "Safari.app", "com.apple.Safari");
    const QString finder =
        SimulatedDesktop::writeBundle(home + "/System/System/Library/CoreServices", "Finder.app", "com.apple.finder");
    const auto apps = InstalledAppScanner::scan({});
    QStringList found;
    for (const auto& a : apps) found << a.path;
    EXPECT_EQ(found, (QStringList{sys, user, finder}));
}

}  // namespace

namespace {

// The demo's scenario installs real bundles in the desktop's home: its ten
// running applications and some forty more, one folder deep in places, one
// without an identifier.
TEST(DemoInstalledAppsTest, DemoScenarioGivesTheStartMenuItsApplications) {
    QString error;
    auto sim = SimulatedDesktop::fromScenarioFile(":/resources/scenarios/demo.json", {}, &error);
    ASSERT_TRUE(sim) << error.toStdString();
    sim->install();
    const auto apps = InstalledAppScanner::scan({});
    QHash<QString, InstalledApp> byName;
    for (const auto& a : apps) byName.insert(a.name, a);
    EXPECT_EQ(apps.size(), 51u);
    for (const char* name : {"Finder", "Safari", "Mail", "Notes", "Terminal", "Music", "Preview", "Weather Widget",
                             "Calculator", "Maps"})
        EXPECT_TRUE(byName.contains(QString::fromUtf8(name))) << name;
    EXPECT_TRUE(byName.value("Terminal").path.endsWith("/Utilities/Terminal.app"));
    EXPECT_EQ(byName.value("Safari").bundleID, std::optional<QString>("com.apple.Safari"));
    EXPECT_EQ(byName.value("Legacy Tool").bundleID, std::nullopt);
    EXPECT_EQ(apps.back().name, QStringLiteral("Finder"));  // the extra comes last
    sim->pump();
    platform::uninstall();
}

}  // namespace
