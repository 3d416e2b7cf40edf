#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "support/test_files.h"

using namespace platform;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

}  // namespace

TEST(PrivateFile, CreatesWithOwnerOnlyModeAppendsAndEmptiesOnRequest) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.log"));
    ::umask(022);
    {
        auto f = openPrivateAppendFile(path, false);
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->append("one\n"));
    }
    EXPECT_EQ(modeOf(path), mode_t(0600));
    {
        auto f = openPrivateAppendFile(path, false);
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->append("two\n"));
    }
    EXPECT_EQ(readFile(path), QByteArray("one\ntwo\n"));
    {
        auto f = openPrivateAppendFile(path, true);
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->append("three\n"));
    }
    EXPECT_EQ(readFile(path), QByteArray("three\n"));
    // An existing file of ours that others could read is narrowed to 0600.
    ::chmod(QFile::encodeName(path).constData(), 0666);
    ASSERT_TRUE(openPrivateAppendFile(path, false));
    EXPECT_EQ(modeOf(path), mode_t(0600));
}

TEST(PrivateFile, RefusesPlantedFilesAndLeavesThemUntouched) {
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(writeFile(victim, "precious"));

    struct Case {
        const char* name;
        std::function<void(const QString&)> plant;
    };
    const Case cases[] = {
        {"symbolic link to a file", [&](const QString& p) { ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(p).constData()), 0); }},
        {"dangling symbolic link", [&](const QString& p) {
             ASSERT_EQ(::symlink(QFile::encodeName(dir.filePath(QStringLiteral("created-through-link"))).constData(),
                                 QFile::encodeName(p).constData()), 0);
         }},
        {"hard link to a file", [&](const QString& p) { ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(p).constData()), 0); }},
        {"FIFO", [&](const QString& p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0666), 0); }},
        {"folder", [&](const QString& p) { ASSERT_EQ(::mkdir(QFile::encodeName(p).constData(), 0777), 0); }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("trace%1.log").arg(n++));
        c.plant(path);
        EXPECT_FALSE(openPrivateAppendFile(path, true));
        EXPECT_FALSE(openPrivateAppendFile(path, false));
    }
    EXPECT_EQ(readFile(victim), QByteArray("precious"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("created-through-link"))));
}

TEST(PrivateFile, RefusesAFileOwnedBySomeoneElse) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("theirs.log"));
    ASSERT_TRUE(writeFile(path, "their lines"));
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    EXPECT_FALSE(openPrivateAppendFile(path, true));
    EXPECT_EQ(readFile(path), QByteArray("their lines"));
}
