// The power row's session actions: on the simulated desktop, with the host's
// library loader and real stand-in libraries, and through the Linux session
// commands run as stand-in scripts (never the real ones).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <ostream>

#include "core/settings_model.h"
#include "support/fake_commands.h"
#include "platform/linux/process.h"
#include "platform/linux/systemd_session.h"
#include "platform/preferences.h"
#include "support/sim_fixture.h"
#include "startmenu/session_actions.h"

using namespace platform;
using sim::SimulatedDesktop;

namespace {

const QString systemLockLibrary = QString::fromUtf8(screen_lock::libraryPath);
const QString lockFunction = QStringLiteral("SACLockScreenImmediate");
const QString pmset = QStringLiteral("/usr/bin/pmset");
const QString quitWarning = QStringLiteral("Apps will quit. Unsaved work may be lost.");
const QString hint = QString::fromUtf8("Allow Quorvel in System Settings \u25B8 Privacy & Security \u25B8 Automation.");

// An alert as a person sees it.
struct Shown {
    QString message;
    QString informative;
    QStringList buttons;
    bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* os) {
    *os << '"' << s.message.toStdString() << "\" \"" << s.informative.toStdString() << "\" ["
        << s.buttons.join(QStringLiteral(", ")).toStdString() << ']';
}

const Shown confirmLogOut{QStringLiteral("Log out of your account?"), quitWarning, {"Log Out", "Cancel"}};
const Shown confirmRestart{QStringLiteral("Restart your Mac?"), quitWarning, {"Restart", "Cancel"}};
const Shown confirmShutDown{QStringLiteral("Shut down your Mac?"), quitWarning, {"Shut Down", "Cancel"}};
const Shown lockFailed{QStringLiteral("Couldn't lock the screen"), {}, {"OK"}};
const Shown sleepFailed{QStringLiteral("Couldn't put your Mac to sleep"), {}, {"OK"}};
const Shown logOutFailed{QStringLiteral("Couldn't log out"), hint, {"OK"}};
const Shown restartFailed{QStringLiteral("Couldn't restart your Mac"), hint, {"OK"}};
const Shown shutDownFailed{QStringLiteral("Couldn't shut down your Mac"), hint, {"OK"}};

// The host's processes, but only stand-ins by absolute path from
// `standIns` (a FakeCommands folder) ever start: the real lock, suspend,
// log out and power commands cannot run from these tests. Counts the ends
// of launched processes as they reach the main thread.
class CountingProcesses : public linux_backend::PosixProcesses {
public:
    explicit CountingProcesses(QString standIns = {}) : standIns_(std::move(standIns)) {}
    ProcessResult run(const QString& executable, const QStringList& arguments) override {
        if (!isStandIn(executable)) return refused(executable);
        return PosixProcesses::run(executable, arguments);
    }
    ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) override {
        if (!isStandIn(executable)) return refused(executable);
        return PosixProcesses::launch(executable, arguments, [this, exited](const ProcessResult& r) {
            ++ends;
            if (exited) exited(r);
        });
    }
    int ends = 0;

private:
    // A script of the stand-in folder itself, or a name missing there (which
    // starts nothing): a link out of it (to a real loginctl or systemctl) is
    // refused too.
    bool isStandIn(const QString& executable) const {
        if (!QDir::isAbsolutePath(standIns_) || !QFile::exists(standIns_ + QStringLiteral("/status"))) return false;
        const QFileInfo file(executable);
        if (!QDir::isAbsolutePath(executable) || file.absolutePath() != standIns_ || file.isSymLink()) return false;
        return !file.exists() ||
               QFileInfo(file.canonicalFilePath()).absolutePath() == QFileInfo(standIns_).canonicalFilePath();
    }
    static ProcessResult refused(const QString& executable) {
        ADD_FAILURE() << "refused to start " << executable.toStdString() << ": not a stand-in";
        ProcessResult r;
        r.error = QStringLiteral("not a stand-in");
        return r;
    }
    QString standIns_;
};

