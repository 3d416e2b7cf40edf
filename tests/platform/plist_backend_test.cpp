#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <map>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/plist_backend.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/property_list.h"
#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "support/environment_override.h"
#include "support/recording_log.h"
#include "support/test_files.h"

using namespace platform;
using linux_backend::PlistFileBackend;

namespace {

struct PlistFiles : ::testing::Test {
    QTemporaryDir dir;
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    std::shared_ptr<PlistFileBackend> backend;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        backend = std::make_shared<PlistFileBackend>(dir.path());
        installWith(backend);
    }
    void installWith(std::shared_ptr<PlistFileBackend> preferences) {
        Services s;
        s.dispatcher = std::make_shared<sim::ManualDispatcher>();
        s.preferences = std::move(preferences);
        s.log = log;
        install(s);
    }
    void TearDown() override { uninstall(); }

    QString path(const QString& domain = QStringLiteral("app.quorvel.Quorvel")) const { return backend->filePath(domain); }
    QStringList asideCopies() const {
        return QDir(dir.path()).entryList({QStringLiteral("*.corrupt-*")}, QDir::Files | QDir::System);
    }
    QStringList leftovers(const QString& folder = {}) const {
        return QDir(folder.isEmpty() ? dir.path() : folder).entryList({QStringLiteral(".*.plist.*")}, QDir::Files | QDir::Hidden);
    }
};

}  // namespace

TEST_F(PlistFiles, SavedValuesLoadBackFromOneFilePerDomain) {
    // In a folder not there yet: reading creates nothing, the first write makes it.
    const QString folder = dir.filePath(QStringLiteral("a/b/quorvel"));
    PlistFileBackend files(folder);
    EXPECT_TRUE(files.load(QStringLiteral("app.quorvel.Quorvel")).isEmpty());
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("a"))).exists());
    const QVariantMap app{{QStringLiteral("appearanceMode"), QStringLiteral("dark")},
                          {QStringLiteral("pinnedBundleIDs"), QVariantList{QStringLiteral("com.apple.Safari")}}};
    const QVariantMap dock{{QStringLiteral("autohide"), true}, {QStringLiteral("autohide-delay"), 0.5}};
    ASSERT_TRUE(files.save(QStringLiteral("app.quorvel.Quorvel"), app));
    ASSERT_TRUE(files.save(QStringLiteral("com.apple.dock"), dock));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/app.quorvel.Quorvel.plist")));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/com.apple.dock.plist")));

    PlistFileBackend fresh(folder);
    EXPECT_EQ(fresh.load(QStringLiteral("app.quorvel.Quorvel")), app);
    EXPECT_EQ(fresh.load(QStringLiteral("com.apple.dock")), dock);
    EXPECT_EQ(fresh.load(QStringLiteral("never.written")), QVariantMap());
    EXPECT_TRUE(leftovers(folder).isEmpty()) << leftovers(folder).join(' ').toStdString();
}

TEST_F(PlistFiles, DomainsThroughTheBackendKeepTypesAndNeverConvert) {
    auto& d = prefs::userDefaults();
    ASSERT_TRUE(d.setString(QStringLiteral("text"), QStringLiteral("1")));
    ASSERT_TRUE(d.setInteger(QStringLiteral("int"), 1));
    ASSERT_TRUE(d.setBool(QStringLiteral("flag"), true));
    ASSERT_TRUE(d.setReal(QStringLiteral("real"), 1.0));
    uninstall();  // forget the in-memory domain; read the file again
    installWith(std::make_shared<PlistFileBackend>(dir.path()));
    auto& again = prefs::userDefaults();
    EXPECT_EQ(again.stringValue(QStringLiteral("text")), QStringLiteral("1"));
    EXPECT_EQ(again.integerValue(QStringLiteral("text")), std::nullopt);
    EXPECT_EQ(again.boolValue(QStringLiteral("int")), std::nullopt);
    EXPECT_EQ(again.integerValue(QStringLiteral("int")), 1);
    EXPECT_EQ(again.realValue(QStringLiteral("int")), std::nullopt);
    EXPECT_EQ(again.numberValue(QStringLiteral("int")), 1.0);
    EXPECT_EQ(again.boolValue(QStringLiteral("flag")), true);
    EXPECT_EQ(again.integerValue(QStringLiteral("flag")), std::nullopt);
    EXPECT_EQ(again.realValue(QStringLiteral("real")), 1.0);
    EXPECT_EQ(again.integerValue(QStringLiteral("real")), std::nullopt);
}

