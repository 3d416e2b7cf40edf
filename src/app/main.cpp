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
#include <cstdio>
#include <memory>

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
#include "platform/sim/simulated_desktop.h"
#include "platform/x11/x11_backend.h"

namespace {

const QString demoScenario = QStringLiteral(":/resources/scenarios/demo.json");

std::shared_ptr<platform::sim::SimulatedDesktop> installSimulatedDesktop(
    const QString& scenario, const std::shared_ptr<platform::linux_backend::SingleInstanceLock>& lock) {
    platform::sim::SimulatedDesktop::Options options;
    options.threaded = true;
    options.preferences =
        std::make_shared<platform::linux_backend::PlistFileBackend>(platform::linux_backend::PlistFileBackend::defaultDirectory());
    QString error;
    auto desktop = platform::sim::SimulatedDesktop::fromScenarioFile(scenario, options, &error);
    if (!desktop) {
        std::fprintf(stderr, "quorvel: %s\n", qPrintable(error));
        return nullptr;
    }
    auto services = desktop->services();
    services.log = std::make_shared<platform::linux_backend::StderrLog>();
    // Child processes and the immediate exit after a termination signal are real.
    services.processes = std::make_shared<platform::linux_backend::PosixProcesses>();
    services.alerts = std::make_shared<platform::linux_backend::LoggingAlerts>(services.alerts);
    const QString bundleID = services.bundles->mainBundleIdentifier().value_or(QStringLiteral("app.quorvel.Quorvel"));
    services.workspace =
        std::make_shared<platform::linux_backend::InstanceAwareWorkspace>(services.workspace, lock, bundleID);
    platform::install(services);
    desktop->setTerminateHandler([] { QCoreApplication::quit(); });
    return desktop;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quorvel, a taskbar"));
    parser.addHelpOption();
    QCommandLineOption simulated(QStringLiteral("simulated"),
                                 QStringLiteral("Run on the simulated desktop of a scenario file."),
                                 QStringLiteral("scenario"), QString());
    QCommandLineOption tour(QStringLiteral("tour"), QStringLiteral("Take the demo tour, saving screenshots."),
                            QStringLiteral("folder"));
    QCommandLineOption builtInDemo(QStringLiteral("demo"), QStringLiteral("Run on the built-in simulated desktop."));
    QCommandLineOption live(QStringLiteral("x11"), QStringLiteral("Manage the X11 desktop (the default when one runs)."));
    parser.addOption(simulated);
    parser.addOption(builtInDemo);
    parser.addOption(live);
    QCommandLineOption churn(QStringLiteral("churn"),
                             QStringLiteral("Keep the simulated applications' windows changing (for long-run measurements)."));
    parser.addOption(tour);
    parser.addOption(churn);
    parser.process(qtApp);

    const bool wantSimulated = parser.isSet(simulated) || parser.isSet(builtInDemo) || parser.isSet(tour);
    if (!wantSimulated && (parser.isSet(live) || platform::x11::isAvailable())) {
        QString error;
        platform::x11::BackendOptions options;
        // Only here, on a live desktop, do session requests reach the real
        // loginctl and systemctl. QUORVEL_SESSION_COMMANDS names another
        // folder (end-to-end tests give stand-ins; empty refuses them all).
        options.sessionCommandFolder = qEnvironmentVariableIsSet("QUORVEL_SESSION_COMMANDS")
                                           ? qEnvironmentVariable("QUORVEL_SESSION_COMMANDS")
                                           : QStringLiteral("/usr/bin");
        auto services = platform::x11::makeServices(options, &error);
        if (!services) {
            std::fprintf(stderr, "quorvel: no usable X11 desktop: %s\n", qPrintable(error));
            return 2;
        }
        platform::install(*services);
        QuorvelApp app;
        if (!app.launch()) return 0;
        platform::log(QStringLiteral("[Quorvel] managing the X11 desktop: %1 displays")
                          .arg(platform::displays().screens().size()));
        return qtApp.exec();
    }

    auto lock = std::make_shared<platform::linux_backend::SingleInstanceLock>(
        platform::linux_backend::SingleInstanceLock::defaultPath());

    QString scenario = parser.value(simulated);
    if (scenario.isEmpty()) scenario = demoScenario;
    auto desktop = installSimulatedDesktop(scenario, lock);
    if (!desktop) return 2;

    QuorvelApp app;
    if (!app.launch()) return 0;

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
    if (parser.isSet(churn)) {
        windowChurn = std::make_unique<WindowChurn>(desktop);
        windowChurn->start();
    }

    std::unique_ptr<DemoTour> demo;
    if (parser.isSet(tour)) {
        demo = std::make_unique<DemoTour>(app, desktop, parser.value(tour));
        demo->start();
    }
    return qtApp.exec();
}
