// The real executable on the simulated desktop: a bar per display, the Dock
// given back on SIGTERM with exit status 0, and a second copy that shows its
// alert and leaves.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/plist_backend.h"
#include "support/test_files.h"

namespace {

// A display no X server answers: a listening socket that tells whether a copy tried it.
struct UntriedDisplay {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    QString name;
    UntriedDisplay() {
        for (int n = 90; n < 190 && name.isEmpty(); ++n) {
            sockaddr_in a{AF_INET, htons(std::uint16_t(6000 + n)), {htonl(INADDR_LOOPBACK)}, {}};
            if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 8) == 0)
                name = QStringLiteral("127.0.0.1:%1").arg(n);
        }
    }
    ~UntriedDisplay() { ::close(fd); }
    bool wasTried() const { return ::accept(fd, nullptr, nullptr) >= 0; }
};

class QuorvelProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        // The Dock as the user left it, in the file the program will take over.
        settings = home.path();
        platform::linux_backend::PlistFileBackend files(home.path());
        ASSERT_TRUE(files.save(QStringLiteral("com.apple.dock"), seededDock));
    }
    const QVariantMap seededDock{{QStringLiteral("autohide"), false},
                                 {QStringLiteral("orientation"), QStringLiteral("bottom")},
                                 {QStringLiteral("autohide-delay"), 0.5}};
    QString settings;  // the folder the copies keep their settings in
    QString display;   // DISPLAY of the copies; none when empty
    // `runtime`: instead of QUORVEL_HOME, the settings under
    // $XDG_CONFIG_HOME/quorvel and this session's own runtime folder.
    std::unique_ptr<QProcess> start(const QStringList& arguments = {QStringLiteral("--demo")},
                                    const QString& runtime = QString()) {
        auto p = std::make_unique<QProcess>();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QUORVEL_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        if (!runtime.isEmpty()) {
            env.remove(QStringLiteral("QUORVEL_HOME"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        }
        if (display.isEmpty())
            env.remove(QStringLiteral("DISPLAY"));
        else
            env.insert(QStringLiteral("DISPLAY"), display);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(QUORVEL_EXECUTABLE), arguments);
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
    // Ends a copy with SIGTERM; its whole output.
    static QString stop(QProcess& p, QString output = QString()) {
        if (p.state() != QProcess::NotRunning) {
            p.terminate();
            EXPECT_TRUE(p.waitForFinished(20000));
        }
        return output + QString::fromUtf8(p.readAll());
    }
    void expectSeededDock() {
        const auto dock = dockFile();
        EXPECT_EQ(dock.value(QStringLiteral("autohide")), QVariant(false));
        EXPECT_EQ(dock.value(QStringLiteral("orientation")), QVariant(QStringLiteral("bottom")));
        EXPECT_EQ(dock.value(QStringLiteral("autohide-delay")), QVariant(0.5));
        const auto defaults = platform::linux_backend::PlistFileBackend(settings).load(QStringLiteral("app.quorvel.Quorvel"));
        EXPECT_NE(defaults.value(QStringLiteral("DockIsManaging")), QVariant(true));
        EXPECT_FALSE(defaults.contains(QStringLiteral("DockSavedOriginalStateV2")));
    }
    QVariantMap dockFile() {
        platform::linux_backend::PlistFileBackend files(settings);
        return files.load(QStringLiteral("com.apple.dock"));
    }
    QTemporaryDir home;
};

TEST_F(QuorvelProcess, ShowsABarPerDisplayAndGivesTheDockBackOnSigterm) {
    ASSERT_TRUE(writeFile(home.filePath(QStringLiteral(".app.quorvel.Quorvel.plist.Ab12Cd")), {}));  // an interrupted save
    auto p = start();
    QString out;
    ASSERT_TRUE(waitFor(*p, out, QStringLiteral("bars shown"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[Quorvel] 已清理 1 个中断保存留下的临时文件"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("2 displays, 2 bars shown"))) << out.toStdString();
    ASSERT_TRUE(waitFor(*p, out, QStringLiteral("Dock 接管"))) << out.toStdString();
    EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(true));

    p->terminate();  // SIGTERM
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
    expectSeededDock();
}

TEST_F(QuorvelProcess, TwoCopiesStartedAtTheSameInstantLeaveOneRunningAndTheDockAsSeeded) {
    // Rounds 12 on: one settings folder, two sessions with runtime folders of
    // their own (a desktop and su, cron or ssh without a login session).
    const QString runtimes[] = {home.filePath(QStringLiteral("run-a")), home.filePath(QStringLiteral("run-b"))};
    for (const QString& r : runtimes) ASSERT_TRUE(QDir().mkpath(r));
    for (int round = 0; round < 32; ++round) {
        SCOPED_TRACE(round);
        if (round == 12) {
            // The same Dock, now in the settings folder under XDG_CONFIG_HOME.
            settings = home.filePath(QStringLiteral("quorvel"));
            ASSERT_TRUE(platform::linux_backend::PlistFileBackend(settings).save(QStringLiteral("com.apple.dock"), seededDock));
        }
        const bool sessions = round >= 12;
        std::unique_ptr<QProcess> copies[] = {start({QStringLiteral("--demo")}, sessions ? runtimes[0] : QString()),
                                              start({QStringLiteral("--demo")}, sessions ? runtimes[1] : QString())};
        QString out[2];
        // The second copy leaves at once; the one left running takes the Dock over.
        QElapsedTimer t;
        t.start();
        int second = -1;
        while (second < 0 && t.elapsed() < 15000) {
            for (int i = 0; i < 2 && second < 0; ++i)
                if (copies[i]->state() == QProcess::NotRunning || copies[i]->waitForFinished(20)) second = i;
        }
        ASSERT_GE(second, 0) << "neither copy left";
        const int running = 1 - second;
        out[second] = QString::fromUtf8(copies[second]->readAll());
        EXPECT_EQ(copies[second]->exitCode(), 0);
        EXPECT_TRUE(out[second].contains(QStringLiteral("Quorvel is already running"))) << out[second].toStdString();
        EXPECT_FALSE(out[second].contains(QStringLiteral("Dock")));
        EXPECT_FALSE(out[second].contains(QStringLiteral("bars shown")));

        ASSERT_TRUE(waitFor(*copies[running], out[running], QStringLiteral("Dock 接管"))) << out[running].toStdString();
        out[running] = stop(*copies[running], out[running]);
        EXPECT_EQ(copies[running]->exitCode(), 0);
        EXPECT_FALSE(out[running].contains(QStringLiteral("already running")));
        expectSeededDock();
    }
}

// A copy that cannot run ends at once, saying why, and leaves the Dock as it
// stands: a second copy shows its alert and exits with status 0, also while
// the lock file holds a stale id or nothing; what stands at the lock's place
// and cannot be a lock is an error (no copy is running, and the person is
// not told one is), and so is a scenario that cannot be used. A wrong
// command line ends it before it even tries the X11 desktop of DISPLAY.
TEST_F(QuorvelProcess, ACopyThatCannotRunEndsAtOnceSayingWhyWithTheDockLeftAlone) {
    UntriedDisplay x11;
    ASSERT_FALSE((display = x11.name).isEmpty());
    const QString lockFile = home.filePath(QStringLiteral("quorvel.lock"));
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.json"));
    ASSERT_TRUE(writeFile(huge, R"({"displays": [{"bounds": [0, 0, 10000000, 10000000]}]})"));
    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    ASSERT_TRUE(writeFile(broken, "{\n  \"trusted\": tru\n}\n"));
    const std::function<bool()> nothing = [] { return true; };
    auto lockHolds = [&](const QByteArray& contents) { return [&, contents] { return writeFile(lockFile, contents); }; };
    auto scenario = [](const QString& path) { return QStringList{QStringLiteral("--simulated"), path}; };
    const QStringList demo{QStringLiteral("--demo")};
    struct Case {
        const char* name;
        bool whileAnotherRuns;
        std::function<bool()> prepare;
        QStringList arguments;
        QString says;
    };
    const QString already = QStringLiteral("Quorvel is already running");
    const QString noLock = QStringLiteral("cannot take the single-instance lock");
    const Case cases[] = {
        {"a fifo at the lock's place", false, [&] { return ::mkfifo(QFile::encodeName(lockFile).constData(), 0666) == 0; },
         demo, noLock},
        {"a folder at the lock's place", false, [&] { return QDir().mkpath(lockFile); }, demo, noLock},
        {"a link at the lock's place", false,
         [&] { return QFile::link(home.filePath(QStringLiteral("elsewhere")), lockFile); }, demo, noLock},
        {"scenario /dev/zero", false, nothing, scenario("/dev/zero"), QStringLiteral("/dev/zero: is not a regular file")},
        {"scenario fifo", false, nothing, scenario(fifo), QStringLiteral(": is not a regular file")},
        {"scenario folder", false, nothing, scenario(dir.path()), QStringLiteral(": is a folder")},
        {"scenario too large", false, nothing, scenario(huge),
         QStringLiteral("displays[0].bounds: width and height must be at most 32768 points")},
        {"scenario not JSON", false, nothing, scenario(broken), QStringLiteral("scenario: line 3, column 1: not valid JSON")},
        {"an unknown option after one of Qt's", false, nothing,
         {QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("--bogus")},
         QStringLiteral("quorvel: Unknown option 'bogus'.")},
        {"an option without its value", false, nothing, {QStringLiteral("--tour")},
         QStringLiteral("quorvel: Missing value after '--tour'.")},
        {"second copy, lock as the first wrote it", true, nothing, demo, already},
        {"second copy, empty lock", true, lockHolds(""), demo, already},
        {"second copy, stale id", true, lockHolds("999999999\n"), demo, already},
        {"second copy, junk", true, lockHolds("junk"), demo, already},
    };
    std::unique_ptr<QProcess> first;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.whileAnotherRuns && !first) {
            first = start();
            QString out;
            ASSERT_TRUE(waitFor(*first, out, QStringLiteral("Dock 接管"))) << out.toStdString();
        }
        ASSERT_TRUE(c.prepare());
        QElapsedTimer t;
        t.start();
        auto p = start(c.arguments);
        ASSERT_TRUE(p->waitForFinished(20000));
        // Well under a second alone; a loaded machine starts processes slowly.
        EXPECT_LT(t.elapsed(), c.whileAnotherRuns ? 20000 : 5000);
        const QString out = QString::fromUtf8(p->readAll());
        EXPECT_EQ(p->exitCode() == 0, c.whileAnotherRuns) << out.toStdString();
        EXPECT_TRUE(out.contains(c.says)) << out.toStdString();
        EXPECT_FALSE(!c.whileAnotherRuns && out.contains(already)) << out.toStdString();
        EXPECT_FALSE(out.contains(QStringLiteral("bars shown"))) << out.toStdString();
        EXPECT_FALSE(x11.wasTried());
        // Still as seeded, or still the first copy's.
        EXPECT_EQ(dockFile().value(QStringLiteral("autohide")), QVariant(c.whileAnotherRuns));
        if (!c.whileAnotherRuns) {
            QFile::remove(lockFile);
            QDir().rmdir(lockFile);
        }
    }
    stop(*first);
    EXPECT_EQ(first->exitCode(), 0);
    expectSeededDock();
}

TEST_F(QuorvelProcess, KilledAtAnyMomentOfTakeoverOrRestoreTheDockComesBack) {
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        auto p = start();
        // Spread the kills over the start, the takeover and the restore.
        QString out;
        if (round % 2 == 0) {
            QThread::msleep(std::uint32_t(120 * round));
        } else {
            waitFor(*p, out, QStringLiteral("Dock 接管"));
            p->terminate();  // the restore starts ...
            QThread::msleep(std::uint32_t(round));  // ... and a kill lands somewhere in it
        }
        p->kill();
        p->waitForFinished(10000);
    }
    auto last = start();
    QString out;
    ASSERT_TRUE(waitFor(*last, out, QStringLiteral("Dock 接管"))) << out.toStdString();
    stop(*last);
    EXPECT_EQ(last->exitCode(), 0);
    expectSeededDock();
    EXPECT_TRUE(QDir(home.path()).entryList({QStringLiteral(".*.plist.*")}, QDir::Files | QDir::Hidden).isEmpty());
}