TEST_F(PlistFiles, UnreadableFilesAreMovedAsideLoggedAndStartFromDefaults) {
    QByteArray deep = "<plist>";
    for (int i = 0; i < 10000; ++i) deep += "<dict><key>k</key>";
    const QByteArray good = *plist::serialize(QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}});
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"truncated", good.left(good.size() - 12)},
        {"not XML", "garbage \x01\x02\x03"},
        {"root is an array", *plist::serialize(QVariantList{qint64(1)})},
        {"wrong element type", "<plist><dict><key>k</key><float>1</float></dict></plist>"},
        {"10,000 levels deep", deep},
        {"empty file", ""},
    };
    // The copies pile up within the same second: each needs a name of its
    // own, and none replaces an earlier one.
    std::map<QString, QByteArray> kept;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log->lines.clear();
        ASSERT_TRUE(writeFile(path(), c.content));
        EXPECT_EQ(backend->load(QStringLiteral("app.quorvel.Quorvel")), QVariantMap());
        EXPECT_FALSE(QFile::exists(path()));
        QStringList aside = asideCopies();
        for (const auto& [name, content] : kept) aside.removeOne(name);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(aside[0].startsWith(QStringLiteral("app.quorvel.Quorvel.plist.corrupt-")));
        kept[aside[0]] = c.content;
        ASSERT_EQ(log->all().size(), 1);
        EXPECT_TRUE(log->all()[0].startsWith(QStringLiteral("[Quorvel]")));
        EXPECT_TRUE(log->all()[0].contains(aside[0]));
        // A later write creates a fresh file and leaves the copies alone.
        ASSERT_TRUE(backend->save(QStringLiteral("app.quorvel.Quorvel"), {{QStringLiteral("n"), qint64(2)}}));
        for (const auto& [name, content] : kept) EXPECT_EQ(readFile(dir.filePath(name)), content);  // byte for byte
        QFile::remove(path());
    }
    EXPECT_EQ(asideCopies().size(), qsizetype(std::size(cases)));
}

TEST_F(PlistFiles, HugeFilesAndFifosAreRefusedWithoutReadingOrHanging) {
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(plist::maximumDocumentSize + 1));  // sparse: costs no disk
    }
    EXPECT_TRUE(backend->load(QStringLiteral("app.quorvel.Quorvel")).isEmpty());
    EXPECT_EQ(asideCopies().size(), 1);

    const QString fifo = path(QStringLiteral("com.apple.dock"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(backend->load(QStringLiteral("com.apple.dock")).isEmpty());  // would block on a plain open
    EXPECT_EQ(asideCopies().size(), 2);
}

TEST_F(PlistFiles, AnUnreadableFileThatCannotBeMovedIsNeverOverwritten) {
    // A folder we cannot change: the bad file stays and writes are refused.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    PlistFileBackend lockedBackend(locked);
    const QString file = lockedBackend.filePath(QStringLiteral("d"));
    ASSERT_TRUE(writeFile(file, "not a plist"));
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not stop root from moving the file";
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0500), 0);
    EXPECT_TRUE(lockedBackend.load(QStringLiteral("d")).isEmpty());
    ::chmod(QFile::encodeName(locked).constData(), 0700);
    // Even once the folder could be written again.
    EXPECT_FALSE(lockedBackend.save(QStringLiteral("d"), {{QStringLiteral("k"), true}}));
    EXPECT_EQ(readFile(file), QByteArray("not a plist"));
}

TEST_F(PlistFiles, NamesThatAreNotPlainFileNamesAreRefused) {
    for (const char* name : {"", ".", "..", "../escape", "a/b", ".hidden"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(backend->filePath(QString::fromLatin1(name)).isEmpty());
        EXPECT_FALSE(backend->save(QString::fromLatin1(name), {{QStringLiteral("k"), true}}));
        EXPECT_TRUE(backend->load(QString::fromLatin1(name)).isEmpty());
    }
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("../escape.plist"))));
}

