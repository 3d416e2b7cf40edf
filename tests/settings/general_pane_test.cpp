// The General pane: the login-item switch, the language, the Start Menu
// section with its shortcut, and the version text.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "services/global_hot_key_monitor.h"
#include "services/launch_at_login_service.h"
#include "settings/general_pane.h"
#include "settings/hot_key_recorder.h"
#include "settings/settings_view.h"
#include "settings_test_support.h"

using platform::LoginItemStatus;
using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

class GeneralPaneTest : public SettingsTest {
protected:
    void TearDown() override {
        services::GlobalHotKeyMonitor::shared().stop();
        SettingsTest::TearDown();
    }
    bool shown(QWidget* w) { return w->isVisibleTo(w->window()); }
    std::optional<HotKeyCombo> registeredStartMenuCombo() {
        for (const auto& r : sim->registeredHotKeys())
            if (r.id.id == services::GlobalHotKeyMonitor::startMenuID)
                return HotKeyCombo{r.keyCode, HotKeyModifiers{r.modifiers}};
        return std::nullopt;
    }
};

TEST_F(GeneralPaneTest, LoginSwitchFollowsTheServicesStatus) {
    struct Case {
        LoginItemStatus before;
        bool switchOn;
        bool warning;
        LoginItemStatus afterClick;
    };
    // Clicking the switch asks for the other state; the item's status after
    // the attempt is what shows.
    const Case cases[] = {
        {LoginItemStatus::notRegistered, false, false, LoginItemStatus::enabled},
        {LoginItemStatus::enabled, true, false, LoginItemStatus::notRegistered},
        {LoginItemStatus::requiresApproval, true, true, LoginItemStatus::notRegistered},
        {LoginItemStatus::notFound, false, false, LoginItemStatus::enabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.before));
        sim->setLoginItemStatus(c.before);
        services::LaunchAtLoginService::shared().setStatus(c.before);
        GeneralPane pane;
        pane.show();
        EXPECT_EQ(pane.launchAtLoginSwitch()->isChecked(), c.switchOn);
        EXPECT_EQ(shown(pane.approvalWarning()), c.warning);
        EXPECT_EQ(shown(pane.openLoginItemsButton()), c.warning);
        pane.launchAtLoginSwitch()->click();
        EXPECT_EQ(services::LaunchAtLoginService::shared().status(), c.afterClick);
        EXPECT_EQ(pane.launchAtLoginSwitch()->isChecked(), c.afterClick == LoginItemStatus::enabled);
        EXPECT_FALSE(shown(pane.approvalWarning()));
    }
}

TEST_F(GeneralPaneTest, ApprovalGivenElsewhereShowsWhenThePaneAppearsAgain) {
    sim->setLoginItemStatus(LoginItemStatus::notRegistered);
    GeneralPane pane;
    pane.show();
    // Registering leaves the item waiting for approval.
    sim->setLoginItemStatus(LoginItemStatus::requiresApproval);
    GeneralPane::refreshStatus();
    EXPECT_TRUE(pane.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(shown(pane.approvalWarning()));
    pane.openLoginItemsButton()->click();
    EXPECT_FALSE(sim->logLines(QStringLiteral("login.openSettings")).empty());
    // Approved in the system's settings; the pane is shown again.
    sim->setLoginItemStatus(LoginItemStatus::enabled);
    pane.hide();
    pane.show();
    EXPECT_FALSE(shown(pane.approvalWarning()));
    EXPECT_TRUE(pane.launchAtLoginSwitch()->isChecked());
    // Waiting again, approved again: coming back to the application (the
    // desktop's notice that it became active) is enough, and another
    // application's activation is not.
    sim->setLoginItemStatus(LoginItemStatus::requiresApproval);
    GeneralPane::refreshStatus();
    ASSERT_TRUE(shown(pane.approvalWarning()));
    sim->setLoginItemStatus(LoginItemStatus::enabled);
    const auto other = sim->addApplication({.bundleID = QStringLiteral("com.example.other"), .name = QStringLiteral("Other")});
    sim->activateApplication(other);
    sim->pump();
    EXPECT_TRUE(shown(pane.approvalWarning()));
    sim->activateApplication(sim->ownPid());
    sim->pump();
    EXPECT_FALSE(shown(pane.approvalWarning()));
}

TEST_F(GeneralPaneTest, FailedChangeShowsTheAlertOnceAndClearsTheMessage) {
    sim->setLoginItemStatus(LoginItemStatus::notRegistered);
    sim->setLoginItemErrors(QStringLiteral("The operation couldn’t be completed."), std::nullopt);
    GeneralPane pane;
    pane.show();
    pane.launchAtLoginSwitch()->click();
    EXPECT_FALSE(pane.launchAtLoginSwitch()->isChecked()) << "shows the status read back";
    EXPECT_TRUE(sim->alertsShown().empty()) << "not inside the click";
    sim->pump();
    const auto alerts = sim->alertsShown();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].alert.messageText, QStringLiteral("Couldn't set launch at login"));
    EXPECT_EQ(alerts[0].alert.informativeText, QStringLiteral("The operation couldn’t be completed."));
    EXPECT_EQ(alerts[0].alert.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_FALSE(services::LaunchAtLoginService::shared().failureMessage().has_value());
    sim->pump();
    EXPECT_EQ(sim->alertsShown().size(), 1u);
}

