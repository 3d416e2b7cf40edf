// The real executable on the simulated desktop: a bar per display, the Dock
// given back on SIGTERM with exit status 0, and a second copy that shows its
// alert and leaves.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/linux/plist_backend.h"

namespace {

class QuorvelProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        // The Dock as the user left it, in the file the program will take over.
        platform::linux_backend::PlistFileBackend files(home.path());
        ASSERT_TRUE(files.save(QStringLiteral("com.apple.dock"),
                               {{QStringLiteral("autohide"), false},
                                {QStringLiteral("orientation"), QStringLiteral("bottom")},
                                {QStringLiteral("autohide-delay"), 0.5}}));
    }
    std::unique_ptr<QProcess> start() {
        auto p = std::make_unique<QProcess>();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUORVEL_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.remove(QStringLiteral("DISPLAY"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(QUORVEL_EXECUTABLE), {QStringLiteral("--demo")});
        return p;
    }
    // Reads output until a line contains the text (or the time runs out).
    static bool waitFor(QProcess& p, QString& output, const QString& text, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (!output.contains(text) && t.elapsed() < ms) {
            p.waitForReadyRead(200);
            output += QString::fromUtf8(p.readAll());
            if (p.state() == QProcess::NotRunning) {
                output += QString::fromUtf8(p.readAll());
                break;
            }
        }
        return output.contains(text);
    }
    QVariantMap dockFile() {
        platform::linux_backend::PlistFileBackend files(home.path());
        return files.load(QStringLiteral("com.apple.dock"));
    }
    QTemporaryDir home;
};

TEST_F(QuorvelProcess, ShowsABarPerDisplayAndGivesTheDockBackOnSigterm) {
    auto p = start();
    QString out;
    ASSERT_TRUE(waitFor(*p, out, QStringLiteral("bars shown"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("2 displays, 2 bars shown"))) << out.toStdString();
    ASSERT_TRUE(waitFor(*p, out, QStringLiteral("Dock 接管"))) << out.toStdString();
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(true));

    p->terminate();  // SIGTERM
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
    const auto dock = dockFile();
    EXPECT_EQ(dock.value(QStringLiteral("autohide")), QVariant(false));
    EXPECT_EQ(dock.value(QStringLiteral("orientation")), QVariant(QStringLiteral("bottom")));
    EXPECT_EQ(dock.value(QStringLiteral("autohide-delay")), QVariant(0.5));
}

TEST_F(QuorvelProcess, ASecondCopyShowsItsAlertAndExitsWithoutTouchingTheDock) {
    auto first = start();
    QString out;
    ASSERT_TRUE(waitFor(*first, out, QStringLiteral("Dock 接管"))) << out.toStdString();

    auto second = start();
    ASSERT_TRUE(second->waitForFinished(20000));
    const QString secondOut = QString::fromUtf8(second->readAll());
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(secondOut.contains(QStringLiteral("Quorvel is already running"))) << secondOut.toStdString();
    EXPECT_FALSE(secondOut.contains(QStringLiteral("bars shown")));
    // The first copy still holds the Dock.
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(true));

    first->terminate();
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(false));
}

}  // namespace