TEST_F(PlistFiles, AValueThatCannotBeWrittenLeavesFileAndMemoryAsTheyWere) {
    auto& d = prefs::userDefaults();
    ASSERT_TRUE(d.setString(QStringLiteral("k"), QStringLiteral("good")));
    const QByteArray before = readFile(path());
    EXPECT_FALSE(d.setString(QStringLiteral("k"), QStringLiteral("bad\x01")));
    EXPECT_EQ(d.stringValue(QStringLiteral("k")), QStringLiteral("good"));
    EXPECT_EQ(readFile(path()), before);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST(PlistFolder, FollowsQuorvelHomeThenXdgConfigThenHome) {
    {
        EnvironmentOverride home("QUORVEL_HOME", "/tmp/qh"), config("XDG_CONFIG_HOME", "/tmp/xdg");
        EXPECT_EQ(PlistFileBackend::defaultDirectory(), QStringLiteral("/tmp/qh"));
    }
    EnvironmentOverride home("QUORVEL_HOME", std::nullopt);
    for (const char* config : {"/tmp/xdg", "relative/path", ""}) {
        EnvironmentOverride xdg("XDG_CONFIG_HOME", *config ? std::optional<QByteArray>(config) : std::nullopt);
        EXPECT_EQ(PlistFileBackend::defaultDirectory(), *config == '/' ? QStringLiteral("/tmp/xdg/quorvel")
                                                                       : QDir::homePath() + QStringLiteral("/.config/quorvel"))
            << config;
    }
}

// A writer killed at a random moment leaves a file that reads in full: the
// old values or the new ones, never a mix or a torn file.
TEST(PlistDurability, AWriterKilledMidWriteNeverLeavesAHalfWrittenFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString domain = QStringLiteral("app.quorvel.Quorvel");
    // Large enough that one write takes a while, so kills land inside writes.
    QVariantMap values;
    for (int i = 0; i < 400; ++i)
        values.insert(QStringLiteral("key%1").arg(i), QStringLiteral("value %1 ").arg(i).repeated(20));
    // At least twelve rounds, and more (up to sixty) until a kill has landed
    // inside a write: on a slow, instrumented build most of a save is spent
    // before its temporary file exists.
    const QStringList temporary{QStringLiteral(".*.plist.*")};
    bool landedInside = false;
    for (int round = 0; round < 60 && (round < 12 || !landedInside); ++round) {
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saved[0]);
            PlistFileBackend writer(dir.path());
            QVariantMap v = values;
            for (qint64 n = 0;; ++n) {
                v.insert(QStringLiteral("generation"), n);
                writer.save(domain, v);
                (void)!::write(saved[1], "s", 1);
            }
        }
        ::close(saved[1]);
        // The writer reports every save; after a different number of them each
        // round (never before the first, however slow the machine) the kill
        // follows the next save's temporary file: its creation on even rounds,
        // its first bytes on odd ones.
        const int savesBeforeKill = 1 + round % 12;
        bool wrote = true;
        for (int n = 0; wrote && n < savesBeforeKill; ++n) {
            char byte = 0;
            pollfd ready{saved[0], POLLIN, 0};
            wrote = ::poll(&ready, 1, 60000) == 1 && ::read(saved[0], &byte, 1) == 1;
        }
        const int events = ::inotify_init1(IN_CLOEXEC);
        // Without a watch the wait below would only run out.
        const bool watching = events >= 0 && ::inotify_add_watch(events, QFile::encodeName(dir.path()).constData(),
                                                                 round % 2 ? IN_MODIFY : IN_CREATE) >= 0;
        const int watchError = watching ? 0 : errno;
        for (bool seen = !watching; wrote && !seen;) {
            alignas(inotify_event) char buffer[4096];
            pollfd ready{events, POLLIN, 0};
            const ssize_t n = ::poll(&ready, 1, 60000) == 1 ? ::read(events, buffer, sizeof buffer) : -1;
            wrote = n > 0;
            for (ssize_t at = 0; at < n; at += ssize_t(sizeof(inotify_event)) + reinterpret_cast<inotify_event*>(buffer + at)->len)
                seen = seen || reinterpret_cast<inotify_event*>(buffer + at)->name[0] == '.';
        }
        ::kill(child, SIGKILL);
        ::close(events);
        ::close(saved[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(watching) << "no inotify watch: " << std::strerror(watchError);
        ASSERT_TRUE(wrote) << "round " << round << ": the writer never saved";
        ASSERT_TRUE(WIFSIGNALED(status));

        QString error;
        auto v = plist::parse(readFile(dir.filePath(domain + QStringLiteral(".plist"))), &error);
        ASSERT_TRUE(v.has_value()) << "round " << round << ": " << error.toStdString();
        const QVariantMap got = v->toMap();
        EXPECT_EQ(got.size(), values.size() + 1);
        EXPECT_EQ(got.value(QStringLiteral("key399")), values.value(QStringLiteral("key399")));
        landedInside = !QDir(dir.path()).entryList(temporary, QDir::Files | QDir::Hidden).isEmpty();
    }
    // The temporary files the kills left are gone once the next copy starts.
    ASSERT_TRUE(landedInside) << "no kill landed inside a write";
    PlistFileBackend next(dir.path());
    next.removeInterruptedSaves();
    EXPECT_TRUE(QDir(dir.path()).entryList(temporary, QDir::Files | QDir::Hidden).isEmpty());
    // Removing temporary files never removes a saved domain.
    EXPECT_TRUE(QFile::exists(dir.filePath(domain + QStringLiteral(".plist"))));
}

TEST_F(PlistFiles, OnlyTheTemporaryFilesOfSavesAreRemovedAtStart) {
    struct Case {
        const char* name;
        bool removed;
    };
    const Case cases[] = {
        {".app.quorvel.Quorvel.plist.AbC123", true},
        {".com.apple.dock.plist.x1Y2z3", true},
        {".com.apple.dock.plist.x1Y2z", false},    // not the six characters of a save
        {".com.apple.dock.plist.x1Y2z34", false},
        {"com.apple.dock.plist.AbC123", false},    // not hidden
        {".notes.txt.AbC123", false},
        {"app.quorvel.Quorvel.plist", false},
        {"app.quorvel.Quorvel.plist.corrupt-20260101T000000Z", false},
    };
    for (const auto& c : cases) ASSERT_TRUE(writeFile(dir.filePath(QString::fromUtf8(c.name)), "x"));
    EXPECT_EQ(backend->removeInterruptedSaves(), 2);
    for (const auto& c : cases)
        EXPECT_EQ(QFile::exists(dir.filePath(QString::fromUtf8(c.name))), !c.removed) << c.name;
}

TEST_F(PlistFiles, AReadOnlyBackendNeverWritesMovesOrRemovesAnything) {
    ASSERT_TRUE(writeFile(path(), "not a property list"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral(".app.quorvel.Quorvel.plist.AbC123")), "x"));
    PlistFileBackend second(dir.path());
    second.setReadOnly(true);
    EXPECT_TRUE(second.load(QStringLiteral("app.quorvel.Quorvel")).isEmpty());
    EXPECT_FALSE(second.save(QStringLiteral("com.apple.dock"), {{QStringLiteral("autohide"), true}}));
    EXPECT_FALSE(second.update(QStringLiteral("com.apple.dock"), [](QVariantMap& v) { v.insert("a", true); }, nullptr));
    EXPECT_EQ(second.removeInterruptedSaves(), 0);
    EXPECT_EQ(readFile(path()), QByteArray("not a property list"));
    EXPECT_TRUE(asideCopies().isEmpty());
    EXPECT_EQ(leftovers().size(), 1);
    EXPECT_FALSE(QFile::exists(backend->filePath(QStringLiteral("com.apple.dock"))));
}