TEST_F(GeneralPaneTest, VersionText) {
    struct Case {
        QVariant value;
        QString shown;
    };
    const Case cases[] = {{QStringLiteral("1.4.2"), QStringLiteral("v1.4.2")},
                          {QStringLiteral(""), QStringLiteral("—")},
                          {QVariant(), QStringLiteral("—")},
                          {QVariant(qint64(3)), QStringLiteral("—")}};
    for (const auto& c : cases) {
        sim->setMainInfoValue(QStringLiteral("CFBundleShortVersionString"), c.value);
        EXPECT_EQ(GeneralPane::appVersion(), c.shown) << c.value.toString().toStdString();
    }
    sim->setMainInfoValue(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.4.2"));
    defaults().setString(settings::keys::appLanguage, QStringLiteral("simplifiedChinese"));
    GeneralPane pane;
    EXPECT_EQ(pane.versionLabel()->text(), QStringLiteral("v1.4.2")) << "shown as it is";
}

TEST_F(GeneralPaneTest, ChoosingALanguageRetranslatesTheWholeWindowAtOnce) {
    sim->setPreferredLocalizations({QStringLiteral("zh-Hans"), QStringLiteral("en")});
    SettingsView view;
    view.show();
    auto* pane = qobject_cast<GeneralPane*>(view.currentPane());
    ASSERT_NE(pane, nullptr);
    // Following a Chinese system.
    EXPECT_EQ(view.title(), QStringLiteral("通用"));
    EXPECT_EQ(view.sidebar()->item(2)->text(), QStringLiteral("任务栏"));

    struct Case {
        int row;
        QString title, taskBar, powerRow, followSystem;
    };
    const Case cases[] = {
        {1, "General", "Task Bar", "Show shutdown and other actions", "Follow System"},
        {2, "通用", "任务栏", "显示关机等操作", "跟随系统"},
        {0, "通用", "任务栏", "显示关机等操作", "跟随系统"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        emit pane->languagePicker()->activated(c.row);
        EXPECT_EQ(view.title(), c.title);
        EXPECT_EQ(view.windowTitle(), c.title);
        EXPECT_EQ(view.sidebar()->item(2)->text(), c.taskBar);
        EXPECT_EQ(pane->powerRowSwitch()->text(), c.powerRow);
        EXPECT_EQ(pane->languagePicker()->itemText(0), c.followSystem);
        EXPECT_EQ(pane->languagePicker()->currentIndex(), c.row);
        // The pop-up list is measured again for the new row titles: as wide
        // as a list made afresh with them.
        QComboBox* picker = pane->languagePicker();
        QComboBox fresh;
        fresh.setFont(picker->font());
        for (int row = 0; row < picker->count(); ++row) fresh.addItem(picker->itemText(row));
        EXPECT_EQ(picker->sizeHint().width(), fresh.sizeHint().width());
    }
    // English wins over the Chinese system.
    emit pane->languagePicker()->activated(1);
    EXPECT_EQ(pane->launchAtLoginSwitch()->text(), QStringLiteral("Launch Quorvel at login"));
    EXPECT_EQ(defaults().stringValue(settings::keys::appLanguage), QStringLiteral("english"));
}

TEST_F(GeneralPaneTest, ClearedSelectionShowsTheGeneralPane) {
    SettingsView view;
    view.show();
    view.setSelection(SettingsCategory::dock);
    EXPECT_EQ(view.title(), QStringLiteral("Dock"));
    EXPECT_EQ(qobject_cast<GeneralPane*>(view.currentPane()), nullptr);
    view.setSelection(std::nullopt);
    EXPECT_EQ(view.title(), QStringLiteral("General"));
    EXPECT_NE(qobject_cast<GeneralPane*>(view.currentPane()), nullptr);
    // The sidebar too.
    view.sidebar()->setCurrentRow(1);
    EXPECT_EQ(view.shownCategory(), SettingsCategory::appearance);
    view.sidebar()->setCurrentRow(-1);
    EXPECT_EQ(view.title(), QStringLiteral("General"));
    // Ctrl+click on the selected row clears the selection and leaves the row current.
    view.sidebar()->setCurrentRow(3);
    ASSERT_EQ(view.title(), QStringLiteral("Dock"));
    QListWidget* list = view.sidebar();
    const QPoint dockRow = list->visualItemRect(list->item(3)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, dockRow);
    ASSERT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(view.selection(), std::nullopt);
    EXPECT_EQ(view.title(), QStringLiteral("General"));
    EXPECT_NE(qobject_cast<GeneralPane*>(view.currentPane()), nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, dockRow);
    EXPECT_EQ(view.title(), QStringLiteral("Dock"));
}

TEST_F(GeneralPaneTest, TheSidebarWidensWithItsTitlesUpToTheMaximum) {
    // A larger font widens the window's sidebar up to the maximum, a normal
    // one narrows it again.
    SettingsView view;
    view.show();
    EXPECT_EQ(view.sidebar()->width(), SettingsView::sidebarWidth);
    QFont big = view.font();
    big.setPixelSize(40);
    view.setFont(big);
    EXPECT_EQ(view.sidebar()->width(), SettingsView::sidebarMaximumWidth);
    view.setFont(QFont());
    EXPECT_EQ(view.sidebar()->width(), SettingsView::sidebarWidth);
}

TEST_F(GeneralPaneTest, StartMenuSectionWithNothingStoredAndWithUnparsableCombos) {
    for (const char* stored : {"", "abc", "49"}) {
        SCOPED_TRACE(stored);
        if (*stored)
            defaults().setString(settings::keys::startMenuHotKeyCombo, QString::fromUtf8(stored));
        else
            defaults().remove(settings::keys::startMenuHotKeyCombo);
        GeneralPane pane;
        pane.show();
        EXPECT_TRUE(pane.powerRowSwitch()->isChecked());
        EXPECT_TRUE(pane.hotKeySwitch()->isChecked());
        EXPECT_TRUE(shown(pane.shortcutRow()));
        EXPECT_EQ(pane.recorder()->combo().displayString(), QStringLiteral("⌥Space"));
        EXPECT_FALSE(shown(pane.shortcutWarning()));
    }
}

TEST_F(GeneralPaneTest, ShortcutSwitchRegistersAndTheWarningFollowsTheResult) {
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    monitor.start([] {}, [] {});
    ASSERT_TRUE(monitor.registerCombo(HotKeyCombo{49, HotKeyModifiers::option()}, true, false));
    // The registration at start-up failed: the warning shows as the pane opens.
    monitor.setLastRegistrationFailed(true);
    GeneralPane pane;
    pane.show();
    EXPECT_TRUE(shown(pane.shortcutWarning()));

    // Off: the shortcut goes at once; row and warning hide.
    pane.hotKeySwitch()->click();
    EXPECT_FALSE(defaults().boolValue(settings::keys::startMenuHotKeyEnabled).value_or(true));
    EXPECT_FALSE(registeredStartMenuCombo().has_value());
    EXPECT_FALSE(monitor.lastRegistrationFailed());
    EXPECT_FALSE(shown(pane.shortcutRow()));
    EXPECT_FALSE(shown(pane.shortcutWarning()));

    // On again while another program holds the combination: stays stored, warning.
    sim->takeHotKeyElsewhere(49, 0x800);
    pane.hotKeySwitch()->click();
    EXPECT_FALSE(registeredStartMenuCombo().has_value());
    EXPECT_TRUE(monitor.lastRegistrationFailed());
    EXPECT_TRUE(shown(pane.shortcutRow()));
    EXPECT_TRUE(shown(pane.shortcutWarning()));
    EXPECT_FALSE(defaults().contains(settings::keys::startMenuHotKeyCombo));

    // Recording the same combination is no change: nothing is registered again.
    ASSERT_TRUE(showActive(pane));
    sim->takeHotKeyElsewhere(49, 0x800, false);
    pane.recorder()->setFocus();
    QTest::keyClick(pane.recorder(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(monitor.lastRegistrationFailed());
    EXPECT_FALSE(registeredStartMenuCombo().has_value());

    // A new one is stored and registered; the warning goes.
    pane.recorder()->setFocus();
    QTest::keyClick(pane.recorder(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(defaults().stringValue(settings::keys::startMenuHotKeyCombo), QStringLiteral("40:6144"));
    EXPECT_EQ(registeredStartMenuCombo(), (HotKeyCombo{40, HotKeyModifiers{0x1800}}));
    EXPECT_FALSE(monitor.lastRegistrationFailed());
    EXPECT_FALSE(shown(pane.shortcutWarning()));

    // The combination changed elsewhere: shown, and the pane registers nothing.
    defaults().setString(settings::keys::startMenuHotKeyCombo, QStringLiteral("2:4096"));
    EXPECT_EQ(pane.recorder()->combo(), (HotKeyCombo{2, HotKeyModifiers::control()}));
    EXPECT_EQ(registeredStartMenuCombo(), (HotKeyCombo{40, HotKeyModifiers{0x1800}}));
}

}  // namespace
