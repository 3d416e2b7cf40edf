#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "platform/desktop_entry.h"
#include "platform/linux/autostart_login_item.h"
#include "services/launch_at_login_service.h"
#include "services_fixture.h"
#include "support/test_files.h"
#include "support/environment_override.h"

using platform::LoginItemStatus;
using platform::linux_backend::AutostartLoginItems;

namespace {

class AutostartTest : public ::testing::Test {
protected:
    QString folder() const { return dir.path() + QStringLiteral("/autostart"); }
    QString readEntry(const AutostartLoginItems& items) {
        return QString::fromUtf8(readFile(items.entryPath()));
    }
    void writeEntry(const AutostartLoginItems& items, const QString& text) {
        ASSERT_TRUE(writeFile(items.entryPath(), text.toUtf8()));
    }
    QTemporaryDir dir;
};

TEST_F(AutostartTest, RegisterAndUnregisterRoundTrip) {
    AutostartLoginItems items(folder(), QStringLiteral("/opt/quorvel/bin/quorvel"));
    EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(items.unregisterItem());  // nothing to remove is not a failure
    EXPECT_FALSE(items.registerItem());
    EXPECT_EQ(items.status(), LoginItemStatus::enabled);
    EXPECT_TRUE(readEntry(items).contains(QStringLiteral("\nExec=\"/opt/quorvel/bin/quorvel\"\n")));
    EXPECT_FALSE(items.unregisterItem());
    EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(QFile::exists(items.entryPath()));
}

TEST_F(AutostartTest, UnknownExecutableIsNotFound) {
    AutostartLoginItems items(folder(), std::nullopt);
    EXPECT_EQ(items.status(), LoginItemStatus::notFound);
    EXPECT_TRUE(items.registerItem());
    EXPECT_FALSE(QFile::exists(items.entryPath()));
}

TEST_F(AutostartTest, EntriesThatDoNotStartThisProgram) {
    AutostartLoginItems items(folder(), QStringLiteral("/opt/q/quorvel"));
    const QString ours = QStringLiteral("[Desktop Entry]\nType=Application\nExec=\"/opt/q/quorvel\"\n");
    struct Case {
        QString text;
        LoginItemStatus status;
    };
    const Case cases[] = {
        {ours, LoginItemStatus::enabled},
        {ours + QStringLiteral("Hidden=true\n"), LoginItemStatus::notRegistered},
        {ours + QStringLiteral("X-GNOME-Autostart-enabled=false\n"), LoginItemStatus::notRegistered},
        {QStringLiteral("[Desktop Entry]\nExec=\"/elsewhere/quorvel\"\n"), LoginItemStatus::notRegistered},
        {QStringLiteral("[Other]\nExec=\"/opt/q/quorvel\"\n"), LoginItemStatus::notRegistered},
        {QStringLiteral("\x01\x02 binary junk"), LoginItemStatus::notRegistered},
        // Judged by what a launcher would run, however it is spelt.
        {QStringLiteral("[Desktop Entry]\nExec=/opt/q/quorvel\n"), LoginItemStatus::enabled},
        {QStringLiteral("[Desktop Entry]\nExec=/usr/bin/env /opt/q/quorvel\n"), LoginItemStatus::enabled},
        {QStringLiteral("[Desktop Entry]\nExec=\"/opt/q/quorvel\" --other\n"), LoginItemStatus::notRegistered},
    };
    for (const auto& c : cases) {
        writeEntry(items, c.text);
        EXPECT_EQ(items.status(), c.status) << c.text.toStdString();
    }
    // Switching on replaces a stale entry.
    EXPECT_FALSE(items.registerItem());
    EXPECT_EQ(items.status(), LoginItemStatus::enabled);
}

TEST_F(AutostartTest, ExecQuotingOfAwkwardPaths) {
    struct Case {
        const char* path;
        const char* exec;  // nullptr: refused
    };
    const Case cases[] = {
        {"/usr/bin/quorvel", R"("/usr/bin/quorvel")"},
        {"/home/a b/quorvel", R"("/home/a b/quorvel")"},
        {"/x/\"q\"", R"("/x/\\"q\\"")"},
        {"/x/$HOME`id`", R"("/x/\\$HOME\\`id\\`")"},
        {"/x/back\\slash", R"("/x/back\\\\slash")"},
        // GLib and systemd look the first argument up before reading %% as %.
        {"/x/100%u", R"(/usr/bin/env "/x/100%%u")"},
        {"/x/a b%\"c\\", R"(/usr/bin/env "/x/a b%%\\"c\\\\")"},
        {"/x/a=b%c", nullptr},  // env would take it for a variable
        {"/x/line\nbreak", nullptr},
        {"/x/tab\there", nullptr},
        {"relative/quorvel", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        auto exec = AutostartLoginItems::execValue(QString::fromUtf8(c.path));
        if (!c.exec) {
            EXPECT_FALSE(exec) << c.path;
            continue;
        }
        ASSERT_TRUE(exec) << c.path;
        EXPECT_EQ(*exec, QString::fromUtf8(c.exec));
        // Written and read back, the entry runs the path itself, and counts as ours.
        AutostartLoginItems items(folder(), QString::fromUtf8(c.path));
        ASSERT_FALSE(items.registerItem()) << c.path;
        const auto group = platform::desktop_entry::readMainGroup(items.entryPath());
        ASSERT_TRUE(group);
        QStringList run = platform::desktop_entry::execArguments(group->value(QStringLiteral("Exec")));
        if (run.size() == 2 && run[0] == QStringLiteral("/usr/bin/env")) run.removeFirst();
        EXPECT_EQ(run, QStringList{QString::fromUtf8(c.path)});
        EXPECT_EQ(items.status(), LoginItemStatus::enabled) << c.path;
    }
    // A path that cannot be written is refused, and nothing is written.
    AutostartLoginItems items(folder(), QStringLiteral("/x/line\nbreak"));
    QFile::remove(items.entryPath());
    EXPECT_TRUE(items.registerItem());
    EXPECT_FALSE(QFile::exists(items.entryPath()));
}

// Under any umask the entry and its folder can be changed by this user only:
// anyone who could edit the Exec would run code as this user at login.
TEST_F(AutostartTest, TheEntryAndItsFolderAreNeverWritableByOthers) {
    for (mode_t mask : {mode_t(0000), mode_t(0022), mode_t(0077)}) {
        SCOPED_TRACE(mask);
        QDir(folder()).removeRecursively();
        AutostartLoginItems items(folder(), QStringLiteral("/opt/q/quorvel"));
        const mode_t before = ::umask(mask);
        const bool failed = bool(items.registerItem());
        ::umask(before);
        ASSERT_FALSE(failed);
        struct stat entry {}, dirStat {};
        ASSERT_EQ(::stat(QFile::encodeName(items.entryPath()).constData(), &entry), 0);
        ASSERT_EQ(::stat(QFile::encodeName(folder()).constData(), &dirStat), 0);
        EXPECT_EQ(entry.st_mode & 07777, 0644u);
        EXPECT_EQ(dirStat.st_mode & 07777, 0700u);
    }
}

TEST_F(AutostartTest, UnwritableFolderReportsFailureThroughTheService) {
    // A file where the folder should be.
    QFile blocker(folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto items = std::make_shared<AutostartLoginItems>(folder(), QStringLiteral("/opt/q/quorvel"));
    auto dispatcher = std::make_shared<platform::sim::ManualDispatcher>();
    auto log = std::make_shared<RecordingLog>();
    platform::Services s;
    s.dispatcher = dispatcher;
    s.loginItems = items;
    s.log = log;
    platform::install(s);
    {
        services::LaunchAtLoginService service;
        service.setEnabled(true);
        ASSERT_TRUE(service.failureMessage());
        EXPECT_EQ(service.status(), LoginItemStatus::notRegistered);
        EXPECT_EQ(log->take().size(), 1);
    }
    platform::uninstall();
}

TEST(AutostartFolderTest, SandboxedByQuorvelHome) {
    EnvironmentOverride home("QUORVEL_HOME", "/tmp/quorvel-test-home");
    EXPECT_EQ(AutostartLoginItems::defaultAutostartFolder(), QStringLiteral("/tmp/quorvel-test-home/autostart"));
}

}  // namespace
