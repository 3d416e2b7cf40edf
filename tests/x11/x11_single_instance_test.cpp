// The program on a live X11 desktop at the edges of its life: two copies
// started together leave one bar, and the end of the X server (the end of a
// session), with or without a termination signal at the same moment, gives
// the Dock back and ends with status 0.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/linux/plist_backend.h"
#include "platform/x11/x11_connection.h"
#include "x11_program.h"
#include "x11_session.h"

using platform::linux_backend::PlistFileBackend;

namespace {

class X11Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(PlistFileBackend(home.path())
                        .save(QStringLiteral("com.apple.dock"), {{QStringLiteral("autohide"), false},
                                                                 {QStringLiteral("orientation"), QStringLiteral("left")},
                                                                 {QStringLiteral("autohide-delay"), 0.25}}));
        // The first-run question was answered before: no dialog holds the start.
        ASSERT_TRUE(x11test::seedFirstRunAnswered(home.path()));
    }
    std::unique_ptr<QProcess> start(const std::string& display) {
        auto p = std::make_unique<QProcess>();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display));
        for (const std::string& entry : x11test::ProgramTest::programEnvironment(home.path())) {
            const auto eq = entry.find('=');
            env.insert(QString::fromStdString(entry.substr(0, eq)), QString::fromStdString(entry.substr(eq + 1)));
        }
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QString::fromStdString(x11test::ProgramTest::binary()), {});
        return p;
    }
    static int bars(platform::x11::Connection& conn, qint64 pid) {
        int n = 0;
        for (const auto& info : conn.windowInfos(conn.clientList()))
            if (info.processID == pid && info.hasType(conn.ewmh()->_NET_WM_WINDOW_TYPE_DOCK) && info.viewable) ++n;
        return n;
    }
    static bool waitFor(QProcess& p, QString& output, const QString& text, int ms = int(x11test::patience * 1000)) {
        QElapsedTimer t;
        t.start();
        while (!output.contains(text) && t.elapsed() < ms && p.state() != QProcess::NotRunning) {
            p.waitForReadyRead(100);
            output += QString::fromUtf8(p.readAll());
        }
        output += QString::fromUtf8(p.readAll());
        return output.contains(text);
    }
    void expectSeededDock() {
        const auto dock = PlistFileBackend(home.path()).load(QStringLiteral("com.apple.dock"));
        EXPECT_EQ(dock.value(QStringLiteral("autohide")), QVariant(false));
        EXPECT_EQ(dock.value(QStringLiteral("orientation")), QVariant(QStringLiteral("left")));
        EXPECT_EQ(dock.value(QStringLiteral("autohide-delay")), QVariant(0.25));
        const auto defaults = PlistFileBackend(home.path()).load(QStringLiteral("app.quorvel.Quorvel"));
        EXPECT_NE(defaults.value(QStringLiteral("DockIsManaging")), QVariant(true));
    }
    QTemporaryDir home;
};

TEST_F(X11Lifecycle, TwoCopiesStartedTogetherLeaveOneBarAndTheDockAsSeeded) {
    ASSERT_TRUE(x11test::Session::shared().isRunning());
    const std::string display = x11test::Session::shared().display();
    auto conn = platform::x11::Connection::open(QString::fromStdString(display), nullptr);
    ASSERT_TRUE(conn);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        std::unique_ptr<QProcess> copies[] = {start(display), start(display)};
        // The copy without the lock says so in a dialog and ends once the
        // user has read it (Return: its one button, "OK").
        int second = -1;
        ASSERT_TRUE(conn->waitUntil([&] {
            for (int i = 0; i < 2 && second < 0; ++i)
                if (x11test::dialogOf(*conn, pid_t(copies[i]->processId())) != XCB_WINDOW_NONE) second = i;
            return second >= 0;
        }, x11test::patience)) << "neither copy told of the other";
        EXPECT_TRUE(copies[second]->state() != QProcess::NotRunning) << "it waits for the user";
        ASSERT_TRUE(x11test::answerDialog(*conn, pid_t(copies[second]->processId()), "Return"));
        ASSERT_TRUE(copies[second]->waitForFinished(int(x11test::patience * 1000)));
        QProcess& running = *copies[1 - second];
        const QString secondOut = QString::fromUtf8(copies[second]->readAll());
        EXPECT_EQ(copies[second]->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copies[second]->exitCode(), 0);
        EXPECT_FALSE(secondOut.contains(QStringLiteral("Dock")));

        QString out;
        ASSERT_TRUE(waitFor(running, out, QStringLiteral("window enumeration started"))) << out.toStdString();
        EXPECT_TRUE(conn->waitUntil([&] { return bars(*conn, running.processId()) == 1; }, x11test::patience));
        running.terminate();
        ASSERT_TRUE(running.waitForFinished(int(x11test::patience * 1000)));
        EXPECT_EQ(running.exitCode(), 0);
        expectSeededDock();
    }
}


// The X server of these tests goes away, so each round has a server of its own.
TEST_F(X11Lifecycle, TheEndOfTheXServerGivesTheDockBackWithOrWithoutASignal) {
    struct Case {
        const char* name;
        bool sigterm;
    };
    for (const Case c : {Case{"the server alone", false}, Case{"with SIGTERM at the same moment", true},
                         Case{"the server alone, again", false}, Case{"with SIGTERM, again", true}}) {
        SCOPED_TRACE(c.name);
        // An X server with a window manager of this test's own (it goes away).
        x11test::PrivateDesktop own;
        std::string error;
        ASSERT_TRUE(own.start(1024, 600, error)) << error;
        auto p = start(own.display);
        QString out;
        ASSERT_TRUE(waitFor(*p, out, QStringLiteral("window enumeration started"))) << out.toStdString();
        if (c.sigterm) ::kill(pid_t(p->processId()), SIGTERM);
        own.killServer();
        ASSERT_TRUE(p->waitForFinished(int(x11test::patience * 1000))) << out.toStdString();
        out += QString::fromUtf8(p->readAll());
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << out.toStdString();
        EXPECT_EQ(p->exitCode(), 0) << out.toStdString();
        if (!c.sigterm) {
            EXPECT_TRUE(out.contains(QStringLiteral("[Quorvel] 与显示服务器的连接已断开，还原 Dock 后退出。")))
                << out.toStdString();
        }
        expectSeededDock();
    }
}

}  // namespace
