#pragma once
// A simulated desktop with the shared objects a bar needs, reset per test.
#include <QImage>
#include <QWidget>
#include <memory>

#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"
#include "startmenu/start_menu_controller.h"
#include "support/sim_fixture.h"
#include "qt_print.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/pet/start_icon_store.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/window_service.h"

class BarTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        AppIconProvider::resetShared();
        services::GlobalHotKeyMonitor::shared().setLastMinimizeAllRegistrationFailed(false);
        store = std::make_unique<RunningAppsStore>();
        pins = std::make_unique<PinStore>();
        service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
    }
    void TearDown() override {
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        AppIconProvider::resetShared();
        service.reset();
        pins.reset();
        store.reset();
        SimDesktopTest::TearDown();
    }
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }

    static QImage grab(QWidget& w) {
        return w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }

    std::unique_ptr<RunningAppsStore> store;
    std::unique_ptr<PinStore> pins;
    std::shared_ptr<WindowService> service;
};
