#pragma once
// A simulated desktop with the shared objects a bar needs, reset per test.
#include <QImage>
#include <QWidget>
#include <memory>

#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"
#include "support/sim_fixture.h"
#include "qt_print.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/start_menu_port.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/window_service.h"

// The start menu as the bars see it: opens on the display under the pointer
// and counts the clicks that toggled it.
class FakeStartMenu final : public StartMenuPort {
public:
    bool isOpen() const override { return presented_.has_value(); }
    std::optional<platform::DisplayID> presentedScreenID() const override { return presented_; }
    void toggle(bool fromClick) override {
        (fromClick ? clickToggles : otherToggles) += 1;
        if (presented_) close();
        else open();
    }
    void open() override {
        const auto pointer = platform::displays().pointerLocation();
        std::optional<platform::DisplayID> on;
        for (const auto& screen : platform::displays().screens())
            if (!on && screen.bounds.contains(pointer)) on = screen.id;
        if (!on)
            if (auto main = platform::displays().mainScreen()) on = main->id;
        presented_ = on;
        emit presentedScreenIDChanged();
    }
    void close() override {
        if (!presented_) return;
        presented_.reset();
        emit presentedScreenIDChanged();
    }
    int clickToggles = 0;
    int otherToggles = 0;

private:
    std::optional<platform::DisplayID> presented_;
};

class BarTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        StartMenuPort::setCurrent(&startMenu);
        StartIconStore::resetShared();
        AppIconProvider::resetShared();
        services::GlobalHotKeyMonitor::shared().setLastMinimizeAllRegistrationFailed(false);
        store = std::make_unique<RunningAppsStore>();
        pins = std::make_unique<PinStore>();
        service = WindowService::create(platform::SerialQueue("app.quorvel.windows"));
    }
    void TearDown() override {
        StartMenuPort::setCurrent(nullptr);
        StartIconStore::resetShared();
        AppIconProvider::resetShared();
        service.reset();
        pins.reset();
        store.reset();
        SimDesktopTest::TearDown();
    }
    FakeStartMenu startMenu;
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }

    static QImage grab(QWidget& w) {
        return w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }

    std::unique_ptr<RunningAppsStore> store;
    std::unique_ptr<PinStore> pins;
    std::shared_ptr<WindowService> service;
};
