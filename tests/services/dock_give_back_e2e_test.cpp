// End to end: a real child process takes the Dock over with file-backed
// preference domains, and gives it back when it is told to terminate; one
// killed outright is recovered by the next process's first takeover.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <signal.h>

#include "platform/linux/host_backend.h"
#include "platform/linux/plist_backend.h"
#include "platform/platform.h"
#include "services/dock_controller.h"
#include "support/test_files.h"

using platform::linux_backend::PlistFileBackend;

namespace {

const char* const readyLine = "QUORVEL-CHILD-READY";

// Runs only inside the child (started by the tests below with
// --gtest_also_run_disabled_tests): take the Dock over, say so, then wait to
// be signalled. It never returns on its own before the safety timeout.
TEST(DISABLED_DockTakeoverChildProcess, Run) {
    const QString home = QString::fromLocal8Bit(qgetenv("QUORVEL_HOME"));
    ASSERT_FALSE(home.isEmpty());
    platform::Services services;
    platform::linux_backend::fillHostServices(services, home);
    platform::install(services);
    auto controller = services::DockController::shared();
    controller->installSignalHandlers();
    controller->apply(services::DockCoexistMode::moveRight);
    controller->queue().sync([] {});  // the takeover has finished
    std::fprintf(stdout, "%s\n", readyLine);
    std::fflush(stdout);
    // An orphaned child must not linger.
    QTimer::singleShot(30000, QCoreApplication::instance(), [] { QCoreApplication::exit(3); });
    QCoreApplication::exec();
    FAIL() << "no termination signal arrived";
}

class DockGiveBackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        PlistFileBackend(home.path())
            .save(QStringLiteral("com.apple.dock"),
                  QVariantMap{{QStringLiteral("autohide"), false},
                              {QStringLiteral("orientation"), QStringLiteral("left")},
                              {QStringLiteral("autohide-delay"), 0.4},
                              {QStringLiteral("tilesize"), qint64(48)}});
    }

    // Starts a child and waits until it has taken the Dock over.
    std::unique_ptr<QProcess> startChild() {
        auto child = std::make_unique<QProcess>();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child->setProcessEnvironment(env);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_also_run_disabled_tests"),
                      QStringLiteral("--gtest_filter=DISABLED_DockTakeoverChildProcess.Run")});
        if (!child->waitForStarted(10000)) return nullptr;
        QByteArray out;
        while (!out.contains(readyLine)) {
            if (!child->waitForReadyRead(20000)) break;
            out += child->readAllStandardOutput();
        }
        if (!out.contains(readyLine)) {
            ADD_FAILURE() << "child never became ready: " << out.toStdString()
                          << child->readAllStandardError().toStdString();
            child->kill();
            child->waitForFinished(5000);
            return nullptr;
        }
        return child;
    }

    QVariantMap dockFile() { return PlistFileBackend(home.path()).load(QStringLiteral("com.apple.dock")); }
    QVariantMap defaultsFile() { return PlistFileBackend(home.path()).load(QStringLiteral("app.quorvel.Quorvel")); }

    void expectOriginalDock() {
        auto dock = dockFile();
        EXPECT_EQ(dock.value(QStringLiteral("autohide")), QVariant(false));
        EXPECT_EQ(dock.value(QStringLiteral("orientation")), QVariant(QStringLiteral("left")));
        EXPECT_EQ(dock.value(QStringLiteral("autohide-delay")), QVariant(0.4));
        EXPECT_EQ(dock.value(QStringLiteral("tilesize")), QVariant(qint64(48)));  // untouched
        auto defaults = defaultsFile();
        EXPECT_EQ(defaults.value(QStringLiteral("DockIsManaging")), QVariant(false));
        EXPECT_FALSE(defaults.contains(QStringLiteral("DockSavedOriginalStateV2")));
    }

    void expectTakenOver() {
        auto dock = dockFile();
        EXPECT_EQ(dock.value(QStringLiteral("autohide")), QVariant(true));
        EXPECT_EQ(dock.value(QStringLiteral("orientation")), QVariant(QStringLiteral("right")));
        EXPECT_FALSE(dock.contains(QStringLiteral("autohide-delay")));
        EXPECT_EQ(defaultsFile().value(QStringLiteral("DockIsManaging")), QVariant(true));
    }

    QTemporaryDir home;
};

