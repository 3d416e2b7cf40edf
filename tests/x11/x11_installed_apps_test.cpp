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
#include "x11_session.h"

using x11test::EnvironmentOverride;

namespace {

void write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

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

    bool done = false;
    platform::OpenResult result;
    platform::workspace().openApplication(userApps + "/maker.desktop", [&](platform::OpenResult r) {
        result = r;
        done = true;
    });
    EXPECT_TRUE(x11test::pumpUntil([&] { return done && QFileInfo::exists(marker); }));
    EXPECT_TRUE(done);
    EXPECT_TRUE(result.ok) << result.errorDescription.toStdString();
    EXPECT_TRUE(QFileInfo::exists(marker));
    platform::uninstall();
}

}  // namespace
