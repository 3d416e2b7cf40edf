#include <gtest/gtest.h>

#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <random>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_window_server.h"
#include "platform/sim/simulated_desktop.h"
#include "support/test_files.h"

using namespace platform;
using platform::sim::SimulatedDesktop;

namespace {

QString sourcePath(const QString& relative) {
    return QStringLiteral(QUORVEL_TEST_SOURCE_DIR) + '/' + relative;
}

std::shared_ptr<SimulatedDesktop> load(const QByteArray& json, QString* error) {
    return SimulatedDesktop::fromScenarioJson(json, {}, error);
}

TEST(SimScenario, TheDemoLoadsWithItsApplicationsDisplaysBatteryAndBadges) {
    QString error;
    auto sim = SimulatedDesktop::fromScenarioFile(sourcePath("resources/scenarios/demo.json"), {}, &error);
    ASSERT_TRUE(sim) << error.toStdString();
    sim->install();
    EXPECT_EQ(displays().screens().size(), 2u);
    EXPECT_GE(workspace().runningApplications().size(), 8u);
    auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleID, QStringLiteral("com.apple.Safari"));
    auto power = powerSources().copyDescriptions();
    ASSERT_TRUE(power && power->size() == 1);
    EXPECT_EQ(power->front().value(power_keys::type).toString(), power_keys::internalBattery);
    auto list = windowServer().copyWindowList(windowListOnScreenOnly | windowListExcludeDesktopElements, 0);
    ASSERT_TRUE(list);
    EXPECT_GE(list->size(), 5u);
    // The Dock shows Mail's badge.
    ax::Value v;
    ASSERT_EQ(ax::api().copyAttribute(ax::api().applicationElement(sim->dockPid()), ax::names::children, v),
              ax::Error::success);
    ASSERT_EQ(ax::api().copyAttribute(ax::as<ax::ElementList>(v)->front(), ax::names::children, v), ax::Error::success);
    const auto items = ax::as<ax::ElementList>(v);
    ASSERT_TRUE(items);
    int badges = 0;
    for (const auto& item : *items) {
        ax::Value label;
        if (ax::api().copyAttribute(item, ax::names::statusLabel, label) == ax::Error::success) ++badges;
    }
    EXPECT_EQ(badges, 2);
    EXPECT_EQ(bundles().infoValue("/Applications/Backup.app/Contents/Helpers/Daemon.app", "LSBackgroundOnly"),
              QVariant(true));
    sim->pump();
    uninstall();
}

TEST(SimScenario, MalformedScenariosNameTheProblem) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"[1,2]", "scenario: expected an object at the top level"},
        {R"({"applications": {}})", "scenario: applications: expected an array, found an object"},
        {R"({"applications": [{}, {}, {"windows": [{"frame": [0, 0, 10]}]}]})",
         "scenario: applications[2].windows[0].frame: expected an array of 4 numbers"},
        {R"({"applications": [{"windows": [{"frame": [0, 0, "10", 10]}]}]})",
         "scenario: applications[0].windows[0].frame: expected an array of 4 numbers"},
        {R"({"applications": [{"windows": [{"frame": [0, 0, -10, 10]}]}]})",
         "scenario: applications[0].windows[0].frame: width and height must not be negative"},
        {R"({"applications": [{"windows": [{"frame": [0, 0, 1e300, 10]}]}]})",
         "scenario: applications[0].windows[0].frame: width and height must be at most 32768 points"},
        {R"({"applications": [{"name": 5}]})", "scenario: applications[0].name: expected a string, found a number"},
        {R"({"applications": [{"pid": 1.5}]})",
         "scenario: applications[0].pid: expected a whole number from 1 to 2147483647"},
        {R"({"applications": [{"pid": 300}, {"pid": 300}]})", "scenario: applications[1].pid: 300 is used twice"},
        {R"({"applications": [{"policy": "background"}]})",
         "scenario: applications[0].policy: expected \"regular\", \"accessory\" or \"prohibited\""},
        {R"({"applications": [{"color": "mauve-ish"}]})",
         "scenario: applications[0].color: expected a colour such as \"#3478f6\""},
        {R"({"applications": [{"windows": [{"alpha": 2}]}]})",
         "scenario: applications[0].windows[0].alpha: expected a number from 0 to 1"},
        {R"({"displays": [{"bounds": [0, 0, 0, 900]}]})",
         "scenario: displays[0].bounds: width and height must be greater than 0"},
        {R"({"displays": [{"name": "x"}]})", "scenario: displays[0].bounds: missing"},
        {R"({"displays": [7]})", "scenario: displays[0]: expected an object, found a number"},
        {R"({"dock": {"items": [{"title": "x"}]}})", "scenario: dock.items[0].path: missing"},
        {R"({"powerSources": [{"Current Capacity": null}]})",
         "scenario: powerSources[0].Current Capacity: expected a property-list value, found null"},
        {R"({"appearance": "sepia"})", "scenario: appearance: expected \"light\" or \"dark\""},
        {R"({"trusted": "yes"})", "scenario: trusted: expected a boolean, found a string"},
        {R"({"colour": 1})", "scenario: colour: unknown key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        QString error;
        EXPECT_FALSE(load(c.json, &error));
        EXPECT_EQ(error, QString::fromUtf8(c.error));
    }
}

