// Process entry: creates the Qt application, installs the platform backend,
// makes the application object and runs the event loop.
//
//   quorvel [--simulated SCENARIO | --demo | --x11] [--tour FOLDER]
//
// With an X11 session and an EWMH window manager Quorvel manages that desktop;
// otherwise (or with --simulated / --demo) it runs on the simulated desktop of
// a scenario file (--demo: the built-in scenario). --tour takes the demo tour
// on the simulated desktop and saves screenshots in FOLDER.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <unistd.h>

#include "app/demo/demo_tour.h"
#include "app/demo/desktop_backdrop.h"
#include "app/demo/window_churn.h"
#include "app/app_delegate.h"
#include "app/quorvel_app.h"
#include "taskbar/bar_panel_controller.h"
#include "platform/linux/host_backend.h"
#include "platform/linux/plist_backend.h"
#include "platform/linux/process.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/system_log.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/simulated_desktop.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_connection.h"
#include "services/dock_controller.h"

namespace {

using platform::linux_backend::InstanceAwareWorkspace;
using platform::linux_backend::PlistFileBackend;
using platform::linux_backend::SingleInstanceLock;

// Until the Dock controller takes the termination signals over, a signal
// ends the process at once with status 0: nothing has been taken over yet,
// and every save is atomic (a temporary file it leaves is removed at the
// next start).
extern "C" void terminateEarly(int) {
    static const char line[] = "[Quorvel] 收到终止信号，还原 Dock 后退出。\n";
    ssize_t ignored = ::write(STDERR_FILENO, line, sizeof line - 1);
    (void)ignored;
    ::_exit(0);
}

// A write to a connection whose other end has gone (the X server, the
// session bus) fails with EPIPE instead of killing the process before it can
// give the Dock back. A handler rather than SIG_IGN, because an ignored
// signal stays ignored in the programs we launch, and a caught one does not.
extern "C" void brokenPipe(int) {}

void handleSignalsFromNowOn() {
    struct sigaction pipe {};
    pipe.sa_handler = brokenPipe;
    sigemptyset(&pipe.sa_mask);
    pipe.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &pipe, nullptr);
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction sa {};
        sa.sa_handler = terminateEarly;
        sigemptyset(&sa.sa_mask);
        ::sigaction(signo, &sa, nullptr);
    }
}

// Options of the command line; `--help` is answered before Qt starts, so it
// works without a display.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption simulated{QStringLiteral("simulated"), QStringLiteral("Run on the simulated desktop of a scenario file."),
                                 QStringLiteral("scenario"), QString()};
    QCommandLineOption tour{QStringLiteral("tour"), QStringLiteral("Take the demo tour, saving screenshots."),
                            QStringLiteral("folder")};
    QCommandLineOption builtInDemo{QStringLiteral("demo"), QStringLiteral("Run on the built-in simulated desktop.")};
    QCommandLineOption live{QStringLiteral("x11"), QStringLiteral("Manage the X11 desktop (the default when one runs).")};
    QCommandLineOption churn{QStringLiteral("churn"),
                             QStringLiteral("Keep the simulated applications' windows changing (for long-run measurements).")};
    Options() : help(parser.addHelpOption()) {
        parser.setApplicationDescription(QStringLiteral("Quorvel, a taskbar"));
        // Qt's own options are single-dash words ("-platform offscreen").
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(simulated);
        parser.addOption(builtInDemo);
        parser.addOption(live);
        parser.addOption(tour);
        parser.addOption(churn);
        // Qt's documented options (and the X11 plugin's), known here so the
        // whole command line is checked before Qt starts; Qt takes them itself.
        for (const char* name : {"style", "stylesheet", "qmljsdebugger", "platform", "platformpluginpath",
                                 "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                 "display", "geometry", "title", "icon", "name", "visual", "dialogs", "fontengine"})
            addQtOption(name, QStringLiteral("value"));
        for (const char* name : {"widgetcount", "reverse", "sync", "dograb", "nograb", "testability"})
            addQtOption(name, QString());
    }

private:
    void addQtOption(const char* name, const QString& valueName) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), valueName);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
};

// The command line as read before Qt starts (and before the X11 desktop is
// tried on a thread of its own): an error ends the process here.
struct EarlyArguments {
    std::optional<int> exitStatus;  // end now: help shown, or the command line is wrong
    bool liveDesktop = false;       // the X11 desktop is to be tried
    bool liveAsked = false;         // --x11: only the X11 desktop will do
};