TEST_F(PlistFiles, AnUpdateChangesTheDomainAsStoredNowInOneSave) {
    auto& d = prefs::userDefaults();
    ASSERT_TRUE(d.setBool(QStringLiteral("mine"), true));
    // Another process writes the same domain meanwhile.
    PlistFileBackend other(dir.path());
    QVariantMap theirs = other.load(QStringLiteral("app.quorvel.Quorvel"));
    theirs.insert(QStringLiteral("theirs"), qint64(7));
    ASSERT_TRUE(other.save(QStringLiteral("app.quorvel.Quorvel"), theirs));
    ASSERT_TRUE(d.update([](QVariantMap& v) {
        v.insert(QStringLiteral("a"), true);
        v.insert(QStringLiteral("b"), QStringLiteral("x"));
        v.remove(QStringLiteral("mine"));
    }));
    const auto stored = other.load(QStringLiteral("app.quorvel.Quorvel"));
    EXPECT_EQ(stored, (QVariantMap{{QStringLiteral("theirs"), qint64(7)},
                                   {QStringLiteral("a"), true},
                                   {QStringLiteral("b"), QStringLiteral("x")}}));
    EXPECT_EQ(d.integerValue(QStringLiteral("theirs")), 7);
    EXPECT_FALSE(d.contains(QStringLiteral("mine")));
    // A value with no property-list form changes nothing.
    EXPECT_FALSE(d.update([](QVariantMap& v) { v.insert(QStringLiteral("bad"), QVariant::fromValue(QSize(1, 2))); }));
    EXPECT_EQ(other.load(QStringLiteral("app.quorvel.Quorvel")), stored);
}

