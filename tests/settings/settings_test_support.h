#pragma once
// Shared by the settings tests: a fresh simulated desktop with the settings
// window's state cleared before and after, and a shown, active window.
#include <QApplication>
#include <QTest>
#include <QWidget>

#include "settings/settings_window.h"
#include "support/sim_fixture.h"

class SettingsTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        SettingsWindow::reset();
    }
    void TearDown() override {
        SettingsWindow::reset();
        QApplication::processEvents();
        SimDesktopTest::TearDown();
    }
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }
    // Shows the window and waits until it is the active one.
    static bool showActive(QWidget& window) {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window, 2000);
    }
};
