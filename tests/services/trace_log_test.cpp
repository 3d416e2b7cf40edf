#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "services/trace_log.h"
#include "support/recording_log.h"
#include "support/test_files.h"
#include "support/environment_override.h"

using namespace platform;

namespace {

struct Trace : ::testing::Test {
    QTemporaryDir dir;
    QString path;
    std::shared_ptr<sim::ManualDispatcher> dispatcher;
    std::shared_ptr<RecordingLog> log;
    EnvironmentOverride unset{"TBDBG", std::nullopt};  // the switch as each test sets it

    void SetUp() override {
        path = dir.filePath(QStringLiteral("tbdbg.log"));
        TraceLog::setFilePath(path);
    }
    void TearDown() override {
        uninstall();
        TraceLog::setFilePath({});
    }

    // A fresh start of the program with these stored settings.
    void start(const QVariantMap& defaults = {}) {
        dispatcher = std::make_shared<sim::ManualDispatcher>();
        log = std::make_shared<RecordingLog>();
        auto backend = std::make_shared<prefs::MemoryBackend>();
        backend->preset(prefs::applicationDomain, defaults);
        Services s;
        s.dispatcher = dispatcher;
        s.preferences = backend;
        s.log = log;
        install(s);
    }
    void flush() { dispatcher->pumpQueue("app.quorvel.tblog"); }
};

}  // namespace

TEST_F(Trace, TheSwitchComesFromTheEnvironmentElseTheBoolSetting) {
    struct Row {
        const char* name;
        std::optional<QByteArray> env;
        QVariant stored;  // invalid: missing
        bool enabled;
    };
    const Row rows[] = {
        {"nothing set", std::nullopt, QVariant(), false},
        {"setting false", std::nullopt, QVariant(false), false},
        {"setting true", std::nullopt, QVariant(true), true},
        {"setting as text", std::nullopt, QVariant(QStringLiteral("true")), false},
        {"setting as integer", std::nullopt, QVariant(qint64(1)), false},
        {"empty variable beats a false setting", QByteArray(""), QVariant(false), true},
        {"variable with a value", QByteArray("0"), QVariant(), true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.env) qputenv("TBDBG", *r.env);
        else qunsetenv("TBDBG");
        start(r.stored.isValid() ? QVariantMap{{QStringLiteral("TBDBG"), r.stored}} : QVariantMap{});
        EXPECT_EQ(TraceLog::isEnabled(), r.enabled);
    }
}

TEST_F(Trace, TheSwitchIsDecidedOnceForTheRun) {
    start();
    EXPECT_FALSE(TraceLog::isEnabled());
    prefs::userDefaults().setBool(QStringLiteral("TBDBG"), true);
    qputenv("TBDBG", "1");
    EXPECT_FALSE(TraceLog::isEnabled());
}

TEST_F(Trace, SwitchedOffItNeverCreatesTheFileNorLogs) {
    start();
    TraceLog::write(QStringLiteral("should not appear"));
    dispatcher->pump();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(log->lines.isEmpty());
    // Also an existing file is left exactly as it was.
    ASSERT_TRUE(writeFile(path, "earlier run\n"));
    TraceLog::write(QStringLiteral("still nothing"));
    dispatcher->pump();
    EXPECT_EQ(readFile(path), QByteArray("earlier run\n"));
}

TEST_F(Trace, LinesGoToTheLogAtOnceAndToTheFileOnItsQueueInOrder) {
    start({{QStringLiteral("TBDBG"), true}});
    ASSERT_TRUE(writeFile(path, "a line of an earlier run\n"));
    TraceLog::write(QStringLiteral("app Finder pid=12 raw=2 visible=true active=false hidden=false"));
    TraceLog::write(QStringLiteral("  win tok=1 sub=AXStandardWindow title=文稿"));
    TraceLog::write(QStringLiteral("AXNotif AXWindowMoved pid=12"));
    EXPECT_EQ(log->lines, (QStringList{QStringLiteral("TBDBG app Finder pid=12 raw=2 visible=true active=false hidden=false"),
                                       QStringLiteral("TBDBG   win tok=1 sub=AXStandardWindow title=文稿"),
                                       QStringLiteral("TBDBG AXNotif AXWindowMoved pid=12")}));
    // Nothing touches the file until the trace queue runs.
    EXPECT_EQ(readFile(path), QByteArray("a line of an earlier run\n"));
    flush();
    EXPECT_EQ(QString::fromUtf8(readFile(path)),
              QStringLiteral("app Finder pid=12 raw=2 visible=true active=false hidden=false\n"
                             "  win tok=1 sub=AXStandardWindow title=文稿\n"
                             "AXNotif AXWindowMoved pid=12\n"));
    // Later lines append.
    TraceLog::write(QStringLiteral("more"));
    flush();
    EXPECT_TRUE(readFile(path).endsWith("pid=12\nmore\n"));
}

TEST_F(Trace, EachRunEmptiesTheFileAtItsFirstLine) {
    start({{QStringLiteral("TBDBG"), true}});
    TraceLog::write(QStringLiteral("first run"));
    flush();
    start({{QStringLiteral("TBDBG"), true}});
    TraceLog::write(QStringLiteral("second run"));
    flush();
    EXPECT_EQ(readFile(path), QByteArray("second run\n"));
}

TEST_F(Trace, APlantedSymbolicLinkIsNeverFollowedAndItsLineIsDropped) {
    const QString victim = dir.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(writeFile(victim, "someone else's data\n"));
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(path).constData()), 0);
    start({{QStringLiteral("TBDBG"), true}});
    TraceLog::write(QStringLiteral("secret window title"));
    flush();
    EXPECT_EQ(readFile(victim), QByteArray("someone else's data\n"));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(log->lines, QStringList{QStringLiteral("TBDBG secret window title")});  // the log line stays
}