TEST_F(DockGiveBackTest, TerminationSignalsGiveTheDockBack) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        auto child = startChild();
        ASSERT_TRUE(child);
        expectTakenOver();
        ASSERT_EQ(::kill(pid_t(child->processId()), signo), 0);
        ASSERT_TRUE(child->waitForFinished(20000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), 0);
        const QString err = QString::fromUtf8(child->readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("[Quorvel] 收到终止信号，还原 Dock 后退出。"))) << err.toStdString();
        expectOriginalDock();
    }
}

TEST_F(DockGiveBackTest, KilledRunIsRecoveredByTheNextFirstTakeover) {
    auto first = startChild();
    ASSERT_TRUE(first);
    first->kill();  // SIGKILL: nothing can restore
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitStatus(), QProcess::CrashExit);
    expectTakenOver();

    auto second = startChild();
    ASSERT_TRUE(second);
    expectTakenOver();
    ASSERT_EQ(::kill(pid_t(second->processId()), SIGTERM), 0);
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 0);
    const QString err = QString::fromUtf8(second->readAllStandardError());
    const auto recovered = err.indexOf(QStringLiteral("[Quorvel] 检测到上次异常退出，先还原 Dock 再重新接管。"));
    const auto restored = err.indexOf(QStringLiteral("[Quorvel] Dock 还原 → autohide=false, edge=left"));
    const auto takenOver = err.indexOf(QStringLiteral("[Quorvel] Dock 接管(moveRight)"));
    EXPECT_GE(recovered, 0) << err.toStdString();
    EXPECT_GT(restored, recovered);
    EXPECT_GT(takenOver, restored);
    // The saved state of the second run is the user's own, not the first run's takeover.
    EXPECT_TRUE(err.contains(QStringLiteral("，原始=autohide=false, edge=left")));
    expectOriginalDock();
}

// The settings of a killed takeover hold a value the reader refuses (what
// other writers produce for unsigned 64-bit integers, a real beyond double
// range), or are cut short: the next run still finds the saved copy and
// gives the Dock back, and keeps every other key.
TEST_F(DockGiveBackTest, AKilledTakeoverIsGivenBackThoughItsSettingsCannotAllBeRead) {
    const QByteArray refused = "<key>counter</key>\n\t<integer>18446744073709551615</integer>\n"
                               "\t<key>huge</key>\n\t<real>1e400</real>\n";
    struct Case {
        const char* name;
        bool cutShort;
    };
    for (const Case& c : {Case{"values that cannot be read", false}, Case{"a file cut short", true}}) {
        SCOPED_TRACE(c.name);
        auto first = startChild();
        ASSERT_TRUE(first);
        first->kill();
        ASSERT_TRUE(first->waitForFinished(20000));
        expectTakenOver();
        const QString file = home.filePath(QStringLiteral("app.quorvel.Quorvel.plist"));
        QByteArray text = readFile(file);
        text.replace("<dict>\n", "<dict>\n\t<key>appearanceMode</key>\n\t<string>dark</string>\n\t" + refused);
        if (c.cutShort) text.chop(int(qstrlen("</dict>\n</plist>\n")));
        ASSERT_TRUE(writeFile(file, text));

        auto second = startChild();
        ASSERT_TRUE(second);
        ASSERT_EQ(::kill(pid_t(second->processId()), SIGTERM), 0);
        ASSERT_TRUE(second->waitForFinished(20000));
        EXPECT_EQ(second->exitCode(), 0);
        expectOriginalDock();
        if (!c.cutShort) {
            EXPECT_EQ(defaultsFile().value(QStringLiteral("appearanceMode")), QVariant(QStringLiteral("dark")));
            const QByteArray kept = readFile(file);
            EXPECT_TRUE(kept.contains("<integer>18446744073709551615</integer>")) << kept.toStdString();
            EXPECT_TRUE(kept.contains("<real>1e400</real>")) << kept.toStdString();
        }
        QFile::remove(file);
    }
}

}  // namespace
