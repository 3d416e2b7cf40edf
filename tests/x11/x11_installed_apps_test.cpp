// On the live X11 desktop the start menu's installed applications are the
// desktop entries of the XDG folders, and one of them opens by its Exec line
// without a shell.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "startmenu/installed_app.h"
#include "support/test_files.h"
#include "x11_session.h"

using x11test::EnvironmentOverride;

namespace {

void write(const QString& path, const QByteArray& text) { ASSERT_TRUE(writeFile(path, text)); }

TEST(X11InstalledAppsTest, DesktopEntriesAreTheApplicationsAndOpenWithoutAShell) {
    ASSERT_TRUE(x11test::Session::shared().isRunning()) << "no X session";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString userApps = dir.path() + "/data/applications";
    const QString systemApps = dir.path() + "/usr/share/applications";
    // The marker's name holds shell syntax: a shell would run it, a direct
    // start passes it as one argument.
    const QString marker = dir.path() + "/made by $(echo touch); ok";
    write(userApps + "/maker.desktop", "[Desktop Entry]\nType=Application\nName=Maker\nName[de]=Macher\n"
                                       "Exec=/usr/bin/touch \"" + marker.toUtf8().replace("$", "\\\\$") + "\" %U\n");
    write(systemApps + "/maker.desktop", "[Desktop Entry]\nType=Application\nName=Shadowed\nExec=true\n");
    write(systemApps + "/tools/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true\n");
    write(systemApps + "/secret.desktop", "[Desktop Entry]\nType=Application\nName=Secret\nExec=true\nNoDisplay=true\n");

    EnvironmentOverride home("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
    EnvironmentOverride dirs("XDG_DATA_DIRS", QFile::encodeName(dir.path() + "/usr/share"));
    EnvironmentOverride lang("LC_ALL", "de_DE.UTF-8");
    QTemporaryDir prefs;
    ASSERT_EQ(x11test::installLiveBackend(prefs.path()), "");

    const auto apps = InstalledAppScanner::scan({});
    QStringList found;
    for (const auto& a : apps) found << a.name + u'=' + a.bundleID.value_or("-") + u'@' + a.path;
    EXPECT_EQ(found, (QStringList{"Macher=maker@" + userApps + "/maker.desktop",
                                  "Viewer=tools-viewer@" + systemApps + "/tools/viewer.desktop"}));

    std::optional<platform::OpenResult> result;
    platform::workspace().openApplication(userApps + "/maker.desktop", [&](platform::OpenResult r) { result = r; });
    EXPECT_TRUE(x11test::pumpUntil([&] { return result && QFileInfo::exists(marker); })) << "the command never ran";
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->ok) << result->errorDescription.toStdString();
    platform::uninstall();
}

// Terminal=true entries run in the user's terminal; a launch that cannot
// start (no terminal, a missing program) reports the failure.
TEST(X11InstalledAppsTest, TerminalEntriesRunInTheUsersTerminalAndUnstartableOnesFail) {
    ASSERT_TRUE(x11test::Session::shared().isRunning()) << "no X session";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString apps = dir.path() + "/data/applications";
    const QString ran = dir.path() + "/ran";
    write(apps + "/top.desktop", "[Desktop Entry]\nType=Application\nName=Top\nTerminal=true\n"
                                 "Exec=/usr/bin/touch " + ran.toUtf8() + "\n");
    write(apps + "/gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\nTerminal=true\n"
                                  "Exec=quorvel-no-such-program\n");
    write(apps + "/plain-gone.desktop", "[Desktop Entry]\nType=Application\nName=Plain\n"
                                        "Exec=quorvel-no-such-program\n");
    EnvironmentOverride home("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
    EnvironmentOverride dirs("XDG_DATA_DIRS", QFile::encodeName(dir.path() + "/none"));
    QTemporaryDir prefs;
    ASSERT_EQ(x11test::installLiveBackend(prefs.path()), "");

    // A stand-in terminal notes how it was called, then runs the command.
    auto terminal = [&](const QString& name) {
        const QString bin = dir.path() + "/bin-" + name;
        write(bin + "/" + name, "#!/bin/sh\necho \"$0 $*\" > " + QFile::encodeName(dir.path()) +
                                    "/called\nshift\nexec \"$@\"\n");
        QFile::setPermissions(bin + "/" + name, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        return bin;
    };
    struct Case {
        const char* what;
        QString path;  // $PATH while it opens
        QString entry;
        bool ok;
        QString called;  // how the terminal was called; empty: not at all
        QString reason = {};  // the failure's reason; empty: any
    };
    const QString emptyBin = dir.path() + "/bin-empty";
    QDir().mkpath(emptyBin);
    const Case cases[] = {
        {"the system's terminal", terminal("x-terminal-emulator") + ":" + terminal("xterm"), "top", true,
         dir.path() + "/bin-x-terminal-emulator/x-terminal-emulator -e /usr/bin/touch " + ran},
        {"a usual terminal when the system names none", terminal("xterm"), "top", true,
         dir.path() + "/bin-xterm/xterm -e /usr/bin/touch " + ran},
        {"no terminal at all", emptyBin, "top", false, {}},
        {"a terminal entry whose program is missing", terminal("xterm"), "gone", false, {}, "No such file or directory"},
        {"a plain entry whose program is missing", emptyBin, "plain-gone", false, {}, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(ran);
        QFile::remove(dir.path() + "/called");
        EnvironmentOverride path("PATH", QFile::encodeName(c.path));
        std::optional<platform::OpenResult> result;
        platform::workspace().openApplication(apps + "/" + c.entry + ".desktop",
                                              [&](platform::OpenResult r) { result = r; });
        x11test::pumpUntil([&] { return result && (!c.ok || QFileInfo::exists(ran)); });
        ASSERT_TRUE(result);
        EXPECT_EQ(result->ok, c.ok) << result->errorDescription.toStdString();
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(result->errorDescription, c.reason);
        }
        EXPECT_EQ(QString::fromUtf8(readFile(dir.path() + "/called")).trimmed(), c.called);
        EXPECT_EQ(QFileInfo::exists(ran), c.ok);
    }
    platform::uninstall();
}

}  // namespace