// The ordinary quit (the tour ends with the menu's Quit): the Dock comes
// back, status 0, and nothing Qt-owned is torn down after the application.
// Each of the tour's pictures shows its own step.
TEST_F(QuorvelProcess, AnOrdinaryQuitGivesTheDockBackWithoutTeardownWarnings) {
    const QDir pictures(home.filePath(QStringLiteral("tour")));
    auto p = start({QStringLiteral("--demo"), QStringLiteral("--tour"), pictures.path()});
    ASSERT_TRUE(p->waitForFinished(60000));
    const QString out = QString::fromUtf8(p->readAll());
    EXPECT_TRUE(out.contains(QStringLiteral("tour: clicked the task button of"))) << out.toStdString();
    QList<QByteArray> seen;
    for (const char* name : {"01-bars.png", "02-start-menu.png", "03-task-button-clicked.png"}) {
        const QByteArray bytes = readFile(pictures.filePath(QLatin1String(name)));
        EXPECT_FALSE(bytes.isEmpty() || seen.contains(bytes)) << name << " is missing or repeats an earlier picture";
        seen << bytes;
    }
    const QString afterQuit = out.mid(out.indexOf(QStringLiteral("tour: quitting")));
    EXPECT_TRUE(afterQuit.startsWith(QStringLiteral("tour: quitting"))) << out.toStdString();
    EXPECT_EQ(p->exitCode(), 0);
    for (const char* warning : {"QBasicTimer", "QObject", "QWidget", "QSocketNotifier"})
        EXPECT_FALSE(afterQuit.contains(QLatin1String(warning))) << afterQuit.toStdString();
    expectSeededDock();
}

TEST_F(QuorvelProcess, HelpNeedsNoDisplay) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUORVEL_EXECUTABLE), {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("--simulated <scenario>"))) << out.toStdString();
}

// True once the process catches SIGTERM (its SigCgt mask in /proc).
bool catchesSigterm(qint64 pid) {
    for (const QByteArray& line : readFile(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

TEST_F(QuorvelProcess, ATerminationSignalAtAnyMomentOfTheStartEndsCleanly) {
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        auto p = start();
        ASSERT_TRUE(p->waitForStarted(10000));
        QElapsedTimer t;
        t.start();
        while (!catchesSigterm(p->processId()) && t.elapsed() < 10000) QThread::usleep(200);
        QThread::msleep(std::uint32_t(round * round * 4));  // from the first instant to well into the takeover
        p->terminate();
        ASSERT_TRUE(p->waitForFinished(20000));
        const QString out = QString::fromUtf8(p->readAll());
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << out.toStdString();
        EXPECT_EQ(p->exitCode(), 0) << out.toStdString();
        expectSeededDock();
    }
}

}  // namespace