EarlyArguments readEarly(int argc, char** argv) {
    Options options;
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    EarlyArguments early;
    if (!options.parser.parse(args)) {
        std::fprintf(stderr, "quorvel: %s\n", qPrintable(options.parser.errorText()));
        early.exitStatus = 1;
        return early;
    }
    if (options.parser.isSet(options.help)) {
        QString text = options.parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("quorvel"));
        std::fputs(qPrintable(text), stdout);
        early.exitStatus = 0;
        return early;
    }
    // Qt answers --help-all itself once it has started; no desktop is tried first.
    const bool wantSimulated = options.parser.isSet(options.simulated) || options.parser.isSet(options.builtInDemo) ||
                               options.parser.isSet(options.tour) ||
                               options.parser.isSet(QStringLiteral("help-all"));
    early.liveAsked = options.parser.isSet(options.live);
    early.liveDesktop = !wantSimulated && (early.liveAsked || !qEnvironmentVariableIsEmpty("DISPLAY"));
    return early;
}

// The lock is decided; a copy without it reads the settings but never
// writes them. Before the platform is installed, so nothing is written first.
void protectSettingsFolder(const std::shared_ptr<platform::prefs::Backend>& backend, const SingleInstanceLock& lock) {
    auto files = std::dynamic_pointer_cast<PlistFileBackend>(backend);
    if (files && !lock.isHeld()) files->setReadOnly(true);
}

// Once the log is installed, so the line about removed leftovers is seen.
void tidySettingsFolder(const std::shared_ptr<platform::prefs::Backend>& backend, const SingleInstanceLock& lock) {
    auto files = std::dynamic_pointer_cast<PlistFileBackend>(backend);
    if (files && lock.isHeld()) files->removeInterruptedSaves();
}

std::atomic<bool> mainReturned{false};

// Ends the process the way a termination signal does: the Dock gets its
// settings back first, then status 0.
void restoreDockAndExit(const QString& line) { services::DockController::shared()->restoreAndExit(line); }

const QString displayLostLine = QStringLiteral("[Quorvel] 与显示服务器的连接已断开，还原 Dock 后退出。");

// Qt ends the process with exit(1) when its display connection breaks
// (the X server went away: the user logged out). Registered once the
// workspace stands, this runs before the objects the restore needs are
// destroyed, and turns that exit into the ordinary end of the day.
void giveTheDockBackOnAnyExit() {
    std::atexit([] {
        if (mainReturned.load()) return;
        restoreDockAndExit(displayLostLine);
    });
}

const QString demoScenario = QStringLiteral(":/resources/scenarios/demo.json");

std::shared_ptr<platform::sim::SimulatedDesktop> installSimulatedDesktop(
    const QString& scenario, const std::shared_ptr<SingleInstanceLock>& lock) {
    platform::sim::SimulatedDesktop::Options options;
    options.threaded = true;
    options.preferences = std::make_shared<PlistFileBackend>(PlistFileBackend::defaultDirectory());
    protectSettingsFolder(options.preferences, *lock);
    QString error;
    auto desktop = platform::sim::SimulatedDesktop::fromScenarioFile(scenario, options, &error);
    if (!desktop) {
        std::fprintf(stderr, "quorvel: %s\n", qPrintable(error));
        return nullptr;
    }
    auto services = desktop->services();
    services.log = std::make_shared<platform::linux_backend::StderrLog>();
    // Child processes and the immediate exit after a termination signal are
    // real; the Dock's restart stays simulated.
    services.processes = std::make_shared<platform::sim::DemoProcesses>(
        std::make_shared<platform::linux_backend::PosixProcesses>(), services.processes);
    services.alerts = std::make_shared<platform::linux_backend::LoggingAlerts>(services.alerts);
    const QString bundleID = services.bundles->mainBundleIdentifier().value_or(QStringLiteral("app.quorvel.Quorvel"));
    services.workspace = std::make_shared<InstanceAwareWorkspace>(services.workspace, lock, bundleID);
    platform::install(services);
    tidySettingsFolder(options.preferences, *lock);
    desktop->setTerminateHandler([] { QCoreApplication::quit(); });
    return desktop;
}

}  // namespace

