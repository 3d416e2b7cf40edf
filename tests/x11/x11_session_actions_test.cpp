// The power row's actions on the live desktop's backend: log out, restart
// and shut down ask in a real dialog, and only the user's own answer (given
// here with xdotool) runs anything. The session commands are stand-ins from
// a folder of their own, never the machine's real loginctl or systemctl.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "startmenu/session_actions.h"
#include "support/fake_commands.h"
#include "x11_session.h"
#include "support/recording_log.h"
#include "support/test_files.h"

using namespace platform;
using x11test::installLiveBackend;

namespace {

// Notes every alert and lets the live desktop's dialog ask the user.
class NotingAlerts : public Alerts {
public:
    explicit NotingAlerts(std::shared_ptr<Alerts> inner) : inner_(std::move(inner)) {}
    int runModal(const Alert& alert) override {
        messages << alert.messageText;
        if (!alert.informativeText.isEmpty()) messages << alert.informativeText;
        return inner_->runModal(alert);
    }
    void beep() override { inner_->beep(); }
    QStringList messages;

private:
    std::shared_ptr<Alerts> inner_;
};

constexpr const char* childSwitch = "QUORVEL_X11_SESSION_CHILD";

// The helper: one action through the live backend on the X server (a real
// widget application there, so its dialogs are real windows); it writes the
// alerts it showed and the log, one per line.
TEST(X11SessionActionsChild, Perform) {
    const char* job = std::getenv(childSwitch);
    if (!job) GTEST_SKIP() << "runs as the helper of X11SessionActionsTest only";
    // "<action>|<command folder>|<result file>|<done file>|<session id, empty: none>"
    const QStringList parts = QString::fromLocal8Bit(job).split(u'|');
    ASSERT_EQ(parts.size(), 5);
    const auto action = session_action::fromRawValue(parts[0]);
    ASSERT_TRUE(action);
    // Only the parent's stand-in folder (with its status file, and scripts
    // of its own, never links out of it): the real commands lock the
    // screen, end the session or power the machine off.
    const QString folder = parts[1];
    ASSERT_TRUE(QDir::isAbsolutePath(folder) && QFile::exists(folder + QStringLiteral("/status"))) << "not a stand-in folder";
    for (const char* name : {"loginctl", "systemctl"}) {
        const QFileInfo command(folder + u'/' + QLatin1String(name));
        ASSERT_TRUE(!command.isSymLink() && QFileInfo(command.canonicalFilePath()).absolutePath() ==
                                                QFileInfo(folder).canonicalFilePath())
            << name << " is not a stand-in";
    }
    QTemporaryDir prefs;
    x11::BackendOptions options;
    options.preferencesDirectory = prefs.path();
    options.sessionCommandFolder = folder;
    EnvironmentOverride session("XDG_SESSION_ID", parts[4].isEmpty() ? std::nullopt : std::optional(parts[4].toLocal8Bit()));
    std::shared_ptr<NotingAlerts> alerts;
    auto log = std::make_shared<RecordingLog>();
    ASSERT_EQ(installLiveBackend(options,
                                 [&](Services& s) {
                                     alerts = std::make_shared<NotingAlerts>(s.alerts);
                                     s.alerts = alerts;
                                     s.log = log;
                                 }),
              "");
    {
        SessionActions actions;
        actions.perform(*action, [] {});
        // A command's end (and a failure alert) arrives on the main thread;
        // the test says when it has seen all it waits for.
        x11test::pumpUntil([&] { return QFile::exists(parts[3]); }, x11test::patience);
    }
    ASSERT_TRUE(writeFile(parts[2], (alerts->messages + log->lines).join(u'\n').toUtf8()));
    platform::uninstall();
}

TEST(X11SessionActionsTest, OnlyTheUsersAnswerRunsASessionCommand) {
    ASSERT_TRUE(x11test::Session::shared().isRunning()) << "no X session";
    auto conn = x11test::openSessionConnection();
    ASSERT_TRUE(conn);
    struct Case {
        const char* action;
        int exitStatus;
        std::vector<std::string> keys;  // one per dialog, in order
        QStringList runs;
        QStringList shown;  // alerts (message, then informative text), then log lines
        const char* sessionID = "c9";
        const char* errorText = "";  // what the command says on failing
    };
    const Case cases[] = {
        // Escape, like Cancel, leaves the session alone.
        {"logOut", 0, {"Escape"}, {}, {"Log out of your account?", "Apps will quit. Unsaved work may be lost."}},
        {"logOut", 0, {"Return"}, {"loginctl terminate-session c9"},
         {"Log out of your account?", "Apps will quit. Unsaved work may be lost."}},
        // Without XDG_SESSION_ID logind is asked for the user's graphical session.
        {"logOut", 0, {"Return"}, {"loginctl terminate-session auto"},
         {"Log out of your account?", "Apps will quit. Unsaved work may be lost."}, ""},
        {"restart", 0, {"Return"}, {"systemctl reboot"},
         {"Restart your computer?", "Apps will quit. Unsaved work may be lost."}},
        {"shutDown", 0, {"Escape"}, {}, {"Shut down your computer?", "Apps will quit. Unsaved work may be lost."}},
        // A command that fails is reported in a dialog of its own, in its own words.
        {"shutDown", 1, {"Return", "Return"}, {"systemctl poweroff"},
         {"Shut down your computer?", "Apps will quit. Unsaved work may be lost.", "Couldn't shut down your computer",
          "Call to PowerOff failed: Access denied",
          "Quorvel: systemctl poweroff failed: %1/systemctl poweroff exited with status 1: "
          "Call to PowerOff failed: Access denied"},
         "c9", "Call to PowerOff failed: Access denied\n"},
        // The lock asks nothing; with no screen locker running it cannot lock
        // and says so, without running anything.
        {"lock", 0, {"Return"}, {},
         {"Couldn't lock the screen", "No screen locker is running.", "Quorvel: screen locker unavailable"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action) + " " + std::to_string(c.keys.size()) + " answer(s), status " +
                     std::to_string(c.exitStatus));
        FakeCommands commands{"loginctl", "systemctl"};
        ASSERT_TRUE(commands.isValid());
        commands.setExitStatus(c.exitStatus);
        commands.setErrorText(c.errorText);
        QTemporaryDir dir;
        const QString result = dir.filePath(QStringLiteral("result"));
        const QString done = dir.filePath(QStringLiteral("done"));
        x11test::Child helper;
        const std::string job = std::string(c.action) + "|" + commands.folder().toStdString() + "|" +
                                 result.toStdString() + "|" + done.toStdString() + "|" + c.sessionID;
        ASSERT_TRUE(x11test::startSelf(helper, "X11SessionActionsChild.Perform", {std::string(childSwitch) + "=" + job}));
        for (std::size_t k = 0; k < c.keys.size(); ++k) {
            ASSERT_NE(x11test::dialogOf(*conn, helper.pid(), x11test::patience), XCB_WINDOW_NONE) << "dialog " << k << " missing";
            if (k == 0) {
                // Nobody answered for the user: nothing ran while it asks.
                EXPECT_TRUE(helper.running());
                EXPECT_TRUE(commands.runs().isEmpty());
            }
            ASSERT_TRUE(x11test::answerDialog(*conn, helper.pid(), c.keys[k])) << "dialog " << k;
        }
        // What the answers start has run; the helper may write what it saw.
        EXPECT_TRUE(x11test::pumpUntil([&] { return commands.runs() == c.runs; }, x11test::patience)) << "runs "
            << commands.runs().join(u',').toStdString();
        ASSERT_TRUE(writeFile(done, {}));
        ASSERT_TRUE(helper.waitForExit(x11test::patience));
        EXPECT_EQ(commands.runs(), c.runs);
        ASSERT_TRUE(QFile::exists(result)) << "the helper wrote nothing";
        QStringList expected;
        for (const QString& line : c.shown) expected << (line.contains(u'%') ? line.arg(commands.folder()) : line);
        EXPECT_EQ(QString::fromUtf8(readFile(result)).split(u'\n', Qt::SkipEmptyParts), expected);
    }
}

}  // namespace
