// The window service on real threads: applications and windows come, go and
// change while scans, clicks, menu commands and stops run. Run this suite in
// a ThreadSanitizer build as well.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <mutex>
#include <random>
#include <thread>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "windows/window_service.h"

namespace {

using platform::sim::AppSpec;
using platform::sim::SimulatedDesktop;
using platform::sim::WindowSpec;

void spin(int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class ThreadedStress : public ::testing::Test {
protected:
    void SetUp() override {
        SimulatedDesktop::Options options;
        options.threaded = true;
        sim = SimulatedDesktop::create(options);
        sim->install();
    }
    void TearDown() override {
        spin(50);
        platform::uninstall();
        sim.reset();
    }
    std::shared_ptr<SimulatedDesktop> sim;
};

// What the desktop should look like in a snapshot: per listed application
// its windows as (title, minimised), in the application's order.
std::map<std::int32_t, std::vector<std::pair<QString, bool>>> expectedFromDesktop(SimulatedDesktop& sim,
                                                                                  const std::set<std::int32_t>& pids) {
    std::map<std::int32_t, std::vector<std::pair<QString, bool>>> out;
    for (auto pid : pids) {
        const auto app = sim.application(pid);
        if (!app || app->isTerminated) continue;
        auto& list = out[pid];
        for (auto n : sim.windowsOf(pid)) {
            auto w = sim.window(n);
            if (w) list.emplace_back(w->title, w->minimized);
        }
    }
    return out;
}

TEST_F(ThreadedStress, SnapshotsMatchTheDesktopAfterChangesClicksAndStops) {
    auto service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
    std::vector<AppItem> latest;
    service->setOnSnapshot([&](const std::vector<AppItem>& items) { latest = items; });
    service->start();

    std::mutex pidsMutex;
    std::set<std::int32_t> pids;  // applications the mutator made
    std::atomic<bool> done{false};
    std::thread mutator([&] {
        std::mt19937 rng(7);
        std::vector<std::int32_t> mine;
        std::vector<std::uint64_t> windows;
        int counter = 0;
        for (int step = 0; step < 600; ++step) {
            const int action = static_cast<int>(rng() % 10);
            if (action == 0 || mine.size() < 3) {
                AppSpec s;
                s.name = QStringLiteral("App%1").arg(counter);
                s.bundleID = QStringLiteral("com.example.stress%1").arg(counter);
                s.bundlePath = QStringLiteral("/Applications/Stress%1.app").arg(counter);
                ++counter;
                const auto pid = sim->addApplication(s);
                mine.push_back(pid);
                std::lock_guard lock(pidsMutex);
                pids.insert(pid);
            } else if (action == 1 && mine.size() > 3) {
                const auto i = rng() % mine.size();
                sim->terminateApplication(mine[i]);
                mine.erase(mine.begin() + static_cast<long>(i));
            } else if (action <= 4) {
                WindowSpec w;
                w.title = QStringLiteral("W%1").arg(counter);
                // Distinct frames, so no two windows collapse into one.
                w.frame = platform::Rect(counter % 700, (counter * 7) % 500, 300 + counter % 97, 200 + counter % 89);
                ++counter;
                windows.push_back(sim->addWindow(mine[rng() % mine.size()], w));
            } else if (action == 5 && !windows.empty()) {
                const auto i = rng() % windows.size();
                sim->removeWindow(windows[i]);
                windows.erase(windows.begin() + static_cast<long>(i));
            } else if (action == 6 && !windows.empty()) {
                sim->setWindowTitle(windows[rng() % windows.size()], QStringLiteral("T%1").arg(counter++));
            } else if (action == 7 && !windows.empty()) {
                sim->setMinimized(windows[rng() % windows.size()], rng() % 2 == 0);
            } else if (action == 8) {
                sim->activateApplication(mine[rng() % mine.size()]);
            } else {
                sim->setHidden(mine[rng() % mine.size()], rng() % 2 == 0);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 1500));
        }
        done = true;
    });

    std::mt19937 rng(11);
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        const auto snapshot = service->lastRawSnapshot();
        switch (rng() % 12) {
            case 0:
            case 1:
                if (!snapshot.empty()) {
                    const auto& app = snapshot[rng() % snapshot.size()];
                    auto item = TaskButtonItem{TaskButtonItem::appIdentity(app.pid), TaskButtonKind::app(app.pid),
                                               app.pid, app.bundleID, app.name, 0, app.isActive, false, false, true,
                                               false};
                    service->handleClick(item, rng() % 2 == 0);
                }
                break;
            case 2:
                for (const auto& app : snapshot)
                    if (!app.windows.empty()) {
                        service->minimizeWindow(app.windows.front().id);
                        break;
                    }
                break;
            case 3:
                if (!snapshot.empty()) {
                    const auto& app = snapshot[rng() % snapshot.size()];
                    auto items = service->windowMenuItems(app.pid);
                    if (!items.empty()) items.front().perform();
                    auto menu = service->menuItems(TaskButtonKind::app(app.pid));
                    for (const auto& m : menu)
                        if (m.title == QStringLiteral("Tile Left")) m.perform();
                }
                break;
            case 4:
                service->stop();
                service->start();
                break;
            case 5:
                service->resync();
                break;
            default:
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    mutator.join();

    // Let the last changes settle: the rescans end once the desktop is quiet.
    service->resync();
    spin(800);

    std::set<std::int32_t> made;
    {
        std::lock_guard lock(pidsMutex);
        made = pids;
    }
    const auto expected = expectedFromDesktop(*sim, made);
    std::map<std::int32_t, std::vector<std::pair<QString, bool>>> actual;
    for (const auto& app : latest) {
        if (!made.count(app.pid)) continue;
        auto& list = actual[app.pid];
        for (const auto& w : app.windows) list.emplace_back(w.title, w.isMinimized);
    }
    EXPECT_EQ(actual, expected);
    ASSERT_FALSE(expected.empty());

    // Tokens in the final snapshot are unique.
    std::set<WindowToken> tokens;
    std::size_t count = 0;
    for (const auto& app : latest)
        for (const auto& w : app.windows) {
            tokens.insert(w.id);
            ++count;
        }
    EXPECT_EQ(tokens.size(), count);

    service->stop();
    EXPECT_EQ(sim->liveObserverCount(), 0u);
    service.reset();
}

}  // namespace