int main(int argc, char** argv) {
    handleSignalsFromNowOn();
    const EarlyArguments early = readEarly(argc, argv);
    if (early.exitStatus) return *early.exitStatus;
    // Before anything else: the lock decides whether this is the running copy.
    auto lock = std::make_shared<SingleInstanceLock>(SingleInstanceLock::defaultPath());
    if (!lock->isHeld() && !lock->problem().isEmpty()) {
        // Not a second copy: the lock could not be taken at all, and saying
        // "already running" would send the user looking for a copy that is not there.
        std::fprintf(stderr, "quorvel: cannot take the single-instance lock: %s\n", qPrintable(lock->problem()));
        return 1;
    }

    platform::x11::BackendOptions backendOptions;
    // Only here, on a live desktop, do session requests reach the real
    // loginctl and systemctl. QUORVEL_SESSION_COMMANDS names another folder
    // (end-to-end tests give stand-ins; empty refuses them all).
    backendOptions.sessionCommandFolder = qEnvironmentVariableIsSet("QUORVEL_SESSION_COMMANDS")
                                              ? qEnvironmentVariable("QUORVEL_SESSION_COMMANDS")
                                              : QStringLiteral("/usr/bin");
    // One connection both finds out whether an X11 desktop with an EWMH
    // manager is there and serves it. It is made while Qt starts: the bars
    // wait for both.
    QString desktopError;
    std::future<std::shared_ptr<platform::x11::Connection>> desktopConnection;
    if (early.liveDesktop)
        desktopConnection = std::async(std::launch::async, [&backendOptions, &desktopError] {
            return platform::x11::openDesktop(backendOptions, &desktopError);
        });

    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication qtApp(argc, argv);
    // The shared instances (start menu, icon provider, stores ...) own
    // widgets and timers: they go while the Qt application still stands, after
    // everything made below, instead of among the statics after main.
    struct SharedInstancesGoFirst {
        ~SharedInstancesGoFirst() { platform::resetSharedInstances(); }
    } sharedInstancesGoFirst;
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    Options options;
    options.parser.process(qtApp);
    const auto& parser = options.parser;

    std::optional<platform::Services> services;
    if (desktopConnection.valid()) {
        // Without an X11 desktop and its manager, only --x11 is an error;
        // otherwise the simulated desktop runs.
        if (auto connection = desktopConnection.get())
            services = platform::x11::makeServices(std::move(connection), backendOptions);
        else if (early.liveAsked) {
            std::fprintf(stderr, "quorvel: no usable X11 desktop: %s\n", qPrintable(desktopError));
            return 2;
        }
    }
    if (services) {
        protectSettingsFolder(services->preferences, *lock);
        const QString bundleID =
            services->bundles ? services->bundles->mainBundleIdentifier().value_or(platform::prefs::applicationDomain)
                              : platform::prefs::applicationDomain;
        services->workspace = std::make_shared<InstanceAwareWorkspace>(services->workspace, lock, bundleID);
        platform::install(*services);
        tidySettingsFolder(services->preferences, *lock);
        QuorvelApp app;
        // The lock already makes this the only copy.
        app.delegate().setShowsBarsFirst(lock->isHeld());
        if (!app.launch()) return 0;
        // Losing the display is how a desktop session ends: give the Dock back, status 0.
        platform::x11::Connection::setConnectionLostHandler([] { restoreDockAndExit(displayLostLine); });
        giveTheDockBackOnAnyExit();
        platform::log(QStringLiteral("[Quorvel] managing the X11 desktop: %1 displays")
                          .arg(platform::displays().screens().size()));
        const int status = qtApp.exec();
        mainReturned = true;
        return status;
    }

    QString scenario = parser.value(options.simulated);
    if (scenario.isEmpty()) scenario = demoScenario;
    auto desktop = installSimulatedDesktop(scenario, lock);
    if (!desktop) return 2;

    QuorvelApp app;
    if (!app.launch()) return 0;
    giveTheDockBackOnAnyExit();

    platform::log(QStringLiteral("[Quorvel] running on the simulated desktop of %1: %2 applications, %3 displays, "
                                 "%4 bars shown after %5 ms")
                      .arg(scenario)
                      .arg(platform::workspace().runningApplications().size())
                      .arg(platform::displays().screens().size())
                      .arg(app.delegate().barController().panels().size())
                      .arg(sinceStart.elapsed()));

    std::vector<std::unique_ptr<DesktopBackdrop>> backdrops;
    for (const auto& screen : platform::displays().screens()) {
        backdrops.push_back(std::make_unique<DesktopBackdrop>(desktop, screen));
        backdrops.back()->show();
        backdrops.back()->lower();
    }

    std::unique_ptr<WindowChurn> windowChurn;
    if (parser.isSet(options.churn)) {
        windowChurn = std::make_unique<WindowChurn>(desktop);
        windowChurn->start();
    }

    std::unique_ptr<DemoTour> demo;
    if (parser.isSet(options.tour)) {
        demo = std::make_unique<DemoTour>(app, desktop, parser.value(options.tour));
        demo->start();
    }
    const int status = qtApp.exec();
    mainReturned = true;
    return status;
}