TEST(SimScenario, FilesThatCannotBeReadOrParsedAreErrorsNotCrashes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("scenario.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.json"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(sim::maximumScenarioSize + 1));
    }
    struct Case {
        QString file;
        QString start;
    };
    const Case cases[] = {
        {sourcePath("tests/platform/data/scenario_unknown_key.json"),
         "scenario: applications[0].windows[0].frmae: unknown key"},
        {sourcePath("tests/platform/data/scenario_truncated.json"), "scenario: line 2, column 1: not valid JSON"},
        {sourcePath("tests/platform/data/does_not_exist.json"), "scenario: cannot read"},
        // Devices, FIFOs and folders end at once instead of growing or waiting for ever.
        {QStringLiteral("/dev/zero"), "scenario: cannot read /dev/zero: is not a regular file"},
        {fifo, "scenario: cannot read " + fifo + ": is not a regular file"},
        {dir.path(), "scenario: cannot read " + dir.path() + ": is a folder"},
        {huge, "scenario: cannot read " + huge + ": is larger than"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QElapsedTimer t;
        t.start();
        QString error;
        EXPECT_FALSE(SimulatedDesktop::fromScenarioFile(c.file, {}, &error));
        EXPECT_TRUE(error.startsWith(c.start)) << error.toStdString();
        EXPECT_LT(t.elapsed(), 1000);
    }
}

TEST(SimScenario, ErrorsNameTheLineAndColumnAndSizesAreCapped) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"{\n  \"trusted\": true,\n  \"displays\": [}\n", "scenario: line 3, column 17: not valid JSON"},
        {"{\"name\": \"Ã©Ã©\" x}", "scenario: line 1, column 18: not valid JSON"},
        {R"({"displays": [{"bounds": [0, 0, 10000000, 10000000]}]})",
         "scenario: displays[0].bounds: width and height must be at most 32768 points"},
        {R"({"displays": [{"bounds": [0, 0, 32769, 100]}]})",
         "scenario: displays[0].bounds: width and height must be at most 32768 points"},
        {R"({"applications": [{"windows": [{"frame": [0, 0, 100, 40000]}]}]})",
         "scenario: applications[0].windows[0].frame: width and height must be at most 32768 points"},
        {R"({"applications": [{"windows": [{"maxSize": [50000, 10]}]}]})",
         "scenario: applications[0].windows[0].maxSize: width and height must be at most 32768 points"},
        {R"({"pointer": [1e9, 0]})", "scenario: pointer: coordinates must lie within 262144 points of the origin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        QString error;
        EXPECT_FALSE(load(c.json, &error));
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error))) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(load(R"({"displays": [{"bounds": [0, 0, 32768, 32768]}]})", &error)) << error.toStdString();
}

