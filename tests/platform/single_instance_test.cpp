// The lock alone decides which copy runs: whatever the lock file holds
// (nothing yet, a dead copy's id, garbage, our own id), a copy that cannot
// take the lock is the second copy and sees the holder among the running
// applications; the holder sees no other copy.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/single_instance.h"
#include "support/environment_override.h"
#include "support/sim_fixture.h"
#include "support/test_files.h"

using platform::linux_backend::InstanceAwareWorkspace;
using platform::linux_backend::SingleInstanceLock;

namespace {

const QString bundleID = QStringLiteral("app.quorvel.Quorvel");

int copiesOf(platform::Workspace& w) {
    int n = 0;
    for (const auto& a : w.runningApplications())
        if (a.bundleID == bundleID && a.pid != w.ownProcessID()) ++n;
    return n;
}

class SingleInstance : public SimDesktopTest {};

TEST_F(SingleInstance, TheLockDecidesWhateverTheFileHolds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("quorvel.lock"));
    struct Case {
        const char* name;
        QByteArray contents;
        std::optional<std::int32_t> named;  // the holder the second copy can name
    };
    const Case cases[] = {
        {"empty: the holder has not written its id yet", QByteArray(), std::nullopt},
        {"a dead copy's id", QByteArray("999999999\n"), std::nullopt},
        {"garbage", QByteArray("quorvel\n"), std::nullopt},
        {"the second copy's own id", QByteArray::number(::getpid()), std::nullopt},
        {"a live process", QByteArray::number(::getppid()), ::getppid()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto holder = std::make_shared<SingleInstanceLock>(path);
        ASSERT_TRUE(holder->isHeld());
        ASSERT_TRUE(writeFile(path, c.contents));  // the lock is on the file, not on what it says
        auto second = std::make_shared<SingleInstanceLock>(path);
        EXPECT_FALSE(second->isHeld());
        EXPECT_TRUE(second->problem().isEmpty()) << second->problem().toStdString();
        EXPECT_EQ(second->otherProcess(), c.named);

        {
            auto inner = std::shared_ptr<platform::Workspace>(&platform::workspace(), [](platform::Workspace*) {});
            InstanceAwareWorkspace seenBySecond(inner, second, bundleID);
            EXPECT_EQ(copiesOf(seenBySecond), 1);
            InstanceAwareWorkspace seenByHolder(inner, holder, bundleID);
            EXPECT_EQ(copiesOf(seenByHolder), 0);
        }

        // Once the holder is gone the next copy runs, whatever the file says.
        holder.reset();
        second.reset();
        SingleInstanceLock next(path);
        EXPECT_TRUE(next.isHeld());
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), QByteArray::number(::getpid()) + '\n') << "its own id, over whatever was there";
    }
}

TEST_F(SingleInstance, AFileThatCannotBeALockIsAProblemNotASecondCopy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("link.lock"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), link));
    const QString fifo = dir.filePath(QStringLiteral("fifo.lock"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.lock"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString underAFile = dir.filePath(QStringLiteral("link.lock/quorvel.lock"));
    for (const QString& path : {link, fifo, folder, underAFile}) {
        SCOPED_TRACE(path.toStdString());
        SingleInstanceLock lock(path);
        EXPECT_FALSE(lock.isHeld());
        EXPECT_FALSE(lock.problem().isEmpty());
        EXPECT_FALSE(lock.otherProcess());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("elsewhere"))));  // never followed
}

// The lock guards the settings, so it lives where they do, whatever runtime
// folder the session has (or none).
TEST_F(SingleInstance, TheLockLivesInTheSettingsFolder) {
    EnvironmentOverride home("QUORVEL_HOME", std::nullopt), config("XDG_CONFIG_HOME", "/home/u/.config");
    for (const char* runtime : {"/run/user/1000", "/run/user/other", ""}) {
        EnvironmentOverride session("XDG_RUNTIME_DIR", *runtime ? std::optional<QByteArray>(runtime) : std::nullopt);
        EXPECT_EQ(SingleInstanceLock::defaultPath(), QStringLiteral("/home/u/.config/quorvel/quorvel.lock")) << runtime;
    }
}

}  // namespace