class SessionActionsTest : public SimDesktopTest {
protected:
    // A fresh desktop, for one row of a table.
    void freshDesktop() {
        platform::uninstall();
        sim = SimulatedDesktop::create();
        sim->install();
        closes = 0;
    }
    // Runs the action as the start menu does and notes what had happened
    // when the menu was closed.
    void perform(SessionAction action) {
        actions.perform(action, [&] {
            ++closes;
            alertsWhenClosed = sim->alertsShown().size();
            requestsWhenClosed = requests().size();
        });
        sim->pump();
    }
    std::vector<Shown> shown() const {
        std::vector<Shown> out;
        for (const auto& r : sim->alertsShown())
            out.push_back({r.alert.messageText, r.alert.informativeText, r.alert.buttons});
        return out;
    }
    static std::vector<QString> starting(const std::vector<QString>& lines, std::initializer_list<const char*> prefixes) {
        std::vector<QString> out;
        for (const auto& line : lines)
            for (const char* prefix : prefixes)
                if (line.startsWith(QLatin1String(prefix))) {
                    out.push_back(line);
                    break;
                }
        return out;
    }
    // What reached the system: session requests and what carried them out.
    std::vector<QString> requests() const { return starting(sim->log(), {"session.", "process."}); }
    std::vector<QString> ourLogLines() const { return starting(sim->systemLog(), {"Quorvel: "}); }
    void expectClosedFirst() {
        EXPECT_EQ(closes, 1) << "the menu closes once, whatever the action";
        EXPECT_EQ(alertsWhenClosed, 0u) << "no alert before the menu is gone";
        EXPECT_EQ(requestsWhenClosed, 0u) << "no request before the menu is gone";
    }

    SessionActions actions;
    int closes = 0;
    std::size_t alertsWhenClosed = ~std::size_t(0);
    std::size_t requestsWhenClosed = ~std::size_t(0);
};