TEST(SimScenario, ScenarioPidsPreferencesAndHiddenApplicationsApply) {
    QString error;
    auto sim = load(R"({
        "applications": [{"pid": 4242, "name": "Fixed", "hidden": true, "unresponsive": true,
                          "windows": [{"title": "w", "frame": [1, 2, 3, 4], "maxSize": [100, 100]}]}],
        "preferences": {"com.apple.dock": {"autohide": true, "autohide-delay": 0.5, "tilesize": 48}}
    })", &error);
    ASSERT_TRUE(sim) << error.toStdString();
    sim->install();
    EXPECT_EQ(displays().screens().size(), 1u);  // no displays named: the default one
    auto app = workspace().application(4242);
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->isHidden);
    auto& dock = prefs::domain(prefs::dockDomain);
    EXPECT_EQ(dock.boolValue("autohide"), true);
    EXPECT_EQ(dock.realValue("autohide-delay"), 0.5);
    EXPECT_EQ(dock.integerValue("tilesize"), 48);
    ax::Value v;
    EXPECT_EQ(ax::api().copyAttribute(ax::api().applicationElement(4242), ax::names::windows, v),
              ax::Error::cannotComplete);
    uninstall();
}

TEST(SimScenario, NamedPidsAreKeptWhenUnnamedApplicationsComeFirst) {
    QString error;
    auto sim = load(R"({"applications": [{"name": "first"}, {"name": "second", "pid": 200}, {"name": "third", "pid": 201}]})",
                    &error);
    ASSERT_TRUE(sim) << error.toStdString();
    EXPECT_EQ(sim->application(200)->localizedName, QStringLiteral("second"));
    EXPECT_EQ(sim->application(201)->localizedName, QStringLiteral("third"));
    EXPECT_FALSE(load(R"({"applications": [{"pid": 101}]})", &error));
    EXPECT_EQ(error, QStringLiteral("scenario: applications[0].pid: 101 is reserved (100: the program, 101: the Dock)"));
}

// Random and hostile inputs: every one either loads or fails with a
// "scenario:" message; none crashes or hangs.
TEST(SimScenario, RandomAndHostileInputsNeverCrash) {
    const QByteArray demo = readFile(sourcePath("resources/scenarios/demo.json"));
    ASSERT_FALSE(demo.isEmpty());
    std::mt19937 rng(20261209);
    const QByteArray alphabet = "{}[]\":,0123456789-.eE truefalsnl\\/#abc";
    int loaded = 0, refused = 0;

    auto check = [&](const QByteArray& input) {
        QString error;
        auto sim = load(input, &error);
        if (sim) {
            ++loaded;
            // A loaded desktop answers its interfaces.
            sim::SimWindowServer& ws = sim->windowServer();
            (void)ws.copyWindowList(windowListAll, 0);
        } else {
            ++refused;
            EXPECT_TRUE(error.startsWith("scenario: ")) << error.toStdString();
        }
    };

    for (int i = 0; i < 300; ++i) {
        QByteArray mutated = demo;
        const int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng() % std::max<qsizetype>(1, mutated.size()));
            switch (rng() % 3) {
                case 0: mutated[pos] = alphabet[int(rng() % alphabet.size())]; break;
                case 1: mutated.remove(pos, 1 + int(rng() % 8)); break;
                default: mutated.insert(pos, alphabet[int(rng() % alphabet.size())]); break;
            }
        }
        check(mutated);
    }

    // Structurally valid JSON with values of every wrong type in every place.
    const QJsonValue hostile[] = {QJsonValue(), QJsonValue(true), QJsonValue(-1), QJsonValue(1e308),
                                  QJsonValue("x"), QJsonArray{1, "a", QJsonArray{}}, QJsonObject{{"k", 1}}};
    const QJsonObject base = QJsonDocument::fromJson(demo).object();
    for (const auto& topKey : base.keys()) {
        for (const auto& h : hostile) {
            QJsonObject o = base;
            o[topKey] = h;
            check(QJsonDocument(o).toJson());
        }
    }
    QJsonArray apps = base["applications"].toArray();
    const QJsonObject firstApp = apps[1].toObject();
    const QJsonObject firstWindow = firstApp["windows"].toArray()[0].toObject();
    for (const auto& key : firstWindow.keys()) {
        for (const auto& h : hostile) {
            QJsonObject w = firstWindow;
            w[key] = h;
            QJsonObject app = firstApp;
            app["windows"] = QJsonArray{w};
            QJsonObject o = base;
            o["applications"] = QJsonArray{app};
            check(QJsonDocument(o).toJson());
        }
    }
    // Deep nesting in a property-list value.
    QByteArray deep = "{\"preferences\": {\"d\": {\"k\": ";
    for (int i = 0; i < 5000; ++i) deep += '[';
    for (int i = 0; i < 5000; ++i) deep += ']';
    deep += "}}}";
    check(deep);
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
