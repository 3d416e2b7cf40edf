#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

#include "platform/linux/process.h"
#include "platform/sim/simulated_desktop.h"

using namespace platform;

TEST(PosixProcesses, ReportsExitStatusSignalAndLaunchErrors) {
    linux_backend::PosixProcesses p;
    struct Case {
        const char* name;
        QString executable;
        QStringList arguments;
        bool launched;
        int exitStatus;
        int signal;
    };
    const Case cases[] = {
        {"success", QStringLiteral("/bin/true"), {}, true, 0, 0},
        {"failure", QStringLiteral("/bin/false"), {}, true, 1, 0},
        {"exit status", QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 7")}, true, 7, 0},
        {"killed", QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("kill -9 $$")}, true, -1, SIGKILL},
        {"found in PATH", QStringLiteral("true"), {}, true, 0, 0},
        {"missing", QStringLiteral("/nonexistent/quorvel-tool"), {}, false, -1, 0},
        {"missing in PATH", QStringLiteral("quorvel-no-such-tool"), {}, false, -1, 0},
        {"not executable", QStringLiteral("/etc/passwd"), {}, false, -1, 0},
        {"empty", QString(), {}, false, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessResult r = p.run(c.executable, c.arguments);
        EXPECT_EQ(r.launched, c.launched);
        EXPECT_EQ(r.exitStatus, c.exitStatus);
        EXPECT_EQ(r.terminationSignal, c.signal);
        EXPECT_EQ(r.succeeded(), c.launched && c.exitStatus == 0 && c.signal == 0);
        if (!c.launched) {
            EXPECT_FALSE(r.error.isEmpty());
        }
    }
}

TEST(PosixProcesses, ArgumentsArriveVerbatimWithoutAShell) {
    linux_backend::PosixProcesses p;
    // test(1) compares its arguments: each must arrive as one untouched word.
    const QStringList hostile{QStringLiteral("$(touch /tmp/quorvel-pwned) `id` $HOME; rm -rf / | * \"' \n中文")};
    ProcessResult r = p.run(QStringLiteral("/usr/bin/test"), {hostile[0], QStringLiteral("="), hostile[0]});
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(p.run(QStringLiteral("/usr/bin/test"), {QStringLiteral("a b"), QStringLiteral("="), QStringLiteral("a")}).exitStatus, 1);
    EXPECT_NE(::access("/tmp/quorvel-pwned", F_OK), 0);
}

TEST(PosixProcesses, ChildrenStartWithDefaultSignalHandling) {
    // An ignored SIGTERM in this process must not make the child immune.
    struct sigaction ignore {}, saved {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGTERM, &ignore, &saved);
    linux_backend::PosixProcesses p;
    ProcessResult r = p.run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("kill -TERM $$; exit 3")});
    ::sigaction(SIGTERM, &saved, nullptr);
    EXPECT_EQ(r.terminationSignal, SIGTERM);
}

TEST(PosixProcesses, LoadsFunctionsFromSharedLibraries) {
    linux_backend::PosixProcesses p;
    auto pid = p.loadFunction(QStringLiteral("libc.so.6"), QStringLiteral("getpid"));
    ASSERT_TRUE(pid);
    EXPECT_EQ(pid(), int(::getpid()));
    EXPECT_FALSE(p.loadFunction(QStringLiteral("libc.so.6"), QStringLiteral("quorvel_no_such_symbol")));
    EXPECT_FALSE(p.loadFunction(QStringLiteral("/nonexistent/libnothing.so"), QStringLiteral("getpid")));
}

// A started child's end reaches the main thread later; the main thread never
// waits for it, and an end that arrives after another backend was installed
// is dropped.
TEST(PosixProcesses, LaunchReturnsAtOnceAndReportsTheEndOnTheMainThread) {
    auto desktop = sim::SimulatedDesktop::create();
    desktop->install();
    linux_backend::PosixProcesses p;
    auto pumpUntil = [&](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            desktop->pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    };

    std::vector<ProcessResult> ends;
    std::vector<bool> onMain;
    auto record = [&](const ProcessResult& r) {
        ends.push_back(r);
        onMain.push_back(isMainThread());
    };
    // The child waits for a file the test writes after launch() returned.
    QTemporaryDir dir;
    const QString go = dir.filePath(QStringLiteral("go"));
    ProcessResult started = p.launch(QStringLiteral("/bin/sh"),
                                     {QStringLiteral("-c"), QStringLiteral("while [ ! -e '%1' ]; do sleep 0.01; done; exit 3").arg(go)},
                                     record);
    EXPECT_TRUE(started.launched);
    EXPECT_EQ(started.exitStatus, -1) << "no exit status before it ended";
    desktop->pump();
    EXPECT_TRUE(ends.empty());
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(pumpUntil([&] { return !ends.empty(); }));
    EXPECT_EQ(ends.front().exitStatus, 3);
    EXPECT_FALSE(ends.front().succeeded());
    EXPECT_TRUE(onMain.front());

    // Started under one backend, ended under the next: dropped. The end has
    // been dealt with once the callback it carried is gone.
    auto witness = std::make_shared<int>();
    const std::weak_ptr<int> carried = witness;
    p.launch(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("sleep 0.05")},
             [record, witness](const ProcessResult& r) { record(r); });
    witness.reset();
    auto next = sim::SimulatedDesktop::create();
    next->install();
    ASSERT_TRUE(pumpUntil([&] {
        next->pump();
        return carried.expired();
    })) << "the end never reached the main thread";
    EXPECT_EQ(ends.size(), 1u);
    platform::uninstall();
}