TEST(PlistConcurrency, UpdatesOfManyProcessesAreNeverLost) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString domain = QStringLiteral("app.quorvel.Quorvel");
    constexpr int processes = 4;
    constexpr int rounds = 60;
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PlistFileBackend writer(dir.path());
            for (int i = 0; i < rounds; ++i)
                writer.update(domain, [](QVariantMap& v) {
                    v.insert(QStringLiteral("count"), v.value(QStringLiteral("count")).toLongLong() + 1);
                }, nullptr);
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t c : children) {
        int status = 0;
        ::waitpid(c, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(PlistFileBackend(dir.path()).load(domain).value(QStringLiteral("count")), QVariant(qint64(processes * rounds)));
}

TEST_F(PlistFiles, AValueThatCannotBeReadCostsOnlyItsKeyAndIsWrittenBackAsItStood) {
    ASSERT_TRUE(writeFile(path(), "<plist><dict><key>appearanceMode</key><string>dark</string>"
                      "<key>counter</key><integer>18446744073709551615</integer></dict></plist>"));
    EXPECT_EQ(backend->load(QStringLiteral("app.quorvel.Quorvel")),
              (QVariantMap{{QStringLiteral("appearanceMode"), QStringLiteral("dark")}}));
    EXPECT_TRUE(asideCopies().isEmpty());
    ASSERT_EQ(log->all().size(), 1);
    EXPECT_TRUE(log->all()[0].contains(QStringLiteral("counter"))) << log->all()[0].toStdString();
    backend->load(QStringLiteral("app.quorvel.Quorvel"));
    EXPECT_EQ(log->all().size(), 1);  // logged once, not at every read

    ASSERT_TRUE(backend->update(QStringLiteral("app.quorvel.Quorvel"),
                                [](QVariantMap& v) { v.insert(QStringLiteral("trayShowDate"), false); }, nullptr));
    EXPECT_TRUE(readFile(path()).contains("<key>counter</key>\n\t<integer>18446744073709551615</integer>"))
        << readFile(path()).toStdString();
    EXPECT_EQ(PlistFileBackend(dir.path()).load(QStringLiteral("app.quorvel.Quorvel")).value(QStringLiteral("trayShowDate")),
              QVariant(false));
}

TEST_F(PlistFiles, ASetAsideCopyGivesUpWhatCanStillBeReadOnce) {
    const QVariantMap simple{{QStringLiteral("DockIsManaging"), true}, {QStringLiteral("saved"), QByteArray("{\"a\":1}")}};
    QVariantMap all = simple;
    all.insert(QStringLiteral("z"), QVariantList{qint64(1)});
    const QByteArray full = *plist::serialize(all);
    ASSERT_TRUE(writeFile(path(), full.left(full.indexOf("<key>z"))));
    EXPECT_TRUE(backend->load(QStringLiteral("app.quorvel.Quorvel")).isEmpty());
    ASSERT_EQ(asideCopies().size(), 1);
    const auto found = backend->takeSetAsideValues(QStringLiteral("app.quorvel.Quorvel"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], simple);  // a document cut short still gives up its simple entries
    EXPECT_TRUE(backend->takeSetAsideValues(QStringLiteral("app.quorvel.Quorvel")).empty());
    ASSERT_EQ(asideCopies().size(), 1);  // kept, marked as read
    EXPECT_TRUE(asideCopies()[0].endsWith(QStringLiteral(".read")));
}

// Every folder and file written gets its own mode whatever the umask: the
// settings folder (and missing folders above it), the domain files and the
// single-instance lock. (The autostart entry's are checked with its writer.)
TEST(FileModes, FoldersAndFilesHaveTheirModesWhateverTheUmask) {
    auto modeOf = [](const QString& p) {
        struct stat st {};
        return ::lstat(QFile::encodeName(p).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    for (mode_t umask : {mode_t(0000), mode_t(0022), mode_t(0077)}) {
        SCOPED_TRACE(umask);
        QTemporaryDir dir;
        const mode_t before = ::umask(umask);
        const QString settings = dir.filePath(QStringLiteral("config/quorvel"));
        {
            linux_backend::SingleInstanceLock lock(settings + QStringLiteral("/quorvel.lock"));
            EXPECT_TRUE(lock.isHeld());
        }
        PlistFileBackend files(settings);
        const bool saved = files.save(QStringLiteral("app.quorvel.Quorvel"), {{QStringLiteral("k"), true}});
        ::umask(before);
        ASSERT_TRUE(saved);
        EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("config"))), 0700);
        EXPECT_EQ(modeOf(settings), 0700);
        EXPECT_EQ(modeOf(settings + QStringLiteral("/quorvel.lock")), 0600);
        EXPECT_EQ(modeOf(files.filePath(QStringLiteral("app.quorvel.Quorvel"))), 0600);
    }
}
