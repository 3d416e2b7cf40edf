// On a Linux desktop the installed applications are the desktop entries of
// the XDG applications folders; the same scan walks them.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "platform/desktop_entry.h"
#include "platform/linux/xdg_application_folders.h"
#include "startmenu/installed_app.h"
#include "support/environment_override.h"
#include "support/test_files.h"

namespace {

using platform::linux_backend::XdgApplicationFolders;
namespace de = platform::desktop_entry;

QByteArray entry(const QByteArray& extra, const QByteArray& name = "App") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=prog %U\n" + extra;
}

QStringList describe(const std::vector<InstalledApp>& apps) {
    QStringList out;
    for (const auto& a : apps) out << a.bundleID.value_or("-") + u'=' + a.name;
    out.sort();
    return out;
}

class XdgCatalogueTest : public ::testing::Test {
protected:
    QString home() const { return dir.path() + "/home/applications"; }
    QString system() const { return dir.path() + "/usr/applications"; }
    QString write(const QString& path, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    std::vector<InstalledApp> scan(XdgApplicationFolders& folders, const std::vector<InstalledApp>& known = {}) {
        return InstalledAppScanner::collect(folders.roots(), folders.extras(), known, folders);
    }
    QTemporaryDir dir;
};

TEST_F(XdgCatalogueTest, ShownEntriesOnly) {
    write(system() + "/editor.desktop", entry("", "Editor"));
    write(system() + "/hidden.desktop", entry("Hidden=true\n"));
    write(system() + "/nodisplay.desktop", entry("NoDisplay=true\n"));
    write(system() + "/tryexec-missing.desktop", entry("TryExec=/nonexistent/program\n"));
    write(system() + "/tryexec-found.desktop", entry("TryExec=sh\n", "Shell"));
    write(system() + "/only-kde.desktop", entry("OnlyShowIn=KDE;\n"));
    write(system() + "/only-gnome.desktop", entry("OnlyShowIn=KDE;GNOME;\n", "Gnome Only"));
    write(system() + "/not-gnome.desktop", entry("NotShowIn=GNOME;\n"));
    write(system() + "/link.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org\n");
    write(system() + "/no-exec.desktop", "[Desktop Entry]\nType=Application\nName=NoExec\n");
    write(system() + "/no-name.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    write(system() + "/readme.txt", entry(""));
    write(system() + "/kde/konsole.desktop", entry("", "Konsole"));              // id kde-konsole
    write(system() + "/kde/deeper/too-deep.desktop", entry("", "Too Deep"));     // two levels down
    write(system() + "/.desktop", entry(""));

    XdgApplicationFolders folders({home(), system()}, "C", {"GNOME"});
    EXPECT_EQ(describe(scan(folders)),
              (QStringList{"editor=Editor", "kde-konsole=Konsole", "only-gnome=Gnome Only", "tryexec-found=Shell"}));
    for (const auto& a : scan(folders)) EXPECT_TRUE(a.path.startsWith(system() + "/")) << a.path.toStdString();
}

TEST_F(XdgCatalogueTest, EarlierFoldersShadowTheSameId) {
    write(system() + "/editor.desktop", entry("", "System Editor"));
    write(system() + "/kde/konsole.desktop", entry("", "System Konsole"));
    write(system() + "/org-tool.desktop", entry("", "System Tool"));
    write(system() + "/gone.desktop", entry("", "Gone"));
    write(home() + "/editor.desktop", entry("", "My Editor"));
    write(home() + "/kde-konsole.desktop", entry("", "My Konsole"));  // same id, other layout
    write(home() + "/org/tool.desktop", entry("", "My Tool"));
    write(home() + "/gone.desktop", entry("Hidden=true\n"));            // the user removed it
    XdgApplicationFolders folders({home(), system()}, "C", {});
    const auto apps = scan(folders);
    EXPECT_EQ(describe(apps), (QStringList{"editor=My Editor", "kde-konsole=My Konsole", "org-tool=My Tool"}));
    for (const auto& a : apps) EXPECT_TRUE(a.path.startsWith(home() + "/")) << a.path.toStdString();
}

TEST_F(XdgCatalogueTest, NamesInTheUsersLanguage) {
    write(system() + "/files.desktop",
          entry("Name[de]=Dateien\nName[de_DE]=Dateien (DE)\nName[sr@latin]=Datoteke\nName[zh_CN]=文件\n", "Files"));
    struct Case {
        const char* locale;
        const char* name;
    };
    const Case cases[] = {{"de_AT.UTF-8", "Dateien"}, {"de_DE.UTF-8@euro", "Dateien (DE)"}, {"sr_RS@latin", "Datoteke"},
                          {"zh_CN.UTF-8", "文件"},     {"fr_FR.UTF-8", "Files"},             {"C", "Files"}};
    for (const auto& c : cases) {
        XdgApplicationFolders folders({system()}, c.locale, {});
        const auto apps = scan(folders);
        ASSERT_EQ(apps.size(), 1u);
        EXPECT_EQ(apps[0].name, QString::fromUtf8(c.name)) << c.locale;
    }
    EXPECT_EQ(de::localeCandidates("de_DE.UTF-8@euro"), (QStringList{"de_DE@euro", "de_DE", "de@euro", "de"}));
}

// The system's terminal is the entry named after its program, not a variant
// that runs the same program and sorts before it.
TEST_F(XdgCatalogueTest, TheSystemsTerminalIsTheEntryNamedAfterItsProgram) {
    const QString bin = dir.path() + "/bin";
    write(bin + "/qterm", "#!/bin/sh\n");
    QFile::setPermissions(bin + "/qterm", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(QFile::link(bin + "/qterm", bin + "/x-terminal-emulator"));
    write(system() + "/qterm-drop.desktop", "[Desktop Entry]\nType=Application\nName=Drop\nExec=qterm --drop\n");
    write(system() + "/qterm.desktop", "[Desktop Entry]\nType=Application\nName=QTerm\nExec=qterm\n");
    EnvironmentOverride path("PATH", QFile::encodeName(bin));
    // No mimeapps.list of this machine's names a terminal.
    const QByteArray none = QFile::encodeName(dir.path() + "/none");
    EnvironmentOverride c1("XDG_CONFIG_HOME", none), c2("XDG_CONFIG_DIRS", none), d1("XDG_DATA_HOME", none),
        d2("XDG_DATA_DIRS", none);
    XdgApplicationFolders folders({system()}, "C", {});
    EXPECT_EQ(folders.everydayApplications(), (QStringList{"qterm"}));
}

TEST_F(XdgCatalogueTest, HostileFilesAreSkippedWithoutReadingThemWhole) {
    write(system() + "/good.desktop", entry("", "Good"));
    write(system() + "/huge.desktop", entry("Comment=" + QByteArray(4 * 1024 * 1024, 'x') + "\n", "Huge"));
    write(system() + "/binary.desktop", entry("", "Bin") + QByteArray("\0\x01\x02", 3));
    write(system() + "/latin1.desktop", entry("", "Caf\xe9"));
    write(system() + "/garbage.desktop", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    write(system() + "/open-quote.desktop", "[Desktop Entry]\nType=Application\nName=Q\nExec=\"prog\n");
    write(system() + "/many-groups.desktop", QByteArray("[G]\nk=v\n").repeated(20000));
    XdgApplicationFolders folders({system()}, "C", {});
    EXPECT_EQ(describe(scan(folders)), QStringList{"good=Good"});
}

TEST_F(XdgCatalogueTest, UnchangedRescanReadsNoEntry) {
    for (int i = 0; i < 20; ++i) write(system() + QStringLiteral("/app%1.desktop").arg(i), entry(""));
    XdgApplicationFolders folders({system()}, "C", {});
    const auto first = scan(folders);
    ASSERT_EQ(first.size(), 20u);
    const int reads = folders.filesRead();
    EXPECT_EQ(reads, 20);
    EXPECT_EQ(scan(folders, first), first);
    EXPECT_EQ(folders.filesRead(), reads);
    // A changed file is read again.
    write(system() + "/app3.desktop", entry("NoDisplay=true\n"));
    EXPECT_EQ(scan(folders, first).size(), 19u);
    EXPECT_EQ(folders.filesRead(), reads + 1);
}

// Folders that count how often they are listed.
class CountingFolders : public XdgApplicationFolders {
public:
    using XdgApplicationFolders::XdgApplicationFolders;
    std::optional<QStringList> contentsOfDirectory(const QString& path) override {
        ++listings;
        return XdgApplicationFolders::contentsOfDirectory(path);
    }
    int listings = 0;
};

TEST(XdgWatchedScanTest, UnchangedFoldersAreNotListedAndChangesShowAtTheNextScan) {
    // Each change, to a file under the test's folder: written, removed (no
    // contents) or replaced by a rename.
    struct Case {
        const char* what;
        const char* file;
        QByteArray contents;
        bool byRename;
        QStringList expected;
    };
    const QStringList before{"editor=Editor", "kde-konsole=Konsole", "linked=Linked"};
    const Case cases[] = {
        {"an entry in a folder", "usr/applications/new.desktop", entry("", "New"), false, before + QStringList{"new=New"}},
        {"an entry in a sub-folder", "usr/applications/kde/new.desktop", entry("", "New"), false,
         before + QStringList{"kde-new=New"}},
        {"a sub-folder made after the scan", "usr/applications/gnome/new.desktop", entry("", "New"), false,
         before + QStringList{"gnome-new=New"}},
        {"a folder made after the scan, its parent missing too", "home/share/applications/mine.desktop",
         entry("", "Mine"), false, before + QStringList{"mine=Mine"}},
        {"an entry removed", "usr/applications/editor.desktop", {}, false, {"kde-konsole=Konsole", "linked=Linked"}},
        {"an entry hidden", "usr/applications/kde/konsole.desktop", entry("NoDisplay=true\n", "Konsole"), false,
         {"editor=Editor", "linked=Linked"}},
        {"a linked entry's file rewritten", "opt/linked.desktop", entry("NoDisplay=true\n"), false,
         {"editor=Editor", "kde-konsole=Konsole"}},
        {"a linked entry's file replaced", "opt/linked.desktop", entry("Hidden=true\n"), true,
         {"editor=Editor", "kde-konsole=Konsole"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString system = dir.filePath("usr/applications"), outside = dir.filePath("opt/linked.desktop");
        ASSERT_TRUE(writeFile(system + "/editor.desktop", entry("", "Editor")));
        ASSERT_TRUE(writeFile(system + "/kde/konsole.desktop", entry("", "Konsole")));
        ASSERT_TRUE(writeFile(outside, entry("", "Linked")));
        ASSERT_TRUE(QFile::link(outside, system + "/linked.desktop"));
        CountingFolders folders({dir.filePath("home/share/applications"), system}, "C", {});
        InstalledAppScanner::LastScan last;
        const auto first = InstalledAppScanner::scan({}, last, folders);
        ASSERT_EQ(describe(first), before);
        const int listings = folders.listings;
        EXPECT_EQ(InstalledAppScanner::scan(first, last, folders), first);
        EXPECT_EQ(folders.listings, listings) << "an unchanged folder listed again";

        const QString path = dir.filePath(c.file);
        if (c.contents.isEmpty()) {
            ASSERT_TRUE(QFile::remove(path));
        } else if (!c.byRename) {
            ASSERT_TRUE(writeFile(path, c.contents));
        } else {
            ASSERT_TRUE(writeFile(path + ".new", c.contents));
            ASSERT_EQ(std::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()), 0);
        }
        QStringList expected = c.expected;
        expected.sort();
        EXPECT_EQ(describe(InstalledAppScanner::scan(first, last, folders)), expected);
        EXPECT_GT(folders.listings, listings);
    }
}

TEST(DesktopEntryExecTest, SplitsWithoutAShell) {
    struct Case {
        const char* exec;
        QStringList args;
    };
    const Case cases[] = {
        {"gimp %U --new-instance", {"gimp", "--new-instance"}},
        {"app --icon %i --name %c %k %f %F %u %d %D %n %N %v %m", {"app", "--icon", "--name"}},
        {"\"/opt/My App/run\" --flag", {"/opt/My App/run", "--flag"}},
        {"sh -c \"echo \\\"\\$HOME\\\" \\`id\\` \\\\\"", {"sh", "-c", "echo \"$HOME\" `id` \\"}},
        // Shell syntax outside quotes is plain text, handed over as is.
        {"prog ; rm -rf / | cat > x && $(id)", {"prog", ";", "rm", "-rf", "/", "|", "cat", ">", "x", "&&", "$(id)"}},
        {"printf 100%%", {"printf", "100%"}},
        {"broken \"quote", {}},
        {"   ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(de::execArguments(QString::fromUtf8(c.exec)), c.args) << c.exec;
}

}  // namespace
