// The bar on real threads and Qt's event loop: detection runs on its own
// queue thread and the panel of the full-screen display hides, then shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_panel.h"
#include "taskbar/bar_panel_controller.h"
#include "taskbar/fullscreen_monitor.h"
#include "taskbar/pet/start_icon_store.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/window_service.h"

namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

TEST(BarThreaded, FullScreenOnASecondDisplayHidesItsBarAndBack) {
    platform::sim::SimulatedDesktop::Options options;
    options.threaded = true;
    auto sim = platform::sim::SimulatedDesktop::create(options);
    sim->install();
    StartIconStore::resetShared();
    const auto second = sim->addDisplay(platform::Rect(1440, 0, 1920, 1080));
    {
        RunningAppsStore store;
        PinStore pins;
        auto service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
        BarPanelController controller;
        controller.start(&store, service, &pins);
        ASSERT_EQ(controller.panels().size(), 2u);

        platform::sim::AppSpec app;
        app.bundleID = "com.example.player";
        app.active = true;
        const auto pid = sim->addApplication(app);
        platform::sim::WindowSpec window;
        window.frame = platform::Rect(1440, 0, 1920, 1080);
        window.fullScreen = true;
        window.focused = true;
        const auto w = sim->addWindow(pid, window);

        EXPECT_TRUE(waitFor([&] { return controller.fullscreenDisplay() == std::optional(second); }));
        EXPECT_FALSE(controller.panel(second)->isVisible());
        EXPECT_TRUE(controller.panel(platform::displays().mainDisplayID())->isVisible());

        sim->setFullScreen(w, false);
        sim->setWindowFrame(w, platform::Rect(1500, 100, 800, 600));
        EXPECT_TRUE(waitFor([&] { return !controller.fullscreenDisplay().has_value(); }));
        EXPECT_TRUE(controller.panel(second)->isVisible());

        controller.fullscreenMonitor().stop();
        controller.stopObservingScreens();
        controller.closeAll();
    }
    StartIconStore::resetShared();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::uninstall();
}

}  // namespace
