// The power row's actions on the live desktop's backend: the session commands
// run as stand-ins from a folder of their own, never the machine's real
// loginctl or systemctl.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "startmenu/session_actions.h"
#include "support/fake_commands.h"
#include "x11_session.h"

using namespace platform;

namespace {

// Notes every alert and answers it as a person who confirms; the live
// desktop's own alerts, asked nobody, would cancel the question.
class NotingAlerts : public Alerts {
public:
    explicit NotingAlerts(std::shared_ptr<Alerts> inner) : inner_(std::move(inner)) {}
    int runModal(const Alert& alert) override {
        messages << alert.messageText;
        inner_->runModal(alert);
        return alertFirstButtonReturn;
    }
    void beep() override { inner_->beep(); }
    QStringList messages;

private:
    std::shared_ptr<Alerts> inner_;
};

class NotingLog : public SystemLog {
public:
    void write(const QString& line) override { lines << line; }
    QStringList lines;
};

class X11SessionActionsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x11test::Session::shared().isRunning()) << "no X session"; }
    void TearDown() override { platform::uninstall(); }
    void installLive(const QString& commandFolder) {
        x11::BackendOptions options;
        options.display = QString::fromStdString(x11test::Session::shared().display());
        options.preferencesDirectory = prefsDir.path();
        options.sessionCommandFolder = commandFolder;
        qputenv("XDG_SESSION_ID", "c9");
        QString error;
        auto services = x11::makeServices(options, &error);
        qunsetenv("XDG_SESSION_ID");
        ASSERT_TRUE(services) << error.toStdString();
        alerts = std::make_shared<NotingAlerts>(services->alerts);
        log = std::make_shared<NotingLog>();
        services->alerts = alerts;
        services->log = log;
        platform::install(*services);
    }

    QTemporaryDir prefsDir;
    std::shared_ptr<NotingAlerts> alerts;
    std::shared_ptr<NotingLog> log;
    SessionActions actions;
};

TEST_F(X11SessionActionsTest, RunsTheSessionCommandsAndReportsAFailedOne) {
    FakeCommands commands{"loginctl", "systemctl"};
    ASSERT_TRUE(commands.isValid());
    installLive(commands.folder());
    int closes = 0;
    auto close = [&] { ++closes; };

    actions.perform(SessionAction::lock, close);
    actions.perform(SessionAction::logOut, close);  // confirmed
    ASSERT_TRUE(x11test::pumpUntil([&] { return commands.runs().size() == 2; }, 10.0));
    x11test::pumpFor(0.3);
    QStringList runs = commands.runs();
    runs.sort();  // both run at once, in either order
    EXPECT_EQ(runs, (QStringList{"loginctl lock-session", "loginctl terminate-session c9"}));
    EXPECT_EQ(alerts->messages, QStringList{"Log out of your account?"}) << "no failure for commands that succeeded";

    // A command that exits with an error is reported, without the main
    // thread ever waiting for it.
    commands.setExitStatus(1);
    actions.perform(SessionAction::shutDown, close);
    ASSERT_TRUE(x11test::pumpUntil([&] { return alerts->messages.size() == 3; }, 10.0));
    EXPECT_EQ(commands.runs().last(), QStringLiteral("systemctl poweroff"));
    EXPECT_EQ(alerts->messages.mid(1), (QStringList{"Shut down your Mac?", "Couldn't shut down your Mac"}));
    EXPECT_TRUE(log->lines.contains("Quorvel: loginwindow AE 1936225652 failed: " + commands.folder() +
                                    "/systemctl poweroff exited with status 1"))
        << log->lines.join('\n').toStdString();
    EXPECT_EQ(closes, 3);
}

}  // namespace
