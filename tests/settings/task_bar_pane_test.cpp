// The Task Bar pane: its settings with nothing or odd texts stored, the
// display-mode notification, the minimise-all shortcut, and hiding
// applications from the task strip.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include "platform/notification_center.h"
#include "services/global_hot_key_monitor.h"
#include "settings/hot_key_recorder.h"
#include "settings/task_bar_pane.h"
#include "settings_test_support.h"
#include "windows/bar_metrics.h"
#include "windows/blacklist_store.h"

using platform::ActivationPolicy;
using platform::RunningApplication;
using services::HotKeyCombo;
using services::HotKeyModifiers;
using App = TaskBarPane::AddableApp;

namespace {

class TaskBarPaneTest : public SettingsTest {
protected:
    void TearDown() override {
        services::GlobalHotKeyMonitor::shared().stop();
        services::GlobalHotKeyMonitor::shared().setLastMinimizeAllRegistrationFailed(false);
        SettingsTest::TearDown();
    }
    bool shown(QWidget* w) { return w->isVisibleTo(w->window()); }
    std::optional<HotKeyCombo> registeredMinimizeAll() {
        for (const auto& r : sim->registeredHotKeys())
            if (r.id.id == services::GlobalHotKeyMonitor::minimizeAllID)
                return HotKeyCombo{r.keyCode, HotKeyModifiers{r.modifiers}};
        return std::nullopt;
    }
    // The names in the hidden list, or the empty text.
    QStringList hiddenRows(const TaskBarPane& pane) {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QStringList rows;
        for (auto* label : pane.hiddenList()->findChildren<QLabel*>())
            if (!label->text().isEmpty()) rows << label->text();
        return rows;
    }
    QStringList menuTitles(TaskBarPane& pane) {
        pane.rebuildHideMenu();
        QStringList titles;
        // As the menu shows them: "&" marks a mnemonic, "&&" shows one "&".
        for (auto* a : pane.hideAppMenu()->actions()) titles << a->iconText();
        return titles;
    }
};

RunningApplication app(std::int32_t pid, std::optional<QString> id, QString name,
                       ActivationPolicy policy = ActivationPolicy::regular) {
    RunningApplication a;
    a.pid = pid;
    a.bundleID = std::move(id);
    a.localizedName = std::move(name);
    a.activationPolicy = policy;
    return a;
}

TEST_F(TaskBarPaneTest, StoredTextsAndTheClickAgainLabel) {
    struct Case {
        const char* name;
        std::optional<QString> interaction;
        std::optional<QVariant> displayMode;
        int interactionRow;
        int displayRow;
        const char* clickLabel;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, 1, 0, "Click again to minimize window"},
        {"grouped, main display", QStringLiteral("grouped"), QVariant(QStringLiteral("mainDisplay")), 0, 1,
         "Click again to hide app"},
        // Texts that name no case show the defaults the program uses.
        {"unknown texts", QStringLiteral("stacked"), QVariant(QStringLiteral("everywhere")), 1, 0,
         "Click again to minimize window"},
        {"wrongly typed display mode", QStringLiteral("perWindow"), QVariant(7), 1, 0,
         "Click again to minimize window"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        defaults().remove(settings::keys::interactionModel);
        defaults().remove(settings::keys::barDisplayMode);
        if (c.interaction) defaults().setString(settings::keys::interactionModel, *c.interaction);
        if (c.displayMode) defaults().set(settings::keys::barDisplayMode, *c.displayMode);
        TaskBarPane pane;
        EXPECT_EQ(pane.interactionPicker()->currentIndex(), c.interactionRow);
        EXPECT_EQ(pane.displayModePicker()->currentIndex(), c.displayRow);
        EXPECT_EQ(pane.clickAgainSwitch()->text(), QString::fromUtf8(c.clickLabel));
        // The switches' defaults, and nothing written by opening the pane.
        EXPECT_TRUE(pane.clickAgainSwitch()->isChecked());
        EXPECT_TRUE(pane.unreadSwitch()->isChecked());
        EXPECT_TRUE(pane.runningSwitch()->isChecked());
        EXPECT_FALSE(pane.iconsOnlySwitch()->isChecked());
        EXPECT_TRUE(pane.minimizeAllSwitch()->isChecked());
        EXPECT_EQ(pane.recorder()->combo(), (HotKeyCombo{2, HotKeyModifiers::control()}));
        EXPECT_EQ(defaults().stringValue(settings::keys::interactionModel), c.interaction);
        EXPECT_FALSE(defaults().contains(settings::keys::clickActiveHides));
        EXPECT_FALSE(defaults().contains(settings::keys::minimizeAllHotKeyCombo));
    }
}

TEST_F(TaskBarPaneTest, ChoosingCombineRelabelsAtOnceAndKeepsTheSwitch) {
    defaults().setBool(settings::keys::clickActiveHides, false);
    defaults().setString(settings::keys::interactionModel, QStringLiteral("stacked"));
    TaskBarPane pane;
    emit pane.interactionPicker()->activated(0);
    EXPECT_EQ(defaults().stringValue(settings::keys::interactionModel), QStringLiteral("grouped"));
    EXPECT_EQ(pane.clickAgainSwitch()->text(), QStringLiteral("Click again to hide app"));
    EXPECT_FALSE(pane.clickAgainSwitch()->isChecked());
    // Back to one button per window; the label follows the language too.
    emit pane.interactionPicker()->activated(1);
    defaults().setString(settings::keys::appLanguage, QStringLiteral("simplifiedChinese"));
    pane.retranslate();  // as the window does on a language switch
    EXPECT_EQ(pane.clickAgainSwitch()->text(), QString::fromUtf8("再次点按以最小化窗口"));
    EXPECT_EQ(pane.interactionPicker()->itemText(0), QString::fromUtf8("按应用合并"));
}

TEST_F(TaskBarPaneTest, DisplayModeNotifiesOncePerRealChange) {
    int posts = 0;
    const int token = platform::NotificationCenter::defaultCenter().addObserver(
        BarMetrics::displayModeChangedNotification(), [&](const QString&) { ++posts; });
    defaults().setString(settings::keys::barDisplayMode, QStringLiteral("everywhere"));
    TaskBarPane pane;
    EXPECT_EQ(posts, 0);
    struct Step {
        int row;
        const char* stored;
        int posts;
    };
    // From an unknown text any row is a change; the chosen row again is none.
    const Step steps[] = {{0, "allDisplays", 1}, {0, "allDisplays", 1}, {1, "mainDisplay", 2}, {1, "mainDisplay", 2},
                          {0, "allDisplays", 3}};
    for (const auto& s : steps) {
        emit pane.displayModePicker()->activated(s.row);
        EXPECT_EQ(defaults().stringValue(settings::keys::barDisplayMode), QString::fromUtf8(s.stored));
        EXPECT_EQ(posts, s.posts);
        EXPECT_EQ(pane.displayModePicker()->currentIndex(), s.row);
    }
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(TaskBarPaneTest, MinimizeAllSwitchRegistersOnlyOnARealChange) {
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    monitor.start([] {}, [] {});
    ASSERT_TRUE(monitor.registerCombo(HotKeyCombo{2, HotKeyModifiers::control()}, true, true));
    // A failure at start-up shows as the pane opens; opening registers nothing.
    monitor.setLastMinimizeAllRegistrationFailed(true);
    const auto before = sim->registeredHotKeys().size();
    TaskBarPane pane;
    pane.show();
    EXPECT_EQ(sim->registeredHotKeys().size(), before);
    EXPECT_TRUE(shown(pane.shortcutRow()));
    EXPECT_TRUE(shown(pane.shortcutWarning()));

    // Off: unregistered, row and warning hidden.
    pane.minimizeAllSwitch()->click();
    EXPECT_FALSE(registeredMinimizeAll());
    EXPECT_FALSE(monitor.lastMinimizeAllRegistrationFailed());
    EXPECT_FALSE(shown(pane.shortcutRow()));
    EXPECT_FALSE(shown(pane.shortcutWarning()));

    // On while another program holds Control-D: the warning, nothing registered.
    sim->takeHotKeyElsewhere(2, 0x1000);
    pane.minimizeAllSwitch()->click();
    EXPECT_FALSE(registeredMinimizeAll());
    EXPECT_TRUE(monitor.lastMinimizeAllRegistrationFailed());
    EXPECT_TRUE(shown(pane.shortcutWarning()));

    // The start-menu shortcut's failure flag is not this pane's.
    EXPECT_FALSE(monitor.lastRegistrationFailed());
    // Freed elsewhere and the flag reset by the core: the warning hides by itself.
    sim->takeHotKeyElsewhere(2, 0x1000, false);
    monitor.setLastMinimizeAllRegistrationFailed(false);
    EXPECT_FALSE(shown(pane.shortcutWarning()));
    // Off and on again registers the stored combo.
    pane.minimizeAllSwitch()->click();
    pane.minimizeAllSwitch()->click();
    EXPECT_EQ(registeredMinimizeAll(), (HotKeyCombo{2, HotKeyModifiers::control()}));
}

TEST_F(TaskBarPaneTest, AddableApplications) {
    struct Case {
        const char* name;
        std::vector<RunningApplication> running;
        QSet<QString> hidden;
        std::vector<App> expected;
    };
    const std::int32_t self = 100;
    const Case cases[] = {
        {"self, accessory, background and no identifier are skipped",
         {app(self, QStringLiteral("app.quorvel"), QStringLiteral("Quorvel")),
          app(2, QStringLiteral("a.tray"), QStringLiteral("Tray"), ActivationPolicy::accessory),
          app(3, QStringLiteral("a.daemon"), QStringLiteral("Daemon"), ActivationPolicy::prohibited),
          app(4, std::nullopt, QStringLiteral("Loose")), app(5, QStringLiteral("a.term"), QStringLiteral("Terminal"))},
         {},
         {{QStringLiteral("a.term"), QStringLiteral("Terminal")}}},
        {"hidden ones are skipped; the first of an identifier names it",
         {app(2, QStringLiteral("a.ed"), QStringLiteral("Editor")), app(3, QStringLiteral("a.ed"), QStringLiteral("Editor 2")),
          app(4, QStringLiteral("a.mail"), QStringLiteral("Mail"))},
         {QStringLiteral("a.mail")},
         {{QStringLiteral("a.ed"), QStringLiteral("Editor")}}},
        {"case-insensitive order, equal names keep the workspace's order, no name gives the identifier",
         {app(2, QStringLiteral("x.beta"), QStringLiteral("beta")), app(3, QStringLiteral("x.a2"), QStringLiteral("alpha")),
          app(4, QStringLiteral("x.a1"), QStringLiteral("Alpha")), app(5, QStringLiteral("aaa.noname"), QString())},
         {},
         {{QStringLiteral("aaa.noname"), QStringLiteral("aaa.noname")},
          {QStringLiteral("x.a2"), QStringLiteral("alpha")},
          {QStringLiteral("x.a1"), QStringLiteral("Alpha")},
          {QStringLiteral("x.beta"), QStringLiteral("beta")}}},
        {"everything hidden",
         {app(2, QStringLiteral("a.ed"), QStringLiteral("Editor"))},
         {QStringLiteral("a.ed")},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TaskBarPane::addableApps(c.running, c.hidden, self), c.expected);
    }
}

TEST_F(TaskBarPaneTest, HidingAndRestoringAnApplication) {
    for (const auto& [id, name] : {std::pair{"org.example.editor", "Editor"}, std::pair{"org.example.mail", "Mail"}}) {
        const QString path = QStringLiteral("/Applications/%1.app").arg(QString::fromUtf8(name));
        sim->addBundle(path, QString::fromUtf8(id));
        sim->addApplication({.bundleID = QString::fromUtf8(id), .name = QString::fromUtf8(name), .bundlePath = path});
    }
    BlacklistStore::shared().add(QStringLiteral("gone.app"));
    TaskBarPane pane;
    // A hidden identifier whose application is gone still has its row, named by the identifier.
    EXPECT_EQ(hiddenRows(pane), QStringList{QStringLiteral("gone.app")});
    EXPECT_EQ(menuTitles(pane), (QStringList{QStringLiteral("Editor"), QStringLiteral("Mail")}));

    // Hiding appends the row and takes the entry out of the menu.
    pane.hideAppMenu()->actions().at(1)->trigger();
    EXPECT_EQ(BlacklistStore::shared().blockedBundleIDs(),
              (QStringList{QStringLiteral("gone.app"), QStringLiteral("org.example.mail")}));
    EXPECT_EQ(hiddenRows(pane), (QStringList{QStringLiteral("gone.app"), QStringLiteral("Mail")}));
    EXPECT_EQ(menuTitles(pane), QStringList{QStringLiteral("Editor")});
    pane.hideAppMenu()->actions().at(0)->trigger();
    EXPECT_EQ(menuTitles(pane), QStringList{QStringLiteral("No apps to add")});
    EXPECT_FALSE(pane.hideAppMenu()->actions().at(0)->isEnabled());

    // Each row's remove button restores it, in the menu too.
    for (auto* remove : pane.hiddenList()->findChildren<QToolButton*>(QStringLiteral("remove"))) remove->click();
    QApplication::processEvents();
    EXPECT_TRUE(BlacklistStore::shared().blockedBundleIDs().isEmpty());
    EXPECT_EQ(hiddenRows(pane), QStringList{QStringLiteral("No apps hidden")});
    EXPECT_EQ(menuTitles(pane), (QStringList{QStringLiteral("Editor"), QStringLiteral("Mail")}));

    // A name with an ampersand shows as it is.
    sim->addApplication({.bundleID = QStringLiteral("com.att.connect"), .name = QStringLiteral("AT&T Connect")});
    EXPECT_EQ(menuTitles(pane).first(), QStringLiteral("AT&T Connect"));
}

// Drawn by the program itself, so they show without an icon theme.
TEST_F(TaskBarPaneTest, SymbolsAreDrawnWithoutAnIconTheme) {
    auto painted = [](const QPixmap& pixmap) {
        const QImage image = pixmap.toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0) return true;
        return false;
    };
    BlacklistStore::shared().add(QStringLiteral("gone.app"));
    TaskBarPane pane;
    EXPECT_TRUE(painted(pane.hideAppButton()->icon().pixmap(12, 12))) << "plus";
    auto* remove = pane.hiddenList()->findChild<QToolButton*>(QStringLiteral("remove"));
    ASSERT_NE(remove, nullptr);
    EXPECT_TRUE(remove->text().isEmpty());
    EXPECT_TRUE(painted(remove->icon().pixmap(16, 16))) << "remove";
    QLabel* missingIcon = nullptr;
    for (auto* label : pane.hiddenList()->findChildren<QLabel*>())
        if (label->text().isEmpty()) missingIcon = label;
    ASSERT_NE(missingIcon, nullptr);
    EXPECT_TRUE(painted(missingIcon->pixmap())) << "the missing application's icon";
}

}  // namespace