TEST_F(SessionActionsTest, EveryActionClosesTheMenuFirstThenAsksActsAndReportsFailure) {
    using Setup = std::function<void(SimulatedDesktop&)>;
    auto lockReturns = [](int status) -> Setup {
        return [status](SimulatedDesktop& d) { d.setLoadableFunction(systemLockLibrary, lockFunction, [status] { return status; }); };
    };
    const Setup noSetup = [](SimulatedDesktop&) {};
    auto eventFails = [](std::uint32_t id) { return [id](SimulatedDesktop& d) { d.setSessionEventResult(id, -1743); }; };
    const QString lockLoad = QStringLiteral("process.load ") + systemLockLibrary + QStringLiteral(" SACLockScreenImmediate");
    const QString sleepLaunch = QStringLiteral("process.launch /usr/bin/pmset sleepnow");
    // The screen lock through the host's loader, with stand-in libraries built by the tests.
    auto host = std::make_shared<CountingProcesses>();  // loads libraries, starts nothing
    auto viaLibrary = [host](QString library) {
        return [host, library](SimulatedDesktop& d) {
            auto services = d.services();
            services.processes = host;
            platform::install(services);
            d.setScreenLockLibrary(library);
        };
    };
    const QString unavailable = QStringLiteral("Quorvel: SACLockScreenImmediate unavailable");

    struct Row {
        const char* name;
        SessionAction action;
        std::vector<int> answers;  // button indexes; -1: the alert ends another way
        Setup setup;
        std::vector<Shown> alerts;
        std::vector<QString> requests;
        std::vector<QString> log;
    };
    const Row rows[] = {
        {"lock locks, without asking", SessionAction::lock, {}, lockReturns(0), {}, {"session.lock", lockLoad}, {}},
        {"lock without the function", SessionAction::lock, {}, noSetup, {lockFailed}, {"session.lock", lockLoad},
         {unavailable}},
        {"lock refused: alert only", SessionAction::lock, {}, lockReturns(1), {lockFailed}, {"session.lock", lockLoad}, {}},
        {"loaded lock returns 0", SessionAction::lock, {}, viaLibrary(SCREEN_LOCK_OK), {}, {"session.lock"}, {}},
        {"loaded lock returns 1", SessionAction::lock, {}, viaLibrary(SCREEN_LOCK_FAILS), {lockFailed}, {"session.lock"}, {}},
        {"loaded library without the function", SessionAction::lock, {}, viaLibrary(SCREEN_LOCK_NO_FUNCTION),
         {lockFailed}, {"session.lock"}, {unavailable}},
        // A library that cannot be loaded: the system's, absent here.
        {"the system's library, absent here", SessionAction::lock, {}, viaLibrary(systemLockLibrary), {lockFailed},
         {"session.lock"}, {unavailable}},
        {"sleep starts, without asking", SessionAction::sleep, {}, noSetup, {}, {"session.sleep", sleepLaunch}, {}},
        {"sleep cannot start", SessionAction::sleep, {},
         [](SimulatedDesktop& d) { d.setProcessOutcome(pmset, SimulatedDesktop::cannotStart("No such file or directory")); },
         {sleepFailed}, {"session.sleep", sleepLaunch}, {"Quorvel: pmset sleepnow failed: No such file or directory"}},
        {"sleep starts and then fails", SessionAction::sleep, {},
         [](SimulatedDesktop& d) { d.setProcessOutcome(pmset, SimulatedDesktop::exitedWith(1)); }, {sleepFailed},
         {"session.sleep", sleepLaunch}, {"Quorvel: pmset sleepnow failed: /usr/bin/pmset sleepnow exited with status 1"}},
        {"log out confirmed", SessionAction::logOut, {0}, noSetup, {confirmLogOut}, {"session.event rlgo"}, {}},
        {"log out cancelled", SessionAction::logOut, {1}, noSetup, {confirmLogOut}, {}, {}},
        {"log out alert ended otherwise", SessionAction::logOut, {-1}, noSetup, {confirmLogOut}, {}, {}},
        {"log out not sent", SessionAction::logOut, {0}, eventFails(apple_events::reallyLogOut),
         {confirmLogOut, logOutFailed}, {"session.event rlgo"},
         {"Quorvel: loginwindow AE 1919706991 failed: OSStatus error -1743"}},
        {"restart not sent", SessionAction::restart, {0}, eventFails(apple_events::restart),
         {confirmRestart, restartFailed}, {"session.event rest"},
         {"Quorvel: loginwindow AE 1919251316 failed: OSStatus error -1743"}},
        {"shut down cancelled", SessionAction::shutDown, {1}, noSetup, {confirmShutDown}, {}, {}},
        {"shut down not sent", SessionAction::shutDown, {0}, eventFails(apple_events::shutDown),
         {confirmShutDown, shutDownFailed}, {"session.event shut"},
         {"Quorvel: loginwindow AE 1936225652 failed: OSStatus error -1743"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        freshDesktop();
        row.setup(*sim);
        sim->queueAlertAnswers(row.answers);
        perform(row.action);
        expectClosedFirst();
        EXPECT_EQ(shown(), row.alerts);
        EXPECT_EQ(requests(), row.requests);
        EXPECT_EQ(ourLogLines(), row.log);
        // Every alert brings the program to the front first.
        EXPECT_EQ(sim->logLines(QStringLiteral("app.activate")).size(), sim->alertsShown().size());
    }

    // The loaded library stays loaded after a lock: its call count lives on,
    // and a second lock reaches the same library.
    freshDesktop();
    viaLibrary(SCREEN_LOCK_OK)(*sim);
    perform(SessionAction::lock);
    auto calls = host->loadFunction(QStringLiteral(SCREEN_LOCK_OK), QStringLiteral("screenLockCalls"));
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls(), 1);
    perform(SessionAction::lock);
    EXPECT_EQ(calls(), 2);
    EXPECT_TRUE(shown().empty());
}

TEST_F(SessionActionsTest, AlertsSpeakTheChosenLanguageWhileTheLogStaysEnglish) {
    auto& defaults = prefs::userDefaults();
    defaults.setString(settings::keys::appLanguage, QStringLiteral("simplifiedChinese"));
    sim->setSessionEventResult(apple_events::reallyLogOut, -1743);
    perform(SessionAction::logOut);
    const std::vector<Shown> chinese{
        {QString::fromUtf8("要退出登录你的账户吗？"), QString::fromUtf8("应用将会退出。未存储的工作可能会丢失。"),
         {QString::fromUtf8("退出登录"), QString::fromUtf8("取消")}},
        {QString::fromUtf8("无法退出登录"), QString::fromUtf8("请在“系统设置 ▸ 隐私与安全性 ▸ 自动化”中允许 Quorvel。"),
         {QString::fromUtf8("好")}},
    };
    EXPECT_EQ(shown(), chinese);
    EXPECT_EQ(ourLogLines(), std::vector<QString>{"Quorvel: loginwindow AE 1919706991 failed: OSStatus error -1743"});

    // Every other text has its translation too: no alert shows English.
    const std::size_t before = sim->alertsShown().size();
    for (bool mac : {true, false}) {
        auto services = sim->services();
        services.desktop.isMac = mac;
        platform::install(services);
        for (SessionAction a : session_action::allCases) {
            session_action::confirm(a);
            session_action::showFailure(a);
        }
    }
    sim->install();
    const auto all = shown();
    for (std::size_t i = before; i < all.size(); ++i)
        for (const QString& text : QStringList{all[i].message, all[i].informative} + all[i].buttons)
            EXPECT_FALSE(QString(text).remove(QStringLiteral("Quorvel")).contains(QRegularExpression(QStringLiteral("[a-z]{3}"))))
                << text.toStdString();

    // The language is read at every text: switching back shows English at once.
    prefs::userDefaults().setString(settings::keys::appLanguage, QStringLiteral("english"));
    session_action::showFailure(SessionAction::logOut);
    EXPECT_EQ(shown().back(), logOutFailed);
}

TEST(SessionActionValues, RawValuesNameEachCaseAndNothingElse) {
    for (SessionAction a : session_action::allCases)
        EXPECT_EQ(session_action::fromRawValue(session_action::rawValue(a)), a);
    for (const char* other : {"", "Lock", "shutdown", "logout", "lock "})
        EXPECT_FALSE(session_action::fromRawValue(QString::fromUtf8(other))) << other;
}

// The Linux session commands, run as stand-ins from a folder of their own,
// on a desktop that is not a Mac: the texts say "computer" and a failure
// says why in the command's own words.
const Shown confirmRestartPC{QStringLiteral("Restart your computer?"), quitWarning, {"Restart", "Cancel"}};
const Shown confirmShutDownPC{QStringLiteral("Shut down your computer?"), quitWarning, {"Shut Down", "Cancel"}};
Shown failedBecause(const char* message, const QString& why) { return {QString::fromUtf8(message), why, {"OK"}}; }

class LinuxSessionActionsTest : public SessionActionsTest {
protected:
    void useCommands(const QString& folder, const QString& sessionID = QStringLiteral("c7"), bool lockerRuns = true) {
        auto services = sim->services();
        launcher = std::make_shared<CountingProcesses>(folder);
        services.processes = launcher;
        services.session =
            std::make_shared<linux_backend::SystemdSession>(folder, sessionID, [lockerRuns] { return lockerRuns; });
        services.desktop.isMac = false;
        platform::install(services);
    }
    // Waits (in real time: the stand-ins are real processes) until `count`
    // ends have reached the main thread.
    bool awaitEnds(int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (launcher->ends < count && std::chrono::steady_clock::now() < deadline) {
            sim->pump();
            QThread::msleep(2);
        }
        sim->pump();
        return launcher->ends >= count;
    }

    std::shared_ptr<CountingProcesses> launcher;
};

TEST_F(LinuxSessionActionsTest, RunsTheSessionCommandsAndReportsOneThatFailsOrCannotRun) {
    FakeCommands commands{"loginctl", "systemctl"};
    ASSERT_TRUE(commands.isValid());
    const QString folder = commands.folder();
    const QString refusal = QStringLiteral("Call to Reboot failed: Interactive authentication required.");
    struct Row {
        SessionAction action;
        QString sessionID;
        QString commandLine;
        std::vector<Shown> asked;
        const char* failure;
        const char* logged;  // what the log says failed; null: the alert only
    };
    const Row rows[] = {
        {SessionAction::lock, "c7", "loginctl lock-session", {}, "Couldn't lock the screen", nullptr},
        {SessionAction::sleep, "c7", "systemctl suspend", {}, "Couldn't put your computer to sleep", "systemctl suspend"},
        {SessionAction::logOut, "c7", "loginctl terminate-session c7", {confirmLogOut}, "Couldn't log out",
         "loginctl terminate-session c7"},
        // Without XDG_SESSION_ID logind finds the user's graphical session.
        {SessionAction::logOut, "", "loginctl terminate-session auto", {confirmLogOut}, "Couldn't log out",
         "loginctl terminate-session auto"},
        {SessionAction::restart, "c7", "systemctl reboot", {confirmRestartPC}, "Couldn't restart your computer",
         "systemctl reboot"},
        {SessionAction::shutDown, "c7", "systemctl poweroff", {confirmShutDownPC}, "Couldn't shut down your computer",
         "systemctl poweroff"},
    };
    int runs = 0;
    // Succeeding, failing silently, failing with the command's own reason.
    for (int variant : {0, 1, 2}) {
        commands.setExitStatus(variant == 0 ? 0 : 1);
        commands.setErrorText(variant == 2 ? refusal.toUtf8() + "\n" : QByteArray());
        for (const auto& row : rows) {
            SCOPED_TRACE(row.commandLine.toStdString() + " variant " + std::to_string(variant));
            freshDesktop();
            useCommands(folder, row.sessionID);
            perform(row.action);
            expectClosedFirst();
            ASSERT_TRUE(awaitEnds(1)) << "the command's end never reached the main thread";
            ++runs;
            ASSERT_EQ(commands.runs().size(), runs);
            EXPECT_EQ(commands.runs().last(), row.commandLine);
            std::vector<Shown> expected = row.asked;
            std::vector<QString> log;
            if (variant != 0) {
                const QString exited = folder + "/" + row.commandLine + " exited with status 1";
                expected.push_back(failedBecause(row.failure, variant == 2 ? refusal : exited));
                if (row.logged)
                    log.push_back(QStringLiteral("Quorvel: %1 failed: ").arg(QLatin1String(row.logged)) + exited +
                                  (variant == 2 ? ": " + refusal : QString()));
            }
            EXPECT_EQ(shown(), expected);
            EXPECT_EQ(ourLogLines(), log);
        }
    }

    // Cancelled: nothing runs.
    freshDesktop();
    useCommands(folder);
    sim->queueAlertAnswers({1});
    perform(SessionAction::shutDown);
    sim->pump();
    EXPECT_EQ(commands.runs().size(), runs);
    EXPECT_EQ(shown(), std::vector<Shown>{confirmShutDownPC});

    // Commands that cannot run fail at once.
    FakeCommands none{};  // a folder without loginctl or systemctl
    ASSERT_TRUE(none.isValid());
    const QString absent = none.folder();
    struct Unrunnable {
        const char* name;
        QString folder;
        bool lockerRuns;
        SessionAction action;
        std::vector<Shown> alerts;
        QString log;  // empty: none
    };
    const Unrunnable unrunnable[] = {
        {"no loginctl to lock with", absent, true, SessionAction::lock,
         {failedBecause("Couldn't lock the screen", absent + "/loginctl lock-session could not be started: No such file or directory")},
         "Quorvel: loginctl lock-session unavailable"},
        // loginctl would answer success with nothing there to lock.
        {"no screen locker running", absent, false, SessionAction::lock,
         {failedBecause("Couldn't lock the screen", "No screen locker is running.")},
         "Quorvel: screen locker unavailable"},
        {"no systemctl to sleep with", absent, true, SessionAction::sleep,
         {failedBecause("Couldn't put your computer to sleep",
                        absent + "/systemctl suspend could not be started: No such file or directory")},
         "Quorvel: systemctl suspend failed: " + absent + "/systemctl suspend could not be started: No such file or directory"},
        {"session requests turned off", "", true, SessionAction::restart,
         {confirmRestartPC, failedBecause("Couldn't restart your computer", "session requests are turned off")},
         "Quorvel: session request failed: session requests are turned off"},
    };
    for (const auto& row : unrunnable) {
        SCOPED_TRACE(row.name);
        freshDesktop();
        useCommands(row.folder, QStringLiteral("c7"), row.lockerRuns);
        perform(row.action);
        expectClosedFirst();
        EXPECT_EQ(shown(), row.alerts);
        EXPECT_EQ(ourLogLines(), std::vector<QString>{row.log});
        EXPECT_EQ(launcher->ends, 0);
    }

    // The same in Chinese: our own reasons are translated too.
    freshDesktop();
    useCommands(absent, QStringLiteral("c7"), false);
    platform::prefs::userDefaults().setString(settings::keys::appLanguage, QStringLiteral("simplifiedChinese"));
    perform(SessionAction::lock);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].informative, QString::fromUtf8("没有正在运行的屏幕锁定程序。"));
}

}  // namespace
