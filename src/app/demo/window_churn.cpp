#include "app/demo/window_churn.h"

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"

WindowChurn::WindowChurn(std::shared_ptr<platform::sim::SimulatedDesktop> desktop, double interval)
    : desktop_(std::move(desktop)), interval_(interval) {}

void WindowChurn::start() {
    platform::MainQueue::asyncAfter(interval_, [this] {
        step();
        start();
    });
}

void WindowChurn::step() {
    ++steps_;
    std::vector<std::int32_t> pids;
    for (const auto& app : platform::workspace().runningApplications())
        if (app.pid != desktop_->ownPid() && app.pid != desktop_->dockPid() &&
            app.activationPolicy == platform::ActivationPolicy::regular)
            pids.push_back(app.pid);
    if (pids.empty()) return;
    const auto pid = pids[random_() % pids.size()];
    auto windows = desktop_->windowsOf(pid);
    const auto bounds = platform::displays().screens().front().bounds;
    auto randomFrame = [&] {
        const double w = 300 + random_() % 900, h = 200 + random_() % 600;
        return platform::Rect(bounds.origin.x + random_() % 600, bounds.origin.y + 25 + random_() % 300, w, h);
    };
    switch (random_() % 8) {
        case 0:
        case 1: {
            platform::sim::WindowSpec window;
            window.title = QStringLiteral("Document %1").arg(steps_);
            window.frame = randomFrame();
            if (windows.size() < 8) desktop_->addWindow(pid, window);
            break;
        }
        case 2:
            if (!windows.empty()) desktop_->removeWindow(windows[random_() % windows.size()]);
            break;
        case 3:
            if (!windows.empty()) desktop_->setWindowFrame(windows[random_() % windows.size()], randomFrame());
            break;
        case 4:
            if (!windows.empty())
                desktop_->setWindowTitle(windows[random_() % windows.size()], QStringLiteral("Edited %1").arg(steps_));
            break;
        case 5:
            if (!windows.empty()) {
                const auto w = windows[random_() % windows.size()];
                desktop_->setMinimized(w, !desktop_->window(w)->minimized);
            }
            break;
        case 6:
            desktop_->activateApplication(pid);
            break;
        default:
            if (random_() % 10 == 0) {
                // Quit and relaunch under a new process id.
                auto app = desktop_->application(pid);
                desktop_->terminateApplication(pid);
                if (app) {
                    platform::sim::AppSpec relaunch;
                    relaunch.bundleID = app->bundleID.value_or(QString());
                    relaunch.name = app->localizedName;
                    relaunch.bundlePath = app->bundlePath.value_or(QString());
                    const auto newPid = desktop_->addApplication(relaunch);
                    platform::sim::WindowSpec window;
                    window.frame = randomFrame();
                    desktop_->addWindow(newPid, window);
                }
            }
            break;
    }
}
