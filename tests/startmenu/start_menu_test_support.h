#pragma once
// A simulated desktop with a fresh start-menu controller whose scan returns
// what the test says.
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>

#include "platform/platform.h"
#include "startmenu/start_menu_controller.h"
#include "startmenu/start_menu_view.h"
#include "startmenu/start_search_field.h"
#include "startmenu/pin_row_catcher.h"
#include "support/sim_fixture.h"
#include "taskbar/qt_print.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/pet/start_icon_store.h"

inline InstalledApp app(const QString& name, std::optional<QString> bundleID = std::nullopt) {
    return InstalledApp{name, QStringLiteral("/Applications/") + name + QStringLiteral(".app"), std::move(bundleID)};
}

class StartMenuTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        menu().setScanner([this](const std::vector<InstalledApp>&) {
            ++scans;
            return scanResult;
        });
    }
    void TearDown() override {
        StartMenuController::resetShared();
        StartIconStore::resetShared();
        AppIconProvider::resetShared();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SimDesktopTest::TearDown();
    }
    StartMenuController& menu() { return StartMenuController::shared(); }
    StartMenuView* view() { return menu().panel() ? menu().panel()->view() : nullptr; }
    // Opens the menu and lets the scan deliver.
    void openLoaded() {
        menu().open();
        sim->pump();
    }
    // What the list shows, one text per row: headers as "# Title".
    QStringList rows() {
        QStringList out;
        auto* m = view()->listModel();
        for (int r = 0; r < m->rowCount(); ++r) {
            const bool header = m->row(r).kind == StartMenuListModel::RowKind::header;
            out << (header ? QStringLiteral("# ") : QString()) + m->index(r).data().toString();
        }
        return out;
    }

    std::vector<InstalledApp> scanResult;
    int scans = 0;
};
